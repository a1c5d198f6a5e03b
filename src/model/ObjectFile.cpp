#include "ObjectFile.h"

#include "FileDescriptor.h"
#include "MemoryBudget.h"
#include "ObjectRecord.h"
#include "SafeSave.h"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kCr = 0x0D;

// Big enough that a million polygons take a few hundred system calls, small enough to sit
// on the stack of any caller.
constexpr std::size_t kIoBuffer = 64 * 1024;

using Record = uint8_t[kObjectRecordSize];

// Encodes the polygons into fd with the line-end translation; false on the first failed write.
bool writeRecords(int fd, const tElement* first, int count)
{
    static_assert(kIoBuffer >= 2 * kObjectRecordSize);
    uint8_t out[kIoBuffer];
    std::size_t used = 0;
    const tElement* e = first;
    for (int i = 0; i < count; ++i, e = e->next) {
        if (kIoBuffer - used < 2 * kObjectRecordSize) {
            if (!WriteFully(fd, out, used))
                return false;
            used = 0;
        }
        EncodeObjectRecord(*e, *reinterpret_cast<Record*>(out + used));
        used += TranslateLineEnds(out + used);
    }
    return WriteFully(fd, out, used);
}

// Cuts the decoded byte stream into records and appends each one to the list.
class RecordSink {
public:
    RecordSink(CDynArray& list, const TextureLoader& load, const ReadOptions& options,
               std::string* fault)
        : list_(list), load_(load), index_(list), options_(options), fault_(fault),
          budget_(options.budget ? MemoryBudget(*options.budget) : MemoryBudget::FromSystem())
    {
    }

    bool put(const uint8_t* data, std::size_t size)
    {
        while (size > 0) {
            std::size_t n = kObjectRecordSize - used_;
            if (n > size)
                n = size;
            std::memcpy(record_ + used_, data, n);
            used_ += n;
            data += n;
            size -= n;
            if (used_ == kObjectRecordSize) {
                used_ = 0;
                if (!append())
                    return false;
            }
        }
        return true;
    }

    bool put(uint8_t byte) { return put(&byte, 1); }

    // At the end of the file: under strict reading, a rest that makes no record is a fault.
    bool finish()
    {
        if (!fault_ || used_ == 0)
            return true;
        *fault_ = records_ == 0 ? "holds no complete polygon record"
                                : "is truncated: its last record is incomplete (" + std::to_string(used_) +
                                      " of " + std::to_string(kObjectRecordSize) + " bytes)";
        return false;
    }

private:
    bool append()
    {
        ++records_;
        if (fault_) {
            if (const char* fault = ObjectRecordFault(record_)) {
                *fault_ = "is not an object file: record " + std::to_string(records_) + ": " + fault;
                return false;
            }
        }
        DecodeObjectRecord(record_, element_);
        // A texture name the list already holds costs nothing more: the polygon shares it.
        uint64_t cost = PolygonFootprint(element_) + options_.extraPerPolygon;
        if (!index_.shareTexture(element_))
            cost += TextFootprint(element_.texture);
        // Before the texture is settled: a polygon that cannot be had loads no bitmap.
        if (!budget_.take(cost))
            return false;
        element_.textureId = SettleTextureId(index_, element_, load_);
        if (!list_.Add(element_))
            return false;
        index_.noteAppended(element_);
        if (options_.progress && ++sinceProgress_ == kProgressRecords) {
            sinceProgress_ = 0;
            options_.progress();
        }
        return true;
    }

    CDynArray& list_;
    const TextureLoader& load_;
    TextureIndex index_;
    const ReadOptions& options_;
    std::string* fault_;   // set when reading strictly
    MemoryBudget budget_;
    int sinceProgress_ = 0;
    uint64_t records_ = 0;
    Record record_;
    std::size_t used_ = 0;
    tElement element_;
};

bool readRecords(int fd, CDynArray& list, const TextureLoader& load, const ReadOptions& options,
                 std::string* fault)
{
    RecordSink sink(list, load, options, fault);
    uint8_t in[kIoBuffer];
    // A 0x0D at the end of one buffer whose partner may start the next.
    bool pendingCr = false;
    for (;;) {
        ssize_t got = ::read(fd, in, sizeof in);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (fault)
                *fault = std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        const uint8_t* p = in;
        const uint8_t* end = in + got;
        if (pendingCr) {
            pendingCr = false;
            if (*p == kLf) {
                if (!sink.put(kLf))
                    return false;
                ++p;
            } else if (!sink.put(kCr)) {
                return false;
            }
        }
        while (p < end) {
            const void* found = std::memchr(p, kCr, std::size_t(end - p));
            const uint8_t* cr = found ? static_cast<const uint8_t*>(found) : end;
            if (!sink.put(p, std::size_t(cr - p)))
                return false;
            if (cr == end)
                break;
            if (cr + 1 == end) {
                pendingCr = true;
                break;
            }
            if (cr[1] == kLf) {
                if (!sink.put(kLf))
                    return false;
                p = cr + 2;
            } else {
                if (!sink.put(kCr))
                    return false;
                p = cr + 1;
            }
        }
    }
    // A lone 0x0D as the last byte only ever completes a record, never starts a pair.
    return (!pendingCr || sink.put(kCr)) && sink.finish();
}

bool readFile(const std::string& fileName, CDynArray& list, const TextureLoader& load,
              const ReadOptions& options, std::string* fault)
{
    // Non-blocking open so that a FIFO cannot hang the caller; only regular files are read,
    // since a device such as /dev/zero would never end.
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        if (fault)
            *fault = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (fault)
            *fault = S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file";
        return false;
    }
    try {
        if (readRecords(fd.get(), list, load, options, fault))
            return true;
        // Neither a read nor the records failed: a polygon could not be had.
        if (fault && fault->empty())
            *fault = "not enough memory";
        return false;
    } catch (const std::bad_alloc&) {
        // Decoding a record's texts allocates; the polygons read so far stay in the list.
        if (fault)
            *fault = "not enough memory";
        return false;
    }
}

} // namespace

bool WriteObjectFile(const std::string& fileName, const tElement* first, int count)
{
    if (count < 0 || fileName.empty())
        return false;
    // A chain shorter than the count would be written short: refuse before touching anything.
    const tElement* e = first;
    for (int i = 0; i < count; ++i, e = e->next) {
        if (!e)
            return false;
    }

    return SaveFileSafely(fileName, [&](int fd) { return writeRecords(fd, first, count); });
}

namespace {

// As the C library's allocator counts: a header word, rounded up to 16 bytes.
uint64_t heapBlock(uint64_t size)
{
    return size + 8 <= 32 ? 32 : (size + 8 + 15) / 16 * 16;
}

} // namespace

uint64_t PolygonFootprint(const tElement&)
{
    // The type and the name live inside the node.
    return heapBlock(sizeof(tElement));
}

uint64_t TextFootprint(const tSharedText& text)
{
    // Its count, its length, its bytes and a zero byte.
    return text.empty() ? 0 : heapBlock(8 + text.size() + 1);
}

bool ReadObjectFile(const std::string& fileName, CDynArray& list, const TextureLoader& load,
                    const ReadOptions& options)
{
    return readFile(fileName, list, load, options, nullptr);
}

bool ReadObjectFileStrictly(const std::string& fileName, CDynArray& list, const TextureLoader& load,
                            std::string& fault, const ReadOptions& options)
{
    fault.clear();
    return readFile(fileName, list, load, options, &fault);
}
