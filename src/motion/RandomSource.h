#pragma once

#include <cstdint>
#include <random>

// Uniform integers 0 .. n - 1 from std::mt19937, seeded once.
class RandomSource {
public:
    RandomSource();                       // seeded from the current time
    explicit RandomSource(uint32_t seed);
    void seed(uint32_t value);
    int next(int n);

private:
    std::mt19937 engine_;
};
