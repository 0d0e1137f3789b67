#include "app/tarnwick_app.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <vorbis/vorbisfile.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/file_writer.h"
#include "host/host_path.h"
#include "app/game_folder.h"
#include "app/line_export.h"
#include "app/walk_file_export.h"
#include "sound/voice_output.h"
#include "talk/veyqel_talk.h"
#include "host/cp932_text.h"
#include "host/windows_path.h"
#include "support/demo_game.h"
#include "support/recording_player.h"
#include "support/export_files.h"
#include "support/temp_folder.h"
#include "support/test_game.h"

namespace tarnwick {
namespace {

using test::ReadFileText;
using test::TempFolder;

// The application's player, on devices that only record: what the window
// changes goes through it.
CPlayer& PlayerOf(CTarnwickApp& app)
{
    test::CRecordingPlayerFactory factory;
    return app.Player(factory);
}
using test::TestGameOptions_T;
using test::WriteTestGame;

// The file as the system knows it: a replaced file is another file, even
// with the same bytes.
std::pair<ino_t, std::int64_t> FileIdentity(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return {st.st_ino, std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

// Answers start-up's questions from a script and records what was asked.
class ScriptedUi : public IStartupUi {
public:
    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogRequest_T> requests;
    std::vector<std::string> messages;
    int dialogRuns = 0;
    std::function<void(CTarnwickApp&)> onDialog;
    std::vector<std::string> steps;  // "prepare", "ask", "message" and "run", in order

    std::optional<std::string> AskForFile(const FileDialogRequest_T& request) override
    {
        requests.push_back(request);
        steps.push_back("ask");
        if (answers.empty())
            return std::nullopt;
        std::optional<std::string> a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowMessage(const StartupMessage_T& message) override
    {
        messages.push_back(message.Text());
        steps.push_back("message");
    }
    void PrepareMainDialog(CTarnwickApp&) override { steps.push_back("prepare"); }
    void RunMainDialog(CTarnwickApp& app) override
    {
        ++dialogRuns;
        steps.push_back("run");
        if (onDialog)
            onDialog(app);
    }
};

class StartupTest : public ::testing::Test {
protected:
    std::string Settings() const { return ReadFileText(program / "tarnwick.ini"); }
    bool SettingsExist() const { return std::filesystem::exists(program / "tarnwick.ini"); }
    ProgramPaths_T Paths() const { return ProgramPathsFor(program / "tarnwick", env); }

    TempFolder home;  // no Wine prefix in it unless a test makes one
    TempFolder wine;  // $WINEPREFIX, empty: no game at the default folder
    HostEnvironment_T env{.home = home.Path(), .winePrefix = wine.Path()};
    TempFolder program;  // the executable's (writable) folder
    TempFolder game;
    ScriptedUi ui;
};

TEST_F(StartupTest, FreshStartAsksForTheGameAndCancelWritesNothing)
{
    CTarnwickApp app(Paths(), env);
    EXPECT_FALSE(app.InitInstance(ui));
    ASSERT_EQ(ui.requests.size(), 1u);
    const FileDialogRequest_T& r = ui.requests[0];
    EXPECT_EQ(r.initialFileName, "vey.exe");
    EXPECT_STREQ(DialogTextEnglish(r.title), "Select application install folder.");
    EXPECT_EQ(r.defaultExtension, ".exe");
    EXPECT_EQ(r.filters,
              (std::vector<FileFilter_T>{{DialogText_T::kExeFile, {"*.exe"}}, {DialogText_T::kAllFiles, {"*"}}}));
    EXPECT_STREQ(DialogTextEnglish(r.filters[0].name), "Exe File");
    EXPECT_STREQ(DialogTextEnglish(r.filters[1].name), "All files");
    EXPECT_EQ(r.initialFolder, home.Path());  // no Wine prefix anywhere
    EXPECT_EQ(ui.dialogRuns, 0);
    EXPECT_FALSE(SettingsExist());
}

TEST_F(StartupTest, AnyFileInTheGameFolderIsAcceptedAndRemembered)
{
    WriteTestGame(game.Path());
    ui.answers.push_back(game / "not-the-game.txt");
    CTarnwickApp app(Paths(), env);
    EXPECT_FALSE(app.InitInstance(ui));
    EXPECT_EQ(ui.dialogRuns, 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Settings(), "[SYSTEM]\nVeyAppPath=" + game.Path() + "\nVolumeBGM=0\nPlayMode=2\n");

    // The next start finds the game without asking, whether its archives
    // open while the window system starts or when start-up gets to them;
    // a stored folder that no longer opens is asked for again either way.
    const auto written = FileIdentity(program / "tarnwick.ini");
    for (const bool complete : {true, false}) {
        if (!complete) {
            std::string hed = ArchiveHedPaths()[50];
            std::replace(hed.begin(), hed.end(), '\\', '/');
            ASSERT_TRUE(std::filesystem::remove(game / hed));
        }
        std::size_t lines[2] = {};
        for (const bool early : {false, true}) {
            SCOPED_TRACE(std::string(complete ? "complete" : "archive 50 missing") + (early ? ", early" : ""));
            ScriptedUi again;
            again.onDialog = [&](CTarnwickApp& running) { lines[early] = running.Talk().GetCount(); };
            CTarnwickApp second(Paths(), env);
            if (early)
                second.BeginOpeningStoredGame();
            second.InitInstance(again);
            EXPECT_EQ(again.requests.size(), complete ? 0u : 1u);
            EXPECT_EQ(again.dialogRuns, complete ? 1 : 0);
            // The window is built ahead only while the game loads early,
            // and shown only once it has loaded.
            std::vector<std::string> steps{complete ? "run" : "ask"};
            if (early)
                steps.insert(steps.begin(), "prepare");
            EXPECT_EQ(again.steps, steps);
            // Nothing changed, so nothing was written: not even the folder.
            if (complete) {
                EXPECT_EQ(FileIdentity(program / "tarnwick.ini"), written);
            }
        }
        EXPECT_EQ(lines[0] != 0, complete);
        EXPECT_EQ(lines[0], lines[1]);
    }
}

TEST_F(StartupTest, AFolderMissingOneArchiveIsRefusedAndEveryArchiveReopened)
{
    TempFolder broken;
    WriteTestGame(broken.Path(), {.missingArchives = {50}, .marker = "broken"});
    WriteTestGame(game.Path(), {.marker = "good"});
    ui.answers.push_back(broken / "vey.exe");
    ui.answers.push_back(game / "vey.exe");
    ui.onDialog = [](CTarnwickApp& app) {
        std::uint32_t length = 0;
        ASSERT_TRUE(app.Archives().ReadEntry(0, "marker.txt", &length));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(app.Archives().Buffer()), length), "good");
        for (int n = 0; n < kArchiveCount; ++n)
            EXPECT_TRUE(app.Archives().IsOpen(n)) << n;
    };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    EXPECT_EQ(ui.requests.size(), 2u);
    EXPECT_EQ(ui.dialogRuns, 1);
}

TEST_F(StartupTest, AGameInAProtonPrefixIsFoundWithoutAskingAndRemembered)
{
    // ~/.wine holds a broken copy at the default folder, which is passed over.
    WriteTestGame(home / ".wine/drive_c/Program Files/Tembrook/Sorvalia", {.missingArchives = {50}});
    const std::string installed =
        home / ".local/share/Steam/steamapps/compatdata/4242/pfx/drive_c/Program Files (x86)/Tembrook/Sorvalia";
    std::filesystem::create_directories(ParentFolder(installed));
    std::filesystem::create_directory_symlink(game.Path(), installed);
    WriteTestGame(game.Path(), {.marker = "proton"});
    program.Write("tarnwick.ini", "[SYSTEM]\nVeyAppPath=/moved/away\n");
    ui.onDialog = [](CTarnwickApp& app) {
        std::uint32_t length = 0;
        ASSERT_TRUE(app.Archives().ReadEntry(0, "marker.txt", &length));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(app.Archives().Buffer()), length), "proton");
    };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    EXPECT_TRUE(ui.requests.empty());
    EXPECT_EQ(ui.dialogRuns, 1);
    EXPECT_EQ(app.Archives().GameFolder(), installed);
    EXPECT_EQ(Settings(), "[SYSTEM]\nVeyAppPath=" + installed + "\nVolumeBGM=0\nPlayMode=2\n");
}

TEST_F(StartupTest, WithoutAGameInAnyPrefixThePickerStartsInTheFirstPrefix)
{
    std::filesystem::create_directories(home / ".wine/drive_c/Program Files/Tembrook/Sorvalia");
    std::filesystem::create_directories(home / "Games/other/drive_c");
    WriteTestGame(game.Path());
    ui.answers.push_back(game / "vey.exe");
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    ASSERT_EQ(ui.requests.size(), 1u);
    EXPECT_EQ(ui.requests[0].initialFolder, home / ".wine/drive_c");
    EXPECT_EQ(ui.dialogRuns, 1);
    EXPECT_EQ(CProfileFile(program / "tarnwick.ini").GetProfileString("SYSTEM", "VeyAppPath", ""), game.Path());
}

TEST_F(StartupTest, MissingTalkTableShowsTheMessageAfterStoringTheFolder)
{
    WriteTestGame(game.Path(), {.withTalkTable = false});
    program.Write("tarnwick.ini", "[SYSTEM]\nVolumeBGM=-5\nPlayMode=1\n");
    ui.answers.push_back(game / "vey.exe");
    CTarnwickApp app(Paths(), env);
    EXPECT_FALSE(app.InitInstance(ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to read another_aa_talk.csv"});
    EXPECT_EQ(ui.dialogRuns, 0);
    EXPECT_EQ(Settings(), "[SYSTEM]\nVolumeBGM=-5\nPlayMode=1\nVeyAppPath=" + game.Path() + "\n");

    // The same from the stored folder, opened while the window system starts.
    ScriptedUi again;
    CTarnwickApp second(Paths(), env);
    second.BeginOpeningStoredGame();
    EXPECT_FALSE(second.InitInstance(again));
    EXPECT_TRUE(again.requests.empty());
    EXPECT_EQ(again.messages, ui.messages);
    EXPECT_EQ(again.dialogRuns, 0);
    EXPECT_EQ(again.steps, (std::vector<std::string>{"prepare", "message"}));
}

TEST_F(StartupTest, SettingsAreBroughtIntoRangeAndWrittenBackAfterTheDialog)
{
    WriteTestGame(game.Path());
    struct Case_T {
        std::string stored;
        int volume;
        int mode;
    };
    const Case_T cases[] = {
        {"VolumeBGM=-20000\nPlayMode=7\n", 0, 0},
        {"VolumeBGM=5\nPlayMode=-1\n", 0, 0},
        {"VolumeBGM=-5000\nPlayMode=1\n", -5000, 1},
        {"VolumeBGM=-10000\n", -10000, 2},
        {"", 0, 2},
    };
    for (const Case_T& c : cases) {
        program.Write("tarnwick.ini", "[SYSTEM]\nVeyAppPath=" + game.Path() + "\n" + c.stored);
        ScriptedUi scripted;
        int seenVolume = 1;
        int seenMode = -1;
        scripted.onDialog = [&](CTarnwickApp& app) {
            seenVolume = app.Settings().player.musicVolume;
            seenMode = static_cast<int>(app.Settings().player.playMode);
        };
        CTarnwickApp app(Paths(), env);
        app.InitInstance(scripted);
        EXPECT_EQ(seenVolume, c.volume) << c.stored;
        EXPECT_EQ(seenMode, c.mode) << c.stored;
        CProfileFile written(program / "tarnwick.ini");
        EXPECT_EQ(written.GetProfileInt("SYSTEM", "VolumeBGM", 99), c.volume) << c.stored;
        EXPECT_EQ(written.GetProfileInt("SYSTEM", "PlayMode", 99), c.mode) << c.stored;
    }
}

// The player's own choices: read within their ranges, kept as they were
// by a run that changes none of them, written once one changes.
TEST_F(StartupTest, ThePlayersChoicesAreReadInRangeAndWrittenOnlyWhenChanged)
{
    WriteTestGame(game.Path());
    const struct {
        const char* stored;
        PlayerOptions_T seen;
    } cases[] = {
        {"", {}},
        {"VoiceVolume=30\nShuffle=1\nRepeat=2\nEvenLoudness=1\n",
         {.voiceVolume = 30, .shuffle = true, .repeat = Repeat_T::kWalk, .evenLoudness = true}},
        {"VoiceVolume=250\nShuffle=7\nRepeat=9\nEvenLoudness=-1\n", {}},
        {"VoiceVolume=-5\nRepeat=1\n", {.repeat = Repeat_T::kLine}},
    };
    for (const auto& c : cases) {
        const std::string file = "[SYSTEM]\nVeyAppPath=" + game.Path() + "\nVolumeBGM=0\nPlayMode=0\n[Tarnwick]\n" + c.stored;
        program.Write("tarnwick.ini", file);
        ScriptedUi scripted;
        PlayerOptions_T seen;
        scripted.onDialog = [&](CTarnwickApp& app) { seen = PlayerOf(app).Options(); };
        CTarnwickApp app(Paths(), env);
        app.InitInstance(scripted);
        EXPECT_EQ(seen, c.seen) << c.stored;
        EXPECT_EQ(Settings(), file) << c.stored;
    }
    ScriptedUi changing;
    changing.onDialog = [&](CTarnwickApp& app) { PlayerOf(app).SetVoiceVolume(45); };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(changing);
    CProfileFile written(program / "tarnwick.ini");
    EXPECT_EQ(written.GetProfileInt(kPlaceSection, "VoiceVolume", -1), 45);
    EXPECT_EQ(written.GetProfileInt(kPlaceSection, "Repeat", -1), 1);
}

TEST_F(StartupTest, ChangesMadeWhileTheDialogRunsAreSaved)
{
    WriteTestGame(game.Path());
    program.Write("tarnwick.ini", "; kept\n[System]\nveyapppath = " + game.Path() + "\nEnableBGM=0\n");
    ui.onDialog = [](CTarnwickApp& app) {
        EXPECT_FALSE(app.Settings().enableBgm);
        PlayerOf(app).SetMusicVolume(-2500);
        PlayerOf(app).SetPlayMode(PlayMode_T::kShort);
    };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    // The folder's line is left as it was written: its value did not change.
    EXPECT_EQ(Settings(), "; kept\n[System]\nveyapppath = " + game.Path() +
                              "\nEnableBGM=0\nVolumeBGM=-2500\nPlayMode=1\n");
}

TEST_F(StartupTest, OnlyWhatThisRunChangedIsSavedOverAnotherWindowsSettings)
{
    WriteTestGame(game.Path());
    program.Write("tarnwick.ini", "[SYSTEM]\nVeyAppPath=" + game.Path() + "\nVolumeBGM=-100\nPlayMode=1\n");
    ui.onDialog = [&](CTarnwickApp& app) {
        // Another window on the same file closes first, with its volume.
        CProfileFile(program / "tarnwick.ini").WriteProfileInt("SYSTEM", "VolumeBGM", -700);
        PlayerOf(app).SetPlayMode(PlayMode_T::kLong);
    };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    EXPECT_EQ(Settings(), "[SYSTEM]\nVeyAppPath=" + game.Path() + "\nVolumeBGM=-700\nPlayMode=2\n");
}

TEST_F(StartupTest, ASettingsFileTooLargeIsReportedOnceAndNeverWritten)
{
    WriteTestGame(game.Path());
    const std::string large = "[SYSTEM]\nVeyAppPath=" + game.Path() + "\n" + std::string(kMaxProfileBytes, ';');
    program.Write("tarnwick.ini", large);
    for (const bool early : {false, true}) {
        SCOPED_TRACE(early ? "early" : "");
        ScriptedUi scripted;
        scripted.answers.push_back(game / "vey.exe");  // the stored folder is not known
        scripted.onDialog = [&](CTarnwickApp& app) {
            EXPECT_EQ(app.Settings().player.musicVolume, 0);
            PlayerOf(app).SetMusicVolume(-500);
            app.KeepPlace(app.Settings().place);
            Failure_T why;
            EXPECT_FALSE(app.ChooseGameFolder(game / "vey.exe", why));
        };
        CTarnwickApp app(Paths(), env);
        if (early)
            app.BeginOpeningStoredGame();
        app.InitInstance(scripted);
        EXPECT_EQ(scripted.messages,
                  std::vector<std::string>{"settings file too large, not used, and nothing will be saved: " +
                                           program / "tarnwick.ini"});
        EXPECT_EQ(scripted.steps.front(), "message");
        EXPECT_EQ(scripted.dialogRuns, 1);
        EXPECT_EQ(Settings(), large);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(program.Path()), {}), 1);
    }
}

// Every save that fails says so once, naming the file and why: at start when
// the file is already known to be unusable, else once the window has closed;
// a run with nothing to save says nothing.
TEST_F(StartupTest, SettingsThatCannotBeSavedAreReportedOnce)
{
    WriteTestGame(game.Path());
    const std::string path = program / "tarnwick.ini";
    const std::string settings = "[SYSTEM]\nVeyAppPath=" + game.Path() + "\nVolumeBGM=0\nPlayMode=2\n";
    const auto padded = [&](std::uint64_t size) { return settings + std::string(size - settings.size(), ';'); };
    const struct {
        const char* what;
        std::string content;  // of the settings file; empty: a folder there
        bool change;          // whether the window changes anything
        std::vector<std::string> steps;
        std::string message;
    } cases[] = {
        {"read-only, unchanged", settings, false, {"run"}, ""},
        {"read-only", settings, true, {"run", "message"}, path + ": read-only, left as it is"},
        {"one byte below the limit", padded(kMaxProfileBytes - 1), true, {"run", "message"},
         path + ": would become larger than 1 MiB"},
        {"at the limit", padded(kMaxProfileBytes), true, {"run", "message"}, path + ": would become larger than 1 MiB"},
        {"linked lock", settings, true, {"run", "message"}, path + ".lock: a symbolic link, not followed"},
        {"held lock", settings, true, {"run", "message"}, path + ".lock: locked by another process"},
        // The game is asked for; neither its folder nor the window's changes
        // are saved, and that is said once.
        {"folder", "", true, {"message", "ask", "run"}, path + ": Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        std::filesystem::remove_all(path);
        std::filesystem::remove(path + ".lock");
        if (c.content.empty())
            std::filesystem::create_directories(path);
        else
            program.Write("tarnwick.ini", c.content);
        if (what.starts_with("read-only")) {
            ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        }
        if (what == "linked lock")
            std::filesystem::create_symlink(program / "elsewhere", path + ".lock");
        const int holder = what == "held lock" ? ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644) : -1;
        if (holder >= 0) {
            ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        }

        ScriptedUi scripted;
        scripted.answers.push_back(game / "vey.exe");
        scripted.onDialog = [&](CTarnwickApp& app) {
            if (c.change)
                PlayerOf(app).SetMusicVolume(-500);
        };
        CTarnwickApp app(Paths(), env);
        app.Profile().SetLockWait(std::chrono::milliseconds(100));
        app.InitInstance(scripted);
        if (holder >= 0)
            ::close(holder);
        EXPECT_EQ(scripted.steps, c.steps);
        EXPECT_EQ(scripted.messages,
                  c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{kSettingsNotSaved + c.message});
        if (!c.content.empty()) {
            EXPECT_TRUE(ReadFileText(path) == c.content);  // too large to show
        }
        EXPECT_FALSE(std::filesystem::exists(program / "elsewhere"));
    }
}

TEST_F(StartupTest, AStoredWindowsFolderOpensUnderWineAndIsKeptAsWritten)
{
    WriteTestGame(wine / "drive_c/Games/Sorvalia");
    program.Write("tarnwick.ini", "[SYSTEM]\r\nVeyAppPath=C:\\GAMES\\sorvalia\r\n");
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    EXPECT_TRUE(ui.requests.empty());
    EXPECT_EQ(ui.dialogRuns, 1);
    EXPECT_EQ(app.Archives().GameFolder(), wine / "drive_c/Games/Sorvalia");
    EXPECT_EQ(Settings(), "[SYSTEM]\r\nVeyAppPath=C:\\GAMES\\sorvalia\r\nVolumeBGM=0\r\nPlayMode=2\r\n");
}

TEST_F(StartupTest, LooseOverridesBesideTheProgramAreUsed)
{
    WriteTestGame(game.Path(), {.talkTable = "1001,1,0,From the archive\r\n"});
    program.Write("unpack/data/xls/table.dat/another_aa_talk.csv", "4242,1,0,From the program folder\r\n");
    program.Write("tarnwick.ini", "[SYSTEM]\nVeyAppPath=" + game.Path() + "\n");
    std::string seen;
    ui.onDialog = [&](CTarnwickApp& app) {
        // Not the archive's table, though it was parsed while the archives opened.
        ASSERT_EQ(app.Talk().GetCount(), 1u);
        EXPECT_EQ(app.Talk().GetAt(0)->talkId, 4242);
        std::uint32_t length = 0;
        ASSERT_TRUE(app.Archives().ReadEntry(kTableArchive, "another_aa_talk.csv", &length));
        seen.assign(reinterpret_cast<const char*>(app.Archives().Buffer()), length);
    };
    CTarnwickApp app(Paths(), env);
    app.InitInstance(ui);
    EXPECT_EQ(seen, "4242,1,0,From the program folder\r\n");
}

// Opening a game stops at the first step that fails, names it and says why;
// the catalogue holds the table only once every archive opened.
TEST(GameFolderTest, TheFirstFailingStepIsNamedWithItsReason)
{
    TempFolder broken;
    WriteTestGame(broken.Path(), {.missingArchives = {50}});
    TempFolder noTable;
    WriteTestGame(noTable.Path(), {.withTalkTable = false});
    TempFolder game;
    WriteTestGame(game.Path());
    game.Write("folder.xml/inner", "x");
    game.Write("large.xml", "");
    std::filesystem::resize_file(game / "large.xml", kMaxCaptureListBytes + 1);
    std::string hed50 = ArchiveHedPaths()[50];
    std::replace(hed50.begin(), hed50.end(), '\\', '/');

    const struct {
        std::string folder;
        std::vector<int> archives;
        std::optional<std::string> captureList;
        GameStep step;
        int archive;
        std::string reason;
        std::size_t talkLines;
    } cases[] = {
        {broken.Path(), {}, {}, GameStep::kArchive, 50, hed50 + ": No such file or directory", 0},
        {broken.Path(), {kTableArchive, 50, 0}, {}, GameStep::kArchive, 50, hed50 + ": No such file or directory", 0},
        {noTable.Path(), {}, {}, GameStep::kTalkTable, -1, "another_aa_talk.csv is not in archive 1", 0},
        {game.Path(), {kTableArchive}, game / "none.xml", GameStep::kCaptureList, -1,
         game / "none.xml: No such file or directory", 1},
        {game.Path(), {kTableArchive}, game / "folder.xml", GameStep::kCaptureList, -1,
         game / "folder.xml: Is a directory", 1},
        {game.Path(), {kTableArchive}, game / "large.xml", GameStep::kCaptureList, -1,
         game / "large.xml: larger than 64 MiB", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        CArchiveSet set;
        CVeyQelTalk talk;
        GameFailure_T failed;
        EXPECT_FALSE(OpenGame({c.folder, "", c.archives, true, c.captureList}, set, talk, failed));
        EXPECT_EQ(failed.step, c.step);
        EXPECT_EQ(failed.archive, c.archive);
        EXPECT_EQ(failed.why.Describe(), c.reason);
        EXPECT_EQ(talk.GetCount(), c.talkLines);
        // Named archives are opened in their order, none after a failure.
        EXPECT_EQ(set.IsOpen(0), c.archives.empty());
    }
}

TEST(GameFolderTest, TheDemoGameOpensWholeOrAsTheExportNeedsIt)
{
    // All archives, as start-up opens them, with the capture list given.
    const std::string demo = test::DemoGameFolder();
    CArchiveSet all;
    CVeyQelTalk talk;
    GameFailure_T failed;
    ASSERT_TRUE(OpenGame({demo, "", {}, true, demo + "/CaptureList.xml"}, all, talk, failed))
        << failed.why.Describe();
    for (int n = 0; n < kArchiveCount; ++n)
        EXPECT_TRUE(all.IsOpen(n)) << n;
    EXPECT_GT(talk.GetCount(), 0u);
    EXPECT_GT(talk.CaptureNameCount(), 0u);

    // The same table from the archives the export reads, the catalogue's
    // program folder list standing in for a given one.
    CArchiveSet some;
    CVeyQelTalk fromSome;
    fromSome.SetProgramFolder(demo);
    ASSERT_TRUE(OpenGame({demo, "", {kTableArchive, kFaceArchive}, true, {}}, some, fromSome, failed));
    EXPECT_FALSE(some.IsOpen(0));
    EXPECT_TRUE(some.IsOpen(kFaceArchive));
    EXPECT_EQ(fromSome.GetCount(), talk.GetCount());
    EXPECT_EQ(fromSome.CaptureNameCount(), talk.CaptureNameCount());

    // Archives alone leave the catalogue as it was.
    CVeyQelTalk untouched;
    untouched.SetProgramFolder(demo);
    ASSERT_TRUE(OpenGame({demo, "", {kTableArchive}, false, {}}, some, untouched, failed));
    EXPECT_EQ(untouched.GetCount(), 0u);
    EXPECT_EQ(untouched.CaptureNameCount(), 0u);
}

// RFC 4180 read strictly: LF record ends only, every record ended, quotes
// only around whole fields and doubled inside them. Nothing on a violation.
std::optional<std::vector<std::vector<std::string>>> ParseCsvStrictly(const std::string& text)
{
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    std::size_t i = 0;
    while (i < text.size()) {
        std::string& field = records.back().back();
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
                    field += text[i++];
                else if (text[i] == '"')
                    break;
                else
                    field += text[i];
            }
            ++i;
        } else {
            for (; i < text.size() && text[i] != ',' && text[i] != '\n'; ++i) {
                if (text[i] == '"' || text[i] == '\r')
                    return std::nullopt;
                field += text[i];
            }
        }
        if (i >= text.size())
            return std::nullopt;  // the last record lacks its LF
        if (text[i] == ',')
            records.back().emplace_back();
        else if (i + 1 < text.size())
            records.emplace_back(1);
        ++i;
    }
    return records;
}

