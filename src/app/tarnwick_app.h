// The application object: the state that lives for the whole run, and the
// start-up that finds the game, opens its archives, fetches the talk table
// and runs the main window.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/collection_store.h"
#include "app/talk_selection.h"
#include "app/game_folder.h"
#include "app/profile_file.h"
#include "app/window_place.h"
#include "host/host_environment.h"
#include "host/program_folder.h"
#include "archive/archive_set.h"
#include "face/face_cache.h"
#include "sound/bgm_player.h"
#include "sound/voice_output.h"
#include "talk/veyqel_talk.h"
#include "walk/play_mode.h"
#include "walk/player.h"

namespace tarnwick {

inline constexpr const char* kSettingsSection = "SYSTEM";
inline constexpr const char* kDefaultGameFolder = "C:\\Program Files\\Tembrook\\Sorvalia";
// Where a 32-bit installer puts it on 64-bit Windows.
inline constexpr const char* kDefaultGameFolderX86 = "C:\\Program Files (x86)\\Tembrook\\Sorvalia";
// Followed by the settings file's path.
inline constexpr const char* kSettingsTooLarge = "settings file too large, not used, and nothing will be saved: ";
// Followed by the path that stopped the save and why ("...: read-only").
inline constexpr const char* kSettingsNotSaved = "settings not saved: ";

// The file dialog's fixed texts, by kind; the front end words them in the
// user's language.
enum class DialogText_T {
    kSelectInstallFolder,  // "Select application install folder."
    kExeFile,              // "Exe File"
    kAllFiles,             // "All files"
};
// The text as the program words it in English.
constexpr const char* DialogTextEnglish(DialogText_T text)
{
    switch (text) {
    case DialogText_T::kSelectInstallFolder: return "Select application install folder.";
    case DialogText_T::kExeFile: return "Exe File";
    case DialogText_T::kAllFiles: break;
    }
    return "All files";
}

// One entry of a file dialog's type list: "Exe File" for {"*.exe"}.
struct FileFilter_T {
    DialogText_T name = DialogText_T::kAllFiles;
    std::vector<std::string> patterns;
    bool operator==(const FileFilter_T&) const = default;
};

struct FileDialogRequest_T {
    DialogText_T title = DialogText_T::kSelectInstallFolder;
    std::string initialFileName;
    std::string defaultExtension;
    std::vector<FileFilter_T> filters;  // in the order the list offers them
    std::string initialFolder;          // a host folder
};

// What the window's export writes: the clips tagged, as stored or as WAV,
// the playlist, and the walk as one file of a format (by its extension,
// "ogg", "opus", "flac", "wav"; empty for none).
struct ExportChoices_T {
    enum class Clips_T { kTagged, kStored, kWav };
    Clips_T clips = Clips_T::kTagged;
    bool playlist = true;
    std::string oneFile;
    bool operator==(const ExportChoices_T&) const = default;
};

// What the settings file says about the window and its sound, read once at
// start; the window's changes are written back once it has closed.
struct AppSettings_T {
    // VolumeBGM and PlayMode, with the player's own choices; the player
    // holds them while it runs and hands them back as it closes.
    PlayerOptions_T player;
    bool enableBgm = true;  // EnableBGM=0 keeps the music silent
    // Where the user was when the window last closed; the window restores
    // it and, when it closes, hands back the new one (placeKnown).
    WindowPlace_T place;
    bool placeKnown = false;
    // The folder the last export from the window went to (a host path),
    // where the next one's folder dialog starts; empty for none.
    std::string exportFolder;
    // What the window's last export wrote besides lines.csv and the faces.
    ExportChoices_T exportChoices;
    // The list's marks when the window last closed on this game (talk/
    // mark_ranges), applied once the place is restored; nothing when none
    // were kept, or they were kept for another game folder.
    std::optional<std::string> keptMarks;
};

class CTarnwickApp;

// What start-up tells the user: a kind, and the path (with why) it names;
// the front end words it in the user's language.
enum class StartupNotice_T {
    kTalkTableUnread,       // kTalkTableMissing
    kSettingsFileTooLarge,  // kSettingsTooLarge, then the settings file's path
    kSettingsUnsaved,       // kSettingsNotSaved, then "PATH: why"
};
struct StartupMessage_T {
    StartupNotice_T kind = StartupNotice_T::kTalkTableUnread;
    std::string detail;  // what follows the fixed text; empty for none
    // As the program words it in English, for standard error.
    std::string Text() const;
    bool operator==(const StartupMessage_T&) const = default;
};

// What start-up asks of the user interface; tests answer it themselves.
class IStartupUi {
public:
    virtual ~IStartupUi() = default;
    // The chosen file's full path, or nothing when the user cancels.
    virtual std::optional<std::string> AskForFile(const FileDialogRequest_T& request) = 0;
    virtual void ShowMessage(const StartupMessage_T& message) = 0;
    // Tells that the settings cannot be saved, text naming the file and
    // why: once a run, at start when that is known then, else once the
    // window has closed. While the program is ending nobody is there to
    // answer a question.
    virtual void ShowSettingsNotSaved(const StartupMessage_T& message, bool ending)
    {
        if (!ending)
            ShowMessage(message);
    }
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
    // it returns. A settings file too large to use, or unreadable, is
    // reported first; the run then goes on with defaults and leaves that
    // file alone. Changes that cannot be saved are reported once.
    bool InitInstance(IStartupUi& ui);

