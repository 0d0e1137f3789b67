#include "host/windows_path.h"

#include "host/host_path.h"

namespace tarnwick {

namespace {

// The host folder of a drive letter: drive_c for C, else the prefix's
// dosdevices link for the letter.
std::string DriveRoot(const std::string& prefix, char letter)
{
    const char lower = static_cast<char>(letter | 0x20);
    if (lower == 'c')
        return JoinPath(prefix, "drive_c");
    return JoinPath(prefix, std::string("dosdevices/") + lower + ":");
}

}  // namespace

bool IsDrivePath(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string WinePrefix(const HostEnvironment_T& env)
{
    if (IsAbsolutePath(env.winePrefix))
        return env.winePrefix;
    return JoinPath(HomeFolder(env), ".wine");
}

std::string HostFolderFor(std::string_view storedPath, const HostEnvironment_T& env)
{
    return HostFolderIn(WinePrefix(env), storedPath);
}

std::string HostFolderIn(const std::string& winePrefix, std::string_view storedPath)
{
    if (!IsDrivePath(storedPath))
        return std::string(storedPath);
    const std::string root = DriveRoot(winePrefix, storedPath[0]);
    std::string_view rest = storedPath.substr(2);
    while (!rest.empty() && (rest.front() == '\\' || rest.front() == '/'))
        rest.remove_prefix(1);
    if (std::optional<std::string> resolved = ResolveUnder(root, rest))
        return *resolved;
    // "." and ".." are left to the file system, with separators mapped.
    std::string mapped(rest);
    for (char& c : mapped)
        if (c == '\\')
            c = '/';
    return JoinPath(root, mapped);
}

}  // namespace tarnwick