// The clips as stored, no playlist: what an export wrote before tags.
LineExportOptions_T Untagged(VoiceFileFormat format)
{
    return {.format = format, .tagged = false, .playlist = false};
}

class LineExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        set.SetGameFolder(test::DemoGameFolder());
        for (const int n : {kTableArchive, kFaceArchive, kLongVoiceArchive, kShortVoiceArchive})
            ASSERT_TRUE(set.OpenArchive(n)) << set.LastFailure().Describe();
        std::uint32_t length = 0;
        ASSERT_TRUE(set.ReadEntry(kTableArchive, kTalkTableName, &length));
        talk.LoadTable(set.Buffer(), length);
        for (std::size_t i = 0; i < talk.GetCount(); ++i)
            rows.push_back(talk.GetAt(i));
    }

    std::string Entry(int n, const std::string& name)
    {
        std::uint32_t length = 0;
        if (!set.ReadEntry(n, name, &length))
            return {};
        return std::string(reinterpret_cast<const char*>(set.Buffer()), length);
    }

    CArchiveSet set;
    CVeyQelTalk talk;
    std::vector<const CVeyQelTalkElm*> rows;
    TempFolder out;
};

// A folder that cannot take the files stops the run at the first failure,
// with one reason, and a list of the lines done that names no file that
// was not written.
TEST_F(LineExportTest, AFolderThatFailsStopsTheRunWithOneFailure)
{
    const std::string elsewhere = out / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directories(out / "export");
    std::filesystem::create_symlink(elsewhere, out / "export/voice");
    CLineExport exporter(set, out / "export", rows, PlayMode_T::kLong, Untagged(VoiceFileFormat::kOgg));
    Failure_T why;
    ASSERT_TRUE(exporter.Begin(why));
    while (exporter.Step()) {
    }
    EXPECT_TRUE(exporter.IsStopped());
    EXPECT_LT(exporter.Counts().linesDone, rows.size());
    ASSERT_EQ(exporter.Failures().size(), 1u);
    EXPECT_EQ(exporter.Failures()[0].Describe(), out / "export/voice: a symbolic link, not followed");
    EXPECT_TRUE(exporter.Finish());
    const auto csv = ParseCsvStrictly(ReadFileText(out / "export/lines.csv"));
    ASSERT_TRUE(csv);
    ASSERT_EQ(csv->size(), exporter.Counts().linesDone + 1);
    for (std::size_t i = 1; i < csv->size(); ++i)
        EXPECT_EQ((*csv)[i][8], "");
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    // The game folder is only read, even when the output folder holds it.
    CLineExport intoGame(set, set.GameFolder() + "/voice-out", rows, PlayMode_T::kLong, Untagged(VoiceFileFormat::kOgg));
    EXPECT_FALSE(intoGame.Begin(why));
}

