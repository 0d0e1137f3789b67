// Where the program keeps its own files: the settings file, the user's
// CaptureList.xml and the "unpack" override folder. Beside the executable
// when that folder is writable (a portable install); for an installed copy
// (under /usr, /opt or the install prefix) or a read-only folder, in
// $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick).
#pragma once

#include <string>

namespace tarnwick {

// The running executable's full path; the one place that asks the system.
std::string RunningExecutablePath();
std::string ProgramFolderFor(const std::string& executablePath);
// The executable's file name with its extension replaced by ".ini".
std::string SettingsFileNameFor(const std::string& executablePath);

// Where a program at executablePath keeps its own files.
struct ProgramPaths_T {
    std::string programFolder;  // settings, CaptureList.xml, "unpack"
    std::string settingsFile;   // full path
};
ProgramPaths_T ProgramPathsFor(const std::string& executablePath);
std::string UserConfigFolder();
std::string HomeFolder();

}  // namespace tarnwick
