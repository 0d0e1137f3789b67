#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/program_folder.h"
#include "host/windows_path.h"
#include "host/host_path.h"
#include "host/mapped_memory.h"
#include "host/wine_prefixes.h"
#include "devkit/split_mix64.h"
#include "support/temp_folder.h"

namespace tarnwick {
namespace {

using test::TempFolder;

std::string Folder(const TempFolder& root, std::string_view relative)
{
    const std::string path = root / relative;
    std::filesystem::create_directories(path);
    return path;
}

TEST(ProgramFolderTest, OnlyAPortableCopyKeepsItsFilesBesideItself)
{
    TempFolder dir;
    const HostEnvironment_T env{.xdgConfigHome = dir / "config"};
    const std::string config = dir / "config/tarnwick";
    struct Case_T {
        std::string folder;
        bool portable;
    };
    const Case_T cases[] = {
        {dir.Path(), true},
        {Folder(dir, "build/tools/tarnwick"), true},  // a build tree
        {Folder(dir, "tarnwick-1.0"), true},          // unpacked on its own
        {Folder(dir, "bin/tools"), true},             // "bin" only as the last component
        {Folder(dir, "binaries"), true},
        {Folder(dir, ".local/bin"), false},           // --prefix ~/.local
        {Folder(dir, "opt/tarnwick/bin"), false},
        {Folder(dir, "bin"), false},
        {"/usr/bin", false},
        {"/usr/games", false},
        {"/opt/tarnwick", false},
        {"/nonexistent-folder", false},               // cannot be written
    };
    for (const Case_T& c : cases) {
        const std::string exe = JoinPath(c.folder, "tarnwick");
        EXPECT_EQ(ProgramFolderFor(exe, env), c.portable ? ParentFolder(exe) : config) << c.folder;
        EXPECT_EQ(ProgramPathsFor(exe, env).settingsFile,
                  JoinPath(c.portable ? ParentFolder(exe) : config, "tarnwick.ini")) << c.folder;
    }
}

TEST(ProgramFolderTest, TheUserConfigFolderFollowsXdgConfigHome)
{
    EXPECT_EQ(UserConfigFolder({.home = "/home/u", .xdgConfigHome = "/cfg"}), "/cfg/tarnwick");
    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    EXPECT_EQ(UserConfigFolder({.home = "/home/u", .xdgConfigHome = "relative/path"}), "/home/u/.config/tarnwick");
    EXPECT_EQ(UserConfigFolder({.home = "", .xdgConfigHome = ""}), "/.config/tarnwick");
    // Short-lived files: the runtime folder, else the cache, relative ones ignored.
    EXPECT_EQ(ScratchFolder({.home = "/home/u", .xdgRuntimeDir = "/run/user/1", .xdgCacheHome = "/c"}),
              "/run/user/1/tarnwick");
    EXPECT_EQ(ScratchFolder({.home = "/home/u", .xdgRuntimeDir = "run", .xdgCacheHome = "/c"}), "/c/tarnwick");
    EXPECT_EQ(ScratchFolder({.home = "/home/u", .xdgCacheHome = "cache"}), "/home/u/.cache/tarnwick");
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
    const HostEnvironment_T env{.home = "/home/u", .winePrefix = prefix.Path()};
    EXPECT_EQ(HostFolderFor("C:\\Program Files\\Tembrook\\Sorvalia", env),
              prefix / "drive_c/Program Files/TEMBROOK/sorvalia");
    EXPECT_EQ(HostFolderFor("c:/Program Files/Tembrook/Sorvalia/", env),
              prefix / "drive_c/Program Files/TEMBROOK/sorvalia");
    EXPECT_EQ(HostFolderFor("D:\\Games", env), prefix / "dosdevices/d:/Games");
    EXPECT_EQ(HostFolderFor("/home/me/Sorvalia", env), "/home/me/Sorvalia");
    EXPECT_EQ(HostFolderFor("relative\\x", env), "relative\\x");
    EXPECT_EQ(DialogStartFolder(WinePrefixes(env), env), prefix / "drive_c");
}

TEST(WindowsPathTest, WithoutAWinePrefixTheDialogStartsAtHome)
{
    TempFolder home;
    const HostEnvironment_T env{.home = home.Path(), .winePrefix = "relative"};
    EXPECT_EQ(WinePrefix(env), home / ".wine");
    EXPECT_TRUE(WinePrefixes(env).empty());
    EXPECT_EQ(DialogStartFolder(WinePrefixes(env), env), home.Path());
}

// A home folder with prefixes of every kind, some reached twice, and junk
// that is not a prefix.
TEST(WinePrefixesTest, EveryKindOfPrefixIsFoundOnceInSearchOrder)
{
    TempFolder home;
    const std::string steam = ".local/share/Steam/steamapps";
    Folder(home, "own/drive_c");
    Folder(home, ".wine/drive_c");
    Folder(home, steam + "/compatdata/200/pfx/drive_c");
    Folder(home, steam + "/compatdata/100/pfx/drive_c");
    Folder(home, steam + "/compatdata/300");                  // never started: no pfx
    home.Write(steam + "/compatdata/400/pfx", "a file");
    Folder(home, ".steam");
    std::filesystem::create_directory_symlink(home / ".local/share/Steam", home / ".steam/steam");
    Folder(home, "mnt/library/steamapps/compatdata/500/pfx/drive_c");
    home.Write(steam + "/libraryfolders.vdf",
               "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + home / ".local/share/Steam" +
                   "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n"
                   "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + home / "mnt/library" + "\"\n\t}\n"
                   "\t\"2\"\n\t{\n\t\t\"path\"\t\t\"" + home / "mnt/gone" + "\"\n\t}\n}\n");
    Folder(home, "Games/some-game/drive_c");
    Folder(home, "Games/native-game");
    home.Write("Games/notes.txt", "not a prefix");
    Folder(home, ".local/share/bottles/bottles/Office/drive_c");

    const HostEnvironment_T env{.home = home.Path(), .winePrefix = home / "own"};
    const std::vector<std::string> expected = {
        home / "own",
        home / ".wine",
        home / ".steam/steam/steamapps/compatdata/100/pfx",
        home / ".steam/steam/steamapps/compatdata/200/pfx",
        home / "mnt/library/steamapps/compatdata/500/pfx",
        home / "Games/some-game",
        home / ".local/share/bottles/bottles/Office",
    };
    EXPECT_EQ(WinePrefixes(env), expected);
    EXPECT_EQ(DialogStartFolder(WinePrefixes(env), env), home / "own/drive_c");

    // $WINEPREFIX naming ~/.wine another way gives it once.
    const HostEnvironment_T same{.home = home.Path(), .winePrefix = home / ".steam/../.wine/"};
    EXPECT_EQ(WinePrefixes(same).front(), home / ".steam/../.wine/");
    EXPECT_EQ(WinePrefixes(same).size(), expected.size() - 1);
}

// Steam's library list is the user's file: whatever stands in its place,
// the search goes on without it and without blocking.
TEST(WinePrefixesTest, ALibraryListThatIsNoFileOrTooLargeIsSkipped)
{
    const std::string listPath = ".local/share/Steam/steamapps/libraryfolders.vdf";
    for (const char* kind : {"fifo", "folder", "oversized", "plain"}) {
        TempFolder home;
        Folder(home, "library/steamapps/compatdata/7/pfx/drive_c");
        const std::string list = "\"libraryfolders\" { \"1\" { \"path\" \"" + home / "library" + "\" } }";
        const std::string at = home / listPath;
        Folder(home, ".local/share/Steam/steamapps");
        if (std::string_view(kind) == "fifo")
            ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0);
        else if (std::string_view(kind) == "folder")
            Folder(home, listPath);
        else if (std::string_view(kind) == "oversized")
            home.Write(listPath, list + std::string(1u << 20, ' '));
        else
            home.Write(listPath, list);
        const std::vector<std::string> found = WinePrefixes({.home = home.Path()});
        if (std::string_view(kind) == "plain")
            EXPECT_EQ(found, std::vector<std::string>{home / "library/steamapps/compatdata/7/pfx"});
        else
            EXPECT_TRUE(found.empty()) << kind;
    }
}

TEST(WinePrefixesTest, LibraryListsAreReadWhateverTheirBytes)
{
    using namespace std::string_literals;
    struct Case_T {
        std::string text;
        std::vector<std::string> folders;
    };
    const Case_T cases[] = {
        {"\"libraryfolders\"{\"0\"{\"path\" \"/a\" \"label\" \"/not\"}\"1\"{\"PATH\" \"/b\"}}", {"/a", "/b"}},
        // The older flat form numbers the folders themselves.
        {"\"LibraryFolders\"\n{\n\"TimeNextStatsReport\" \"1\"\n\"1\" \"/mnt/old\"\n}", {"/mnt/old"}},
        {"\"x\" { \"path\" \"/a \\\"b\\\"\\\\c\\q\" }", {"/a \"b\"\\c\\q"}},
        {"// \"path\" \"/commented\"\n\"x\" { path /bare }", {"/bare"}},
        {"\"x\" { \"path\" \"relative\" \"path\" \"\" }", {}},
        {"\"x\" { \"path\" \"/cut", {}},
        {"\"x\" { \"path\" \"/cut\\", {}},
        {"\"x\" { \"path\" \"/nul\0byte\" \"path\" \"/ok\" }"s, {"/ok"}},
        {"}}}} \"path\" \"/after-closing\" {{{{", {"/after-closing"}},
        {"\"path\" { \"path\" }", {}},
        {"\xff\xfe\x01{\x80\"", {}},
        {"", {}},
    };
    for (const Case_T& c : cases)
        EXPECT_EQ(ParseSteamLibraryFolders(c.text), c.folders) << c.text;

    CSplitMix64 random(15);
    for (int i = 0; i < 2000; ++i) {
        std::string junk(random.Below(200), '\0');
        for (char& b : junk)
            b = "\"{}/ pa\\th\n\0\xff"[random.Below(13)];
        for (const std::string& folder : ParseSteamLibraryFolders(junk))
            EXPECT_TRUE(IsAbsolutePath(folder)) << folder;
    }
}

TEST(WinePrefixesTest, GameFolderCandidatesAreTheExistingDefaultFoldersInEachPrefix)
{
    TempFolder root;
    Folder(root, "a/drive_c/Program Files (x86)/TEMBROOK/Sorvalia");
    Folder(root, "b/drive_c/Program Files/Tembrook/Sorvalia");
    Folder(root, "b/drive_c/Program Files (x86)/Tembrook/Sorvalia");
    Folder(root, "c/drive_c/Program Files/Tembrook");
    root.Write("d/drive_c/Program Files/Tembrook/Sorvalia", "a file");
    const std::string_view defaults[] = {"C:\\Program Files\\Tembrook\\Sorvalia",
                                         "C:\\Program Files (x86)\\Tembrook\\Sorvalia"};
    const std::vector<std::string> expected = {
        root / "a/drive_c/Program Files (x86)/TEMBROOK/Sorvalia",
        root / "b/drive_c/Program Files/Tembrook/Sorvalia",
        root / "b/drive_c/Program Files (x86)/Tembrook/Sorvalia",
    };
    EXPECT_EQ(GameFolderCandidates({root / "a", root / "b", root / "c", root / "d"}, defaults), expected);
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
        {"link.txt", "", "link.txt"},
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
    // The link was replaced, not written through.
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "link.txt"));
    EXPECT_EQ(test::ReadFileText(folder / "real.txt"), "old");
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

