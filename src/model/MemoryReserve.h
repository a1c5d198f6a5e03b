#pragma once

#include <cstddef>

// A block of address space held back while the program runs and given up just before a
// message or dialog is built, so that one can still be shown when memory has run out.
// The block is mapped but never touched: it costs no physical memory, yet it counts
// against an address-space or data limit and against the system's commit limit, which
// are what make an allocation fail outright.
class MemoryReserve {
public:
    explicit MemoryReserve(std::size_t bytes);
    MemoryReserve(const MemoryReserve&) = delete;
    MemoryReserve& operator=(const MemoryReserve&) = delete;
    ~MemoryReserve();

    void release();
    // Takes the block again; false (and tried again at the next release) when it cannot.
    bool retake();
    bool held() const { return block_ != nullptr; }

    // Gives the block up for as long as it lives, then takes it back.
    class Released {
    public:
        explicit Released(MemoryReserve& reserve) : reserve_(reserve) { reserve_.release(); }
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;
        ~Released() { reserve_.retake(); }

    private:
        MemoryReserve& reserve_;
    };

private:
    std::size_t bytes_;
    void* block_ = nullptr;
};
