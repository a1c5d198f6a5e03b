#pragma once

#include "UndoHistory.h"

#include <sys/stat.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One change as the journal keeps it.
struct JournalEntry {
    enum class Kind : uint8_t {
        Folder = 1,   // the current folder from here on (bare texture names are found there)
        Add,
        Update,
        Remove,
        Replace,      // the whole list: the copy `file` holds its first count polygons; none: empty
        Append,       // count polygons from the copy `file`
        Undo,
        Redo,
        Saved,        // the object as it stands was saved
        Lost,         // a file read could not be kept: nothing after this can be made again
    };
    Kind kind = Kind::Saved;
    int position = 0;
    int count = 0;
    std::string text;   // Folder: the folder; Replace, Append: the copy's name in the journal's folder
    tElement element;   // Add, Update
};

struct JournalContents {
    std::vector<JournalEntry> entries;   // the complete ones, up to the first torn or damaged entry
    uint64_t validBytes = 0;             // where the complete entries end
    // Changes were made after the last Saved: there is something a user would lose.
    bool offerable() const;
};

// The entries of a journal file; false when it is no journal.
bool ReadJournal(int fd, JournalContents& contents);

// Makes the changes of entries on history again, as they were made. Copies are looked for in
// folder. False when the journal could not be followed to its end (a Lost entry, a copy gone).
bool ReplayJournal(const std::vector<JournalEntry>& entries, const std::string& folder,
                   UndoHistory& history, const TextureLoader& load);

// Where journals are kept: $XDG_STATE_HOME/3dvorlan, else ~/.local/state/3dvorlan.
std::string JournalFolder();

// The changes of this process's object since it started, appended to a file of its own that it
// holds locked while it runs: a journal whose lock can be taken belongs to a process that has
// ended without discarding it (killed, crashed, power lost). Entries are encoded where the
// change is made, which costs microseconds; a thread of the journal writes them within 25 ms,
// copies the files Open and Import read (so that the journal does not depend on them staying
// as they were), and syncs at most once a second, so a power loss costs at most that second.
class Journal : public ObjectChangeSink {
public:
    // A new, empty journal in folder (made when missing); nullptr when it cannot be had.
    static std::unique_ptr<Journal> Create(const std::string& folder);
    // The newest journal in folder that no running process holds and that has changes to
    // offer, locked, with its contents; journals left by ended processes with nothing to
    // offer are removed. nullptr when there is none.
    static std::unique_ptr<Journal> TakeOrphan(const std::string& folder, JournalContents& contents);

    ~Journal() override;

    // An orphan taken over, to go on with after its changes were made again: its damaged tail
    // is cut off and new entries follow the complete ones.
    void adopt(const JournalContents& contents);
    // Ends the journal with nothing left of it: its file and copies are removed.
    void discard();
    // Waits until every change so far is written (not necessarily synced).
    void flush();

    void saved();
    const std::string& fileName() const { return path_; }
    uint64_t bytesWritten() const;

    // ObjectChangeSink
    void added(const tElement& element) override;
    void updated(int position, const tElement& element) override;
    void removed(int position) override;
    void replaced(const std::string& source, int count) override;
    void appended(const std::string& source, int count) override;
    void undone() override;
    void redone() override;

private:
    struct Job {
        std::vector<uint8_t> bytes;
        std::string source;   // a file to copy before the bytes are written
        std::string copy;
        struct stat seen {};
    };

    Journal(std::string folder, std::string stem, int fd);
    void noteFolder();
    void push(Job job);
    void bulk(JournalEntry::Kind kind, const std::string& source, int count);
    void run();
    void writeAll(const std::vector<uint8_t>& bytes);
    void stopThread();

    std::string folder_;
    std::string stem_;
    std::string path_;
    int fd_;
    std::string lastFolder_;
    int copies_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<Job> queue_;
    uint64_t pushed_ = 0;
    uint64_t finished_ = 0;
    uint64_t bytes_ = 0;
    bool stop_ = false;
    std::thread writer_;
};
