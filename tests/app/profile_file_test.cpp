#include "app/profile_file.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace tarnwick {
namespace {

using test::ReadFileText;
using test::TempFolder;

class ProfileFileTest : public ::testing::Test {
protected:
    TempFolder dir;
    CProfileFile profile{dir / "tarnwick.ini"};
};

TEST_F(ProfileFileTest, MissingFileGivesDefaults)
{
    EXPECT_EQ(profile.GetProfileString("SYSTEM", "VeyAppPath", "C:\\x"), "C:\\x");
    EXPECT_EQ(profile.GetProfileInt("SYSTEM", "PlayMode", 2), 2);
    EXPECT_FALSE(std::filesystem::exists(profile.Path()));
}

TEST_F(ProfileFileTest, NamesMatchWhateverTheirCaseAndSpacesDoNotCount)
{
    dir.Write("tarnwick.ini", "[other]\nPlayMode=1\n  [ system ]  \n  playmode =  -5000 \nVEYAPPPATH= /games/x y \n");
    EXPECT_EQ(profile.GetProfileInt("SYSTEM", "PlayMode", 2), -5000);
    EXPECT_EQ(profile.GetProfileString("System", "VeyAppPath", ""), "/games/x y");
    EXPECT_EQ(profile.GetProfileInt("OTHER", "playMODE", 7), 1);
    EXPECT_EQ(profile.GetProfileInt("SYSTEM", "VolumeBGM", 9), 9);
}

TEST_F(ProfileFileTest, IntegerValuesReadLikeTheWindowsFunction)
{
    dir.Write("tarnwick.ini",
              "[S]\nA=12abc\nB=abc\nC=\nD=+7\nE=99999999999\nF=-99999999999\nG=\"-3\"\n; H=4\n");
    EXPECT_EQ(profile.GetProfileInt("S", "A", 5), 12);
    EXPECT_EQ(profile.GetProfileInt("S", "B", 5), 0);
    EXPECT_EQ(profile.GetProfileInt("S", "C", 5), 0);  // present but empty
    EXPECT_EQ(profile.GetProfileInt("S", "D", 5), 7);
    EXPECT_EQ(profile.GetProfileInt("S", "E", 5), 2147483647);
    EXPECT_EQ(profile.GetProfileInt("S", "F", 5), -2147483647 - 1);
    EXPECT_EQ(profile.GetProfileInt("S", "G", 5), -3);  // quotes around a value are dropped
    EXPECT_EQ(profile.GetProfileInt("S", "H", 5), 5);   // a comment is no key
}

TEST_F(ProfileFileTest, FirstWriteCreatesFileAndFolder)
{
    CProfileFile nested(dir / "new/folder/tarnwick.ini");
    ASSERT_TRUE(nested.WriteProfileInt("SYSTEM", "VolumeBGM", -300));
    EXPECT_EQ(ReadFileText(nested.Path()), "[SYSTEM]\nVolumeBGM=-300\n");
    EXPECT_EQ(nested.GetProfileInt("SYSTEM", "VolumeBGM", 0), -300);
}

TEST_F(ProfileFileTest, WriteChangesOneLineAndKeepsTheRest)
{
    const std::string before =
        "; my settings\n[Other]\nVolumeBGM=1\n\n[system]\n  volumebgm = 5   \nEnableBGM=0\n\n[Tail]\nx=y\n";
    dir.Write("tarnwick.ini", before);
    ASSERT_TRUE(profile.WriteProfileInt("SYSTEM", "VolumeBGM", -20));
    EXPECT_EQ(ReadFileText(profile.Path()),
              "; my settings\n[Other]\nVolumeBGM=1\n\n[system]\nvolumebgm=-20\nEnableBGM=0\n\n[Tail]\nx=y\n");
}

TEST_F(ProfileFileTest, NewKeyGoesAtTheEndOfItsSectionAndNewSectionAtTheEnd)
{
    dir.Write("tarnwick.ini", "[SYSTEM]\r\nVeyAppPath=/g\r\n\r\n[Tail]\r\nx=y");
    ASSERT_TRUE(profile.WriteProfileInt("SYSTEM", "PlayMode", 1));
    EXPECT_EQ(ReadFileText(profile.Path()), "[SYSTEM]\r\nVeyAppPath=/g\r\nPlayMode=1\r\n\r\n[Tail]\r\nx=y");
    ASSERT_TRUE(profile.WriteProfileString("Extra", "k", "v"));
    EXPECT_EQ(ReadFileText(profile.Path()),
              "[SYSTEM]\r\nVeyAppPath=/g\r\nPlayMode=1\r\n\r\n[Tail]\r\nx=y\r\n\r\n[Extra]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, WriteKeepsPermissionsAndLeavesNoTemporaryFiles)
{
    dir.Write("tarnwick.ini", "[SYSTEM]\nPlayMode=0\n");
    ASSERT_EQ(::chmod(profile.Path().c_str(), 0640), 0);
    ASSERT_TRUE(profile.WriteProfileInt("SYSTEM", "PlayMode", 2));
    struct stat st;
    ASSERT_EQ(::stat(profile.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(ProfileFileTest, FailedWriteReportsFalseAndLeavesNothingBehind)
{
    // A folder where the file should be: the rename cannot take its place.
    std::filesystem::create_directories(profile.Path());
    EXPECT_FALSE(profile.WriteProfileInt("SYSTEM", "PlayMode", 2));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(ProfileFileTest, WriteThroughASymbolicLinkChangesTheTarget)
{
    dir.Write("real.ini", "[SYSTEM]\nPlayMode=1\n");
    std::filesystem::create_symlink(dir / "real.ini", profile.Path());
    ASSERT_TRUE(profile.WriteProfileInt("SYSTEM", "PlayMode", 0));
    EXPECT_TRUE(std::filesystem::is_symlink(profile.Path()));
    EXPECT_EQ(ReadFileText(dir / "real.ini"), "[SYSTEM]\nPlayMode=0\n");
}

TEST_F(ProfileFileTest, FilesThatCannotBeReadOrWrittenAreLeftAlone)
{
    const std::string settings = "[SYSTEM]\nPlayMode=1\n";
    const struct {
        const char* what;
        int readValue;  // PlayMode as read, default 2
    } cases[] = {{"fifo", 2}, {"folder", 2}, {"device", 2}, {"too large", 2}, {"read-only", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(profile.Path());
        const std::string what = c.what;
        std::string before;
        if (what == "fifo") {
            ASSERT_EQ(::mkfifo(profile.Path().c_str(), 0644), 0);
        } else if (what == "folder") {
            std::filesystem::create_directories(profile.Path());
        } else if (what == "device") {
            std::filesystem::create_symlink("/dev/zero", profile.Path());
        } else if (what == "too large") {
            before = settings + std::string(kMaxProfileBytes, ';');
            dir.Write("tarnwick.ini", before);
        } else {
            before = settings;
            dir.Write("tarnwick.ini", before);
            // Root may write any file; the mode bits still say read-only.
            ASSERT_EQ(::chmod(profile.Path().c_str(), 0444), 0);
        }
        EXPECT_EQ(profile.GetProfileInt("SYSTEM", "PlayMode", 2), c.readValue);
        EXPECT_FALSE(profile.WriteProfileInt("SYSTEM", "PlayMode", 0));
        if (!before.empty()) {
            EXPECT_EQ(ReadFileText(profile.Path()), before);
        }
        EXPECT_EQ(std::filesystem::is_fifo(profile.Path()), what == "fifo");
        EXPECT_EQ(std::filesystem::is_directory(profile.Path()), what == "folder");
        EXPECT_EQ(std::filesystem::is_symlink(profile.Path()), what == "device");
    }
}

}  // namespace
}  // namespace tarnwick
