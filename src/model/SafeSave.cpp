#include "SafeSave.h"

#include "FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

// The choice between renaming and writing in place takes its rules from the editors and
// libraries users trust with their files: a file that cannot be opened for writing is
// refused (Qt's QSaveFile); a renamed file must keep a single link and its owner and group,
// checked on the new file after giving them (GLib's g_file_replace, Vim's backupcopy=auto,
// Emacs's backup-by-copying-when-linked and -when-mismatch); attributes that cannot be kept
// and a folder that takes no new file mean writing in place (Vim; QSaveFile's direct-write
// fallback), with the old contents copied first and put back when the write fails (Vim's
// backup with writebackup).
namespace {

// Symbolic links followed before giving up, as the kernel does.
constexpr int kMaxLinkHops = 40;
// Room left in a file name for the suffixes of temporary and backup names.
constexpr std::size_t kKeptNameLength = 200;
constexpr std::size_t kCopyBuffer = 64 * 1024;

std::string join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The file the name stands for: symbolic links at its end followed, whether or not the file
// they lead to exists.
bool resolveLinks(const std::string& fileName, std::string& resolved)
{
    std::string path = fileName;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            resolved = path;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = path;
            return true;
        }
        char target[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || std::size_t(n) >= sizeof target)
            return false;
        std::string next(target, std::size_t(n));
        std::size_t slash = path.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = path.substr(0, slash + 1) + next;
        path = next;
    }
    errno = ELOOP;
    return false;
}

bool splitName(const std::string& path, std::string& folder, std::string& name)
{
    std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty() && name != "." && name != "..";
}

std::string randomSuffix()
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
        // Only uniqueness matters here, and O_EXCL guards that; varying bytes will do.
        static uint64_t state = uint64_t(::getpid()) << 32 ^ uint64_t(::time(nullptr));
        for (unsigned char& b : bytes) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            b = (unsigned char)(state >> 56);
        }
    }
    std::string s;
    for (unsigned char b : bytes)
        s += kAlphabet[b % (sizeof kAlphabet - 1)];
    return s;
}

// Creates a file of a name no one else has in folder; fd is -1 and errno set on failure.
int createUnique(const std::string& folder, const std::string& prefix, mode_t mode, std::string& path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = join(folder, prefix + randomSuffix());
        int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, const char* data, std::size_t size, off_t at)
{
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
        at += n;
    }
    return true;
}

// The names of the file's extended attributes; false when they cannot be listed, but true
// with none on a file system that has no extended attributes.
bool attributeNames(const std::string* path, int fd, std::vector<std::string>& names)
{
    names.clear();
    for (;;) {
        ssize_t size = path ? ::listxattr(path->c_str(), nullptr, 0) : ::flistxattr(fd, nullptr, 0);
        if (size <= 0)
            return size == 0 || errno == ENOTSUP;
        std::string list(std::size_t(size), '\0');
        size = path ? ::listxattr(path->c_str(), list.data(), list.size())
                    : ::flistxattr(fd, list.data(), list.size());
        if (size < 0 && errno == ERANGE)
            continue;  // grew meanwhile
        if (size < 0)
            return false;
        for (std::size_t at = 0; at < std::size_t(size);) {
            std::size_t end = list.find('\0', at);
            names.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        return true;
    }
}

// Gives the new file every extended attribute of the old one (its ACL is the attribute
// system.posix_acl_access) and none that the old one lacks, such as an ACL inherited from
// the folder's default ACL. False when any of that cannot be done.
bool carryAttributes(const std::string& from, int to)
{
    std::vector<std::string> names, extra;
    if (!attributeNames(&from, -1, names) || !attributeNames(nullptr, to, extra))
        return false;
    for (const std::string& name : names) {
        ssize_t size = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
        if (size < 0)
            return false;
        std::string value(std::size_t(size), '\0');
        size = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size());
        if (size < 0 || ::fsetxattr(to, name.c_str(), value.data(), std::size_t(size), 0) != 0)
            return false;
    }
    for (const std::string& name : extra) {
        if (std::find(names.begin(), names.end(), name) == names.end() &&
            ::fremovexattr(to, name.c_str()) != 0)
            return false;
    }
    return true;
}

