// The generator's own random numbers. Everything the demo game holds comes
// from these, so one seed gives the same bytes on every machine; the
// standard library's distributions are left alone because their results
// differ between implementations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devkit/split_mix64.h"

namespace tarnwick::demo {

class CDemoRandom : public CSplitMix64 {
public:
    explicit CDemoRandom(std::uint64_t seed) : CSplitMix64(seed) {}

    // A generator for one part of the game: the same seed and salt give the
    // same stream, whatever else was drawn before.
    static CDemoRandom For(std::uint64_t seed, std::uint64_t salt)
    {
        CDemoRandom mixer(seed ^ (salt * 0xD1B54A32D192ED03ull));
        return CDemoRandom(mixer.Next());
    }

    // Uniform in [lo, hi].
    int Range(int lo, int hi)
    {
        return lo + static_cast<int>(Below(static_cast<std::uint32_t>(hi - lo + 1)));
    }

    double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }

    bool Chance(double p) { return Unit() < p; }

    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N])
    {
        return items[Below(static_cast<std::uint32_t>(N))];
    }
};

}  // namespace tarnwick::demo
