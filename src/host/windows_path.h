// Game folders written the Windows way ("C:\Program Files\..."), as the
// default and settings files copied from Windows have them, are looked for
// where Wine keeps that drive. Linux paths are taken as they are.
#pragma once

#include <string>
#include <string_view>

#include "host/host_environment.h"

namespace tarnwick {

bool IsDrivePath(std::string_view path);
// $WINEPREFIX, else ~/.wine.
std::string WinePrefix(const HostEnvironment_T& env);
// The host folder for a stored game folder, a drive path taken in the
// Wine prefix of env.
std::string HostFolderFor(std::string_view storedPath, const HostEnvironment_T& env);
// The host folder for a drive path in the given Wine prefix; other paths
// as they are. Components are matched whatever their letter case.
std::string HostFolderIn(const std::string& winePrefix, std::string_view storedPath);

}  // namespace tarnwick
