#include "host/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "host/host_path.h"

namespace tarnwick {

std::string RunningExecutablePath()
{
    std::vector<char> path(4096);
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return {};
    return std::string(path.data(), static_cast<std::size_t>(n));
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string UserConfigFolder()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return JoinPath(xdg, "tarnwick");
    return JoinPath(HomeFolder(), ".config/tarnwick");
}

namespace {

bool StartsWithFolder(std::string_view path, std::string_view folder)
{
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// Installed copies keep the user's files in the user's config folder even
// when the user could write beside them (root can write anywhere).
bool IsInstalledFolder(const std::string& folder)
{
    for (const char* system : {"/usr", "/bin", "/sbin", "/opt", "/snap"}) {
        if (StartsWithFolder(folder, system))
            return true;
    }
#ifdef TARNWICK_INSTALL_BINDIR
    if (folder == TARNWICK_INSTALL_BINDIR)
        return true;
#endif
    return false;
}

}  // namespace

std::string ProgramFolderFor(const std::string& executablePath)
{
    const std::string folder = ParentFolder(executablePath);
    if (!folder.empty() && !IsInstalledFolder(folder) && ::access(folder.c_str(), W_OK) == 0)
        return folder;
    return UserConfigFolder();
}

ProgramPaths_T ProgramPathsFor(const std::string& executablePath)
{
    ProgramPaths_T paths;
    paths.programFolder = ProgramFolderFor(executablePath);
    paths.settingsFile = JoinPath(paths.programFolder, SettingsFileNameFor(executablePath));
    return paths;
}

std::string SettingsFileNameFor(const std::string& executablePath)
{
    std::string name = executablePath.substr(executablePath.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    if (name.empty())
        name = "tarnwick";
    return name + ".ini";
}

}  // namespace tarnwick
