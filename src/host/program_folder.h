// Where the program keeps its own files: the settings file, the user's
// CaptureList.xml and the "unpack" override folder. Beside the executable
// for a portable copy (a build tree or a folder of its own, when writable);
// an installed copy (in a "bin" folder, under /usr, /opt and the like, or in
// the configured install folder) or one in a read-only folder uses
// $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick).
#pragma once

#include <string>

#include "host/host_environment.h"

namespace tarnwick {

// The running executable's full path; the one place that asks the system.
std::string RunningExecutablePath();
std::string ProgramFolderFor(const std::string& executablePath, const HostEnvironment_T& env);
// The executable's file name with its extension replaced by ".ini".
std::string SettingsFileNameFor(const std::string& executablePath);

// Where a program at executablePath keeps its own files.
struct ProgramPaths_T {
    std::string programFolder;  // settings, CaptureList.xml, "unpack"
    std::string settingsFile;   // full path
};
ProgramPaths_T ProgramPathsFor(const std::string& executablePath, const HostEnvironment_T& env);
std::string UserConfigFolder(const HostEnvironment_T& env);

// An executable's folder that belongs to an install rather than to a
// portable copy.
bool IsInstalledFolder(const std::string& folder);

}  // namespace tarnwick
