#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

// Copies the whole of from into to, both from their start; the size copied in copied.
bool CopyFileContents(int from, int to, off_t& copied);
// Makes a new name or a rename in folder durable, where the file system can.
void SyncFolder(const std::string& folder);

// Puts the whole new contents into the open descriptor it is given, from its start; false on
// the first failed write.
using ContentWriter = std::function<bool(int fd)>;

struct SafeSaveOptions {
    // Where the copy of the old contents goes, in this order, when the target must be written
    // in place and its own folder takes no new file.
    std::vector<std::string> backupFolders = DefaultBackupFolders();
    // Off only to exercise the named temporary file that file systems without unnamed ones get.
    bool unnamedTemporary = true;

    static std::vector<std::string> DefaultBackupFolders();
};

// Saves the contents under fileName without ever losing the file's earlier contents and
// without changing what the user sees of it besides them:
// - A symbolic link is followed to the file it names, which is created if it does not exist.
// - An existing file the user may not write is left alone and the save fails.
// - A regular file with one link, whose owner, group, mode and extended attributes (ACLs
//   among them) a new file in its folder can take, is replaced by renaming a new, synced file
//   over it; the new file has no name until then, so a crash leaves nothing behind.
// - Any other file the user may write (hard links, another owner, a read-only folder, a
//   mounted file, attributes a new file cannot take) is written in place: its old contents
//   are first copied to a file in its folder (or, failing that, the first backup folder
//   that takes it), kept until the new contents are synced and copied back when writing
//   fails. The copy is removed once the save has ended either way, and remains only when the
//   process dies during the write or the copying back fails, so the old contents can still
//   be had.
// - A device or FIFO is written in place as it is; a FIFO without a reader fails at once.
// - A new file gets the mode 0666 limited by the umask or the folder's default ACL.
// True only when the new contents are complete and synced; on false errno tells why.
bool SaveFileSafely(const std::string& fileName, const ContentWriter& write,
                    const SafeSaveOptions& options = {});

// The same save for contents that are at hand; false with the reason in words.
bool SaveFileSafely(const std::string& fileName, const void* data, std::size_t size,
                    std::string& reason);

// The same save for contents made bit by bit, too large to be held or written by another
// thread: open() chooses how the file is saved and gives the descriptor to write into;
// commit() puts the new contents in place. Dropped before commit(), or after a failed
// write, the file keeps its old contents (a device or FIFO keeps what it was sent).
class SafeSaveFile {
public:
    explicit SafeSaveFile(SafeSaveOptions options = {});
    SafeSaveFile(const SafeSaveFile&) = delete;
    SafeSaveFile& operator=(const SafeSaveFile&) = delete;
    ~SafeSaveFile();

    // False when the file may not or cannot be saved (see reason()).
    bool open(const std::string& fileName);
    // Where the new contents go, from its start; -1 when not open.
    int fd() const;
    // Writes at the current offset; a failure is kept and fails the commit.
    bool write(const void* data, std::size_t size);
    // Moves the offset for writers that go back to fill in a size; false where the target
    // cannot seek (a FIFO).
    bool seek(off_t offset);
    off_t offset() const;
    // The length of the new contents: the furthest any write reached.
    off_t length() const;
    bool commit();
    // The errno of the first failure of open(), a write or commit(); 0 when none failed.
    int error() const;
    // That failure in words.
    std::string reason() const;

    struct State;

private:
    void fail(int error, const char* words = nullptr);

    SafeSaveOptions options_;
    std::unique_ptr<State> state_;
    int error_ = 0;
    std::string words_;
};

// Writes all of data to fd at its current offset, going on after interruptions and short
// writes; false on a failed write, with errno telling why.
bool WriteFully(int fd, const void* data, std::size_t size);
