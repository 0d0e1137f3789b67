#include "host/program_folder.h"

#include <unistd.h>

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

std::string UserConfigFolder(const HostEnvironment_T& env)
{
    if (IsAbsolutePath(env.xdgConfigHome))
        return JoinPath(env.xdgConfigHome, "tarnwick");
    return JoinPath(HomeFolder(env), ".config/tarnwick");
}

namespace {

bool StartsWithFolder(std::string_view path, std::string_view folder)
{
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

// Installed copies keep the user's files in the user's config folder even
// when the user could write beside them (root can write anywhere, and
// `--prefix ~/.local` gives a writable ~/.local/bin).
bool IsInstalledFolder(const std::string& folder)
{
    for (const char* system : {"/usr", "/sbin", "/opt", "/snap"}) {
        if (StartsWithFolder(folder, system))
            return true;
    }
    // ~/.local/bin, /usr/local/bin, /opt/x/bin, /bin: bin folders of a prefix.
    std::string_view last(folder);
    while (last.size() > 1 && last.back() == '/')
        last.remove_suffix(1);
    last.remove_prefix(last.find_last_of('/') + 1);
    if (last == "bin")
        return true;
#ifdef TARNWICK_INSTALL_BINDIR
    if (folder == TARNWICK_INSTALL_BINDIR)
        return true;
#endif
    return false;
}

std::string ProgramFolderFor(const std::string& executablePath, const HostEnvironment_T& env)
{
    const std::string folder = ParentFolder(executablePath);
    if (!folder.empty() && !IsInstalledFolder(folder) && ::access(folder.c_str(), W_OK) == 0)
        return folder;
    return UserConfigFolder(env);
}

ProgramPaths_T ProgramPathsFor(const std::string& executablePath, const HostEnvironment_T& env)
{
    ProgramPaths_T paths;
    paths.programFolder = ProgramFolderFor(executablePath, env);
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
