#include "app/tarnwick_app.h"

#include "host/program_folder.h"
#include "host/windows_path.h"
#include "host/host_path.h"

namespace tarnwick {

FileDialogRequest_T GameFolderRequest()
{
    FileDialogRequest_T r;
    r.title = "Select application install folder.";
    r.initialFileName = "vey.exe";
    r.defaultExtension = ".exe";
    r.filter = "Exe File (*.exe)|*.exe||";
    r.initialFolder = DialogStartFolder();
    return r;
}

CTarnwickApp::CTarnwickApp(const ProgramPaths_T& paths)
    : programFolder(paths.programFolder), profile(paths.settingsFile)
{
    archiveSet.SetProgramFolder(programFolder);
    talkCatalogue.SetProgramFolder(programFolder);
}

bool CTarnwickApp::OpenAllArchives()
{
    for (int n = 0; n < kArchiveCount; ++n) {
        if (!archiveSet.OpenArchive(n))
            return false;
    }
    return true;
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
}

bool CTarnwickApp::InitInstance(IStartupUi& ui)
{
    // The stored text is kept as it is (a Windows path stays one, so a
    // settings file shared with Windows keeps working); only opening maps it.
    std::string candidate = profile.GetProfileString(kSettingsSection, "VeyAppPath", kDefaultGameFolder);
    for (;;) {
        archiveSet.SetGameFolder(HostFolderFor(candidate));
        if (OpenAllArchives())
            break;
        const std::optional<std::string> chosen = ui.AskForFile(GameFolderRequest());
        if (!chosen)
            return false;
        candidate = ParentFolder(*chosen);
    }
    profile.WriteProfileString(kSettingsSection, "VeyAppPath", candidate);

    std::uint32_t length = 0;
    if (!archiveSet.ReadEntry(kTableArchive, kTalkTableName, &length, kMaxTalkTableBytes)) {
        ui.ShowMessage(kTalkTableMissing);
        return false;
    }
    talkCatalogue.Load(archiveSet.Buffer(), length);

    ReadDisplaySettings();
    ui.RunMainDialog(*this);

    profile.WriteProfileInt(kSettingsSection, "VolumeBGM", volumeBgm);
    profile.WriteProfileInt(kSettingsSection, "PlayMode", playMode);
    return false;
}

}  // namespace tarnwick