TEST_F(LineExportTest, TheDemoGameExportsAsOggFilesPicturesAndAStrictCsv)
{
    CLineExport exporter(set, out / "export", rows, PlayMode_T::kLong, Untagged(VoiceFileFormat::kOgg));
    // An earlier export's list, of other columns: its row stays until the
    // new export is complete.
    out.Write("export/lines.csv", "talk_id,notes\n1,mine\n");
    Failure_T why;
    ASSERT_TRUE(exporter.Begin(why)) << why.Describe();
    EXPECT_EQ(ParseCsvStrictly(ReadFileText(out / "export/lines.csv"))->size(), rows.size() + 2);
    // Stopped after three lines, the spreadsheet holds those three.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(exporter.Step());
    ASSERT_TRUE(exporter.Finish());
    const auto partial = ParseCsvStrictly(ReadFileText(out / "export/lines.csv"));
    ASSERT_EQ(partial->size(), 5u);
    EXPECT_EQ(partial->back(), (std::vector<std::string>{"1", "", "", "", "", "", "", "", "", ""}));
    while (exporter.Step()) {
    }
    ASSERT_TRUE(exporter.Finish());
    EXPECT_TRUE(exporter.Failures().empty());

    const std::optional<std::vector<std::vector<std::string>>> csv =
        ParseCsvStrictly(ReadFileText(out / "export/lines.csv"));
    ASSERT_TRUE(csv);
    ASSERT_EQ(csv->size(), rows.size() + 1);
    EXPECT_EQ((*csv)[0], (std::vector<std::string>{"talk_id", "line_no", "cast", "text", "wait_tenths", "voice_kind",
                                                   "frame_style", "bgm_no", "voice_file", "face_file"}));
    std::size_t withoutClip = 0, lineBreaks = 0;
    std::vector<std::string> faces;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CVeyQelTalkElm& line = *rows[i];
        const std::vector<std::string>& row = (*csv)[i + 1];
        ASSERT_EQ(row.size(), 10u);
        EXPECT_EQ(row[0] + "," + row[1] + "," + row[5], std::to_string(line.talkId) + "," +
                                                            std::to_string(line.lineNo) + "," +
                                                            std::to_string(line.voiceKind));
        EXPECT_EQ(row[2], Cp932ToUtf8(line.castName()));
        EXPECT_EQ(row[3].find("$R"), std::string::npos);
        lineBreaks += std::count(row[3].begin(), row[3].end(), '\n');
        // Long mode: the long archive's clip, inverted back into an Ogg file.
        std::string clip = Entry(kLongVoiceArchive, line.VoiceEntryName());
        if (clip.empty()) {
            EXPECT_EQ(row[8], "");
            ++withoutClip;
        } else {
            std::transform(clip.begin(), clip.end(), clip.begin(), [](char c) { return static_cast<char>(~c); });
            ASSERT_EQ(row[8], "voice/" + line.VoiceEntryName().substr(0, 10) + ".ogg");
            const std::string written = ReadFileText(out / ("export/" + row[8]));
            EXPECT_EQ(written.substr(0, 4), "OggS");
            EXPECT_EQ(written, clip);
        }
        const std::string face = Entry(kFaceArchive, line.FaceEntryName());
        EXPECT_EQ(row[9].empty(), face.empty());
        if (!face.empty()) {
            EXPECT_EQ(ReadFileText(out / ("export/" + row[9])), face);
            faces.push_back(row[9]);
        }
    }
    EXPECT_GT(lineBreaks, 0u);
    EXPECT_GT(withoutClip, 0u);
    EXPECT_EQ(exporter.Counts().linesWithoutClip, withoutClip);
    std::sort(faces.begin(), faces.end());
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    EXPECT_EQ(exporter.Counts().faceFiles, faces.size());
    EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(out / "export/face"), {})),
              faces.size());
}

