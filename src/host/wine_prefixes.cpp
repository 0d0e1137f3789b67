#include "host/wine_prefixes.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "host/host_file.h"
#include "host/host_path.h"
#include "host/windows_path.h"

namespace tarnwick {

namespace {

// Steam's own file is a few kilobytes; anything far larger is not it.
constexpr std::uint64_t kMaxLibraryListSize = 1u << 20;

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The names in folder, sorted so that the search order does not depend on
// the file system's.
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadLibraryList(const std::string& path)
{
    CHostFile file;
    if (!file.Open(path) || file.Size() > kMaxLibraryListSize)
        return {};
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    text.resize(static_cast<std::size_t>(file.Read(text.data(), text.size())));
    return text;
}

// Collects prefixes once each.
class CPrefixList {
public:
    void Add(const std::string& prefix)
    {
        if (IsFolder(JoinPath(prefix, "drive_c")) && FirstTime(prefix, seen))
            prefixes.push_back(prefix);
    }
    // Each folder of parent, with below appended ("" for the folder itself).
    // ~/.steam/steam is usually a link to the other Steam folder, and the
    // library list names that one again: each parent is listed once.
    void AddEach(const std::string& parent, std::string_view below)
    {
        if (!FirstTime(parent, seenParents))
            return;
        for (const std::string& name : Names(parent))
            Add(JoinPath(JoinPath(parent, name), below));
    }
    std::vector<std::string> Take() { return std::move(prefixes); }

private:
    // Folders are told apart by device and inode, whatever path and links
    // lead to them.
    using FolderId = std::pair<dev_t, ino_t>;
    static bool FirstTime(const std::string& folder, std::set<FolderId>& seenFolders)
    {
        struct stat st;
        return ::stat(folder.c_str(), &st) == 0 && seenFolders.insert({st.st_dev, st.st_ino}).second;
    }

    std::vector<std::string> prefixes;
    std::set<FolderId> seen;
    std::set<FolderId> seenParents;
};

struct Token_T {
    enum Kind { kText, kOpen, kClose } kind;
    std::string text;
};

// The next token of a KeyValues text: a quoted or bare string or a brace.
// Gives nothing at the end, or at an unterminated string.
std::optional<Token_T> NextToken(std::string_view text, std::size_t& pos)
{
    for (;;) {
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= ' ')
            ++pos;
        if (text.substr(pos, 2) != "//")
            break;
        pos = text.find('\n', pos);
        if (pos == std::string_view::npos)
            pos = text.size();
    }
    if (pos >= text.size())
        return std::nullopt;
    const char c = text[pos];
    if (c == '{' || c == '}') {
        ++pos;
        return Token_T{c == '{' ? Token_T::kOpen : Token_T::kClose, {}};
    }
    Token_T token{Token_T::kText, {}};
    if (c != '"') {
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) > ' ' && text[pos] != '{' &&
               text[pos] != '}' && text[pos] != '"')
            token.text += text[pos++];
        return token;
    }
    for (++pos; pos < text.size(); ++pos) {
        char ch = text[pos];
        if (ch == '"') {
            ++pos;
            return token;
        }
        if (ch == '\\' && pos + 1 < text.size()) {
            const char next = text[++pos];
            ch = next == 'n' ? '\n' : next == 't' ? '\t' : next;
            if (next != '\\' && next != '"' && next != 'n' && next != 't')
                token.text += '\\';
        }
        token.text += ch;
    }
    return std::nullopt;
}

bool IsNumber(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> ParseSteamLibraryFolders(std::string_view text)
{
    std::vector<std::string> folders;
    std::optional<std::string> key;
    int depth = 0;
    std::size_t pos = 0;
    while (std::optional<Token_T> token = NextToken(text, pos)) {
        if (token->kind != Token_T::kText) {
            depth += token->kind == Token_T::kOpen ? 1 : (depth > 0 ? -1 : 0);
            key.reset();
            continue;
        }
        if (!key) {
            key = std::move(token->text);
            continue;
        }
        const std::string& value = token->text;
        // "path" in today's blocks; "1" "/mnt/lib" in the older flat list.
        const bool isPath = EqualsNoCase(*key, "path") || (depth == 1 && IsNumber(*key));
        if (isPath && IsAbsolutePath(value) && value.find('\0') == std::string::npos)
            folders.push_back(value);
        key.reset();
    }
    return folders;
}

std::vector<std::string> WinePrefixes(const HostEnvironment_T& env)
{
    const std::string home = HomeFolder(env);
    CPrefixList list;
    if (IsAbsolutePath(env.winePrefix))
        list.Add(env.winePrefix);
    list.Add(JoinPath(home, ".wine"));

    const std::string steamRoots[] = {JoinPath(home, ".steam/steam"), JoinPath(home, ".local/share/Steam")};
    for (const std::string& root : steamRoots)
        list.AddEach(JoinPath(root, "steamapps/compatdata"), "pfx");
    for (const std::string& root : steamRoots) {
        const std::string text = ReadLibraryList(JoinPath(root, "steamapps/libraryfolders.vdf"));
        for (const std::string& library : ParseSteamLibraryFolders(text))
            list.AddEach(JoinPath(library, "steamapps/compatdata"), "pfx");
    }

    list.AddEach(JoinPath(home, "Games"), "");
    list.AddEach(JoinPath(home, ".local/share/bottles/bottles"), "");
    return list.Take();
}

std::vector<std::string> GameFolderCandidates(const std::vector<std::string>& prefixes,
                                              std::span<const std::string_view> drivePaths)
{
    std::vector<std::string> folders;
    for (const std::string& prefix : prefixes) {
        for (std::string_view drivePath : drivePaths) {
            std::string folder = HostFolderIn(prefix, drivePath);
            if (IsFolder(folder))
                folders.push_back(std::move(folder));
        }
    }
    return folders;
}

std::string DialogStartFolder(const std::vector<std::string>& prefixes, const HostEnvironment_T& env)
{
    return prefixes.empty() ? HomeFolder(env) : JoinPath(prefixes.front(), "drive_c");
}

}  // namespace tarnwick
