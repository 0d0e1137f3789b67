// Face pictures as the drawing code reads them: 32-bit pixels of blue,
// green, red and straight alpha, top row first, decoded from PNG bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

// Faces are about a hundred pixels wide: a PNG that claims more than this
// either way is refused before anything is allocated for it.
inline constexpr int kMaxFaceSide = 1024;
// Nor is a face entry ever this large; a larger one is not even read.
inline constexpr std::uint64_t kMaxFaceEntryBytes = 16u << 20;

struct FacePicture_T {
    int width = 0;
    int height = 0;
    std::size_t pitch = 0;  // bytes from one row to the next one down
    std::unique_ptr<std::uint8_t[]> pixels;

    bool IsEmpty() const { return pixels == nullptr; }
    std::size_t Bytes() const { return pixels ? pitch * static_cast<std::size_t>(height) : 0; }
    std::uint8_t* Row(int y) { return pixels.get() + static_cast<std::size_t>(y) * pitch; }
    const std::uint8_t* Row(int y) const { return pixels.get() + static_cast<std::size_t>(y) * pitch; }
};

// Makes picture a width x height picture of unset pixels. False (and an
// empty picture) when a side is not positive or memory is short.
bool AllocatePicture(FacePicture_T& picture, int width, int height);

// Decodes a whole PNG. Pictures without alpha come out opaque, except where
// a tRNS chunk makes a colour transparent; 16-bit samples keep their high
// byte. False (and an empty picture) for anything that is not a complete,
// undamaged PNG of at most kMaxFaceSide x kMaxFaceSide pixels.
bool DecodeFacePng(std::span<const std::uint8_t> png, FacePicture_T& picture);

// A picture (a framed face) as an 8-bit RGB PNG, alpha dropped; nothing
// when the encoder fails.
std::optional<std::vector<std::uint8_t>> EncodeRgbPng(const FacePicture_T& picture);

}  // namespace tarnwick