// A clip's sound and comments as libvorbisfile reads them from a file.
struct ReadClip_T {
    std::string pcm;
    std::map<std::string, std::string> comments;
    bool ok = false;
};
ReadClip_T ReadClip(const std::string& path)
{
    ReadClip_T clip;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0)
        return clip;
    if (const vorbis_comment* vc = ov_comment(&file, -1)) {
        for (int i = 0; i < vc->comments; ++i) {
            const std::string c(vc->user_comments[i], static_cast<std::size_t>(vc->comment_lengths[i]));
            clip.comments[c.substr(0, c.find('='))] = c.substr(c.find('=') + 1);
        }
    }
    char block[4096];
    int section = 0;
    for (long n; (n = ov_read(&file, block, sizeof block, 0, 2, 1, &section)) > 0;)
        clip.pcm.append(block, static_cast<std::size_t>(n));
    ov_clear(&file);
    clip.ok = true;
    return clip;
}

// Tagged clips sound as stored and name their line; the playlist lists the
// lines' clips in order with their lengths; the walk as one WAV file is
// exactly the clips and the pauses between them, as planned.
TEST_F(LineExportTest, TaggedClipsAPlaylistAndTheWalkAsOneFile)
{
    // Lines whose clips share one format, so that the one file holds them
    // unconverted.
    std::vector<const CVeyQelTalkElm*> some;
    for (const CVeyQelTalkElm* line : rows) {
        WaveFormat_T format;
        std::uint32_t bytes = 0;
        const ClipKind_T kind = ClipKindFor(PlayMode_T::kLong, line->voiceKind);
        if (kind == ClipKind_T::kSilent || !VoiceClipLength(set, line->VoiceEntryName(), kind, format, bytes) ||
            (format.samplesPerSec == 22050 && format.channels == 1))
            some.push_back(line);
        if (some.size() == 12)
            break;
    }
    CLineExport exporter(set, out / "export", some, PlayMode_T::kLong, {.album = "第一章 サラ"});
    Failure_T why;
    ASSERT_TRUE(exporter.Begin(why)) << why.Describe();
    ASSERT_TRUE(exporter.Run(3, {}));
    ASSERT_TRUE(exporter.Finish());
    EXPECT_TRUE(exporter.Failures().empty());
    const auto csv = ParseCsvStrictly(ReadFileText(out / "export/lines.csv"));
    ASSERT_TRUE(csv);
    std::string playlist = "#EXTM3U\n";
    unsigned track = 0;
    std::set<std::string> clips;
    for (std::size_t i = 0; i < some.size(); ++i) {
        const std::string& file = (*csv)[i + 1][8];
        if (file.empty())
            continue;
        const ReadClip_T tagged = ReadClip(out / ("export/" + file));
        ASSERT_TRUE(tagged.ok) << file;
        std::string stored = Entry(kLongVoiceArchive, some[i]->VoiceEntryName());
        std::transform(stored.begin(), stored.end(), stored.begin(), [](char c) { return static_cast<char>(~c); });
        out.Write("stored.ogg", stored);
        const ReadClip_T original = ReadClip(out / "stored.ogg");
        EXPECT_EQ(tagged.pcm, original.pcm) << file;
        const std::string text = Cp932ToUtf8(LineMarksReplaced(some[i]->talkText(), "\n"));
        EXPECT_EQ(tagged.comments.at("TITLE"), text);
        EXPECT_EQ(tagged.comments.at("ARTIST"), Cp932ToUtf8(some[i]->castName()));
        EXPECT_EQ(tagged.comments.at("ALBUM"), "第一章 サラ");
        EXPECT_EQ(tagged.comments.at("TARNWICK_LINE"),
                  std::to_string(some[i]->talkId) + ":" + std::to_string(some[i]->lineNo));
        EXPECT_TRUE(tagged.comments.contains("METADATA_BLOCK_PICTURE")) << file;
        if (clips.insert(file).second) {
            EXPECT_EQ(tagged.comments.at("TRACKNUMBER"), std::to_string(++track));
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", OggVorbisSeconds(
                          {reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()}));
        playlist += std::string("#EXTINF:") + seconds + "," + Cp932ToUtf8(some[i]->castName()) + " \u2013 " +
                    text.substr(0, text.find('\n')) + "\n" + file + "\n";
    }
    ASSERT_GT(track, 3u);
    EXPECT_EQ(ReadFileText(out / "export/playlist.m3u8"), playlist);

    // Planned from the clips' lengths, rendered from their sound.
    CWalkFileExport walk(set, some, PlayMode_T::kLong, "第一章 サラ");
    ASSERT_TRUE(walk.Write(out / "export", set.GameFolder(), "walk.wav", 2, {}, why)) << why.Describe();
    std::string expected;
    std::uint64_t frames = 0;
    for (std::size_t i = 0; i < some.size(); ++i) {
        const WalkSpan_T& span = walk.Spans()[i];
        EXPECT_EQ(span.start, frames) << i;
        if (walk.Items()[i].hasClip) {
            const ReadClip_T clip = ReadClip(out / ("export/" + (*csv)[i + 1][8]));
            expected += clip.pcm;
            EXPECT_EQ(span.clipEnd - span.start, clip.pcm.size() / 2) << i;  // mono
        }
        expected.append((span.end - span.clipEnd) * 2, '\0');
        frames = span.end;
        EXPECT_EQ(span.end - span.clipEnd,
                  WalkPauseMicroseconds(*some[i], walk.Items()[i].hasClip) * walk.Rate() / 1000000) << i;
    }
    const std::string wav = ReadFileText(out / "export/walk.wav");
    ASSERT_GT(wav.size(), expected.size());
    EXPECT_TRUE(wav.ends_with(expected));  // the data chunk comes last
    EXPECT_NE(ReadFileText(out / "export/walk.srt").find(" --> "), std::string::npos);

    // Cancelled, it leaves nothing.
    EXPECT_FALSE(walk.Write(out / "export", set.GameFolder(), "cut.flac", 2, [](std::size_t) { return false; }, why));
    EXPECT_FALSE(why);
    EXPECT_FALSE(std::filesystem::exists(out / "export/cut.flac"));
    EXPECT_FALSE(std::filesystem::exists(out / "export/cut.srt"));
    for (const auto& entry : std::filesystem::directory_iterator(out / "export"))
        EXPECT_FALSE(IsTemporaryName(entry.path().filename().string())) << entry.path();
}

