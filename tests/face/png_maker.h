// PNG bytes for the face tests, made with libspng's encoder, and the odd
// hand-made file the encoder would refuse to write.
#pragma once

#include <spng.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

struct PngImage_T {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint8_t colourType = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    std::uint8_t bitDepth = 8;
    // Packed scanlines as the file holds them, without filter bytes; 16-bit
    // samples in host byte order.
    std::vector<std::uint8_t> samples;
    std::vector<std::array<std::uint8_t, 3>> palette;  // R, G, B
    std::optional<spng_trns> transparency;
};

// Fails the calling test (and gives nothing) when the encoder refuses.
std::vector<std::uint8_t> EncodePng(const PngImage_T& image);

// width x height pixels of one R, G, B, A colour.
std::vector<std::uint8_t> PlainRgbaPng(std::uint32_t width, std::uint32_t height,
                                       std::array<std::uint8_t, 4> rgba);

// A signature, an IHDR chunk as given (with a correct CRC) and IEND: a
// header that claims a picture whose data never comes.
std::vector<std::uint8_t> HeaderOnlyPng(std::uint32_t width, std::uint32_t height);

// 16-bit samples in host byte order, for PngImage_T::samples.
std::vector<std::uint8_t> Samples16(const std::vector<std::uint16_t>& values);

std::string AsString(const std::vector<std::uint8_t>& bytes);

}  // namespace tarnwick::test
