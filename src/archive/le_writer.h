// Little-endian writing onto a growing byte vector: the archive writer, WAV
// headers and the demo game's binary entries all put numbers this way.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnwick {

// The low `bytes` bytes of value, lowest first.
inline void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    PutLe(out, value, 4);
}

inline void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    PutLe(out, value, 2);
}

}  // namespace tarnwick