TEST_F(LineExportTest, FilesThatCannotBeWrittenAreFailuresAndTheRestGoesOn)
{
    out.Write("taken", "a file where the folder should be");
    CLineExport blocked(set, out / "taken", {rows.begin(), rows.begin() + 2}, PlayMode_T::kDefault,
                        Untagged(VoiceFileFormat::kWav));
    Failure_T why;
    EXPECT_FALSE(blocked.Begin(why));
    EXPECT_EQ(why.Describe(), out / "taken" + ": Not a directory");
    EXPECT_FALSE(blocked.Step());

    // A folder where one picture goes: that file fails, and counts as a
    // failure, not as a missing picture, for every line that shows it.
    const std::string face = rows[0]->FaceEntryName();
    std::filesystem::create_directories(out / ("export/face/" + face));
    CLineExport exporter(set, out / "export", rows, PlayMode_T::kDefault, Untagged(VoiceFileFormat::kWav));
    ASSERT_TRUE(exporter.Begin(why));
    while (exporter.Step()) {
    }
    EXPECT_TRUE(exporter.Finish());
    EXPECT_FALSE(exporter.IsStopped());
    ASSERT_EQ(exporter.Failures().size(), 1u);
    EXPECT_EQ(exporter.Failures()[0].Describe(), out / ("export/face/" + face) + ": Is a directory");
    EXPECT_EQ(exporter.Counts().linesDone, rows.size());
    CLineExport clean(set, out / "clean", rows, PlayMode_T::kDefault, Untagged(VoiceFileFormat::kOgg));
    ASSERT_TRUE(clean.Begin(why));
    while (clean.Step()) {
    }
    EXPECT_EQ(exporter.Counts().linesWithoutPicture, clean.Counts().linesWithoutPicture);
    EXPECT_EQ(exporter.Counts().faceFiles + 1, clean.Counts().faceFiles);
}

