// PNG chunks by hand, for pictures a PNG encoder would refuse to write:
// broken, huge or odd ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick::test {

// The chunk's CRC: over its type and data.
std::uint32_t PngChunkCrc(const std::uint8_t* typeAndData, std::size_t length);

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v);

// Appends length, type, data and CRC.
void PutPngChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data);

}  // namespace tarnwick::test
