// The small random number generator the demo game, the tests, fuzz targets
// and benchmarks draw from: SplitMix64, fixed seed in, the same numbers on
// every machine (the standard distributions differ between libraries).
#pragma once

#include <cstdint>

namespace tarnwick {

class CSplitMix64 {
public:
    explicit CSplitMix64(std::uint64_t seed) : state(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0. The tiny bias of the modulo does not matter here.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t state;
};

}  // namespace tarnwick