TEST_F(LineExportTest, TheFolderIsInspectedWithoutFollowingALinkAtItsList)
{
    out.Write("elsewhere/lines.csv", "talk_id\n");
    struct Case_T {
        const char* name;
        std::function<void(const std::string&)> make;
        ExportFolderState_T state;
    };
    const std::vector<Case_T> cases{
        {"missing", [](const std::string&) {}, ExportFolderState_T::kEmpty},
        {"empty", [](const std::string& f) { std::filesystem::create_directory(f); }, ExportFolderState_T::kEmpty},
        {"earlier export",
         [&](const std::string& f) {
             out.Write(std::string(std::filesystem::path(f).filename()) + "/lines.csv", "talk_id\n");
             out.Write(std::string(std::filesystem::path(f).filename()) + "/notes.txt", "mine");
         },
         ExportFolderState_T::kEarlierExport},
        {"other files",
         [&](const std::string& f) { out.Write(std::string(std::filesystem::path(f).filename()) + "/.hidden", ""); },
         ExportFolderState_T::kOtherFiles},
        {"linked list",
         [&](const std::string& f) {
             std::filesystem::create_directory(f);
             std::filesystem::create_symlink(out / "elsewhere/lines.csv", f + "/lines.csv");
         },
         ExportFolderState_T::kOtherFiles},
        {"list folder", [](const std::string& f) { std::filesystem::create_directories(f + "/lines.csv"); },
         ExportFolderState_T::kOtherFiles},
        {"a file", [&](const std::string& f) { out.Write(std::filesystem::path(f).filename().string(), "x"); },
         ExportFolderState_T::kFailed},
    };
    for (const Case_T& c : cases) {
        const std::string folder = out / (std::string("case-") + c.name);
        c.make(folder);
        Failure_T why;
        EXPECT_EQ(InspectExportFolder(folder, why), c.state) << c.name;
        EXPECT_EQ(why.Describe(), c.state == ExportFolderState_T::kFailed ? folder + ": Not a directory" : "")
            << c.name;
    }
}