// Owner and group first, since a change of owner clears set-id bits; attributes before the
// mode, since setting an ACL rewrites the group bits. The kernel quietly drops what the user
// may not give (a set-group-id bit for a group he is not in), so the result is compared.
bool carryOver(const std::string& from, int to, const struct stat& old)
{
    struct stat now;
    if (::fstat(to, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(to, old.st_uid, old.st_gid) != 0)
        return false;
    if (!carryAttributes(from, to) || ::fchmod(to, old.st_mode & 07777) != 0 || ::fstat(to, &now) != 0)
        return false;
    return now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
           (now.st_mode & 07777) == (old.st_mode & 07777);
}

// A bind-mounted file, or a mount point in general, cannot be renamed over.
bool isMountPoint(const std::string& path, const std::string& folder, const struct stat& st)
{
    struct statx sx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return true;
    struct stat parent;
    return ::stat(folder.c_str(), &parent) == 0 && parent.st_dev != st.st_dev;
}

// The new contents in the making: an unnamed file of the target's folder where the file
// system has them, a hidden named one otherwise. The destructor throws it away unless it was
// put in place.
class NewFile {
public:
    NewFile(const std::string& folder, const std::string& name, mode_t mode, bool unnamed)
        : folder_(folder)
    {
        if (unnamed) {
            fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
            if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
                return;
        }
        fd_ = createUnique(folder, "." + name.substr(0, kKeptNameLength) + ".", mode, path_);
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }

    int fd() const { return fd_; }
    bool unnamed() const { return path_.empty(); }

    // Gives the file the name target; an existing file of that name is replaced only when
    // replace is set, atomically.
    bool putInPlace(const std::string& target, const std::string& name, bool replace)
    {
        if (!unnamed()) {
            if (!moveTo(target, replace))
                return false;
            path_.clear();
            return true;
        }
        if (!replace)
            return linkTo(target);
        // Linux cannot link over an existing name: link under a fresh one, then rename.
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = join(folder_, "." + name.substr(0, kKeptNameLength) + "." + randomSuffix());
            if (linkTo(path_))
                break;
            path_.clear();
            if (errno != EEXIST)
                return false;
        }
        if (path_.empty() || ::rename(path_.c_str(), target.c_str()) != 0)
            return false;
        path_.clear();
        return true;
    }

private:
    bool linkTo(const std::string& path)
    {
        if (::linkat(fd_, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno == EEXIST)
            return false;
        // Without the capability AT_EMPTY_PATH asks for, the descriptor's /proc name serves.
        std::string proc = "/proc/self/fd/" + std::to_string(fd_);
        return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    bool moveTo(const std::string& target, bool replace)
    {
        if (replace)
            return ::rename(path_.c_str(), target.c_str()) == 0;
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        // A file system without the no-replace flag: a new name cannot replace either.
        if (errno != EINVAL || ::link(path_.c_str(), target.c_str()) != 0)
            return false;
        ::unlink(path_.c_str());
        return true;
    }

    std::string folder_;
    std::string path_;
    int fd_ = -1;
};

// The copy of the old contents an in-place write keeps until the new ones are safe.
class Backup {
public:
    Backup(int source, const std::string& name, const std::vector<std::string>& folders)
    {
        for (const std::string& folder : folders) {
            fd_ = createUnique(folder, name.substr(0, kKeptNameLength) + ".backup-", 0600, path_);
            if (fd_ < 0)
                continue;
            if (CopyFileContents(source, fd_, size_) && ::fsync(fd_) == 0) {
                SyncFolder(folder);
                return;
            }
            discard();
        }
    }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;
    ~Backup()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool made() const { return fd_ >= 0; }

    // Puts the old contents back into target; the copy is removed once they are safe there.
    bool restore(int target)
    {
        off_t copied = 0;
        if (!CopyFileContents(fd_, target, copied) || copied != size_ || ::ftruncate(target, size_) != 0 ||
            ::fsync(target) != 0)
            return false;
        discard();
        return true;
    }

    void discard()
    {
        ::unlink(path_.c_str());
        ::close(fd_);
        fd_ = -1;
    }

private:
    std::string path_;
    int fd_ = -1;
    off_t size_ = 0;
};


// A regular file written over in place, its old contents copied aside first and put back
// unless the new ones were made safe.
class InPlaceWrite {
public:
    InPlaceWrite() = default;
    InPlaceWrite(const InPlaceWrite&) = delete;
    InPlaceWrite& operator=(const InPlaceWrite&) = delete;
    ~InPlaceWrite()
    {
        if (backup_ && backup_->made())
            backup_->restore(out_.get());  // when even this fails, the copy stays for the user
    }

    bool begin(const std::string& target, const std::string& folder, const std::string& name,
               const struct stat& old, const std::vector<std::string>& backupFolders)
    {
        out_.reset(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        FileDescriptor in(::open(target.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        if (out_.get() < 0 || in.get() < 0 || ::fstat(out_.get(), &st) != 0)
            return false;
        // Checked again on the open file: the name may have been given to another meanwhile.
        if (st.st_ino != old.st_ino || st.st_dev != old.st_dev || !S_ISREG(st.st_mode)) {
            errno = EBUSY;
            return false;
        }
        std::vector<std::string> folders{folder};
        folders.insert(folders.end(), backupFolders.begin(), backupFolders.end());
        backup_ = std::make_unique<Backup>(in.get(), name, folders);
        if (!backup_->made()) {
            if (errno == 0)
                errno = EIO;
            return false;
        }
        return ::fcntl(out_.get(), F_SETFL, 0) == 0;
    }

    int fd() const { return out_.get(); }

    // Written over the old contents and cut after, rather than emptied first: the blocks the
    // file has stay its own, so a full disk fails only for what is written beyond them.
    bool finish(off_t length)
    {
        if (::ftruncate(out_.get(), length) != 0 || ::fsync(out_.get()) != 0)
            return false;
        backup_->discard();
        return true;
    }

private:
    FileDescriptor out_{-1};
    std::unique_ptr<Backup> backup_;
};

} // namespace

bool CopyFileContents(int from, int to, off_t& copied)
{
    char buffer[kCopyBuffer];
    copied = 0;
    for (;;) {
        ssize_t n = ::pread(from, buffer, sizeof buffer, copied);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(to, buffer, std::size_t(n), copied))
            return false;
        copied += n;
    }
}

void SyncFolder(const std::string& folder)
{
    // Makes a rename or a new name durable; file systems that cannot sync a folder keep the
    // file's own, already synced, contents, so a failure here fails no save.
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}


struct SafeSaveFile::State {
    enum class Way { Rename, InPlace, Device } way = Way::Rename;
    std::string target, folder, name;
    bool hasOld = false;
    struct stat old {};
    std::unique_ptr<NewFile> file;
    std::unique_ptr<InPlaceWrite> inPlace;
    FileDescriptor device{-1};
    off_t offset = 0;
    off_t length = 0;

    int fd() const
    {
        return way == Way::Rename ? file->fd() : way == Way::InPlace ? inPlace->fd() : device.get();
    }

    bool writeInPlaceFromNewFile(const SafeSaveOptions& options)
    {
        InPlaceWrite write;
        off_t copied = 0;
        return write.begin(target, folder, name, old, options.backupFolders) &&
               CopyFileContents(file->fd(), write.fd(), copied) && write.finish(copied);
    }

    bool putInPlace(const SafeSaveOptions& options)
    {
        if (::fsync(file->fd()) != 0)
            return false;
        if (file->putInPlace(target, name, hasOld)) {
            SyncFolder(folder);
            return true;
        }
        // A mounted file cannot be renamed over: its new contents are copied into it.
        if (errno == EBUSY && hasOld)
            return writeInPlaceFromNewFile(options);
        if (!file->unnamed() || errno == EEXIST)
            return false;
        // An unnamed file that cannot be linked (no /proc): a named copy of it instead.
        NewFile named(folder, name, hasOld ? 0600 : 0666, false);
        if (named.fd() < 0 || (hasOld && !carryOver(target, named.fd(), old)))
            return hasOld && writeInPlaceFromNewFile(options);
        off_t copied = 0;
        if (!CopyFileContents(file->fd(), named.fd(), copied) || ::fsync(named.fd()) != 0)
            return false;
        if (named.putInPlace(target, name, hasOld)) {
            SyncFolder(folder);
            return true;
        }
        return errno == EBUSY && hasOld && writeInPlaceFromNewFile(options);
    }
};

SafeSaveFile::SafeSaveFile(SafeSaveOptions options) : options_(std::move(options)) {}

SafeSaveFile::~SafeSaveFile() = default;

void SafeSaveFile::fail(int error, const char* words)
{
    if (error_ != 0)
        return;   // the first failure is the one that tells why
    error_ = error != 0 ? error : EIO;
    words_ = words ? words : "";
}

bool SafeSaveFile::open(const std::string& fileName)
{
    state_.reset();
    error_ = 0;
    words_.clear();
    auto s = std::make_unique<State>();
    if (fileName.empty()) {
        fail(ENOENT);
        return false;
    }
    if (!resolveLinks(fileName, s->target)) {
        fail(errno);
        return false;
    }
    if (!splitName(s->target, s->folder, s->name)) {
        fail(EISDIR, "is a folder");
        return false;
    }
    if (::stat(s->target.c_str(), &s->old) != 0) {
        if (errno != ENOENT) {
            fail(errno);
            return false;
        }
        s->file = std::make_unique<NewFile>(s->folder, s->name, 0666, options_.unnamedTemporary);
        if (s->file->fd() < 0) {
            fail(errno);
            return false;
        }
        state_ = std::move(s);
        return true;
    }
    if (S_ISDIR(s->old.st_mode)) {
        fail(EISDIR, "is a folder");
        return false;
    }
    // Judged with the effective ids, as open() judges: a file the user may not write is
    // never replaced, even where its folder would let him replace it.
    if (::faccessat(AT_FDCWD, s->target.c_str(), W_OK, AT_EACCESS) != 0) {
        fail(errno);
        return false;
    }
    if (!S_ISREG(s->old.st_mode)) {
        // Non-blocking open: a FIFO without a reader fails at once instead of hanging the caller.
        s->way = State::Way::Device;
        s->device.reset(::open(s->target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (s->device.get() < 0) {
            const bool unread = errno == ENXIO && S_ISFIFO(s->old.st_mode);
            fail(errno, unread ? "is a FIFO that no program reads" : nullptr);
            return false;
        }
        if (::fcntl(s->device.get(), F_SETFL, 0) != 0) {
            fail(errno);
            return false;
        }
        state_ = std::move(s);
        return true;
    }
    s->hasOld = true;
    if (s->old.st_nlink == 1 && !isMountPoint(s->target, s->folder, s->old)) {
        // Until its owner, mode and attributes are those of the old file, only the user may
        // open the new one.
        s->file = std::make_unique<NewFile>(s->folder, s->name, 0600, options_.unnamedTemporary);
        if (s->file->fd() >= 0 && carryOver(s->target, s->file->fd(), s->old)) {
            state_ = std::move(s);
            return true;
        }
        s->file.reset();
    }
    s->way = State::Way::InPlace;
    s->inPlace = std::make_unique<InPlaceWrite>();
    if (!s->inPlace->begin(s->target, s->folder, s->name, s->old, options_.backupFolders)) {
        fail(errno);
        return false;
    }
    state_ = std::move(s);
    return true;
}

int SafeSaveFile::fd() const
{
    return state_ ? state_->fd() : -1;
}

bool SafeSaveFile::write(const void* data, std::size_t size)
{
    if (!state_ || error_ != 0) {
        fail(EBADF);
        return false;
    }
    if (!WriteFully(state_->fd(), data, size)) {
        fail(errno);
        return false;
    }
    state_->offset += off_t(size);
    state_->length = std::max(state_->length, state_->offset);
    return true;
}

bool SafeSaveFile::seek(off_t offset)
{
    if (!state_ || error_ != 0 || ::lseek(state_->fd(), offset, SEEK_SET) < 0)
        return false;
    state_->offset = offset;
    return true;
}

off_t SafeSaveFile::offset() const
{
    return state_ ? state_->offset : 0;
}

off_t SafeSaveFile::length() const
{
    return state_ ? state_->length : 0;
}

bool SafeSaveFile::commit()
{
    // Whatever comes of it, the save is over; what is not put in place is thrown away.
    std::unique_ptr<State> s = std::move(state_);
    if (!s) {
        fail(EBADF);
        return false;
    }
    if (error_ != 0)
        return false;
    bool saved = false;
    switch (s->way) {
    case State::Way::Rename:
        saved = s->putInPlace(options_);
        break;
    case State::Way::InPlace: {
        // Writers given the descriptor itself write past what write() counted.
        const off_t at = ::lseek(s->fd(), 0, SEEK_CUR);
        saved = at >= 0 && s->inPlace->finish(std::max(at, s->length));
        break;
    }
    case State::Way::Device:
        // Devices and FIFOs that cannot be synced have nothing to wait for.
        saved = ::fsync(s->device.get()) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
        break;
    }
    if (!saved)
        fail(errno);
    return saved;
}

int SafeSaveFile::error() const
{
    return error_;
}

std::string SafeSaveFile::reason() const
{
    if (!words_.empty())
        return words_;
    return std::strerror(error_ != 0 ? error_ : EIO);
}

std::vector<std::string> SafeSaveOptions::DefaultBackupFolders()
{
    std::vector<std::string> folders;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache && cache[0] == '/')
        folders.push_back(cache);
    else if (home && home[0] == '/')
        folders.push_back(std::string(home) + "/.cache");
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && tmp[0] == '/')
        folders.push_back(tmp);
    folders.push_back("/tmp");
    return folders;
}

bool SaveFileSafely(const std::string& fileName, const ContentWriter& write, const SafeSaveOptions& options)
{
    int error = 0;
    {
        SafeSaveFile file(options);
        if (!file.open(fileName))
            error = file.error();
        else if (errno = 0; !write(file.fd()))
            error = errno != 0 ? errno : EIO;
        else if (!file.commit())
            error = file.error();
    }
    // Set after the file is gone: putting the old contents back may change errno.
    errno = error;
    return error == 0;
}

bool SaveFileSafely(const std::string& fileName, const void* data, std::size_t size, std::string& reason)
{
    SafeSaveFile file;
    if (file.open(fileName) && file.write(data, size) && file.commit())
        return true;
    reason = file.reason();
    return false;
}

bool WriteFully(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}
