#include "RandomSource.h"

#include <chrono>

namespace {

uint32_t timeSeed()
{
    const auto ticks = static_cast<uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count());
    // Fold the high half in so two starts within the same second still differ.
    return static_cast<uint32_t>(ticks ^ (ticks >> 32));
}

} // namespace

RandomSource::RandomSource() : engine_(timeSeed()) {}

RandomSource::RandomSource(uint32_t seed) : engine_(seed) {}

void RandomSource::seed(uint32_t value)
{
    engine_.seed(value);
}

int RandomSource::next(int n)
{
    // An empty range has no valid draw; answering 0 keeps callers free of a
    // distribution with max < min, which would be undefined.
    if (n <= 0)
        return 0;
    std::uniform_int_distribution<int> draw(0, n - 1);
    return draw(engine_);
}
