#include "face/face_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "png_maker.h"

namespace tarnwick {
namespace {

using test::EncodePng;
using test::PngImage_T;
using test::Samples16;

using Bgra = std::array<std::uint8_t, 4>;

Bgra PixelAt(const FacePicture_T& picture, int x, int y)
{
    const std::uint8_t* p = picture.Row(y) + static_cast<std::size_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Decodes and checks the size; the picture comes back empty on failure.
FacePicture_T Decoded(const std::vector<std::uint8_t>& png, int width, int height)
{
    FacePicture_T picture;
    EXPECT_TRUE(DecodeFacePng(png, picture));
    EXPECT_EQ(picture.width, width);
    EXPECT_EQ(picture.height, height);
    if (picture.width != width || picture.height != height)
        return {};
    EXPECT_GE(picture.pitch, static_cast<std::size_t>(width) * 4);
    return picture;
}

TEST(FacePictureTest, AlphaPictureKeepsItsColoursAndAlphaAsBgra)
{
    PngImage_T rgba{2, 2};
    rgba.samples = {10, 20, 30, 40,  50, 60, 70, 0,  80, 90, 100, 255,  1, 2, 3, 128};
    const FacePicture_T picture = Decoded(EncodePng(rgba), 2, 2);
    ASSERT_FALSE(picture.IsEmpty());
    // Top row first, straight alpha: colours under alpha 0 survive.
    EXPECT_EQ(PixelAt(picture, 0, 0), (Bgra{30, 20, 10, 40}));
    EXPECT_EQ(PixelAt(picture, 1, 0), (Bgra{70, 60, 50, 0}));
    EXPECT_EQ(PixelAt(picture, 0, 1), (Bgra{100, 90, 80, 255}));
    EXPECT_EQ(PixelAt(picture, 1, 1), (Bgra{3, 2, 1, 128}));
}

TEST(FacePictureTest, PicturesWithoutAlphaComeOutOpaque)
{
    PngImage_T rgb{2, 1, SPNG_COLOR_TYPE_TRUECOLOR};
    rgb.samples = {10, 20, 30, 0, 0, 0};
    const FacePicture_T colour = Decoded(EncodePng(rgb), 2, 1);
    ASSERT_FALSE(colour.IsEmpty());
    EXPECT_EQ(PixelAt(colour, 0, 0), (Bgra{30, 20, 10, 255}));
    EXPECT_EQ(PixelAt(colour, 1, 0), (Bgra{0, 0, 0, 255}));

    PngImage_T grey{3, 1, SPNG_COLOR_TYPE_GRAYSCALE};
    grey.samples = {0, 77, 255};
    const FacePicture_T g = Decoded(EncodePng(grey), 3, 1);
    ASSERT_FALSE(g.IsEmpty());
    EXPECT_EQ(PixelAt(g, 0, 0), (Bgra{0, 0, 0, 255}));
    EXPECT_EQ(PixelAt(g, 1, 0), (Bgra{77, 77, 77, 255}));
    EXPECT_EQ(PixelAt(g, 2, 0), (Bgra{255, 255, 255, 255}));
}

TEST(FacePictureTest, SixteenBitSamplesKeepTheirHighByte)
{
    PngImage_T rgb16{1, 1, SPNG_COLOR_TYPE_TRUECOLOR, 16};
    rgb16.samples = Samples16({0x12FF, 0xAB00, 0x0001});
    const FacePicture_T colour = Decoded(EncodePng(rgb16), 1, 1);
    ASSERT_FALSE(colour.IsEmpty());
    EXPECT_EQ(PixelAt(colour, 0, 0), (Bgra{0x00, 0xAB, 0x12, 255}));

    PngImage_T rgba16{1, 1, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16};
    rgba16.samples = Samples16({0xFFFF, 0x8000, 0x0000, 0x80FF});
    const FacePicture_T alpha = Decoded(EncodePng(rgba16), 1, 1);
    ASSERT_FALSE(alpha.IsEmpty());
    EXPECT_EQ(PixelAt(alpha, 0, 0), (Bgra{0x00, 0x80, 0xFF, 0x80}));

    PngImage_T grey16{1, 1, SPNG_COLOR_TYPE_GRAYSCALE, 16};
    grey16.samples = Samples16({0x4321});
    const FacePicture_T grey = Decoded(EncodePng(grey16), 1, 1);
    ASSERT_FALSE(grey.IsEmpty());
    EXPECT_EQ(PixelAt(grey, 0, 0), (Bgra{0x43, 0x43, 0x43, 255}));
}

TEST(FacePictureTest, TransparencyChunkMakesItsColoursTransparent)
{
    // Palette entries past the tRNS list stay opaque.
    PngImage_T indexed{4, 1, SPNG_COLOR_TYPE_INDEXED};
    indexed.palette = {{{255, 0, 0}}, {{0, 255, 0}}, {{0, 0, 255}}};
    indexed.samples = {0, 1, 2, 1};
    spng_trns alphas{};
    alphas.n_type3_entries = 2;
    alphas.type3_alpha[0] = 0;
    alphas.type3_alpha[1] = 128;
    indexed.transparency = alphas;
    const FacePicture_T palette = Decoded(EncodePng(indexed), 4, 1);
    ASSERT_FALSE(palette.IsEmpty());
    EXPECT_EQ(PixelAt(palette, 0, 0), (Bgra{0, 0, 255, 0}));
    EXPECT_EQ(PixelAt(palette, 1, 0), (Bgra{0, 255, 0, 128}));
    EXPECT_EQ(PixelAt(palette, 2, 0), (Bgra{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(palette, 3, 0), (Bgra{0, 255, 0, 128}));

    PngImage_T grey{2, 1, SPNG_COLOR_TYPE_GRAYSCALE};
    grey.samples = {7, 8};
    spng_trns key{};
    key.gray = 7;
    grey.transparency = key;
    const FacePicture_T g = Decoded(EncodePng(grey), 2, 1);
    ASSERT_FALSE(g.IsEmpty());
    EXPECT_EQ(PixelAt(g, 0, 0)[3], 0);
    EXPECT_EQ(PixelAt(g, 1, 0), (Bgra{8, 8, 8, 255}));
}

TEST(FacePictureTest, BytesThatAreNotAWholePngGiveNothing)
{
    FacePicture_T picture;
    EXPECT_FALSE(DecodeFacePng({}, picture));
    const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    EXPECT_FALSE(DecodeFacePng(text, picture));

    std::vector<std::uint8_t> png = test::PlainRgbaPng(16, 16, {1, 2, 3, 4});
    ASSERT_TRUE(DecodeFacePng(png, picture));
    ASSERT_EQ(picture.width, 16);

    // Cut inside the image data: the picture is incomplete.
    const std::vector<std::uint8_t> cut(png.begin(), png.end() - 20);
    EXPECT_FALSE(DecodeFacePng(cut, picture));
    EXPECT_TRUE(picture.IsEmpty());
    const std::vector<std::uint8_t> signatureOnly(png.begin(), png.begin() + 8);
    EXPECT_FALSE(DecodeFacePng(signatureOnly, picture));

    // A changed byte in the image data no longer matches its checksum.
    std::vector<std::uint8_t> damaged = png;
    damaged[damaged.size() - 20] ^= 0x40;
    EXPECT_FALSE(DecodeFacePng(damaged, picture));
    std::vector<std::uint8_t> badSignature = png;
    badSignature[1] = 'Q';
    EXPECT_FALSE(DecodeFacePng(badSignature, picture));
}

TEST(FacePictureTest, DeclaredSizeMustBeBetweenOneAndTheLimit)
{
    FacePicture_T picture;
    // Headers alone: the claimed picture is refused before its data is missed.
    EXPECT_FALSE(DecodeFacePng(test::HeaderOnlyPng(0, 10), picture));
    EXPECT_FALSE(DecodeFacePng(test::HeaderOnlyPng(10, 0), picture));
    EXPECT_FALSE(DecodeFacePng(test::HeaderOnlyPng(kMaxFaceSide + 1, 1), picture));
    EXPECT_FALSE(DecodeFacePng(test::HeaderOnlyPng(1, 0x7FFFFFFF), picture));
    EXPECT_FALSE(DecodeFacePng(test::HeaderOnlyPng(0x7FFFFFFF, 0x7FFFFFFF), picture));

    // Whole pictures at and just past the limit.
    EXPECT_TRUE(DecodeFacePng(test::PlainRgbaPng(kMaxFaceSide, 1, {1, 2, 3, 4}), picture));
    EXPECT_EQ(picture.width, kMaxFaceSide);
    EXPECT_TRUE(DecodeFacePng(test::PlainRgbaPng(1, kMaxFaceSide, {1, 2, 3, 4}), picture));
    EXPECT_FALSE(DecodeFacePng(test::PlainRgbaPng(kMaxFaceSide + 1, 1, {1, 2, 3, 4}), picture));
    EXPECT_FALSE(DecodeFacePng(test::PlainRgbaPng(1, kMaxFaceSide + 1, {1, 2, 3, 4}), picture));
}

}  // namespace
}  // namespace tarnwick
