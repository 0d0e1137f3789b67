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

    // $HOME (the user database when it is not an absolute path),
    // $XDG_CONFIG_HOME and $WINEPREFIX of the running process.
    static HostEnvironment_T FromProcess();
};

// The home folder: env.home when it is absolute, else "/".
std::string HomeFolder(const HostEnvironment_T& env);

}  // namespace tarnwick