// Names from an archive become file names that are distinct whenever the
// stored names are, and that tell which bytes were no characters.
TEST(FileWriterTest, StoredNamesGiveDistinctReversibleFileNames)
{
    const struct {
        std::string_view stored;
        std::string_view file;
    } cases[] = {
        {"plain.txt", "plain.txt"},
        {"\x95\x5c.txt", "表.txt"},  // 0x5C as a trail byte stays in its character
        {"inv\x81", "inv%81"},       // a lead byte cut off by the end
        {"inv\xff", "inv%FF"},
        {"inv\xa0", "inv%A0"},
        {"inv\xfe", "inv%FE"},
        {"inv%81", "inv%2581"},      // a "%" that would read as an escape
        {"100%", "100%"},
        {"%zz", "%zz"},
        {"\x81%41", "%81%2541"},
    };
    std::vector<std::string> files;
    for (const auto& c : cases) {
        EXPECT_EQ(Cp932ToFileName(c.stored), c.file) << c.file;
        files.push_back(Cp932ToFileName(c.stored));
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(std::adjacent_find(files.begin(), files.end()), files.end());
}

// Every code the decoder knows encodes to a code that decodes alike; the
// JIS X 0208 ones (and NEC row 13's own characters) to their very bytes,
// so the game's texts survive a trip through UTF-8.
TEST(Cp932TextTest, EncodingUndoesDecoding)
{
    const auto isJis = [](unsigned char lead) { return lead != 0x87 && lead != 0xED && lead != 0xEE && lead < 0xFA; };
    int checked = 0;
    for (unsigned first = 0; first < 0x100; ++first) {
        const bool pair = IsCp932LeadByte(static_cast<unsigned char>(first));
        for (unsigned second = 0; second < (pair ? 0x100u : 1u); ++second) {
            std::string bytes(1, static_cast<char>(first));
            if (pair)
                bytes += static_cast<char>(second);
            const std::string text = Cp932ToUtf8(bytes);
            if (text.find("\xEF\xBF\xBD") != std::string::npos)
                continue;
            ++checked;
            const std::optional<std::string> back = Utf8ToCp932(text);
            ASSERT_TRUE(back) << std::hex << first << ' ' << second;
            EXPECT_EQ(Cp932ToUtf8(*back), text) << std::hex << first << ' ' << second;
            const unsigned char backLead = static_cast<unsigned char>((*back)[0]);
            if (isJis(static_cast<unsigned char>(first))) {
                EXPECT_EQ(*back, bytes) << std::hex << first << ' ' << second;
            } else if (first == 0x87) {  // unless JIS X 0208 has the character too
                EXPECT_TRUE(*back == bytes || isJis(backLead)) << std::hex << first << ' ' << second;
            }
        }
    }
    EXPECT_GT(checked, 9000);  // single bytes, JIS X 0208, extensions, user-defined

    const struct {
        std::string_view utf8;
        std::optional<std::string_view> cp932;
    } cases[] = {
        {"", ""},
        {"\\~", "\\~"},
        {"表ｶ", "\x95\x5c\xb6"},
        {"\u2252", "\x81\xe0"},  // in NEC row 13 and JIS X 0208
        {"\u2160", "\x87\x54"},  // in NEC row 13 and the IBM extensions
        {"\u2170", "\xfa\x40"},  // in the IBM extensions and NEC's copy
        {"\uffe2", "\x81\xca"},  // in all three
        {"\ue000", "\xf0\x40"},  // user-defined
        {"\u00e9", std::nullopt},
        {"\U0001F600", std::nullopt},
        {"\uFFFD", std::nullopt},
        {"a\x95", std::nullopt},              // not UTF-8
        {"\xc3", std::nullopt},               // cut off
        {"\xc0\x80", std::nullopt},          // overlong
        {"\xed\xa0\x80", std::nullopt},     // a surrogate
        {"\xf4\x90\x80\x80", std::nullopt},  // beyond U+10FFFF
        {"\xe8\xa1\xa8\xa8", std::nullopt},  // a stray continuation byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.utf8;
}

// What is already in the target folder cannot send a write elsewhere: a
// link where a file goes is replaced, a link where a folder goes is
// refused, a refused folder is never written however the path reaches
// it, and a replaced file keeps its mode.
TEST(FileWriterTest, HostileTargetFoldersGetNothingOutside)
{
    TempFolder root;
    const std::string outside = Folder(root, "outside");
    const std::string game = Folder(root, "out/game");
    root.Write("outside/victim", "victim");
    ::chmod((root / "outside/victim").c_str(), 0600);
    Folder(root, "out");
    std::filesystem::create_symlink(outside + "/victim", root / "out/dup");
    std::filesystem::create_symlink(outside, root / "out/voice");
    root.Write("out/private", "old");
    ::chmod((root / "out/private").c_str(), 0600);
    ::mkfifo((root / "out/fifo").c_str(), 0600);

    CWriteFolder out;
    out.Refuse(game);
    Failure_T why;
    ASSERT_TRUE(out.Open(root / "out", why)) << why.Describe();
    const struct {
        std::string relative;
        std::string failure;  // empty: written
    } cases[] = {
        {"dup", ""},
        {"private", ""},
        {"new/deep/file", ""},
        {"voice/a.ogg", root / "out/voice: a symbolic link, not followed"},
        {"game/x", root / "out/game: inside a folder that is only read"},
        {"game/sub/x", root / "out/game: inside a folder that is only read"},
        {"fifo", root / "out/fifo: not a regular file"},
        {"a/../b", root / "out/a/..: not a name that can be written"},
    };
    for (const auto& c : cases) {
        Failure_T failure;
        const std::string bytes = "new";
        const bool ok = WriteFileAtomically(out, c.relative, {reinterpret_cast<const std::uint8_t*>(bytes.data()), 3}, failure);
        EXPECT_EQ(ok, c.failure.empty()) << c.relative;
        EXPECT_EQ(failure.Describe(), c.failure) << c.relative;
        if (ok) {
            EXPECT_EQ(test::ReadFileText(root / ("out/" + c.relative)), "new");
            EXPECT_FALSE(std::filesystem::is_symlink(root / ("out/" + c.relative)));
        }
    }
    EXPECT_EQ(test::ReadFileText(root / "outside/victim"), "victim");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(game), {}), 0);
    struct stat st;
    ASSERT_EQ(::stat((root / "out/private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat((root / "out/new/deep/file").c_str(), &st), 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    // A link swapped in for a folder during the run is refused at the next
    // file; the link's target gets none.
    std::filesystem::rename(root / "out/new", root / "out/moved");
    std::filesystem::create_symlink(outside, root / "out/new");
    EXPECT_FALSE(WriteFileAtomically(out, "new/late", {}, why));
    EXPECT_EQ(why.Describe(), root / "out/new: a symbolic link, not followed");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside), {}), 1);

    // The folder itself, or one inside the refused folder, is refused
    // before anything is made there.
    CWriteFolder inside;
    inside.Refuse(game);
    EXPECT_FALSE(inside.Open(game + "/made/here", why));
    EXPECT_EQ(why.Describe(), game + "/made/here: inside a folder that is only read");
    EXPECT_FALSE(std::filesystem::exists(game + "/made"));
}

