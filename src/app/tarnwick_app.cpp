#include "app/tarnwick_app.h"

#include <memory>
#include <string_view>
#include <utility>

#include "host/host_path.h"
#include "host/program_folder.h"
#include "host/windows_path.h"
#include "host/wine_prefixes.h"

namespace tarnwick {

FileDialogRequest_T GameFolderRequest(const std::string& initialFolder)
{
    FileDialogRequest_T r;
    r.title = DialogText_T::kSelectInstallFolder;
    r.initialFileName = "vey.exe";
    r.defaultExtension = ".exe";
    r.filters = {{DialogText_T::kExeFile, {"*.exe"}}, {DialogText_T::kAllFiles, {"*"}}};
    r.initialFolder = initialFolder;
    return r;
}

CTarnwickApp::CTarnwickApp(const ProgramPaths_T& paths, HostEnvironment_T env)
    : collections(JoinPath(paths.programFolder, kCollectionsFolder)), programFolder(paths.programFolder),
      environment(std::move(env)), profile(paths.settingsFile)
{
    archiveSet.SetProgramFolder(programFolder);
    talkCatalogue.SetProgramFolder(programFolder);
}

CTarnwickApp::~CTarnwickApp()
{
    if (earlyOpening.joinable())
        earlyOpening.join();
}

void CTarnwickApp::BeginOpeningStoredGame()
{
    if (earlyOpening.joinable())
        return;
    LoadSettings();
    // The folder InitInstance will read first; nothing writes the settings
    // before it has waited for this thread.
    earlyFolder = profile.GetProfileString(kSettingsSection, "VeyAppPath", kDefaultGameFolder);
    try {
        earlyOpening = std::thread([this] { earlyOpened = OpenGameFolder(earlyFolder, earlyTableLoaded); });
    } catch (const std::exception&) {
        // No thread: InitInstance opens the folder itself.
    }
}

CPlayer& CTarnwickApp::Player(IPlayerFactory& factory)
{
    if (!player) {
        player = std::make_unique<CPlayer>(selection.Rows(), factory,
                                           PlayerResources_T{voiceOutput, archiveSet, faceImages, bgmPlayer},
                                           settings.player);
        player->SetMusicEnabled(settings.enableBgm);
    }
    return *player;
}

std::string CTarnwickApp::LanguageSetting()
{
    LoadSettings();
    return profile.GetProfileString(kPlaceSection, "Language", "");
}

bool CTarnwickApp::OpenGameFolder(const std::string& folder, bool& tableLoaded)
{
    // All archives, the talk table decoded while they open.
    GameRequest_T request;
    request.folder = HostFolderFor(folder, environment);
    request.programFolder = programFolder;
    GameFailure_T failed;
    tableLoaded = OpenGame(request, archiveSet, talkCatalogue, failed);
    return tableLoaded || failed.step != GameStep::kArchive;
}

std::optional<std::string> CTarnwickApp::FindGameInPrefixes(const std::vector<std::string>& prefixes,
                                                            bool& tableLoaded)
{
    const std::string_view defaults[] = {kDefaultGameFolder, kDefaultGameFolderX86};
    for (const std::string& folder : GameFolderCandidates(prefixes, defaults)) {
        if (OpenGameFolder(folder, tableLoaded))
            return folder;
    }
    return std::nullopt;
}

void CTarnwickApp::ReadDisplaySettings()
{
    settings.player = ReadPlayerOptions();
    settings.enableBgm = profile.GetProfileInt(kSettingsSection, "EnableBGM", 1) != 0;
    settings.place = ReadWindowPlace(profile);
    settings.exportFolder = profile.GetProfileString(kPlaceSection, "ExportFolder", "");
    settings.exportChoices = ReadExportChoices();
    // A line end never reads back from the file, so it tells a missing key.
    const std::string marks = profile.GetProfileString(kPlaceSection, "Marks", "\n");
    if (marks != "\n" && profile.GetProfileString(kPlaceSection, "MarksGame", "") == archiveSet.GameFolder())
        settings.keptMarks = marks;
}

PlayerOptions_T CTarnwickApp::ReadPlayerOptions() const
{
    PlayerOptions_T o;
    const int volume = profile.GetProfileInt(kSettingsSection, "VolumeBGM", 0);
    o.musicVolume = volume < kMinBgmVolume || volume > kMaxBgmVolume ? 0 : volume;
    // Out of range gives kDefault (0), not the default kLong (2).
    o.playMode = PlayModeOfNumber(profile.GetProfileInt(kSettingsSection, "PlayMode", 2));
    const int voice = profile.GetProfileInt(kPlaceSection, "VoiceVolume", kMaxVoiceVolume);
    o.voiceVolume = voice < 0 || voice > kMaxVoiceVolume ? kMaxVoiceVolume : voice;
    o.shuffle = profile.GetProfileInt(kPlaceSection, "Shuffle", 0) == 1;
    o.repeat = RepeatOfNumber(profile.GetProfileInt(kPlaceSection, "Repeat", 0));
    o.evenLoudness = profile.GetProfileInt(kPlaceSection, "EvenLoudness", 0) == 1;
    return o;
}

ExportChoices_T CTarnwickApp::ReadExportChoices() const
{
    using Clips = ExportChoices_T::Clips_T;
    ExportChoices_T c;
    const std::string clips = profile.GetProfileString(kPlaceSection, "ExportClips", "tagged");
    c.clips = clips == "wav" ? Clips::kWav : clips == "stored" ? Clips::kStored : Clips::kTagged;
    c.playlist = profile.GetProfileString(kPlaceSection, "ExportPlaylist", "1") != "0";
    const std::string oneFile = profile.GetProfileString(kPlaceSection, "ExportOneFile", "");
    // Only a format the render knows.
    for (const char* known : {"ogg", "opus", "flac", "wav"})
        if (oneFile == known)
            c.oneFile = oneFile;
    return c;
}

void CTarnwickApp::KeepPlace(const WindowPlace_T& where)
{
    settings.place = where;
    settings.placeKnown = true;
}

ProfileState CTarnwickApp::LoadSettings()
{
    if (const std::optional<ProfileState> state = profile.LoadedState())
        return *state;
    return profile.Load();
}

std::string StartupMessage_T::Text() const
{
    switch (kind) {
    case StartupNotice_T::kTalkTableUnread: return kTalkTableMissing + detail;
    case StartupNotice_T::kSettingsFileTooLarge: return kSettingsTooLarge + detail;
    case StartupNotice_T::kSettingsUnsaved: break;
    }
    return kSettingsNotSaved + detail;
}

void CTarnwickApp::ReportNotSaved(IStartupUi& ui, const StartupMessage_T& message)
{
    if (std::exchange(notSavedReported, true))
        return;
    ui.ShowSettingsNotSaved(message, quitRequested);
}

void CTarnwickApp::StoreChanges(std::span<const ProfileChange_T> changes, IStartupUi& ui)
{
    Failure_T why;
    if (!profile.WriteProfileStrings(profile.Differing(changes), &why))
        ReportNotSaved(ui, {StartupNotice_T::kSettingsUnsaved, why.Describe()});
}

void CTarnwickApp::SaveSettings(IStartupUi& ui)
{
    if (player)
        settings.player = player->Options();
    const PlayerOptions_T& o = settings.player;
    std::vector<ProfileChange_T> changes{
        {kSettingsSection, "VolumeBGM", std::to_string(o.musicVolume)},
        {kSettingsSection, "PlayMode", std::to_string(static_cast<int>(o.playMode))},
    };
    // The player's own choices only once one differs from the file: a run
    // that changed none adds no keys.
    const PlayerOptions_T stored = ReadPlayerOptions();
    if (o.voiceVolume != stored.voiceVolume || o.shuffle != stored.shuffle || o.repeat != stored.repeat ||
        o.evenLoudness != stored.evenLoudness) {
        changes.push_back({kPlaceSection, "VoiceVolume", std::to_string(o.voiceVolume)});
        changes.push_back({kPlaceSection, "Shuffle", o.shuffle ? "1" : "0"});
        changes.push_back({kPlaceSection, "Repeat", std::to_string(static_cast<int>(o.repeat))});
        changes.push_back({kPlaceSection, "EvenLoudness", o.evenLoudness ? "1" : "0"});
    }
    if (settings.placeKnown)
        AddWindowPlace(settings.place, changes);
    // Only once an export has gone somewhere: a run without one adds nothing.
    if (settings.exportFolder != profile.GetProfileString(kPlaceSection, "ExportFolder", ""))
        changes.push_back({kPlaceSection, "ExportFolder", settings.exportFolder});
    if (settings.exportChoices != ReadExportChoices()) {
        using Clips = ExportChoices_T::Clips_T;
        const ExportChoices_T& c = settings.exportChoices;
        changes.push_back({kPlaceSection, "ExportClips",
                           c.clips == Clips::kWav ? "wav" : c.clips == Clips::kStored ? "stored" : "tagged"});
        changes.push_back({kPlaceSection, "ExportPlaylist", c.playlist ? "1" : "0"});
        changes.push_back({kPlaceSection, "ExportOneFile", c.oneFile});
    }
    if (settings.placeKnown && settings.keptMarks) {
        changes.push_back({kPlaceSection, "Marks", *settings.keptMarks});
        changes.push_back({kPlaceSection, "MarksGame", archiveSet.GameFolder()});
    }
    // Only what this run changed: another window's settings stay.
    StoreChanges(changes, ui);
}

FileDialogRequest_T CTarnwickApp::GameFolderPickerRequest() const
{
    return GameFolderRequest(DialogStartFolder(WinePrefixes(environment), environment));
}

bool CTarnwickApp::ChooseGameFolder(const std::string& chosenFile, Failure_T& why)
{
    const std::string candidate = ParentFolder(chosenFile);
    // A set of its own: the running one keeps serving the window.
    const auto probe = std::make_unique<CArchiveSet>();
    GameRequest_T request;
    request.folder = HostFolderFor(candidate, environment);
    request.talkTable = false;
    if (GameFailure_T failed; !OpenGameArchives(request, *probe, failed)) {
        why = failed.why;
        return false;
    }
    return profile.WriteProfileString(kSettingsSection, "VeyAppPath", candidate, &why);
}

bool CTarnwickApp::InitInstance(IStartupUi& ui)
{
    if (const ProfileState state = LoadSettings(); state == ProfileState::kTooLarge)
        ReportNotSaved(ui, {StartupNotice_T::kSettingsFileTooLarge, profile.Path()});
    else if (state == ProfileState::kUnreadable)
        ReportNotSaved(ui, {StartupNotice_T::kSettingsUnsaved, profile.LoadFailure().Describe()});
    // The stored text is kept as it is (a Windows path stays one, so a
    // settings file shared with Windows keeps working); only opening maps it.
    std::string candidate = profile.GetProfileString(kSettingsSection, "VeyAppPath", kDefaultGameFolder);
    bool openedEarly = false;
    if (earlyOpening.joinable()) {
        // The window's controls need nothing of the game: they are built
        // while it finishes loading.
        ui.PrepareMainDialog(*this);
        earlyOpening.join();
        openedEarly = earlyFolder == candidate;
    }
    // Whether the talk table was read from the folder start-up settles on.
    bool tableLoaded = earlyTableLoaded;
    bool opened = openedEarly ? earlyOpened : OpenGameFolder(candidate, tableLoaded);
    if (!opened) {
        // Before asking, the usual places: a game installed under Wine,
        // Proton, Lutris or Bottles is found by itself.
        const std::vector<std::string> prefixes = WinePrefixes(environment);
        if (std::optional<std::string> found = FindGameInPrefixes(prefixes, tableLoaded)) {
            candidate = std::move(*found);
            opened = true;
        }
        while (!opened) {
            const std::optional<std::string> chosen =
                ui.AskForFile(GameFolderRequest(DialogStartFolder(prefixes, environment)));
            if (!chosen)
                return false;
            candidate = ParentFolder(*chosen);
            opened = OpenGameFolder(candidate, tableLoaded);
        }
    }
    // Written only when it changed: a start on the same folder leaves the
    // file alone, and the window waits for no disk.
    const ProfileChange_T folder{kSettingsSection, "VeyAppPath", candidate};
    StoreChanges({&folder, 1}, ui);

    if (!tableLoaded) {
        ui.ShowMessage({StartupNotice_T::kTalkTableUnread, {}});
        return false;
    }

    ReadDisplaySettings();
    // A window built ahead made the player before the settings were read.
    if (player) {
        player->SetOptions(settings.player);
        player->SetMusicEnabled(settings.enableBgm);
    }
    collections.Load();
    ui.RunMainDialog(*this);

    SaveSettings(ui);
    return false;
}

}  // namespace tarnwick
