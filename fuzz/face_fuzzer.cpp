// The input as a face picture entry: decoded, laid over a backdrop and drawn
// into frames of a few sizes; then once more with every chunk's CRC made
// right, since otherwise nearly every mutation stops at the first checksum.
//
// A failed decode leaves no picture; a decoded one is within the size
// limits. The composite follows the blend exactly where alpha is 255 or 0
// and never leaves the range of the two colours. Every frame has the asked
// size, an opaque fourth byte, a 3-pixel border of exactly the border
// colour, and inside it only colours within the composite's range (the
// stretch only averages); where the inner area has the picture's size, the
// composite itself, pixel for pixel.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "face/face_draw.h"
#include "face/face_picture.h"
#include "fuzz_check.h"
#include "support/png_chunk.h"

using tarnwick::FaceFrame_T;
using tarnwick::FacePicture_T;
using tarnwick::FrameColours_T;
using tarnwick::fuzz::Check;

namespace {

std::uint32_t Be32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The bytes with the CRC of every whole chunk after the signature set right.
std::vector<std::uint8_t> WithCrcsMended(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    std::size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const std::size_t length = Be32(&bytes[at]);
        if (length > bytes.size() - at - 12)
            break;
        const std::uint32_t crc = tarnwick::test::PngChunkCrc(&bytes[at + 4], length + 4);
        for (int k = 0; k < 4; ++k)
            bytes[at + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        at += length + 12;
    }
    return bytes;
}

struct Range_T {
    std::array<std::uint8_t, 3> low{255, 255, 255};
    std::array<std::uint8_t, 3> high{0, 0, 0};
};

void CheckComposite(const FacePicture_T& picture, const FrameColours_T& colours, const FaceFrame_T& composite,
                    Range_T& range)
{
    Check(composite.width == picture.width && composite.height == picture.height,
          "the composite's size differs from the picture's");
    const std::uint8_t backdrop[3] = {colours.backdrop.blue, colours.backdrop.green, colours.backdrop.red};
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.Row(y);
        const std::uint8_t* out = composite.Row(y);
        for (int x = 0; x < picture.width; ++x, in += 4, out += 4) {
            const std::uint8_t a = in[3];
            Check(out[3] == 255, "a composite pixel is not opaque");
            for (int c = 0; c < 3; ++c) {
                Check(out[c] == tarnwick::BlendChannel(in[c], a, backdrop[c]), "composite differs from the blend");
                Check(a != 255 || out[c] == in[c], "an opaque pixel lost its colour");
                Check(a != 0 || out[c] == backdrop[c], "a clear pixel is not the backdrop");
                // Each share truncated on its own may lose one step, no more.
                Check(out[c] <= std::max(in[c], backdrop[c]) && out[c] + 1 >= std::min(in[c], backdrop[c]),
                      "a blend left the range of its two colours");
                range.low[c] = std::min(range.low[c], out[c]);
                range.high[c] = std::max(range.high[c], out[c]);
            }
        }
    }
}

void CheckFrame(int style, int width, int height, const FacePicture_T& picture, const FaceFrame_T& composite,
                const Range_T& range)
{
    const FaceFrame_T frame = tarnwick::DrawFaceImage(style, width, height, picture);
    Check(!frame.IsEmpty() && frame.width == width && frame.height == height, "the frame has the wrong size");
    const auto border = tarnwick::FrameColoursFor(style).border;
    const int b = tarnwick::kFaceBorderWidth;
    const bool exact = width - 2 * b == picture.width && height - 2 * b == picture.height;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = frame.Row(y);
        for (int x = 0; x < width; ++x, p += 4) {
            Check(p[3] == 255, "a frame pixel is not opaque");
            if (x < b || y < b || x >= width - b || y >= height - b) {
                Check(p[0] == border.blue && p[1] == border.green && p[2] == border.red,
                      "a border pixel is not the border colour");
            } else if (exact) {
                const std::uint8_t* c = composite.Row(y - b) + static_cast<std::size_t>(x - b) * 4;
                Check(std::equal(p, p + 4, c), "an unscaled frame differs from the composite");
            } else {
                for (int k = 0; k < 3; ++k)
                    Check(p[k] >= range.low[k] && p[k] <= range.high[k], "stretching made a new colour");
            }
        }
    }
}

void CheckPicture(const std::uint8_t* data, std::size_t size)
{
    FacePicture_T picture;
    if (!tarnwick::DecodeFacePng({data, size}, picture)) {
        Check(picture.IsEmpty(), "a failed decode left a picture");
        return;
    }
    Check(picture.width >= 1 && picture.width <= tarnwick::kMaxFaceSide && picture.height >= 1 &&
              picture.height <= tarnwick::kMaxFaceSide,
          "a decoded picture is outside the size limits");
    Check(picture.pitch >= static_cast<std::size_t>(picture.width) * 4, "the pitch is shorter than a row");

    // Styles -1 to 3, so that the out-of-range ones are drawn too.
    const int style = static_cast<int>(size % 5) - 1;
    const FrameColours_T colours = tarnwick::FrameColoursFor(style);
    FaceFrame_T composite;
    Check(tarnwick::CompositeOverBackdrop(picture, colours.backdrop, composite), "no composite");
    Range_T range;
    CheckComposite(picture, colours, composite, range);

    CheckFrame(style, 96, 96, picture, composite, range);
    CheckFrame(style, 5, 9, picture, composite, range);
    if (picture.width <= 256 && picture.height <= 256)
        CheckFrame(style, picture.width + 6, picture.height + 6, picture, composite, range);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckPicture(data, size);
    const std::vector<std::uint8_t> mended = WithCrcsMended(data, size);
    if (!std::equal(mended.begin(), mended.end(), data))
        CheckPicture(mended.data(), mended.size());
    return 0;
}
