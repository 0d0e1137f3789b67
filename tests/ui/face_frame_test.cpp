#include "ui/face_frame.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// A picture with a different colour in every pixel, half of it see-through.
FacePicture_T TestPicture(int width, int height)
{
    FacePicture_T picture;
    EXPECT_TRUE(AllocatePicture(picture, width, height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = static_cast<std::uint8_t>(x * 3);
            p[1] = static_cast<std::uint8_t>(y * 5);
            p[2] = static_cast<std::uint8_t>(x + y);
            p[3] = x < width / 2 ? 255 : 100;
        }
    }
    return picture;
}

QRgb FramePixel(const FaceFrame_T& frame, int x, int y)
{
    const std::uint8_t* p = frame.Row(y) + static_cast<std::size_t>(x) * 4;
    return qRgb(p[2], p[1], p[0]);
}

// Counts the pixels where the widget's painting differs from the frame.
int Differences(CFaceFrameWidget& widget, const FaceFrame_T& frame)
{
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown.width() != frame.width || shown.height() != frame.height)
        return -1;
    int differences = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x)
            differences += shown.pixel(x, y) != FramePixel(frame, x, y);
    }
    return differences;
}

class FaceFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        widget.resize(96, 96);
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    }

    CFaceFrameWidget widget;
};

TEST_F(FaceFrameTest, ThinBlackFrameUntilTheFirstFace)
{
    EXPECT_FALSE(widget.HasFrame());
    const QImage empty = widget.grab().toImage();
    ASSERT_EQ(empty.size(), QSize(96, 96));
    EXPECT_EQ(empty.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(empty.pixel(95, 40), qRgb(0, 0, 0));
    EXPECT_NE(empty.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_NE(empty.pixel(48, 48), qRgb(0, 0, 0));
    // Screen readers hear of a picture, not of a border.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Graphic);
}

TEST_F(FaceFrameTest, FaceSurvivesRepaintsAndBeingHidden)
{
    const FaceFrame_T frame = DrawFaceImage(1, 96, 96, TestPicture(90, 90));
    ASSERT_FALSE(frame.IsEmpty());
    widget.ShowFrame(frame);
    EXPECT_TRUE(widget.HasFrame());
    EXPECT_EQ(Differences(widget, frame), 0);

    widget.repaint();
    EXPECT_EQ(Differences(widget, frame), 0);
    widget.hide();
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    EXPECT_EQ(Differences(widget, frame), 0);

    // A line without a picture shows nothing new: the last face stays.
    widget.ShowFrame(FaceFrame_T{});
    EXPECT_FALSE(widget.ShowFace(2, FacePicture_T{}));
    widget.repaint();
    EXPECT_EQ(Differences(widget, frame), 0);
}

TEST_F(FaceFrameTest, ShowFaceComposesAtTheWidgetsSize)
{
    const FacePicture_T picture = TestPicture(120, 80);
    ASSERT_TRUE(widget.ShowFace(2, picture));
    EXPECT_EQ(Differences(widget, DrawFaceImage(2, 96, 96, picture)), 0);

    // Grown later, the kept frame is drawn to the new size: border at the
    // edges, not the empty frame's black.
    widget.resize(192, 192);
    const QImage grown = widget.grab().toImage();
    ASSERT_EQ(grown.size(), QSize(192, 192));
    EXPECT_EQ(grown.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(grown.pixel(191, 191), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace tarnwick
