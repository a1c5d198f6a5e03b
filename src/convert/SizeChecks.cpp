#include "SizeChecks.h"

#include "FileNames.h"
#include "MemoryBudget.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr std::size_t kLongestName = 4096;
// Deflate packs the text of real models four to twenty times; a thousandfold is repetition
// made to inflate.
constexpr uint64_t kMostInflation = 100;
constexpr uint64_t kSmallArchive = 64 * kMiB;
// What the readers hold beside the inflated text or loaded buffers: their parse trees and
// the meshes built from them.
constexpr uint64_t kArchiveCost = 3;
constexpr uint64_t kBufferCost = 2;
// A face's share of a glTF buffer at the most: three indices and three corners with their
// normals, texture coordinates and colours unshared.
constexpr uint64_t kBufferBytesPerFace = 3 * 4 + 3 * (12 + 12 + 8 + 16);

std::string mib(uint64_t bytes)
{
    return std::to_string((bytes + kMiB - 1) / kMiB) + " MiB";
}

std::string lacking(uint64_t needed, uint64_t memory)
{
    return "not enough memory: it needs about " + mib(needed) + ", " + mib(memory) + " are to spare";
}

uint64_t fileSize(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
}

std::string readAt(std::ifstream& in, uint64_t offset, uint64_t count)
{
    std::string bytes(count, '\0');
    in.clear();
    in.seekg(std::streamoff(offset));
    in.read(bytes.data(), std::streamsize(count));
    bytes.resize(std::size_t(in.gcount()));
    return bytes;
}

uint64_t little(const std::string& bytes, std::size_t at, int width)
{
    uint64_t value = 0;
    for (int i = width; i-- > 0;)
        value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

// --- PLY: every element stated in the header takes at least its share of the body.

bool checkPly(std::ifstream& in, uint64_t size, std::string& error)
{
    const std::string head = readAt(in, 0, std::min<uint64_t>(size, 1 << 16));
    const std::size_t end = head.find("end_header");
    if (end == std::string::npos)
        return true;
    const std::size_t body = head.find('\n', end);
    const uint64_t room = body == std::string::npos ? 0 : size - (body + 1);
    std::istringstream lines(head.substr(0, end));
    std::string line, format;
    struct Element {
        std::string name;
        uint64_t count = 0;
        uint64_t least = 0;   // bytes of one element at the least
    };
    std::vector<Element> elements;
    auto scalar = [](const std::string& type) -> uint64_t {
        if (type == "char" || type == "uchar" || type == "int8" || type == "uint8")
            return 1;
        if (type == "short" || type == "ushort" || type == "int16" || type == "uint16")
            return 2;
        if (type == "double" || type == "float64")
            return 8;
        return 4;
    };
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "format") {
            words >> format;
        } else if (word == "element") {
            Element e;
            words >> e.name >> e.count;
            if (!words)
                return true;
            elements.push_back(e);
        } else if (word == "property" && !elements.empty()) {
            std::string type, countType;
            words >> type;
            if (type == "list")
                words >> countType;   // a list of no items is its count alone
            // In text every number takes a digit and a separator at least.
            elements.back().least += format == "ascii" ? 2 : scalar(type == "list" ? countType : type);
        }
    }
    uint64_t least = 0;
    for (const Element& e : elements) {
        const uint64_t each = std::max<uint64_t>(e.least, 1);
        if (e.count > room / each || least + e.count * each > room) {
            error = "is broken: it claims " + std::to_string(e.count) + " " + e.name +
                    " elements, more than its " + std::to_string(size) + " bytes can hold";
            return false;
        }
        least += e.count * each;
    }
    return true;
}

// --- glTF: the buffers are loaded whole, by the lengths the JSON states.

// Just enough JSON to find the top level's "buffers" and each one's "byteLength" and "uri".
class BufferList {
public:
    struct Buffer {
        uint64_t length = 0;
        bool hasUri = false;
        std::string uri;
    };

