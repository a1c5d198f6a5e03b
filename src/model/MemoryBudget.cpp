#include "MemoryBudget.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/resource.h>

namespace {

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<uint64_t> fileNumber(const std::string& path)
{
    std::ifstream in(path);
    std::string word;
    if (!(in >> word) || word.empty() || word[0] < '0' || word[0] > '9')
        return std::nullopt;   // unreadable, or "max"
    return std::strtoull(word.c_str(), nullptr, 10);
}

std::optional<uint64_t> leftUnder(int resource, std::optional<uint64_t> inUse)
{
    struct rlimit limit;
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    const uint64_t used = inUse.value_or(0);
    return limit.rlim_cur > used ? uint64_t(limit.rlim_cur) - used : 0;
}

// The memory controller's limit less its usage, for cgroup v2 or v1; none where unlimited.
std::optional<uint64_t> controlGroupLeft()
{
    const std::string groups = fileText("/proc/self/cgroup");
    std::istringstream lines(groups);
    std::string line;
    std::optional<uint64_t> least;
    auto consider = [&](const std::string& limitFile, const std::string& usageFile) {
        std::optional<uint64_t> limit = fileNumber(limitFile);
        std::optional<uint64_t> usage = fileNumber(usageFile);
        // v1 says "unlimited" with a number near 2^63.
        if (!limit || *limit >= (uint64_t(1) << 62) || !usage)
            return false;
        const uint64_t left = *limit > *usage ? *limit - *usage : 0;
        if (!least || left < *least)
            least = left;
        return true;
    };
    while (std::getline(lines, line)) {
        // "0::/path" (v2) or "4:memory:/path" (v1); inside a container the group is
        // often the root of the mounted tree, so that is looked at when the path is not.
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            if (!consider("/sys/fs/cgroup" + path + "/memory.max", "/sys/fs/cgroup" + path + "/memory.current"))
                consider("/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current");
        } else if (controllers == "memory" || controllers.find("memory,") == 0 ||
                   controllers.find(",memory") != std::string::npos) {
            const std::string root = "/sys/fs/cgroup/memory";
            if (!consider(root + path + "/memory.limit_in_bytes", root + path + "/memory.usage_in_bytes"))
                consider(root + "/memory.limit_in_bytes", root + "/memory.usage_in_bytes");
        }
    }
    return least;
}

} // namespace

std::optional<uint64_t> ProcField(const std::string& text, const char* name)
{
    const std::string key = std::string(name) + ":";
    std::size_t at = 0;
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') {
            const char* p = text.c_str() + at + key.size();
            char* end = nullptr;
            const unsigned long long value = std::strtoull(p, &end, 10);
            if (end == p)
                return std::nullopt;
            while (*end == ' ' || *end == '\t')
                ++end;
            return std::strncmp(end, "kB", 2) == 0 ? uint64_t(value) * 1024 : uint64_t(value);
        }
        at += key.size();
    }
    return std::nullopt;
}

std::optional<uint64_t> SystemMemory::least() const
{
    std::optional<uint64_t> result;
    for (const std::optional<uint64_t>& figure : {available, addressSpace, dataSegment, controlGroup})
        if (figure && (!result || *figure < *result))
            result = figure;
    return result;
}

SystemMemory ReadSystemMemory()
{
    SystemMemory memory;
    memory.available = ProcField(fileText("/proc/meminfo"), "MemAvailable");
    const std::string status = fileText("/proc/self/status");
    memory.addressSpace = leftUnder(RLIMIT_AS, ProcField(status, "VmSize"));
    memory.dataSegment = leftUnder(RLIMIT_DATA, ProcField(status, "VmData"));
    memory.controlGroup = controlGroupLeft();
    return memory;
}

uint64_t MemoryBudget::FromFigures(const SystemMemory& memory)
{
    // Nothing reported at all (no /proc): no limit we could honour better than none.
    const uint64_t room = memory.least().value_or(UINT64_MAX);
    const uint64_t keep = room / 8 > kHeadroom ? room / 8 : kHeadroom;
    return room > keep ? room - keep : 0;
}

MemoryBudget MemoryBudget::FromSystem()
{
    MemoryBudget budget(FromFigures(ReadSystemMemory()));
    budget.fromSystem_ = true;
    return budget;
}

bool MemoryBudget::take(uint64_t bytes)
{
    if (fromSystem_ && sinceSample_ >= kResample) {
        sinceSample_ = 0;
        const uint64_t now = FromFigures(ReadSystemMemory());
        if (now < left_)
            left_ = now;
    }
    if (bytes > left_)
        return false;
    left_ -= bytes;
    sinceSample_ += bytes;
    return true;
}
