// The generator's own random numbers. Everything the demo game holds comes
// from these, so one seed gives the same bytes on every machine; the
// standard library's distributions are left alone because their results
// differ between implementations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::demo {

class CDemoRandom {
public:
    explicit CDemoRandom(std::uint64_t seed) : state(seed) {}

    // A generator for one part of the game: the same seed and salt give the
    // same stream, whatever else was drawn before.
    static CDemoRandom For(std::uint64_t seed, std::uint64_t salt)
    {
        CDemoRandom mixer(seed ^ (salt * 0xD1B54A32D192ED03ull));
        return CDemoRandom(mixer.Next());
    }

    // SplitMix64.
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0. The tiny bias of the modulo does not matter here.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

    // Uniform in [lo, hi].
    int Range(int lo, int hi)
    {
        return lo + static_cast<int>(Below(static_cast<std::uint32_t>(hi - lo + 1)));
    }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }

    bool Chance(double p) { return Unit() < p; }

    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N])
    {
        return items[Below(static_cast<std::uint32_t>(N))];
    }

private:
    std::uint64_t state;
};

}  // namespace tarnwick::demo
