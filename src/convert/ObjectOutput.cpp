#include "ObjectOutput.h"


#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

#include <fcntl.h>

ObjectFileOutput::ObjectFileOutput(std::string target, int chunk)
    : target_(std::move(target)), chunk_(chunk > 0 ? chunk : 1)
{
}

ObjectFileOutput::~ObjectFileOutput()
{
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        writer_.join();
    }
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
    uint8_t record[kObjectRecordSize];
    EncodeObjectRecord(polygon, record);
    used_ += TranslateLineEnds(record, filling_.data() + used_);
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
        error_ = file_.reason();
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
    changed_.wait(lock, [this] { return (!hasPending_ && !busy_) || failed_; });
    if (failed_)
        error_ = file_.reason();
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
        // The disk starts on each buffer now, so the sync at the end waits for the last ones
        // only and not for the whole file.
        if (ok)
            ::sync_file_range(file_.fd(), written_, off_t(size), SYNC_FILE_RANGE_WRITE);
        written_ += off_t(size);
        lock.lock();
        busy_ = false;
        failed_ = failed_ || !ok;
        changed_.notify_all();
    }
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
