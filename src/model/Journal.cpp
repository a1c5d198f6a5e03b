#include "Journal.h"

#include "FileDescriptor.h"
#include "ObjectFile.h"
#include "ObjectRecord.h"
#include "SafeSave.h"

#include <zlib.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr char kMagic[8] = {'3', 'D', 'V', 'J', 'R', 'N', 'L', '1'};
constexpr const char* kSuffix = ".journal";
// How often the writer looks for new entries: well inside the second that may be lost.
constexpr std::chrono::milliseconds kLookAgain(25);
// An entry longer than this is damage, not a change.
constexpr uint32_t kMaxPayload = 1u << 20;

uint32_t checksum(const uint8_t* data, std::size_t size)
{
    return uint32_t(::crc32(0L, data, uInt(size)));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t getU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Length and checksum ahead of the payload, so that a tail torn by a kill or a power loss is
// known as such.
std::vector<uint8_t> encode(const JournalEntry& e)
{
    std::vector<uint8_t> payload;
    payload.push_back(uint8_t(e.kind));
    using K = JournalEntry::Kind;
    if (e.kind == K::Update || e.kind == K::Remove)
        putU32(payload, uint32_t(e.position));
    if (e.kind == K::Replace || e.kind == K::Append)
        putU32(payload, uint32_t(e.count));
    if (e.kind == K::Add || e.kind == K::Update) {
        uint8_t record[kObjectRecordSize];
        EncodeObjectRecord(e.element, record);
        payload.insert(payload.end(), record, record + kObjectRecordSize);
    }
    if (e.kind == K::Folder || e.kind == K::Replace || e.kind == K::Append)
        payload.insert(payload.end(), e.text.begin(), e.text.end());
    std::vector<uint8_t> out;
    out.reserve(payload.size() + 8);
    putU32(out, uint32_t(payload.size()));
    putU32(out, checksum(payload.data(), payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool decode(const uint8_t* p, std::size_t size, JournalEntry& e)
{
    using K = JournalEntry::Kind;
    if (size < 1 || p[0] < uint8_t(K::Folder) || p[0] > uint8_t(K::Lost))
        return false;
    e = JournalEntry();
    e.kind = K(p[0]);
    std::size_t at = 1;
    auto need = [&](std::size_t n) { return size - at >= n; };
    if (e.kind == K::Update || e.kind == K::Remove) {
        if (!need(4))
            return false;
        e.position = int(getU32(p + at));
        at += 4;
    }
    if (e.kind == K::Replace || e.kind == K::Append) {
        if (!need(4))
            return false;
        e.count = int(getU32(p + at));
        at += 4;
    }
    if (e.kind == K::Add || e.kind == K::Update) {
        if (!need(kObjectRecordSize))
            return false;
        uint8_t record[kObjectRecordSize];
        std::memcpy(record, p + at, kObjectRecordSize);
        DecodeObjectRecord(record, e.element);
        at += kObjectRecordSize;
    }
    if (e.kind == K::Folder || e.kind == K::Replace || e.kind == K::Append) {
        e.text.assign(reinterpret_cast<const char*>(p + at), size - at);
        at = size;
    }
    return at == size;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Copies source to target and syncs it; false when the source was not the file seen when it
// was read, before or after the copy.
bool copyFile(const std::string& source, const struct stat& seen, const std::string& target)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !sameFile(st, seen))
        return false;
    FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return false;
    off_t copied = 0;
    if (!CopyFileContents(in.get(), out.get(), copied) || copied != st.st_size)
        return false;
    struct stat after {};
    return ::fstat(in.get(), &after) == 0 && sameFile(after, seen) && ::fsync(out.get()) == 0;
}

bool makeFolders(const std::string& path)
{
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string stemOf(const std::string& fileName)
{
    return fileName.substr(0, fileName.size() - std::strlen(kSuffix));
}

// Removes a journal and the copies named after it.
void removeJournal(const std::string& folder, const std::string& stem)
{
    if (DIR* dir = ::opendir(folder.c_str())) {
        const std::string copies = stem + ".";
        while (dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            if (name.compare(0, copies.size(), copies) == 0 && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".3do") == 0)
                ::unlink((folder + "/" + name).c_str());
        }
        ::closedir(dir);
    }
    ::unlink((folder + "/" + stem + kSuffix).c_str());
}

} // namespace

bool JournalContents::offerable() const
{
    bool changed = false;
    for (const JournalEntry& e : entries) {
        if (e.kind == JournalEntry::Kind::Saved)
            changed = false;
        else if (e.kind != JournalEntry::Kind::Folder && e.kind != JournalEntry::Kind::Lost)
            changed = true;
    }
    return changed;
}

bool ReadJournal(int fd, JournalContents& contents)
{
    contents = JournalContents();
    std::vector<uint8_t> data;
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        data.insert(data.end(), buffer, buffer + n);
    }
    if (data.size() < sizeof kMagic || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
        return false;
    std::size_t at = sizeof kMagic;
    while (data.size() - at >= 8) {
        const uint32_t length = getU32(&data[at]);
        const uint32_t check = getU32(&data[at + 4]);
        if (length > kMaxPayload || data.size() - at - 8 < length ||
            checksum(&data[at + 8], length) != check)
            break;
        JournalEntry e;
        if (!decode(&data[at + 8], length, e))
            break;
        contents.entries.push_back(std::move(e));
        at += 8 + length;
    }
    contents.validBytes = at;
    return true;
}

bool ReplayJournal(const std::vector<JournalEntry>& entries, const std::string& folder,
                   UndoHistory& history, const TextureLoader& load)
{
    using K = JournalEntry::Kind;
    auto readCopy = [&](const JournalEntry& e) {
        return [&](CDynArray& list) {
            const int before = list.Count();
            if (!ReadObjectFile(folder + "/" + e.text, list, load))
                return false;
            CDynArray beyond;
            list.MoveTailTo(list.Count() - before - e.count, beyond);
            return list.Count() - before == e.count;
        };
    };
    for (const JournalEntry& e : entries) {
        bool ok = true;
        switch (e.kind) {
        case K::Folder:
            // A folder since removed leaves bare texture names unfound, as Open would.
            (void)::chdir(e.text.c_str());
            break;
        case K::Add: ok = history.add(e.element, load); break;
        case K::Update: ok = history.update(e.position, e.element, load); break;
        case K::Remove: ok = history.remove(e.position); break;
        case K::Replace:
            ok = e.text.empty() ? history.replace({}, {}) : history.replace(readCopy(e), e.text);
            break;
        case K::Append: ok = history.append(readCopy(e), e.text); break;
        case K::Undo: ok = history.canUndo(); history.undo(); break;
        case K::Redo: ok = history.canRedo(); history.redo(); break;
        case K::Saved: break;
        case K::Lost: return false;
        }
        if (!ok)
            return false;
    }
    return true;
}

std::string JournalFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/3dvorlan";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/state/3dvorlan";
}

Journal::Journal(std::string folder, std::string stem, int fd)
    : folder_(std::move(folder)), stem_(std::move(stem)), path_(folder_ + "/" + stem_ + kSuffix),
      fd_(fd)
{
    writer_ = std::thread([this] { run(); });
}

std::unique_ptr<Journal> Journal::Create(const std::string& folder)
{
    if (!makeFolders(folder))
        return nullptr;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::string stem = std::to_string(::getpid()) + "-" +
                             std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    const std::string path = folder + "/" + stem + kSuffix;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::write(fd, kMagic, sizeof kMagic) != sizeof kMagic) {
        ::close(fd);
        ::unlink(path.c_str());
        return nullptr;
    }
    ::fsync(fd);
    SyncFolder(folder);
    return std::unique_ptr<Journal>(new Journal(folder, stem, fd));
}

