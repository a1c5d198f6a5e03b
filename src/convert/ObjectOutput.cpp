#include "ObjectOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace {
// Written bytes after which a flush is asked for: large enough that the flushes cost little
// on a disk that has no cache, small enough that the last one finds little left.
constexpr off_t kFlushBytes = 16 << 20;
} // namespace

ObjectFileOutput::ObjectFileOutput(std::string target, int chunk)
    : target_(std::move(target)), chunk_(chunk > 0 ? chunk : 1)
{
}

ObjectFileOutput::~ObjectFileOutput()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable())
        writer_.join();
    if (flusher_.joinable())
        flusher_.join();
}

bool ObjectFileOutput::add(const tElement& polygon)
{
    if (!error_.empty())
        return false;
    if (!streaming_ && count_ >= chunk_ && !startStream())
        return false;
    // A record grows by at most its own size when its line ends are translated.
    const std::size_t limit = streaming_ ? std::min(filling_.size(), kBufferBytes) : filling_.size();
    if (limit - std::min(limit, used_) < 2 * kObjectRecordSize && !makeRoom())
        return false;
    uint8_t* record = filling_.data() + used_;
    EncodeObjectRecord(polygon, *reinterpret_cast<uint8_t(*)[kObjectRecordSize]>(record));
    used_ += TranslateLineEnds(record);
    ++count_;
    return true;
}

bool ObjectFileOutput::makeRoom()
{
    if (streaming_ && !handOver())
        return false;
    try {
        const std::size_t wanted = streaming_ ? kBufferBytes : std::max(2 * filling_.size(), kBufferBytes);
        if (filling_.size() < wanted)
            filling_.resize(wanted);
    } catch (const std::bad_alloc&) {
        error_ = "not enough memory";
        return false;
    }
    return true;
}

bool ObjectFileOutput::startStream()
{
    if (!file_.open(target_)) {
        error_ = file_.reason();
        return false;
    }
    try {
        writer_ = std::thread([this] { writeBuffers(); });
        flusher_ = std::thread([this] { flushWritten(); });
    } catch (const std::system_error& e) {
        error_ = std::string("cannot start writing: ") + e.what();
        return false;
    }
    streaming_ = true;
    return handOver();
}

// Gives the filled buffer to the writer once it has taken the one before, and goes on with
// the buffer the writer has finished with.
bool ObjectFileOutput::handOver()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hasPending_ || failed_; });
    if (failed_) {
        error_ = failure();
        return false;
    }
    pending_.swap(filling_);
    pendingSize_ = used_;
    used_ = 0;
    hasPending_ = true;
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool ObjectFileOutput::drain()
{
    if (!handOver())
        return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return (!hasPending_ && !busy_ && !flushWanted_ && !flushing_) || failed_;
    });
    if (failed_)
        error_ = failure();
    return !failed_;
}

void ObjectFileOutput::writeBuffers()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasPending_ || stop_; });
        if (!hasPending_)
            return;
        writing_.swap(pending_);
        const std::size_t size = pendingSize_;
        hasPending_ = false;
        busy_ = true;
        lock.unlock();
        changed_.notify_all();
        const bool ok = file_.write(writing_.data(), size);
        const bool flush = written_ / kFlushBytes != (written_ + off_t(size)) / kFlushBytes;
        written_ += off_t(size);
        lock.lock();
        busy_ = false;
        failed_ = failed_ || !ok;
        flushWanted_ = flushWanted_ || (ok && flush);
        changed_.notify_all();
    }
}

// Flushes whatever has been written by then; a flush asked for while one runs is done after it.
void ObjectFileOutput::flushWritten()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return flushWanted_ || stop_; });
        if (!flushWanted_)
            return;
        flushWanted_ = false;
        flushing_ = true;
        lock.unlock();
        const int error = ::fdatasync(file_.fd()) == 0 ? 0 : errno;
        lock.lock();
        flushing_ = false;
        // A file that cannot be flushed (a FIFO, some file systems) is no failure of its own.
        if (error != 0 && error != EINVAL && error != EROFS) {
            flushError_ = error;
            failed_ = true;
        }
        changed_.notify_all();
    }
}

std::string ObjectFileOutput::failure() const
{
    if (flushError_ != 0)
        return std::strerror(flushError_);
    return file_.reason();
}

bool ObjectFileOutput::finish(std::string& error)
{
    if (error_.empty() && !streaming_) {
        SaveFileSafely(target_, filling_.data(), used_, error_);
    } else if (error_.empty() && drain() && !file_.commit()) {
        error_ = file_.reason();
    }
    error = error_;
    return error_.empty();
}
