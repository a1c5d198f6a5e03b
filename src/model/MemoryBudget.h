#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the system lets this process still take, in bytes, each where it is set.
struct SystemMemory {
    std::optional<uint64_t> available;       // the machine's MemAvailable
    std::optional<uint64_t> addressSpace;    // RLIMIT_AS less the address space in use
    std::optional<uint64_t> dataSegment;     // RLIMIT_DATA less the data in use
    std::optional<uint64_t> controlGroup;    // the memory cgroup's limit less its usage

    // The smallest of the figures; none when the system reports nothing.
    std::optional<uint64_t> least() const;
};

// Reads the figures from /proc, the resource limits and the cgroup file system.
SystemMemory ReadSystemMemory();

// The "Name:  123 kB" line of a /proc status or meminfo text, in bytes.
std::optional<uint64_t> ProcField(const std::string& text, const char* name);

// How much a reader may still allocate before its next allocation counts as failed, so
// that a huge file ends as an ordinary failure while the program keeps room to go on.
class MemoryBudget {
public:
    // Room the window keeps for drawing, listing and showing messages afterwards.
    static constexpr uint64_t kHeadroom = 256ull << 20;

    // A budget of exactly this many bytes (tests, callers with their own figure).
    explicit MemoryBudget(uint64_t bytes) : left_(bytes) {}

    // The system's figures less the headroom (and an eighth of what is left, so a large
    // machine keeps a share for its other programs). Looks again at the system every
    // kResample bytes, so what others take meanwhile, and what our allocations really
    // cost, count as well.
    static MemoryBudget FromSystem();

    // Takes bytes from the budget; false, taking nothing, when they are not there.
    bool take(uint64_t bytes);
    uint64_t left() const { return left_; }

    static uint64_t FromFigures(const SystemMemory& memory);

private:
    static constexpr uint64_t kResample = 64ull << 20;

    uint64_t left_;
    bool fromSystem_ = false;
    uint64_t sinceSample_ = 0;
};
