// Game folders written the Windows way ("C:\Program Files\..."), as the
// default and settings files copied from Windows have them, are looked for
// where Wine keeps that drive. Linux paths are taken as they are.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

bool IsDrivePath(std::string_view path);
// $WINEPREFIX, else ~/.wine.
std::string WinePrefix();
// The host folder for a stored game folder.
std::string HostFolderFor(std::string_view storedPath);
// Where the file dialog starts: "C:\" under Wine, or the home folder when
// there is no Wine prefix.
std::string DialogStartFolder();

}  // namespace tarnwick
