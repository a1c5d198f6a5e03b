#include "StagedFile.h"

#include "SafeSave.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FolderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemReason(int errorNumber)
{
    return std::strerror(errorNumber);
}

bool StagedFile::open(const std::string& target, std::string& error)
{
    discard();
    target_ = target;
    std::string folder = FolderOf(target);
    std::string base = target.substr(target.find_last_of('/') + 1);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "is a folder";
        return false;
    }
    temp_ = folder + "/." + base + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error = SystemReason(errno);
        temp_.clear();
        return false;
    }
    // mkstemp makes the file private; give it the mode a newly created file would have, or
    // the one of the file it replaces.
    mode_t mode;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
    failure_ = 0;
    return true;
}

bool StagedFile::write(const void* data, std::size_t size)
{
    if (failure_ == 0 && !WriteFully(fd_, data, size))
        failure_ = errno ? errno : EIO;
    return failure_ == 0;
}

bool StagedFile::commit(std::string& error)
{
    if (fd_ < 0) {
        error = "nothing was written";
        return false;
    }
    int failure = failure_;
    if (failure == 0 && ::fsync(fd_) != 0)
        failure = errno;
    if (::close(fd_) != 0 && failure == 0)
        failure = errno;
    fd_ = -1;
    if (failure == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        error = SystemReason(failure);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void StagedFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}
