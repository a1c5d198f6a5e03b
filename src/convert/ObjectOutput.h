#pragma once

#include "Element.h"
#include "ObjectRecord.h"
#include "SafeSave.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

// Collects imported polygons for an object file, each encoded into its record as it comes.
// An object of up to one chunk of polygons is written at the end by the program's safe save.
// A larger one is streamed through the same save and put in place at the end, so a huge
// import never holds the source's scene and its records at once; a second thread writes
// each full buffer while the next one is filled.
class ObjectFileOutput {
public:
    // Small enough to stay in the processor's cache between being filled and being written.
    static constexpr std::size_t kBufferBytes = 256 << 10;
    // As many records as one buffer holds when each doubles in size by its line ends: a
    // larger first chunk grew its buffer by copies into fresh memory, whose page faults cost
    // a conversion of a million triangles a tenth of its time.
    static constexpr int kOneBuffer = int(kBufferBytes / (2 * kObjectRecordSize)) - 1;

    explicit ObjectFileOutput(std::string target, int chunk = kOneBuffer);
    ~ObjectFileOutput();
    ObjectFileOutput(const ObjectFileOutput&) = delete;
    ObjectFileOutput& operator=(const ObjectFileOutput&) = delete;

    // False when no memory can be had or the file cannot be written (see error()).
    bool add(const tElement& polygon);
    // Writes what is left and puts the file in place; false with the reason.
    bool finish(std::string& error);
    const std::string& error() const { return error_; }

private:
    bool startStream();
    bool makeRoom();
    bool handOver();
    bool drain();
    void writeBuffers();
    void flushWritten();
    std::string failure() const;

    std::string target_;
    int chunk_;
    int count_ = 0;
    bool streaming_ = false;
    SafeSaveFile file_;
    std::vector<uint8_t> filling_;   // its first used_ bytes hold records not yet handed over
    std::size_t used_ = 0;
    std::string error_;

    // The writer thread takes `pending_` into `writing_` and writes it. A third thread makes
    // what has been written durable as it goes, since a disk that keeps a cache may take as
    // long to flush it as to write it: one flush at the end made the conversion wait for
    // all of it.
    std::thread writer_;
    std::thread flusher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> pending_;
    std::size_t pendingSize_ = 0;
    std::vector<uint8_t> writing_;
    off_t written_ = 0;   // by the writer thread only
    bool hasPending_ = false;
    bool busy_ = false;
    bool stop_ = false;
    bool failed_ = false;
    bool flushWanted_ = false;
    bool flushing_ = false;
    int flushError_ = 0;   // the errno of a failed flush, which the last one would not see again
};
