#include "archive/loose_files.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "archive/archive_table.h"
#include "host/host_file.h"
#include "host/host_path.h"

namespace tarnwick {

bool OpenUnder(CHostFile& file, const std::string& base, const std::string& relative, Failure_T& why)
{
    const std::optional<std::string> path = ResolveUnder(base, relative);
    if (!path) {
        why = Failure_T::System(ShownPath(relative), ENOENT);
        return false;
    }
    if (!file.Open(*path)) {
        why = file.Failure(ShownPath(relative));
        return false;
    }
    return true;
}

void CLooseFiles::KeepFolders(bool keep)
{
    keepFolders = keep;
    folders.clear();
}

bool CLooseFiles::Open(int n, std::string_view name, const std::string& programFolder,
                       const std::string& gameFolder, CHostFile& file, std::string& shown)
{
    const std::string overrideFolder = "unpack\\" + ArchiveDatPaths()[n];
    return OpenIn(programFolder, overrideFolder, name, file, shown) ||
           OpenIn(gameFolder, overrideFolder, name, file, shown);
}

bool CLooseFiles::OpenIn(const std::string& base, const std::string& overrideFolder, std::string_view name,
                         CHostFile& file, std::string& shown)
{
    if (base.empty())
        return false;
    std::string searchBase = base;
    std::string folder = overrideFolder + "\\";
    if (keepFolders) {
        const std::optional<std::string>& found = FindFolder(base, overrideFolder);
        if (!found)
            return false;
        searchBase = *found;
        folder.clear();
    }
    std::string relative = folder + "pri-" + std::string(name);
    Failure_T priWhy;
    if (!OpenUnder(file, searchBase, relative, priWhy)) {
        relative = folder + std::string(name);
        Failure_T plainWhy;
        if (!OpenUnder(file, searchBase, relative, plainWhy))
            return false;
    }
    shown = JoinPath(base, ShownPath(overrideFolder + "\\" + relative.substr(folder.size())));
    return true;
}

const std::optional<std::string>& CLooseFiles::FindFolder(const std::string& base,
                                                          const std::string& overrideFolder)
{
    const std::string key = base + '\n' + overrideFolder;
    auto known = folders.find(key);
    if (known == folders.end()) {
        std::optional<std::string> path = ResolveUnder(base, overrideFolder);
        std::error_code ec;
        if (path && !std::filesystem::is_directory(*path, ec))
            path.reset();
        known = folders.emplace(key, std::move(path)).first;
    }
    return known->second;
}

}  // namespace tarnwick
