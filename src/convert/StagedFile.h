#pragma once

#include <string>

// A file written under a temporary name beside its target and renamed over it only when
// complete, so a failure leaves no output behind and an existing file untouched.
class StagedFile {
public:
    StagedFile() = default;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile() { discard(); }

    // Creates the temporary file; false with the system's reason.
    bool open(const std::string& target, std::string& error);
    int fd() const { return fd_; }
    const std::string& target() const { return target_; }

    bool write(const void* data, std::size_t size);
    // The errno of the first write that failed, 0 when none has.
    int failure() const { return failure_; }
    // Flushes to disk, closes and renames over the target; false with the reason.
    bool commit(std::string& error);
    // Removes the temporary file (also done by the destructor when not committed).
    void discard();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int failure_ = 0;   // the errno of the first failed write
};

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);
// The system's text for an errno value.
std::string SystemReason(int errorNumber);