// An export into an earlier one replaces it whole once complete: what only
// the old list named goes, and nothing else, whatever the old list says.
// Short of complete (cancelled, stopped, killed) nothing of the earlier
// export goes and the list on disk names every file there.
TEST_F(LineExportTest, AnEarlierExportIsReplacedWholeAndNothingElseIsTouched)
{
    // lines of rows exported; steps of them done before Finish.
    auto run = [&](const std::string& folder, std::size_t lines, std::size_t steps, VoiceFileFormat format) {
        // The files there that no list names, the user's own.
        auto unlisted = [&] {
            std::set<std::string> files;
            std::ranges::set_difference(test::PresentExportFiles(folder), test::ListedExportFiles(folder),
                                        std::inserter(files, files.end()));
            return files;
        };
        const std::set<std::string> foreign = unlisted();
        CLineExport exporter(set, folder, {rows.begin(), rows.begin() + lines}, PlayMode_T::kLong, Untagged(format));
        Failure_T why;
        EXPECT_TRUE(exporter.Begin(why)) << why.Describe();
        // Killed before any file, or after a few: the list names what was
        // written and what may come.
        EXPECT_TRUE(std::ranges::includes(foreign, unlisted()));
        for (std::size_t i = 0; i < steps && exporter.Step(); ++i) {
        }
        EXPECT_TRUE(std::ranges::includes(foreign, unlisted()));
        EXPECT_TRUE(exporter.Finish());
        EXPECT_TRUE(exporter.Failures().empty());
        return exporter.RemovalFailures().size();
    };
    const std::string folder = out / "export";
    EXPECT_EQ(run(folder, rows.size(), rows.size(), VoiceFileFormat::kOgg), 0u);
    const std::set<std::string> before = test::ListedExportFiles(folder);
    EXPECT_EQ(test::PresentExportFiles(folder), before);
    out.Write("export/notes.txt", "mine");
    out.Write("export/voice/mine.ogg", "mine");
    // Cancelled after a few lines, in another format: every earlier file
    // stays, listed beside the new ones.
    EXPECT_EQ(run(folder, rows.size(), 5, VoiceFileFormat::kWav), 0u);
    std::set<std::string> listed = test::ListedExportFiles(folder);
    EXPECT_TRUE(std::ranges::includes(listed, before));
    EXPECT_GT(listed.size(), before.size());
    std::set<std::string> present = test::PresentExportFiles(folder);
    present.erase("voice/mine.ogg");
    EXPECT_EQ(present, listed);
    // Complete, of fewer lines: only their files stay.
    EXPECT_EQ(run(folder, 5, 5, VoiceFileFormat::kOgg), 0u);
    const std::set<std::string> after = test::ListedExportFiles(folder);
    ASSERT_FALSE(after.empty());
    ASSERT_LT(after.size(), before.size());
    present = test::PresentExportFiles(folder);
    present.erase("voice/mine.ogg");
    EXPECT_EQ(present, after);
    EXPECT_EQ(ReadFileText(folder + "/notes.txt"), "mine");
    EXPECT_EQ(ReadFileText(folder + "/voice/mine.ogg"), "mine");

    // A hostile list, columns in another order, quoting and line ends
    // inside quotes as RFC 4180 has them.
    out.Write("outside", "victim");
    out.Write("hostile/x", "beside");
    out.Write("hostile/face/sub/keep", "a folder is never removed");
    out.Write("hostile/voice/a,\"b.ogg", "listed: goes");
    out.Write("hostile/voice/named-in-text.ogg", "other column: stays");
    std::filesystem::create_symlink(out / "outside", out / "hostile/voice/link.ogg");
    out.Write("hostile/lines.csv", "face_file,text,voice_file\r\n"
                                   "face/sub,voice/named-in-text.ogg,../outside\r\n"
                                   "/etc/passwd,\"two\nlines, \"\"quoted\"\"\",voice/../x\r\n"
                                   "face/,,\"voice/a,\"\"b.ogg\"\r\n"
                                   "face/..,,voice/link.ogg\r\n"
                                   ",,voice/" + out / "outside\r\n");
    EXPECT_EQ(run(out / "hostile", 1, 1, VoiceFileFormat::kOgg), 0u);
    EXPECT_FALSE(std::filesystem::exists(out / "hostile/voice/a,\"b.ogg"));
    EXPECT_EQ(ReadFileText(out / "outside"), "victim");
    EXPECT_EQ(ReadFileText(out / "hostile/x"), "beside");
    EXPECT_TRUE(std::filesystem::exists(out / "hostile/face/sub/keep"));
    EXPECT_TRUE(std::filesystem::exists(out / "hostile/voice/named-in-text.ogg"));
    EXPECT_TRUE(std::filesystem::is_symlink(out / "hostile/voice/link.ogg"));
    // Text that is not CSV is no list at all.
    out.Write("broken/voice/a.ogg", "stays");
    out.Write("broken/lines.csv", "voice_file\nvoice/a.ogg\nvoice/\"b\n");
    EXPECT_EQ(run(out / "broken", 1, 1, VoiceFileFormat::kOgg), 0u);
    EXPECT_TRUE(std::filesystem::exists(out / "broken/voice/a.ogg"));
}

