#include "app/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "archive/host_path.h"

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

std::string ProgramFolderFor(const std::string& executablePath)
{
    const std::string folder = ParentFolder(executablePath);
    if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0)
        return folder;
    return UserConfigFolder();
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
