#include "app/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
    // The lock file stays: writers that wait on it must all lock one file.
    std::set<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"tarnwick.ini", "tarnwick.ini.lock"}));
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

TEST_F(ProfileFileTest, ValuesComeBackExactlyAsWritten)
{
    // Reading trims spaces and strips one pair of quotes, as the Windows
    // reader does: values that would lose either are stored quoted.
    const struct {
        const char* value;
        const char* stored;
    } cases[] = {
        {"/games/sorvalia ", "\"/games/sorvalia \""},
        {" leading", "\" leading\""},
        {"\ttab\t", "\"\ttab\t\""},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'single'", "\"'single'\""},
        {"\"", "\""},
        {"a \"b\" c", "a \"b\" c"},
        {"", ""},
        {"/games/plain", "/games/plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::filesystem::remove(profile.Path());
        CProfileFile loaded(profile.Path());
        loaded.Load();
        ASSERT_TRUE(loaded.WriteProfileString("SYSTEM", "VeyAppPath", c.value));
        EXPECT_EQ(ReadFileText(profile.Path()), std::string("[SYSTEM]\nVeyAppPath=") + c.stored + "\n");
        EXPECT_EQ(CProfileFile(profile.Path()).GetProfileString("SYSTEM", "VeyAppPath", "?"), c.value);
        EXPECT_EQ(loaded.GetProfileString("SYSTEM", "VeyAppPath", "?"), c.value);  // from its own save
    }
}

TEST_F(ProfileFileTest, ValuesThatWouldBreakLinesAreRefusedAndTheRestStored)
{
    const std::string before = "[SYSTEM]\nVeyAppPath=/g\n";
    dir.Write("tarnwick.ini", before);
    const ProfileChange_T changes[] = {
        {"Tarnwick", "CaptureGroupName", "c\r[SYSTEM]\rVeyAppPath=/evil"},
        {"Tarnwick", "Search", "a\n[SYSTEM]\nVeyAppPath=/evil"},
        {"Tarnwick", "CaptureItemName", std::string("x\0y", 3)},
        {"Tarnwick", "Width", "900"},
        {"SYSTEM", "PlayMode", "1"},
    };
    EXPECT_FALSE(profile.WriteProfileStrings(changes));
    EXPECT_EQ(ReadFileText(profile.Path()), "[SYSTEM]\nVeyAppPath=/g\nPlayMode=1\n\n[Tarnwick]\nWidth=900\n");

    // Only LF ends a line: a CR inside a line someone else wrote is text.
    dir.Write("tarnwick.ini", before + "[Tarnwick]\nSearch=c\r[SYSTEM]\rVeyAppPath=/evil\n");
    EXPECT_EQ(profile.GetProfileString("Tarnwick", "Search", ""), "c\r[SYSTEM]\rVeyAppPath=/evil");
    EXPECT_EQ(profile.GetProfileString("SYSTEM", "VeyAppPath", ""), "/g");
}

