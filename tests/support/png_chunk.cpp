#include "support/png_chunk.h"

#include <zlib.h>

namespace tarnwick::test {

std::uint32_t PngChunkCrc(const std::uint8_t* typeAndData, std::size_t length)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes a 32-bit length: feed it in slices.
    while (length > 0) {
        const uInt slice = length > 0x40000000u ? 0x40000000u : static_cast<uInt>(length);
        crc = crc32(crc, typeAndData, slice);
        typeAndData += slice;
        length -= slice;
    }
    return static_cast<std::uint32_t>(crc);
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutPngChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data)
{
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, PngChunkCrc(&out[start], out.size() - start));
}

}  // namespace tarnwick::test