std::unique_ptr<Journal> Journal::TakeOrphan(const std::string& folder, JournalContents& contents)
{
    struct Found {
        std::string stem;
        timespec modified;
    };
    std::vector<Found> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            const std::size_t n = std::strlen(kSuffix);
            struct stat st {};
            if (name.size() > n && name.compare(name.size() - n, n, kSuffix) == 0 &&
                ::stat((folder + "/" + name).c_str(), &st) == 0)
                found.push_back({stemOf(name), st.st_mtim});
        }
        ::closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.modified.tv_sec != b.modified.tv_sec ? a.modified.tv_sec > b.modified.tv_sec
                                                      : a.modified.tv_nsec > b.modified.tv_nsec;
    });
    for (const Found& f : found) {
        const std::string path = folder + "/" + f.stem + kSuffix;
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {   // its process runs
            ::close(fd);
            continue;
        }
        JournalContents c;
        if (ReadJournal(fd, c) && c.offerable()) {
            contents = std::move(c);
            return std::unique_ptr<Journal>(new Journal(folder, f.stem, fd));
        }
        removeJournal(folder, f.stem);
        ::close(fd);
    }
    return nullptr;
}

Journal::~Journal()
{
    stopThread();
    if (fd_ >= 0)
        ::close(fd_);
}