    // The settings' Language value ("ja", "en"; empty when none), read
    // from the settings file, loaded now when it is not yet: the window's
    // language is settled before any window is built.
    std::string LanguageSetting();

    const std::string& ProgramFolder() const { return programFolder; }
    CProfileFile& Profile() { return profile; }

    // The game the window shows: its archives and its talk lines.
    CArchiveSet& Archives() { return archiveSet; }
    const CArchiveSet& Archives() const { return archiveSet; }
    CVeyQelTalk& Talk() { return talkCatalogue; }
    const CVeyQelTalk& Talk() const { return talkCatalogue; }

    // The settings as start-up read them, with the window's changes since.
    const AppSettings_T& Settings() const { return settings; }
    // Where the window closed, to be saved with the settings.
    void KeepPlace(const WindowPlace_T& where);
    void KeepExportFolder(std::string folder) { settings.exportFolder = std::move(folder); }
    void KeepExportChoices(ExportChoices_T choices) { settings.exportChoices = std::move(choices); }
    // The marks as the window closed, kept for this game folder.
    void KeepMarks(std::string ranges) { settings.keptMarks = std::move(ranges); }
    // Where a folder dialog starts when nothing better is known.
    std::string HomeFolder() const { return tarnwick::HomeFolder(environment); }

    // A game folder the user picked while the window runs (any file in it):
    // true when all 108 archives open there; it is then stored as
    // VeyAppPath for the next start. why says what failed first.
    bool ChooseGameFolder(const std::string& chosenFile, Failure_T& why);
    // What the game picker asks, starting where a game is likely to be.
    FileDialogRequest_T GameFolderPickerRequest() const;
    // The window asks for this when the program should start again on
    // return, on the folder it stored.
    void RequestRestart() { restartRequested = true; }
    bool RestartRequested() const { return restartRequested; }
    // The program is to end (a signal, Quit): nothing new is started or
    // asked, and what runs stops as its Cancel would.
    void RequestQuit() { quitRequested = true; }
    bool QuitRequested() const { return quitRequested; }

    // The user's collections, read from the settings home as the window
    // opens; Problems() names the files that could not be used.
    CCollectionStore& Collections() { return collections; }
    // The list's choices, and the player of its marked lines: the window
    // and the desktop's media controls are views of both. The player is
    // made the first time it is asked for, with the platform's factory and
    // the stored choices.
    CTalkSelection& Selection() { return selection; }
    CPlayer& Player(IPlayerFactory& factory);

    // Playback: the music, the voice clip and the face pictures, reached
    // only through these.
    CBgmPlayer& BgmPlayer() { return bgmPlayer; }  // silent until given a media player
    VoiceOutput& Voice() { return voiceOutput; }
    CFaceCache& Faces() { return faceImages; }

private:
    // Points the archive set at a stored (host or Windows) folder, opens
    // every archive there and loads the talk table (with the capture list)
    // into the catalogue: false when an archive does not open; tableLoaded
    // says whether the table was read.
    bool OpenGameFolder(const std::string& folder, bool& tableLoaded);
    // The first default install folder in prefixes where every archive
    // opens; the game is left open there, as OpenGameFolder leaves it.
    std::optional<std::string> FindGameInPrefixes(const std::vector<std::string>& prefixes, bool& tableLoaded);
    ExportChoices_T ReadExportChoices() const;
    PlayerOptions_T ReadPlayerOptions() const;
    // The settings from the file as read at start; a value out of range
    // takes its default.
    void ReadDisplaySettings();
    // Reads the settings file, once for the whole run.
    ProfileState LoadSettings();
    // What the window changed, in one save.
    void SaveSettings(IStartupUi& ui);
    // Saves those of changes that differ from the file; the first failure
    // of the run is reported.
    void StoreChanges(std::span<const ProfileChange_T> changes, IStartupUi& ui);
    void ReportNotSaved(IStartupUi& ui, const StartupMessage_T& message);

    // The application state, in the order it is built; it is torn down in
    // the reverse order: face pictures, PCM block, music, catalogue, archives.
    CArchiveSet archiveSet;
    CVeyQelTalk talkCatalogue;
    CBgmPlayer bgmPlayer;
    VoiceOutput voiceOutput;
    CFaceCache faceImages;
    CCollectionStore collections;
    CTalkSelection selection{talkCatalogue, &collections};
    AppSettings_T settings;
    bool restartRequested = false;
    bool quitRequested = false;
    bool notSavedReported = false;

    std::string programFolder;
    HostEnvironment_T environment;
    CProfileFile profile;
    // BeginOpeningStoredGame's thread, the folder it opened and its results.
    std::thread earlyOpening;
    std::string earlyFolder;
    bool earlyOpened = false;
    bool earlyTableLoaded = false;
    // Last: it plays from all of the above, and goes first.
    std::unique_ptr<CPlayer> player;
};

// The request start-up shows when the game folder does not hold every
// archive; it starts in initialFolder.
FileDialogRequest_T GameFolderRequest(const std::string& initialFolder);

}  // namespace tarnwick