// Folders are opened once and then shared by threads writing at once; a
// folder that another takes the place of is walked afresh, not written
// through the one held, and in a folder made by the run a folder put where
// a file goes still stops that file.
TEST(FileWriterTest, HeldFoldersServeManyThreadsAndFollowReplacement)
{
    TempFolder root;
    CWriteFolder out;
    Failure_T why;
    ASSERT_TRUE(out.Open(root / "out", why)) << why.Describe();
    std::vector<std::thread> threads;
    std::vector<int> failed(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                const std::string text = std::to_string(t) + "-" + std::to_string(i);
                const std::string relative = (i % 2 ? "a/b/" : "c/") + text;
                Failure_T failure;
                failed[t] += !WriteFileAtomically(
                    out, relative, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, failure);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failed, std::vector<int>(4, 0));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "out/a/b"), {}), 80);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "out/c"), {}), 80);
    EXPECT_EQ(test::ReadFileText(root / "out/a/b/3-39"), "3-39");

    std::filesystem::rename(root / "out/a", root / "out/moved");
    std::filesystem::create_directories(root / "out/a/b");
    const std::string bytes = "late";
    const std::span<const std::uint8_t> late{reinterpret_cast<const std::uint8_t*>(bytes.data()), 4};
    ASSERT_TRUE(WriteFileAtomically(out, "a/b/late", late, why)) << why.Describe();
    EXPECT_EQ(test::ReadFileText(root / "out/a/b/late"), "late");
    EXPECT_FALSE(std::filesystem::exists(root / "out/moved/b/late"));

    std::filesystem::create_directories(root / "out/c/taken");
    EXPECT_FALSE(WriteFileAtomically(out, "c/taken", late, why));
    EXPECT_EQ(why.Describe(), root / "out/c/taken: Is a directory");
    for (const auto& e : std::filesystem::directory_iterator(root / "out/c"))
        EXPECT_FALSE(IsTemporaryName(e.path().filename().string())) << e.path();
}