// Run on several threads gives what Step gives line by line: the same files
// with the same bytes, the same lines.csv, counts and failures in list
// order, whether the run completes or skips a file it cannot write; one
// that stops at a folder that fails lists Step's lines and those the
// other threads had in hand. A cancel lists every file it wrote.
TEST_F(LineExportTest, RunOnThreadsWritesWhatStepWrites)
{
    struct Outcome_T {
        std::size_t lines = 0, voices = 0, faces = 0, withoutClip = 0, withoutPicture = 0;
        bool stopped = false;
        std::vector<std::string> failures;  // the folder's own path left out
        std::map<std::string, std::string> files;
        bool operator==(const Outcome_T&) const = default;
    };
    // jobs 0: Step after Step.
    auto exportInto = [&](const std::string& folder, unsigned jobs, PlayMode_T mode, VoiceFileFormat format,
                          const std::function<void(const std::string&)>& prepare) {
        prepare(folder);
        CLineExport exporter(set, folder, rows, mode, Untagged(format));
        Failure_T why;
        EXPECT_TRUE(exporter.Begin(why)) << why.Describe();
        if (jobs == 0) {
            while (exporter.Step()) {
            }
        } else {
            const bool all = exporter.Run(jobs, {});
            EXPECT_EQ(all, !exporter.IsStopped());
        }
        exporter.Finish();
        Outcome_T o{exporter.Counts().linesDone, exporter.Counts().voiceFiles, exporter.Counts().faceFiles,
                    exporter.Counts().linesWithoutClip, exporter.Counts().linesWithoutPicture, exporter.IsStopped()};
        for (const Failure_T& f : exporter.Failures()) {
            std::string text = f.Describe();
            if (text.starts_with(folder))
                text.erase(0, folder.size());
            o.failures.push_back(text);
        }
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            if (e.is_regular_file())
                o.files[std::filesystem::relative(e.path(), folder).string()] = ReadFileText(e.path().string());
        return o;
    };
    const auto nothing = [](const std::string&) {};
    const auto faceFolder = [&](const std::string& folder) {
        std::filesystem::create_directories(folder + "/face/" + rows[0]->FaceEntryName());
    };
    const auto linkedVoice = [&](const std::string& folder) {
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(out / "elsewhere");
        std::filesystem::create_symlink(out / "elsewhere", folder + "/voice");
    };
    const struct {
        const char* name;
        PlayMode_T mode;
        VoiceFileFormat format;
        std::function<void(const std::string&)> prepare;
    } cases[] = {
        {"ogg", PlayMode_T::kLong, VoiceFileFormat::kOgg, nothing},
        {"wav", PlayMode_T::kDefault, VoiceFileFormat::kWav, nothing},
        {"a folder where a face goes", PlayMode_T::kShort, VoiceFileFormat::kOgg, faceFolder},
        {"a link where voice/ goes", PlayMode_T::kLong, VoiceFileFormat::kOgg, linkedVoice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string steppedFolder = out / (std::string("step-") + c.name);
        const Outcome_T stepped = exportInto(steppedFolder, 0, c.mode, c.format, c.prepare);
        EXPECT_EQ(stepped.files.count("lines.csv"), 1u);
        for (const unsigned jobs : {1u, 3u}) {
            const std::string folder = out / (c.name + std::to_string(jobs));
            Outcome_T run = exportInto(folder, jobs, c.mode, c.format, c.prepare);
            if (!run.stopped) {
                EXPECT_TRUE(run == stepped) << jobs << " jobs";
                continue;
            }
            // Stopped, the lines the other threads had in hand are listed
            // after Step's, with their files.
            EXPECT_GE(run.lines, stepped.lines);
            EXPECT_EQ(run.failures, stepped.failures);
            EXPECT_TRUE(run.files.at("lines.csv").starts_with(stepped.files.at("lines.csv")));
            EXPECT_EQ(test::ListedExportFiles(folder), test::PresentExportFiles(folder));
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(out / "elsewhere"));

    // Cancelled at once: the lines listed are the ones whose files are
    // there, and nothing else was written.
    CLineExport cancelled(set, out / "cancelled", rows, PlayMode_T::kLong, Untagged(VoiceFileFormat::kOgg));
    Failure_T why;
    ASSERT_TRUE(cancelled.Begin(why));
    std::size_t calls = 0;
    const bool all = cancelled.Run(2, [&](std::size_t done) {
        EXPECT_EQ(done, cancelled.Counts().linesDone);
        return ++calls > 1;
    });
    EXPECT_EQ(all, cancelled.IsDone());
    EXPECT_EQ(calls, 1u);
    ASSERT_TRUE(cancelled.Finish());
    const auto csv = ParseCsvStrictly(ReadFileText(out / "cancelled/lines.csv"));
    ASSERT_TRUE(csv);
    EXPECT_EQ(csv->size(), cancelled.Counts().linesDone + 1);
    std::set<std::string> listed, present;
    for (std::size_t i = 1; i < csv->size(); ++i)
        for (const std::string& file : {(*csv)[i][8], (*csv)[i][9]})
            if (!file.empty())
                listed.insert(file);
    for (const auto& e : std::filesystem::recursive_directory_iterator(out / "cancelled"))
        if (e.is_regular_file() && e.path().filename() != "lines.csv")
            present.insert(std::filesystem::relative(e.path(), out / "cancelled").string());
    EXPECT_EQ(present, listed);
    // What the cancel left, Step goes on from, as the window's dialog may.
    while (cancelled.Step()) {
    }
    EXPECT_TRUE(cancelled.IsDone());
    EXPECT_TRUE(cancelled.Failures().empty());
}

}  // namespace
}  // namespace tarnwick
