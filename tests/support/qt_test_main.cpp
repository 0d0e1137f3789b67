// The main of the tests that need a QApplication: widgets run on the
// offscreen platform, set before the application exists (test discovery at
// build time has no display either).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
