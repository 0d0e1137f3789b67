// Long content from short fuzz inputs: pieces of the input strung together
// in an order drawn from its own hash, with the odd byte changed, so that a
// few dozen bytes can fill all 8192 dictionary codes, recycle them and build
// strings of the full 100 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devkit/split_mix64.h"

namespace tarnwick::fuzz {

inline std::uint64_t Fnv1a(std::span<const std::uint8_t> bytes)
{
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const std::uint8_t b : bytes)
        h = (h ^ b) * 0x100000001b3u;
    return h;
}

inline std::vector<std::uint8_t> Stitch(std::span<const std::uint8_t> pieces, std::size_t length)
{
    std::vector<std::uint8_t> out;
    if (pieces.empty())
        return out;
    out.reserve(length);
    CSplitMix64 random(Fnv1a(pieces));
    while (out.size() < length) {
        const std::uint64_t r = random.Next();
        const std::size_t start = r % pieces.size();
        const std::size_t take = std::min<std::size_t>(
            {1 + (r >> 20) % 160, pieces.size() - start, length - out.size()});
        out.insert(out.end(), pieces.begin() + static_cast<std::ptrdiff_t>(start),
                   pieces.begin() + static_cast<std::ptrdiff_t>(start + take));
        if ((r >> 40) % 8 == 0)
            out.back() = static_cast<std::uint8_t>(r >> 48);
    }
    return out;
}

}  // namespace tarnwick::fuzz
