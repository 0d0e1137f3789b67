// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer and the replay runner both treat an abort as a finding), and a
// little-endian field reader for inputs that carry parameters up front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tarnwick::fuzz {

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Takes count (at most 4) bytes as a little-endian number, or fewer when the
// input runs out; the bytes taken are removed from the front.
inline std::uint32_t TakeLe(const std::uint8_t*& data, std::size_t& size, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count && size > 0; ++i, ++data, --size)
        value |= static_cast<std::uint32_t>(*data) << (8 * i);
    return value;
}

}  // namespace tarnwick::fuzz
