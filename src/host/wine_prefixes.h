// Finding the Wine prefixes a Windows game may be installed in: the user's
// own, Steam's Proton prefixes, Lutris's and Bottles'.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_environment.h"

namespace tarnwick {

// The prefixes in the order they are searched: $WINEPREFIX, ~/.wine, the
// Proton prefixes (compatdata/*/pfx) of ~/.steam/steam, of
// ~/.local/share/Steam and of every library folder their
// libraryfolders.vdf lists, Lutris's ~/Games/* and Bottles'
// ~/.local/share/bottles/bottles/*. Only folders that hold a drive_c, each
// once however many ways it is reached.
std::vector<std::string> WinePrefixes(const HostEnvironment_T& env);

// The library folders a Steam libraryfolders.vdf text lists: its "path"
// values (and the numbered values of the older form), absolute paths only.
// Any bytes are accepted; what cannot be read as such a list is skipped.
std::vector<std::string> ParseSteamLibraryFolders(std::string_view text);

// The existing host folders of drivePaths ("C:\Program Files\...") in each
// prefix in turn.
std::vector<std::string> GameFolderCandidates(const std::vector<std::string>& prefixes,
                                              std::span<const std::string_view> drivePaths);

// Where the file dialog starts: the first prefix's drive_c, else home.
std::string DialogStartFolder(const std::vector<std::string>& prefixes, const HostEnvironment_T& env);

}  // namespace tarnwick