    explicit BufferList(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool parse(std::vector<Buffer>& out)
    {
        space();
        if (!take('{'))
            return false;
        while (true) {
            std::string key;
            space();
            if (take('}'))
                return true;
            if (!string(&key) || (space(), !take(':')))
                return false;
            space();
            if (key == "buffers" ? !buffers(out) : !skip(0))
                return false;
            space();
            if (!take(','))
                return (space(), take('}'));
        }
    }

private:
    bool buffers(std::vector<Buffer>& out)
    {
        if (!take('['))
            return false;
        space();
        if (take(']'))
            return true;
        while (true) {
            Buffer b;
            space();
            if (!take('{'))
                return false;
            space();
            if (!take('}')) {
                while (true) {
                    std::string key;
                    space();
                    if (!string(&key) || (space(), !take(':')))
                        return false;
                    space();
                    if (key == "byteLength") {
                        if (!number(b.length))
                            return false;
                    } else if (key == "uri") {
                        if (!string(&b.uri))
                            return false;
                        b.hasUri = true;
                    } else if (!skip(0)) {
                        return false;
                    }
                    space();
                    if (take('}'))
                        break;
                    if (!take(','))
                        return false;
                }
            }
            out.push_back(b);
            space();
            if (take(']'))
                return true;
            if (!take(','))
                return false;
        }
    }

    void space()
    {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    bool take(char c)
    {
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }

    bool string(std::string* out)
    {
        if (!take('"'))
            return false;
        while (p_ < end_ && *p_ != '"') {
            char c = *p_++;
            if (c == '\\') {
                if (p_ >= end_)
                    return false;
                c = *p_++;
                if (c == 'u') {
                    if (end_ - p_ < 4)
                        return false;
                    p_ += 4;
                    c = '?';
                } else if (c == 'n' || c == 't' || c == 'r' || c == 'b' || c == 'f') {
                    c = ' ';
                }
            }
            // A data URI may be the most of the file; its start tells enough.
            if (out && out->size() < kLongestName)
                out->push_back(c);
        }
        return take('"');
    }

    bool number(uint64_t& value)
    {
        const char* start = p_;
        value = 0;
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
            value = value > UINT64_MAX / 10 ? UINT64_MAX : value * 10 + uint64_t(*p_ - '0');
            ++p_;
        }
        // Fractions and exponents are no lengths; the library refuses them itself.
        while (p_ < end_ && (std::strchr("+-.eE", *p_) || (*p_ >= '0' && *p_ <= '9')))
            ++p_;
        return p_ > start;
    }

    bool skip(int depth)
    {
        if (depth > 200 || p_ >= end_)
            return false;
        space();
        if (*p_ == '"')
            return string(nullptr);
        if (*p_ == '{' || *p_ == '[') {
            const char close = *p_ == '{' ? '}' : ']';
            ++p_;
            space();
            if (take(close))
                return true;
            while (true) {
                space();
                if (close == '}' && (!string(nullptr) || (space(), !take(':'))))
                    return false;
                if (!skip(depth + 1))
                    return false;
                space();
                if (take(close))
                    return true;
                if (!take(','))
                    return false;
            }
        }
        const char* start = p_;
        while (p_ < end_ && !std::strchr(",}] \t\r\n", *p_))
            ++p_;
        return p_ > start;
    }

    const char* p_;
    const char* end_;
};

struct Limits {
    uint64_t memory;
    uint64_t mostFaces;
};

bool checkBuffers(const std::string& json, const std::string& fileName, uint64_t binary,
                  bool hasBinary, const Limits& limits, std::string& error)
{
    std::vector<BufferList::Buffer> buffers;
    if (!BufferList(json).parse(buffers))
        return true;
    uint64_t total = 0;
    for (const BufferList::Buffer& b : buffers) {
        uint64_t length = b.length;
        if (!b.hasUri) {
            if (hasBinary && length > binary) {
                error = "is broken: its buffer of " + std::to_string(length) +
                        " bytes is longer than the " + std::to_string(binary) + " bytes it holds";
                return false;
            }
        } else if (b.uri.rfind("data:", 0) != 0) {
            const std::string path = b.uri[0] == '/' ? b.uri : FolderOf(fileName) + "/" + b.uri;
            const uint64_t held = fileSize(path);
            if (held > 0 && length > held) {
                error = "is broken: it reads " + std::to_string(length) + " bytes from " + b.uri +
                        ", which holds " + std::to_string(held);
                return false;
            }
            if (length == 0)
                length = held;   // the library then takes the whole file
        }
        total += std::min(length, UINT64_MAX / 4);
    }
    if (total / kBufferBytesPerFace > limits.mostFaces) {
        error = "is refused: its buffers hold " + mib(total) + ", far more than the " +
                std::to_string(limits.mostFaces) + " faces an object may have can use";
        return false;
    }
    if (total > limits.memory / kBufferCost) {
        error = lacking(total * kBufferCost, limits.memory);
        return false;
    }
    return true;
}

bool checkGltf(std::ifstream& in, const std::string& fileName, uint64_t size, const Limits& limits,
               std::string& error)
{
    return checkBuffers(readAt(in, 0, size), fileName, 0, false, limits, error);
}

bool checkGlb(std::ifstream& in, const std::string& fileName, uint64_t size, const Limits& limits,
              std::string& error)
{
    const std::string header = readAt(in, 0, 20);
    if (header.size() < 20 || little(header, 16, 4) != 0x4E4F534A)   // "JSON"
        return true;
    const uint64_t stated = little(header, 8, 4), jsonLength = little(header, 12, 4);
    if (stated > size || 20 + jsonLength > size) {
        error = "is cut off: it states " + std::to_string(std::max(stated, 20 + jsonLength)) +
                " bytes and holds " + std::to_string(size);
        return false;
    }
    const std::string json = readAt(in, 20, jsonLength);
    const uint64_t chunk = 20 + ((jsonLength + 3) & ~uint64_t(3));
    const std::string binaryHeader = readAt(in, chunk, 8);
    const bool hasBinary = binaryHeader.size() == 8;
    const uint64_t binary = hasBinary ? std::min(little(binaryHeader, 0, 4), size - std::min(size, chunk + 8)) : 0;
    return checkBuffers(json, fileName, binary, hasBinary, limits, error);
}

// --- Zip archives (3MF): the directory states what each member inflates to.

bool checkZip(std::ifstream& in, uint64_t size, uint64_t memory, std::string& error)
{
    const uint64_t tailSize = std::min<uint64_t>(size, 22 + 65535);
    const std::string tail = readAt(in, size - tailSize, tailSize);
    std::size_t at = tail.rfind(std::string("PK\x05\x06", 4));
    if (at == std::string::npos || at + 22 > tail.size())
        return true;
    uint64_t entries = little(tail, at + 10, 2);
    uint64_t directorySize = little(tail, at + 12, 4);
    uint64_t directory = little(tail, at + 16, 4);
    if ((entries == 0xFFFF || directory == 0xFFFFFFFF || directorySize == 0xFFFFFFFF) && at >= 20 &&
        tail.compare(at - 20, 4, "PK\x06\x07", 4) == 0) {
        const std::string record = readAt(in, little(tail, at - 20 + 8, 8), 56);
        if (record.size() < 56 || record.compare(0, 4, "PK\x06\x06", 4) != 0)
            return true;
        entries = little(record, 32, 8);
        directorySize = little(record, 40, 8);
        directory = little(record, 48, 8);
    }
    if (directory > size || directorySize > size - directory)
        return true;
    const std::string list = readAt(in, directory, directorySize);
    uint64_t packed = 0, inflated = 0;
    std::size_t p = 0;
    for (uint64_t i = 0; i < entries && p + 46 <= list.size(); ++i) {
        if (list.compare(p, 4, "PK\x01\x02", 4) != 0)
            return true;
        uint64_t compressed = little(list, p + 20, 4), plain = little(list, p + 24, 4);
        const std::size_t nameLength = little(list, p + 28, 2), extraLength = little(list, p + 30, 2),
                          commentLength = little(list, p + 32, 2);
        // Sizes that do not fit 32 bits are in the Zip64 extra field, the plain one first.
        std::size_t extra = p + 46 + nameLength;
        const std::size_t extraEnd = std::min(list.size(), extra + extraLength);
        while (extra + 4 <= extraEnd) {
            const uint64_t id = little(list, extra, 2), length = little(list, extra + 2, 2);
            if (id == 1) {
                std::size_t field = extra + 4;
                if (plain == 0xFFFFFFFF && field + 8 <= extraEnd)
                    plain = little(list, field, 8), field += 8;
                if (compressed == 0xFFFFFFFF && field + 8 <= extraEnd)
                    compressed = little(list, field, 8);
            }
            extra += 4 + length;
        }
        packed += compressed;
        inflated += std::min(plain, UINT64_MAX / 8);
        p += 46 + nameLength + extraLength + commentLength;
    }
    if (inflated > kSmallArchive && inflated / kMostInflation > std::max<uint64_t>(packed, 1)) {
        error = "is refused: its archive would inflate to " + mib(inflated) + " from " + mib(packed) +
                ", far more than any model";
        return false;
    }
    if (inflated > memory / kArchiveCost) {
        error = lacking(inflated * kArchiveCost, memory);
        return false;
    }
    return true;
}

std::string lowerExtension(const std::string& name)
{
    const std::size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.')
        return "";
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

} // namespace

bool CheckSizeClaims(const std::string& fileName, uint64_t memory, uint64_t mostFaces,
                     std::string& error)
{
    const Limits limits{memory, mostFaces};
    std::ifstream in(fileName, std::ios::binary);
    const uint64_t size = fileSize(fileName);
    if (!in || size == 0)
        return true;
    const std::string magic = readAt(in, 0, 4);
    if (magic == "ply\n" || magic == "ply\r")
        return checkPly(in, size, error);
    if (magic == "glTF")
        return checkGlb(in, fileName, size, limits, error);
    if (magic == std::string("PK\x03\x04", 4))
        return checkZip(in, size, memory, error);
    if (lowerExtension(fileName) == "gltf")
        return checkGltf(in, fileName, size, limits, error);
    return true;
}

DataLimit::DataLimit(uint64_t bytes)
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_DATA, &limit) != 0)
        return;
    std::ifstream status("/proc/self/status");
    std::ostringstream text;
    text << status.rdbuf();
    const uint64_t used = ProcField(text.str(), "VmData").value_or(0);
    const uint64_t wanted = used + std::min(bytes, UINT64_MAX - used);
    if (limit.rlim_cur != RLIM_INFINITY && uint64_t(limit.rlim_cur) <= wanted)
        return;   // already as tight
    before_ = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? rlim_t(wanted) : std::min<rlim_t>(wanted, limit.rlim_max);
    set_ = ::setrlimit(RLIMIT_DATA, &limit) == 0;
}

DataLimit::~DataLimit()
{
    if (!set_)
        return;
    struct rlimit limit;
    if (::getrlimit(RLIMIT_DATA, &limit) != 0)
        return;
    limit.rlim_cur = rlim_t(before_);
    ::setrlimit(RLIMIT_DATA, &limit);
}
