#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <optional>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "host/file_writer.h"
#include "host/program_folder.h"
#include "host/windows_path.h"
#include "host/host_path.h"
#include "support/temp_folder.h"

namespace tarnwick {
namespace {

using test::TempFolder;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : key(name)
    {
        if (const char* old = std::getenv(name))
            saved = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (saved)
            ::setenv(key, saved->c_str(), 1);
        else
            ::unsetenv(key);
    }

private:
    const char* key;
    std::optional<std::string> saved;
};

TEST(ProgramFolderTest, PortableCopyKeepsItsFilesBesideItself)
{
    TempFolder dir;
    EXPECT_EQ(ProgramFolderFor(dir / "tarnwick"), dir.Path());
}

TEST(ProgramFolderTest, InstalledCopyUsesTheUserConfigFolder)
{
    TempFolder dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
    EXPECT_EQ(ProgramFolderFor("/usr/bin/tarnwick"), dir / "tarnwick");
    EXPECT_EQ(ProgramFolderFor("/opt/tarnwick/bin/tarnwick"), dir / "tarnwick");
    EXPECT_EQ(ProgramFolderFor("/nonexistent-folder/tarnwick"), dir / "tarnwick");
    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/path");
    ScopedEnv home("HOME", dir.Path().c_str());
    EXPECT_EQ(UserConfigFolder(), dir / ".config/tarnwick");
}

TEST(ProgramFolderTest, SettingsFileIsNamedAfterTheExecutable)
{
    EXPECT_EQ(SettingsFileNameFor("/x/tarnwick"), "tarnwick.ini");
    EXPECT_EQ(SettingsFileNameFor("/x/tarnwick.bin"), "tarnwick.ini");
    EXPECT_EQ(SettingsFileNameFor("/x.y/tool"), "tool.ini");
    EXPECT_EQ(SettingsFileNameFor("/x/.hidden"), ".hidden.ini");
}

TEST(WindowsPathTest, DrivePathsResolveUnderTheWinePrefixWhateverTheirCase)
{
    TempFolder prefix;
    std::filesystem::create_directories(prefix / "drive_c/Program Files/TEMBROOK/sorvalia");
    ScopedEnv wine("WINEPREFIX", prefix.Path().c_str());
    EXPECT_EQ(HostFolderFor("C:\\Program Files\\Tembrook\\Sorvalia"),
              prefix / "drive_c/Program Files/TEMBROOK/sorvalia");
    EXPECT_EQ(HostFolderFor("c:/Program Files/Tembrook/Sorvalia/"),
              prefix / "drive_c/Program Files/TEMBROOK/sorvalia");
    EXPECT_EQ(HostFolderFor("D:\\Games"), prefix / "dosdevices/d:/Games");
    EXPECT_EQ(HostFolderFor("/home/me/Sorvalia"), "/home/me/Sorvalia");
    EXPECT_EQ(HostFolderFor("relative\\x"), "relative\\x");
    EXPECT_EQ(DialogStartFolder(), prefix / "drive_c");
}

TEST(WindowsPathTest, WithoutAWinePrefixTheDialogStartsAtHome)
{
    TempFolder home;
    ScopedEnv wine("WINEPREFIX", nullptr);
    ScopedEnv h("HOME", home.Path().c_str());
    EXPECT_EQ(WinePrefix(), home / ".wine");
    EXPECT_EQ(DialogStartFolder(), home.Path());
}

TEST(HostPathTest, JoinAndParentFolder)
{
    EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("/", "b"), "/b");
    EXPECT_EQ(ParentFolder("/a/b/vey.exe"), "/a/b");
    EXPECT_EQ(ParentFolder("/vey.exe"), "/");
    EXPECT_EQ(ParentFolder("vey.exe"), "");
}

// Whatever is at the target, a write either replaces it whole or fails
// with the target's path and reason, and never leaves a temporary file.
TEST(FileWriterTest, ReplacesWholeOrFailsAndLeavesNoTemporary)
{
    TempFolder folder;
    folder.Write("old.txt", "old");
    folder.Write("real.txt", "old");
    std::filesystem::create_symlink(folder / "real.txt", folder / "link.txt");
    std::filesystem::create_directory(folder / "dir");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const struct {
        std::string target;
        std::string failure;  // empty: written
        std::string readBack;  // the path that holds "new" afterwards
    } cases[] = {
        {"new.txt", "", "new.txt"},
        {"old.txt", "", "old.txt"},
        {"link.txt", "", "real.txt"},
        {"dir", ": Is a directory", ""},
        {"fifo", ": not a regular file", ""},
        {"missing/new.txt", ": No such file or directory", ""},
    };
    for (const auto& c : cases) {
        Failure_T why;
        const std::string bytes = "new";
        const bool ok = WriteFileAtomically(folder / c.target, {reinterpret_cast<const std::uint8_t*>(bytes.data()), 3}, why);
        EXPECT_EQ(ok, c.failure.empty()) << c.target;
        EXPECT_EQ(why.Describe(), c.failure.empty() ? "" : folder / c.target + c.failure);
        if (!c.readBack.empty()) {
            EXPECT_EQ(test::ReadFileText(folder / c.readBack), "new") << c.target;
        }
    }
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
    {
        // Dropped before Commit: the old file stays.
        CAtomicFile file;
        Failure_T why;
        ASSERT_TRUE(file.Open(folder / "old.txt", why));
        ASSERT_TRUE(file.Write(std::vector<std::uint8_t>(100, 'x'), why));
    }
    EXPECT_EQ(test::ReadFileText(folder / "old.txt"), "new");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dir", "fifo", "link.txt", "new.txt", "old.txt", "real.txt"}));
}

}  // namespace
}  // namespace tarnwick
