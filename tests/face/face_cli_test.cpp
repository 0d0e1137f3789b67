// tarnwick-cli face, run as a program: exit statuses, and the PNG it writes
// read back through the program's own decoder.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "face/face_draw.h"
#include "face/face_picture.h"
#include "png_maker.h"
#include "support/temp_folder.h"

namespace tarnwick {
namespace {

using Bgra = std::array<std::uint8_t, 4>;

std::string Quoted(const std::string& arg)
{
    std::string out = "'";
    for (const char c : arg)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class FaceCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string hed = ArchiveHedPaths()[kFaceArchive], dat = ArchiveDatPaths()[kFaceArchive];
        std::replace(hed.begin(), hed.end(), '\\', '/');
        std::replace(dat.begin(), dat.end(), '\\', '/');
        CArchiveWriter writer;
        ASSERT_TRUE(writer.Open(game / hed, game / dat));
        // Opaque green on the left, transparent on the right.
        test::PngImage_T image{2, 1};
        image.samples = {0, 255, 0, 255, 0, 0, 0, 0};
        ASSERT_TRUE(writer.Add("0012_03.png", test::EncodePng(image), true));
        ASSERT_TRUE(writer.Add("-012_03.png", test::PlainRgbaPng(1, 1, {0, 255, 0, 255}), false));
        ASSERT_TRUE(writer.Add("broken.png", std::vector<std::uint8_t>{1, 2, 3}, false));
        ASSERT_TRUE(writer.Finish(false));
    }

    int Run(const std::vector<std::string>& args) const
    {
        std::string command = Quoted(TARNWICK_CLI);
        for (const std::string& a : args)
            command += " " + Quoted(a);
        command += " 2>" + Quoted(out / "stderr.txt");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    FacePicture_T ReadPng(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        FacePicture_T picture;
        EXPECT_TRUE(DecodeFacePng(bytes, picture)) << path;
        return picture;
    }

    test::TempFolder game;
    test::TempFolder out;
};

Bgra PixelAt(const FacePicture_T& picture, int x, int y)
{
    const std::uint8_t* p = picture.Row(y) + static_cast<std::size_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

TEST_F(FaceCliTest, WritesTheFrameTheWindowWouldShow)
{
    ASSERT_EQ(Run({"face", game.Path(), "0012_03.png", "-o", out / "a.png"}), 0);
    const FacePicture_T frame = ReadPng(out / "a.png");
    ASSERT_EQ(frame.width, 96);
    ASSERT_EQ(frame.height, 96);
    EXPECT_EQ(PixelAt(frame, 0, 0), (Bgra{255, 0, 0, 255}));         // style 0 border
    EXPECT_EQ(PixelAt(frame, 5, 50), (Bgra{0, 255, 0, 255}));        // the picture
    EXPECT_EQ(PixelAt(frame, 90, 50), (Bgra{255, 144, 144, 255}));   // its clear half

    ASSERT_EQ(Run({"face", game.Path(), "--style", "1", "0012_03.png", "--frame", "40", "20", "-o",
                   out / "b.png"}),
              0);
    const FacePicture_T small = ReadPng(out / "b.png");
    ASSERT_EQ(small.width, 40);
    ASSERT_EQ(small.height, 20);
    EXPECT_EQ(PixelAt(small, 39, 19), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(small, 36, 10), (Bgra{144, 144, 255, 255}));

    // A name that starts with a minus sign is still a name; -1 a style.
    ASSERT_EQ(Run({"face", game.Path(), "-012_03.png", "--style", "-1", "-o", out / "c.png"}), 0);
    EXPECT_EQ(PixelAt(ReadPng(out / "c.png"), 1, 1), (Bgra{255, 0, 0, 255}));
}

TEST_F(FaceCliTest, FailuresAndUsageErrors)
{
    EXPECT_EQ(Run({"face", game.Path(), "missing.png", "-o", out / "x.png"}), 1);
    EXPECT_EQ(Run({"face", game.Path(), "broken.png", "-o", out / "x.png"}), 1);
    EXPECT_EQ(Run({"face", out.Path(), "0012_03.png", "-o", out / "x.png"}), 1);  // no archive
    EXPECT_FALSE(std::ifstream(out / "x.png").good());
    EXPECT_NE(test::ReadFileText(out / "stderr.txt"), "");

    EXPECT_EQ(Run({"face", game.Path(), "0012_03.png"}), 2);  // no -o
    EXPECT_EQ(Run({"face", game.Path(), "0012_03.png", "--style", "x", "-o", out / "x.png"}), 2);
    EXPECT_EQ(Run({"face", game.Path(), "0012_03.png", "--frame", "4097", "96", "-o", out / "x.png"}), 2);
    EXPECT_EQ(Run({"face", game.Path(), "0012_03.png", "--bogus", "-o", out / "x.png"}), 2);
}

}  // namespace
}  // namespace tarnwick