void Journal::stopThread()
{
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void Journal::adopt(const JournalContents& contents)
{
    flush();
    std::lock_guard lock(mutex_);
    if (::ftruncate(fd_, off_t(contents.validBytes)) == 0)
        ::lseek(fd_, off_t(contents.validBytes), SEEK_SET);
    for (const JournalEntry& e : contents.entries)
        if (e.kind == JournalEntry::Kind::Replace || e.kind == JournalEntry::Kind::Append)
            copies_ = std::max(copies_, std::atoi(e.text.c_str() + stem_.size() + 1) + 1);
    lastFolder_.clear();
}

void Journal::discard()
{
    stopThread();
    removeJournal(folder_, stem_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Journal::flush()
{
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_ == pushed_ || !writer_.joinable(); });
}

uint64_t Journal::bytesWritten() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

void Journal::push(Job job)
{
    // The writer is not woken: waking a thread can hand it the processor the interface is
    // running on. It looks for work often enough by itself.
    std::lock_guard lock(mutex_);
    if (stop_)
        return;
    queue_.push_back(std::move(job));
    ++pushed_;
}

void Journal::noteFolder()
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer) || lastFolder_ == buffer)
        return;
    lastFolder_ = buffer;
    JournalEntry e;
    e.kind = JournalEntry::Kind::Folder;
    e.text = lastFolder_;
    push({encode(e), {}, {}, {}});
}

void Journal::added(const tElement& element)
{
    noteFolder();
    JournalEntry e;
    e.kind = JournalEntry::Kind::Add;
    e.element = element;
    push({encode(e), {}, {}, {}});
}

void Journal::updated(int position, const tElement& element)
{
    noteFolder();
    JournalEntry e;
    e.kind = JournalEntry::Kind::Update;
    e.position = position;
    e.element = element;
    push({encode(e), {}, {}, {}});
}

void Journal::removed(int position)
{
    JournalEntry e;
    e.kind = JournalEntry::Kind::Remove;
    e.position = position;
    push({encode(e), {}, {}, {}});
}

void Journal::bulk(JournalEntry::Kind kind, const std::string& source, int count)
{
    noteFolder();
    JournalEntry e;
    e.kind = kind;
    e.count = count;
    Job job;
    if (!source.empty()) {
        e.text = stem_ + "." + std::to_string(copies_++) + ".3do";
        job.copy = folder_ + "/" + e.text;
        // What was read is the file as it is now; the copy must be made of that same file.
        if (::stat(source.c_str(), &job.seen) == 0)
            job.source = source;
        else
            e.kind = JournalEntry::Kind::Lost;
    }
    job.bytes = encode(e);
    push(std::move(job));
}

void Journal::replaced(const std::string& source, int count) { bulk(JournalEntry::Kind::Replace, source, count); }
void Journal::appended(const std::string& source, int count) { bulk(JournalEntry::Kind::Append, source, count); }

void Journal::undone()
{
    JournalEntry e;
    e.kind = JournalEntry::Kind::Undo;
    push({encode(e), {}, {}, {}});
}

void Journal::redone()
{
    JournalEntry e;
    e.kind = JournalEntry::Kind::Redo;
    push({encode(e), {}, {}, {}});
}

void Journal::saved()
{
    JournalEntry e;
    e.kind = JournalEntry::Kind::Saved;
    push({encode(e), {}, {}, {}});
}

void Journal::writeAll(const std::vector<uint8_t>& bytes)
{
    // One write per entry: a kill can tear only the last one.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
    std::lock_guard lock(mutex_);
    bytes_ += done;
}

void Journal::run()
{
    // The writer must not take the processor from the interface while a frame is drawn.
    ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10);
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSync = Clock::now();
    bool unsynced = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty() && !stop_)
            wake_.wait_for(lock, kLookAgain);
        std::vector<Job> jobs = std::move(queue_);
        queue_.clear();
        const bool stopping = stop_;
        lock.unlock();
        for (Job& job : jobs) {
            if (!job.source.empty() && !copyFile(job.source, job.seen, job.copy)) {
                ::unlink(job.copy.c_str());
                JournalEntry lost;
                lost.kind = JournalEntry::Kind::Lost;
                job.bytes = encode(lost);
            }
            writeAll(job.bytes);
            unsynced = true;
            std::lock_guard counted(mutex_);
            ++finished_;
        }
        done_.notify_all();
        if (unsynced && (stopping || Clock::now() - lastSync >= std::chrono::seconds(1))) {
            ::fdatasync(fd_);
            lastSync = Clock::now();
            unsynced = false;
        }
        lock.lock();
        if (stopping && queue_.empty())
            break;
    }
}