// A writer interrupted by a signal leaves no temporary file, and exits with
// 128 + the signal; a temporary left by a writer that died outright is
// removed by the next run that writes into its folder, one of a writer
// still running is not.
TEST(FileWriterTest, InterruptedRunsLeaveNoTemporaries)
{
    TempFolder root;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemoveTemporariesOnSignals();
            CAtomicFile file;
            Failure_T why;
            if (!file.Open(root / "half", why) || !file.Write(std::vector<std::uint8_t>(1000, 'x'), why))
                ::_exit(99);
            static_cast<void>(::write(ready[1], "r", 1));
            for (;;)
                ::pause();
        }
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.Path()), {}), 0) << signal;
    }

    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = ".a.ogg.tarnwick-" + std::to_string(gone) + "-3.tmp";
    const std::string live = ".b.ogg.tarnwick-" + std::to_string(::getppid()) + "-0.tmp";
    long pid = 0;
    EXPECT_TRUE(IsTemporaryName(stale, &pid));
    EXPECT_EQ(pid, gone);
    for (const std::string_view other : {".a.tmp", ".a.tarnwick-12.tmp", "a.tarnwick-1-2.tmp", ".a.tarnwick-x-1.tmp"})
        EXPECT_FALSE(IsTemporaryName(other)) << other;
    root.Write("voice/" + stale, "half");
    root.Write("voice/" + live, "half");
    CWriteFolder out;
    Failure_T why;
    ASSERT_TRUE(out.Open(root.Path(), why));
    ASSERT_TRUE(WriteFileAtomically(out, "voice/c.ogg", {}, why));
    EXPECT_FALSE(std::filesystem::exists(root / ("voice/" + stale)));
    EXPECT_TRUE(std::filesystem::exists(root / ("voice/" + live)));
}

