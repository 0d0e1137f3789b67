#include "face/face_draw.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>

#include "face/face_stretch.h"

namespace tarnwick {
namespace {

using Bgra = std::array<std::uint8_t, 4>;

Bgra PixelAt(const FacePicture_T& picture, int x, int y)
{
    const std::uint8_t* p = picture.Row(y) + static_cast<std::size_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// A picture whose pixel (x, y) is colour(x, y), given as B, G, R, A.
FacePicture_T MakePicture(int width, int height, const std::function<Bgra(int, int)>& colour)
{
    FacePicture_T picture;
    EXPECT_TRUE(AllocatePicture(picture, width, height));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Bgra c = colour(x, y);
            std::copy(c.begin(), c.end(), picture.Row(y) + static_cast<std::size_t>(x) * 4);
        }
    }
    return picture;
}

Bgra Opaque(FrameColour_T c) { return {c.blue, c.green, c.red, 255}; }

TEST(FaceDrawTest, BlendTruncatesEachShareOnItsOwn)
{
    EXPECT_EQ(BlendChannel(200, 255, 144), 200);
    EXPECT_EQ(BlendChannel(200, 0, 144), 144);
    // 200 * 128 / 255 = 100.39 and 144 * 127 / 255 = 71.72: 171, where
    // rounding the blend as a whole would give 172.
    EXPECT_EQ(BlendChannel(200, 128, 144), 171);
    EXPECT_EQ(BlendChannel(255, 1, 255), 255);
    EXPECT_EQ(BlendChannel(100, 100, 200), 160);  // 39 + 121, not 160.8
}

TEST(FaceDrawTest, CompositeLaysEveryChannelOverTheBackdrop)
{
    const FacePicture_T picture = MakePicture(4, 1, [](int x, int) {
        static const Bgra pixels[] = {{10, 20, 30, 255}, {10, 20, 200, 0}, {50, 60, 200, 128}, {1, 2, 3, 0}};
        return pixels[x];
    });
    FaceFrame_T composite;
    ASSERT_TRUE(CompositeOverBackdrop(picture, {144, 150, 255}, composite));
    ASSERT_EQ(composite.width, 4);
    ASSERT_EQ(composite.height, 1);
    EXPECT_EQ(PixelAt(composite, 0, 0), (Bgra{10, 20, 30, 255}));
    EXPECT_EQ(PixelAt(composite, 1, 0), (Bgra{255, 150, 144, 255}));
    // Blue 50 * 128 / 255 = 25 plus 255 * 127 / 255 = 127; green 30 + 74.
    EXPECT_EQ(PixelAt(composite, 2, 0), (Bgra{152, 104, 171, 255}));
    EXPECT_EQ(PixelAt(composite, 3, 0), (Bgra{255, 150, 144, 255}));

    FaceFrame_T none;
    EXPECT_FALSE(CompositeOverBackdrop(FacePicture_T{}, {1, 2, 3}, none));
}

TEST(FaceDrawTest, FrameStylePicksBorderAndBackdrop)
{
    const FacePicture_T clear = MakePicture(2, 2, [](int, int) { return Bgra{9, 9, 9, 0}; });
    const struct {
        int style;
        Bgra border;
        Bgra backdrop;
    } cases[] = {
        {0, {255, 0, 0, 255}, {255, 144, 144, 255}},
        {1, {0, 0, 255, 255}, {144, 144, 255, 255}},
        {2, {255, 255, 255, 255}, {192, 255, 255, 255}},
        {3, {255, 0, 0, 255}, {255, 144, 144, 255}},
        {-1, {255, 0, 0, 255}, {255, 144, 144, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(Opaque(FrameColoursFor(c.style).border), c.border);
        EXPECT_EQ(Opaque(FrameColoursFor(c.style).backdrop), c.backdrop);
        const FaceFrame_T frame = DrawFaceImage(c.style, 96, 96, clear);
        ASSERT_FALSE(frame.IsEmpty());
        EXPECT_EQ(PixelAt(frame, 0, 0), c.border);
        EXPECT_EQ(PixelAt(frame, 95, 50), c.border);
        EXPECT_EQ(PixelAt(frame, 48, 48), c.backdrop);
    }
}

TEST(FaceDrawTest, BorderIsThreePixelsAndAnUnscaledPictureIsExact)
{
    // Every pixel different, with all sorts of alpha.
    const FacePicture_T picture = MakePicture(90, 90, [](int x, int y) {
        return Bgra{static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 2),
                    static_cast<std::uint8_t>(x + y), static_cast<std::uint8_t>((x * 7 + y * 13) % 256)};
    });
    FaceFrame_T composite;
    ASSERT_TRUE(CompositeOverBackdrop(picture, FrameColoursFor(1).backdrop, composite));
    const FaceFrame_T frame = DrawFaceImage(1, 96, 96, picture);
    ASSERT_EQ(frame.width, 96);
    ASSERT_EQ(frame.height, 96);
    const Bgra border = Opaque(FrameColoursFor(1).border);
    int mismatches = 0;
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 96; ++x) {
            const bool inside = x >= 3 && x <= 92 && y >= 3 && y <= 92;
            const Bgra want = inside ? PixelAt(composite, x - 3, y - 3) : border;
            if (PixelAt(frame, x, y) != want && ++mismatches < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << (inside ? " inside" : " on the border");
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FaceDrawTest, PictureIsStretchedToTheInnerAreaEachWayOnItsOwn)
{
    // 120 x 80 in four plain quarters, split at x = 60 and y = 40; in the
    // 90 x 90 inner area the splits land at 45 across and 45 down.
    const Bgra tl{0, 0, 255, 255}, tr{0, 255, 0, 255}, bl{255, 0, 0, 255}, br{0, 0, 0, 0};
    const FacePicture_T picture =
        MakePicture(120, 80, [&](int x, int y) { return y < 40 ? (x < 60 ? tl : tr) : (x < 60 ? bl : br); });
    const FaceFrame_T frame = DrawFaceImage(0, 96, 96, picture);
    ASSERT_EQ(frame.width, 96);
    ASSERT_EQ(frame.height, 96);
    const Bgra backdrop = Opaque(FrameColoursFor(0).backdrop);
    const Bgra border = Opaque(FrameColoursFor(0).border);

    // Away from the splits every pixel is its quarter's colour exactly,
    // up to the edges of the inner area and not past them.
    EXPECT_EQ(PixelAt(frame, 3, 3), tl);
    EXPECT_EQ(PixelAt(frame, 46, 46), tl);
    EXPECT_EQ(PixelAt(frame, 92, 3), tr);
    EXPECT_EQ(PixelAt(frame, 50, 46), tr);
    EXPECT_EQ(PixelAt(frame, 3, 92), bl);
    EXPECT_EQ(PixelAt(frame, 46, 50), bl);
    EXPECT_EQ(PixelAt(frame, 92, 92), backdrop);
    EXPECT_EQ(PixelAt(frame, 50, 50), backdrop);
    EXPECT_EQ(PixelAt(frame, 2, 50), border);
    EXPECT_EQ(PixelAt(frame, 93, 50), border);
    EXPECT_EQ(PixelAt(frame, 50, 93), border);

    // Smooth, not picked: the columns at the split mix both sides.
    const Bgra seam = PixelAt(frame, 3 + 45, 20);
    EXPECT_GT(seam[1], 0);
    EXPECT_LT(seam[1], 255);
    EXPECT_GT(seam[2], 0);
    EXPECT_LT(seam[2], 255);
}

TEST(FaceDrawTest, StretchKeepsPlainColoursAndAveragesWhenShrinking)
{
    FacePicture_T target;
    ASSERT_TRUE(AllocatePicture(target, 7, 5));
    const FacePicture_T plain = MakePicture(13, 3, [](int, int) { return Bgra{17, 99, 201, 0}; });
    ASSERT_TRUE(StretchInto(plain, target, {0, 0, 7, 5}));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(PixelAt(target, x, y), (Bgra{17, 99, 201, 255}));
    }

    // Fine stripes shrunk by two average out instead of picking one stripe.
    const FacePicture_T stripes =
        MakePicture(40, 40, [](int x, int) { return x % 2 ? Bgra{200, 200, 200, 255} : Bgra{0, 0, 0, 255}; });
    FacePicture_T half;
    ASSERT_TRUE(AllocatePicture(half, 20, 20));
    ASSERT_TRUE(StretchInto(stripes, half, {0, 0, 20, 20}));
    for (int x = 1; x < 19; ++x)
        EXPECT_NEAR(PixelAt(half, x, 10)[0], 100, 2) << x;

    // Enlarging goes smoothly from one pixel's colour to the next.
    const FacePicture_T pair = MakePicture(2, 1, [](int x, int) { return x ? Bgra{200, 0, 0, 255} : Bgra{0, 0, 0, 255}; });
    FacePicture_T wide;
    ASSERT_TRUE(AllocatePicture(wide, 8, 1));
    ASSERT_TRUE(StretchInto(pair, wide, {0, 0, 8, 1}));
    for (int x = 1; x < 8; ++x)
        EXPECT_GE(PixelAt(wide, x, 0)[0], PixelAt(wide, x - 1, 0)[0]);
    EXPECT_EQ(PixelAt(wide, 0, 0)[0], 0);
    EXPECT_EQ(PixelAt(wide, 7, 0)[0], 200);
    EXPECT_GT(PixelAt(wide, 4, 0)[0], 0);
    EXPECT_LT(PixelAt(wide, 3, 0)[0], 200);
}

TEST(FaceDrawTest, FramesTooSmallOrWithoutAPicture)
{
    const FacePicture_T picture = MakePicture(4, 4, [](int, int) { return Bgra{1, 2, 3, 255}; });
    // No room inside the border: border only.
    const FaceFrame_T tiny = DrawFaceImage(2, 6, 7, picture);
    ASSERT_EQ(tiny.width, 6);
    ASSERT_EQ(tiny.height, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(PixelAt(tiny, x, y), (Bgra{255, 255, 255, 255}));
    }
    const FaceFrame_T oneInside = DrawFaceImage(2, 7, 7, picture);
    ASSERT_FALSE(oneInside.IsEmpty());
    EXPECT_EQ(PixelAt(oneInside, 3, 3), (Bgra{1, 2, 3, 255}));

    EXPECT_TRUE(DrawFaceImage(0, 0, 96, picture).IsEmpty());
    EXPECT_TRUE(DrawFaceImage(0, 96, -1, picture).IsEmpty());
    EXPECT_TRUE(DrawFaceImage(0, 96, 96, FacePicture_T{}).IsEmpty());
}

}  // namespace
}  // namespace tarnwick
