#include "ObjectOutput.h"

#include "ObjectFile.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

ObjectFileOutput::ObjectFileOutput(std::string target, int chunk)
    : target_(std::move(target)), chunk_(chunk > 0 ? chunk : 1)
{
}

ObjectFileOutput::~ObjectFileOutput()
{
    if (!scratch_.empty())
        ::unlink(scratch_.c_str());
}

bool ObjectFileOutput::add(const tElement& polygon)
{
    if (!error_.empty())
        return false;
    if (list_.Count() >= chunk_ && !spill())
        return false;
    if (!list_.Add(polygon)) {
        error_ = "not enough memory";
        return false;
    }
    return true;
}

bool ObjectFileOutput::spill()
{
    if (scratch_.empty()) {
        if (!staged_.open(target_, error_))
            return false;
        scratch_ = FolderOf(target_) + "/.vorlan-chunk.XXXXXX";
        int fd = ::mkstemp(scratch_.data());
        if (fd < 0) {
            error_ = SystemReason(errno);
            scratch_.clear();
            return false;
        }
        ::close(fd);
    }
    if (!WriteObjectFile(scratch_, list_.First(), list_.Count())) {
        error_ = "cannot be written";
        return false;
    }
    int fd = ::open(scratch_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = SystemReason(errno);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error_ = SystemReason(errno);
            ok = false;
        }
        if (n <= 0)
            break;
        if (!staged_.write(buffer.data(), std::size_t(n))) {
            error_ = "cannot be written";
            ok = false;
            break;
        }
    }
    ::close(fd);
    list_.Clear();
    return ok;
}

bool ObjectFileOutput::finish(std::string& error)
{
    if (!error_.empty()) {
        error = error_;
        return false;
    }
    if (scratch_.empty()) {
        if (!WriteObjectFile(target_, list_.First(), list_.Count())) {
            error = "cannot be written";
            return false;
        }
        return true;
    }
    if ((list_.Count() > 0 && !spill()) || !staged_.commit(error_)) {
        error = error_;
        return false;
    }
    return true;
}
