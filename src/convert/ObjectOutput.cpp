#include "ObjectOutput.h"

#include "ObjectFile.h"
#include "ObjectRecord.h"

#include <cerrno>

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;
}

ObjectFileOutput::ObjectFileOutput(std::string target, int chunk)
    : target_(std::move(target)), chunk_(chunk > 0 ? chunk : 1)
{
}

bool ObjectFileOutput::add(const tElement& polygon)
{
    if (!error_.empty())
        return false;
    if (streaming_)
        return stream(polygon);
    if (list_.Count() >= chunk_ && !startStream())
        return false;
    if (streaming_)
        return stream(polygon);
    if (!list_.Add(polygon)) {
        error_ = "not enough memory";
        return false;
    }
    return true;
}

bool ObjectFileOutput::startStream()
{
    if (!staged_.open(target_, error_))
        return false;
    streaming_ = true;
    buffer_.resize(kBufferBytes + 2 * kObjectRecordSize);
    for (const tElement* e = list_.First(); e; e = e->next)
        if (!stream(*e))
            return false;
    list_.Clear();
    return true;
}

bool ObjectFileOutput::stream(const tElement& polygon)
{
    uint8_t record[kObjectRecordSize];
    EncodeObjectRecord(polygon, record);
    used_ += TranslateLineEnds(record, buffer_.data() + used_);
    return used_ < kBufferBytes || flush();
}

bool ObjectFileOutput::flush()
{
    bool ok = staged_.write(buffer_.data(), used_);
    used_ = 0;
    if (!ok)
        error_ = SystemReason(errno);
    return ok;
}

bool ObjectFileOutput::finish(std::string& error)
{
    if (error_.empty() && !streaming_) {
        errno = 0;
        if (!WriteObjectFile(target_, list_.First(), list_.Count()))
            error_ = errno ? SystemReason(errno) : "cannot be written";
    } else if (error_.empty()) {
        if (flush())
            staged_.commit(error_);
    }
    error = error_;
    return error_.empty();
}
