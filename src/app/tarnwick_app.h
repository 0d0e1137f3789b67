// The application object: the state that lives for the whole run, and the
// start-up that finds the game, opens its archives, fetches the talk table
// and runs the main window.
#pragma once

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/profile_file.h"
#include "app/window_place.h"
#include "host/host_environment.h"
#include "host/program_folder.h"
#include "archive/archive_set.h"
#include "face/face_cache.h"
#include "sound/bgm_player.h"
#include "sound/voice_output.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

inline constexpr const char* kSettingsSection = "SYSTEM";
inline constexpr const char* kDefaultGameFolder = "C:\\Program Files\\Tembrook\\Sorvalia";
// Where a 32-bit installer puts it on 64-bit Windows.
inline constexpr const char* kDefaultGameFolderX86 = "C:\\Program Files (x86)\\Tembrook\\Sorvalia";
inline constexpr const char* kTalkTableName = "another_aa_talk.csv";
inline constexpr const char* kTalkTableMissing = "Failed to read another_aa_talk.csv";
// Followed by the settings file's path.
inline constexpr const char* kSettingsTooLarge = "settings file too large, not used: ";
// The talk table's entry and the size above which reading it is refused:
// what start-up reads, and has decoded while the archives open.
inline ReadAhead_T TalkTableEntry() { return {kTableArchive, kTalkTableName, kMaxTalkTableBytes}; }

struct FileDialogRequest_T {
    std::string title;
    std::string initialFileName;
    std::string defaultExtension;
    std::string filter;         // "Name (*.ext)|*.ext|All files (*)|*||"
    std::string initialFolder;  // a host folder
};

class CTarnwickApp;

// What start-up asks of the user interface; tests answer it themselves.
class IStartupUi {
public:
    virtual ~IStartupUi() = default;
    // The chosen file's full path, or nothing when the user cancels.
    virtual std::optional<std::string> AskForFile(const FileDialogRequest_T& request) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // May build the main window's controls ahead, hidden, while the game
    // is still loading on another thread; it must not touch the game's data.
    virtual void PrepareMainDialog(CTarnwickApp& /*app*/) {}
    // Runs the main window until the user closes it.
    virtual void RunMainDialog(CTarnwickApp& app) = 0;
};

class CTarnwickApp {
public:
    // The program folder holds the capture list and the loose override
    // folder; the settings file lies there too. The environment says where
    // Wine prefixes and the home folder are.
    CTarnwickApp(const ProgramPaths_T& paths, HostEnvironment_T env);
    ~CTarnwickApp();
    CTarnwickApp(const CTarnwickApp&) = delete;
    CTarnwickApp& operator=(const CTarnwickApp&) = delete;

    // Starts opening the stored game folder's archives and loading the
    // talk table from them on a thread of its own, so that the work overlaps
    // whatever the caller does next, such as starting the window system.
    // InitInstance waits for it and takes its result; without this call it
    // opens them itself. The results are the same either way.
    void BeginOpeningStoredGame();

    // Does the program's whole run; always false, so the program ends when
    // it returns. A settings file too large to use is reported first; the
    // run then goes on with defaults and leaves that file alone.
    bool InitInstance(IStartupUi& ui);

    const std::string& ProgramFolder() const { return programFolder; }
    CProfileFile& Profile() { return profile; }

    // The application state, in the order it is built; it is torn down in
    // the reverse order: face pictures, PCM block, music, catalogue, archives.
    CArchiveSet archiveSet;
    CVeyQelTalk talkCatalogue;
    CBgmPlayer bgmPlayer;  // silent until the front end gives it a media player
    VoiceOutput voiceOutput;
    CFaceCache faceImages;
    int volumeBgm = 0;  // hundredths of a decibel, -10000 to 0
    int playMode = 0;   // 0 "Default", 1 "Short", 2 "Long"
    bool enableBgm = true;  // EnableBGM=0 keeps the music silent
    // Where the user was when the window last closed; the window restores
    // it and, when it closes, hands back the new one (placeKnown).
    WindowPlace_T place;
    bool placeKnown = false;

    // A game folder the user picked while the window runs (any file in it):
    // true when all 108 archives open there; it is then stored as
    // VeyAppPath for the next start. why says what failed first.
    bool ChooseGameFolder(const std::string& chosenFile, Failure_T& why);
    // What the game picker asks, starting where a game is likely to be.
    FileDialogRequest_T GameFolderPickerRequest() const;
    // Set by the window when the program should start again on return.
    bool restartRequested = false;

    // What the music operations work on.
    BgmContext_T Music() { return {bgmPlayer, archiveSet, volumeBgm}; }

private:
    bool OpenAllArchives();
    // Reads the talk table from the open archives into the catalogue
    // (with the capture list); false when it cannot be read.
    bool LoadTalkTable();
    // Points the archive set at a stored (host or Windows) folder and opens
    // every archive there.
    bool OpenGameFolder(const std::string& folder);
    // The first default install folder in prefixes where every archive
    // opens; the archive set is left open there.
    std::optional<std::string> FindGameInPrefixes(const std::vector<std::string>& prefixes);
    void ReadDisplaySettings();
    // Reads the settings file, once for the whole run.
    ProfileState LoadSettings();
    // What the window changed, in one save.
    void SaveSettings();

    std::string programFolder;
    HostEnvironment_T environment;
    CProfileFile profile;
    // BeginOpeningStoredGame's thread, the folder it opened and its results.
    std::thread earlyOpening;
    std::string earlyFolder;
    bool earlyOpened = false;
    bool earlyTableLoaded = false;
};

// The request start-up shows when the game folder does not hold every
// archive; it starts in initialFolder.
FileDialogRequest_T GameFolderRequest(const std::string& initialFolder);

}  // namespace tarnwick
