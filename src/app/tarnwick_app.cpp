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
    r.title = "Select application install folder.";
    r.initialFileName = "vey.exe";
    r.defaultExtension = ".exe";
    r.filter = "Exe File (*.exe)|*.exe|All files (*)|*||";
    r.initialFolder = initialFolder;
    return r;
}

CTarnwickApp::CTarnwickApp(const ProgramPaths_T& paths, HostEnvironment_T env)
    : programFolder(paths.programFolder), environment(std::move(env)), profile(paths.settingsFile)
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
        earlyOpening = std::thread([this] {
            earlyOpened = OpenGameFolder(earlyFolder);
            earlyTableLoaded = earlyOpened && LoadTalkTable();
        });
    } catch (const std::exception&) {
        // No thread: InitInstance opens the folder itself.
    }
}

bool CTarnwickApp::LoadTalkTable()
{
    const ReadAhead_T table = TalkTableEntry();
    std::uint32_t length = 0;
    if (!archiveSet.ReadEntry(table.archive, table.name, &length, table.maxSize))
        return false;
    talkCatalogue.Load(archiveSet.Buffer(), length);
    return true;
}

bool CTarnwickApp::OpenAllArchives()
{
    // The talk table, read right after, is decoded while the archives open.
    const ReadAhead_T talkTable = TalkTableEntry();
    return tarnwick::OpenAllArchives(archiveSet, &talkTable) < 0;
}

bool CTarnwickApp::OpenGameFolder(const std::string& folder)
{
    archiveSet.SetGameFolder(HostFolderFor(folder, environment));
    return OpenAllArchives();
}

std::optional<std::string> CTarnwickApp::FindGameInPrefixes(const std::vector<std::string>& prefixes)
{
    const std::string_view defaults[] = {kDefaultGameFolder, kDefaultGameFolderX86};
    for (const std::string& folder : GameFolderCandidates(prefixes, defaults)) {
        if (OpenGameFolder(folder))
            return folder;
    }
    return std::nullopt;
}

void CTarnwickApp::ReadDisplaySettings()
{
    volumeBgm = profile.GetProfileInt(kSettingsSection, "VolumeBGM", 0);
    if (volumeBgm < -10000 || volumeBgm > 0)
        volumeBgm = 0;
    // Out of range gives 0, not the default 2.
    playMode = profile.GetProfileInt(kSettingsSection, "PlayMode", 2);
    if (playMode < 0 || playMode > 2)
        playMode = 0;
    enableBgm = profile.GetProfileInt(kSettingsSection, "EnableBGM", 1) != 0;
    place = ReadWindowPlace(profile);
}

ProfileState CTarnwickApp::LoadSettings()
{
    if (const std::optional<ProfileState> state = profile.LoadedState())
        return *state;
    return profile.Load();
}

void CTarnwickApp::SaveSettings()
{
    std::vector<ProfileChange_T> changes{
        {kSettingsSection, "VolumeBGM", std::to_string(volumeBgm)},
        {kSettingsSection, "PlayMode", std::to_string(playMode)},
    };
    if (placeKnown)
        AddWindowPlace(place, changes);
    // Only what this run changed: another window's settings stay.
    profile.WriteProfileStrings(profile.Differing(changes));
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
    probe->SetGameFolder(HostFolderFor(candidate, environment));
    for (int n = 0; n < kArchiveCount; ++n) {
        if (!probe->OpenArchive(n)) {
            why = probe->LastFailure();
            return false;
        }
    }
    if (profile.WriteProfileString(kSettingsSection, "VeyAppPath", candidate))
        return true;
    why = Failure_T::System(profile.Path(), 0);
    why.detail = "cannot be written";
    return false;
}

bool CTarnwickApp::InitInstance(IStartupUi& ui)
{
    if (LoadSettings() == ProfileState::kTooLarge)
        ui.ShowMessage(kSettingsTooLarge + profile.Path());
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
    bool opened = openedEarly ? earlyOpened : OpenGameFolder(candidate);
    // The talk table as loaded from the folder opened early, when that is
    // the folder start-up settles on.
    std::optional<bool> tableLoaded;
    if (openedEarly && opened)
        tableLoaded = earlyTableLoaded;
    if (!opened) {
        // Before asking, the usual places: a game installed under Wine,
        // Proton, Lutris or Bottles is found by itself.
        const std::vector<std::string> prefixes = WinePrefixes(environment);
        if (std::optional<std::string> found = FindGameInPrefixes(prefixes)) {
            candidate = std::move(*found);
            opened = true;
        }
        while (!opened) {
            const std::optional<std::string> chosen =
                ui.AskForFile(GameFolderRequest(DialogStartFolder(prefixes, environment)));
            if (!chosen)
                return false;
            candidate = ParentFolder(*chosen);
            opened = OpenGameFolder(candidate);
        }
    }
    profile.WriteProfileString(kSettingsSection, "VeyAppPath", candidate);

    if (!tableLoaded)
        tableLoaded = LoadTalkTable();
    if (!*tableLoaded) {
        ui.ShowMessage(kTalkTableMissing);
        return false;
    }

    ReadDisplaySettings();
    ui.RunMainDialog(*this);

    SaveSettings();
    return false;
}

}  // namespace tarnwick
