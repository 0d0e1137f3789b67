// What the program takes from its surroundings to find folders: read once
// at start-up and handed to whatever needs it, so that nothing else asks
// the system and tests describe a whole home folder with a plain value.
#pragma once

#include <string>

namespace tarnwick {

struct HostEnvironment_T {
    std::string home;           // absolute, else the home folder is "/"
    std::string xdgConfigHome;  // ignored unless absolute
    std::string winePrefix;     // ignored unless absolute
    std::string xdgRuntimeDir;  // ignored unless absolute
    std::string xdgCacheHome;   // ignored unless absolute

    // $HOME (the user database when it is not an absolute path),
    // $XDG_CONFIG_HOME, $WINEPREFIX, $XDG_RUNTIME_DIR and $XDG_CACHE_HOME of
    // the running process.
    static HostEnvironment_T FromProcess();
};

// The home folder: env.home when it is absolute, else "/".
std::string HomeFolder(const HostEnvironment_T& env);

// Where the program's short-lived files for other programs go (the face a
// desktop media control shows): tarnwick in the runtime folder, which the
// session clears, else in the cache folder.
std::string ScratchFolder(const HostEnvironment_T& env);

}  // namespace tarnwick