TEST_F(ProfileFileTest, TwoWritersAtOnceLoseNoKey)
{
    constexpr int kRounds = 60;
    pid_t writers[2] = {};
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            // Each save changes a key of its own and one both change.
            CProfileFile mine(profile.Path());
            bool ok = true;
            for (int r = 0; r < kRounds; ++r) {
                const ProfileChange_T changes[] = {
                    {"W" + std::to_string(w), "k" + std::to_string(r), std::to_string(r)},
                    {"SYSTEM", "Last", std::to_string(w)},
                };
                ok = mine.WriteProfileStrings(changes) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    profile.Load();
    for (int w = 0; w < 2; ++w) {
        for (int r = 0; r < kRounds; ++r)
            EXPECT_EQ(profile.GetProfileInt("W" + std::to_string(w), "k" + std::to_string(r), -1), r) << w;
    }
    EXPECT_NE(profile.GetProfileInt("SYSTEM", "Last", -1), -1);
}

TEST_F(ProfileFileTest, FilesThatCannotBeReadOrWrittenAreLeftAloneWithTheReason)
{
    const std::string settings = "[SYSTEM]\nPlayMode=1\n";
    const std::string path = profile.Path();
    const struct {
        const char* what;
        int readValue;  // PlayMode as read, default 2
        ProfileState state;
        std::string why;
    } cases[] = {{"fifo", 2, ProfileState::kUnreadable, path + ": not a regular file"},
                 {"folder", 2, ProfileState::kUnreadable, path + ": not a regular file"},
                 // Named where the link leads, which is what cannot be written.
                 {"device", 2, ProfileState::kUnreadable, "/dev/zero: not a regular file"},
                 {"too large", 2, ProfileState::kTooLarge, path + ": larger than 1 MiB"},
                 {"read-only", 1, ProfileState::kUsable, path + ": read-only, left as it is"},
                 // Read whole, but the change would take them over the limit.
                 {"one byte below the limit", 1, ProfileState::kUsable, path + ": would become larger than 1 MiB"},
                 {"at the limit", 1, ProfileState::kUsable, path + ": would become larger than 1 MiB"},
                 {"linked lock", 1, ProfileState::kUsable, path + ".lock: a symbolic link, not followed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(profile.Path());
        std::filesystem::remove(profile.Path() + ".lock");
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
        } else if (what == "one byte below the limit" || what == "at the limit") {
            before = settings + std::string(kMaxProfileBytes - settings.size() - (what == "at the limit" ? 0 : 1), ';');
        } else {
            before = settings;
        }
        if (!before.empty())
            dir.Write("tarnwick.ini", before);
        if (what == "read-only") {
            // Root may write any file; the mode bits still say read-only.
            ASSERT_EQ(::chmod(profile.Path().c_str(), 0444), 0);
        } else if (what == "linked lock") {
            std::filesystem::create_symlink(dir / "elsewhere", profile.Path() + ".lock");
        }
        EXPECT_EQ(profile.GetProfileInt("SYSTEM", "PlayMode", 2), c.readValue);
        Failure_T why;
        // A new key: the file grows.
        EXPECT_FALSE(profile.WriteProfileStrings(std::vector<ProfileChange_T>{{"SYSTEM", "VolumeBGM", "-500"}}, &why));
        EXPECT_EQ(why.Describe(), c.why);
        EXPECT_EQ(CProfileFile(profile.Path()).Load(), c.state);
        if (!before.empty()) {
            EXPECT_TRUE(ReadFileText(profile.Path()) == before);  // too large to show
        }
        EXPECT_EQ(std::filesystem::is_fifo(profile.Path()), what == "fifo");
        EXPECT_EQ(std::filesystem::is_directory(profile.Path()), what == "folder");
        EXPECT_EQ(std::filesystem::is_symlink(profile.Path()), what == "device");
        EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
    }
    // What Load found is the reason of every later save.
    std::filesystem::remove_all(profile.Path());
    std::filesystem::create_directories(profile.Path());
    ASSERT_EQ(profile.Load(), ProfileState::kUnreadable);
    EXPECT_EQ(profile.LoadFailure().Describe(), path + ": Is a directory");
    Failure_T why;
    EXPECT_FALSE(profile.WriteProfileString("SYSTEM", "PlayMode", "0", &why));
    EXPECT_EQ(why.Describe(), path + ": Is a directory");
}

TEST_F(ProfileFileTest, ALockHeldByAnotherWriterIsWaitedForABoundedTime)
{
    dir.Write("tarnwick.ini", "[SYSTEM]\nPlayMode=1\n");
    // Another open of the lock file holds it, as another process would.
    const int holder = ::open((profile.Path() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    profile.SetLockWait(std::chrono::milliseconds(200));
    Failure_T why;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(profile.WriteProfileString("SYSTEM", "PlayMode", "0", &why));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_EQ(why.Describe(), profile.Path() + ".lock: locked by another process");
    EXPECT_EQ(ReadFileText(profile.Path()), "[SYSTEM]\nPlayMode=1\n");

    // Let go within the wait, and the save goes through.
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::close(holder);
    });
    profile.SetLockWait(std::chrono::seconds(5));
    EXPECT_TRUE(profile.WriteProfileString("SYSTEM", "PlayMode", "0", &why)) << why.Describe();
    release.join();
    EXPECT_EQ(ReadFileText(profile.Path()), "[SYSTEM]\nPlayMode=0\n");
    EXPECT_TRUE(std::filesystem::exists(profile.Path() + ".lock"));
}

}  // namespace
}  // namespace tarnwick
