#include "host/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace tarnwick {

std::string JoinPath(std::string_view first, std::string_view second)
{
    if (first.empty())
        return std::string(second);
    if (second.empty())
        return std::string(first);
    std::string joined(first);
    while (joined.size() > 1 && joined.back() == '/')
        joined.pop_back();
    std::size_t skip = 0;
    while (skip < second.size() && second[skip] == '/')
        ++skip;
    if (joined.back() != '/')
        joined += '/';
    joined.append(second.substr(skip));
    return joined;
}

bool IsAbsolutePath(std::string_view path)
{
    return !path.empty() && path.front() == '/';
}

std::string ParentFolder(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string ShownPath(std::string_view gamePath)
{
    std::string shown(gamePath);
    for (char& c : shown) {
        if (c == '\\')
            c = '/';
    }
    return shown;
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

namespace {

bool Exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The first entry of folder whose name matches name case-insensitively.
std::optional<std::string> FindNoCase(const std::string& folder, std::string_view name)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return std::nullopt;
    while (const dirent* e = ::readdir(dir.get())) {
        if (EqualsNoCase(e->d_name, name))
            return std::string(e->d_name);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ResolveUnder(std::string_view base, std::string_view relative)
{
    if (!relative.empty() && (relative.front() == '\\' || relative.front() == '/'))
        return std::nullopt;
    std::string path(base);
    bool resolving = true;  // once a component is missing, the rest is too
    std::size_t pos = 0;
    while (pos <= relative.size()) {
        std::size_t end = relative.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string_view part = relative.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty())
            continue;
        if (part == "." || part == "..")
            return std::nullopt;
        std::string next = JoinPath(path, part);
        if (resolving && !Exists(next)) {
            if (std::optional<std::string> match = FindNoCase(path, part))
                next = JoinPath(path, *match);
            else
                resolving = false;
        }
        path = std::move(next);
    }
    return path;
}

}  // namespace tarnwick