TEST(LargeBufferTest, GivesZeroedWritableMemoryOrFailsCleanly)
{
    CLargeBuffer buffer;
    // Below, at and well past the huge-page size, then none at all.
    for (const std::size_t size : {std::size_t{1}, std::size_t{2} << 20, (std::size_t{5} << 20) + 3, std::size_t{0}}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(buffer.Allocate(size));
        ASSERT_EQ(buffer.Size(), size);
        if (size == 0)
            continue;
        const std::uint8_t* const p = buffer.Data();
        EXPECT_TRUE(std::all_of(p, p + size, [](std::uint8_t b) { return b == 0; }));
        std::fill(buffer.Data(), buffer.Data() + size, 0xA5);
    }
    // A size no machine has fails with its reason and leaves no buffer.
    errno = 0;
    EXPECT_FALSE(buffer.Allocate(std::numeric_limits<std::size_t>::max() - 4096));
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Size(), 0u);
}

TEST(MappedArenaTest, HandsOutDisjointZeroedBlocksUntilFullFromManyThreads)
{
    constexpr std::size_t kCapacity = std::size_t{4} << 20;
    CMappedArena arena(kCapacity);
    ASSERT_EQ(arena.Capacity(), kCapacity);
    EXPECT_EQ(arena.Allocate(kCapacity + 1), nullptr);
    // Four threads take blocks of odd sizes until the arena says no; every
    // block is zeroed, aligned, and overlaps no other (each is filled with
    // its own mark and checked after all are taken).
    struct Block_T {
        std::uint8_t* p;
        std::size_t size;
        std::uint8_t mark;
    };
    std::vector<Block_T> blocks[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&arena, &list = blocks[t], t] {
            for (std::size_t k = 0;; ++k) {
                const std::size_t size = 1 + (k * 7919 + static_cast<std::size_t>(t) * 104729) % 40000;
                auto* const p = static_cast<std::uint8_t*>(arena.Allocate(size));
                if (!p)
                    return;
                const auto mark = static_cast<std::uint8_t>(1 + (t * 64 + k) % 255);
                if (std::all_of(p, p + size, [](std::uint8_t b) { return b == 0; }))
                    std::fill(p, p + size, mark);
                list.push_back({p, size, mark});
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    std::size_t total = 0;
    for (const auto& list : blocks) {
        for (const Block_T& b : list) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.p) % alignof(std::max_align_t), 0u);
            EXPECT_TRUE(std::all_of(b.p, b.p + b.size, [&b](std::uint8_t x) { return x == b.mark; }));
            total += b.size;
        }
    }
    EXPECT_LE(total, kCapacity);
    EXPECT_GT(total, kCapacity / 2);  // full, up to the padding between blocks
    // An arena that got no address space hands out nothing.
    CMappedArena none(0);
    EXPECT_EQ(none.Allocate(1), nullptr);
}

}  // namespace
}  // namespace tarnwick
