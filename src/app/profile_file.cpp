#include "app/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "host/host_path.h"
#include "talk/decimal_value.h"

namespace tarnwick {

namespace {

std::string_view Trim(std::string_view s)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// One line of the file as read, with the parts that matter for lookups.
struct ProfileLine_T {
    explicit ProfileLine_T(std::string t) : text(std::move(t)) {}
    std::string text;  // without its line end
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
};

struct ProfileText_T {
    std::vector<ProfileLine_T> lines;
    std::string lineEnd = "\n";
    bool endsWithLineEnd = true;
};

void Classify(ProfileLine_T& line)
{
    const std::string_view t = Trim(line.text);
    if (t.empty() || t.front() == ';')
        return;
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        line.kind = ProfileLine_T::kSection;
        line.name = std::string(Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        return;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return;
    line.kind = ProfileLine_T::kKey;
    line.name = std::string(Trim(t.substr(0, eq)));
    line.value = std::string(Trim(t.substr(eq + 1)));
}

std::optional<std::string> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

ProfileText_T Parse(const std::string& content)
{
    ProfileText_T p;
    std::size_t pos = 0;
    bool firstLine = true;
    while (pos < content.size()) {
        std::size_t nl = content.find('\n', pos);
        const bool hasEnd = nl != std::string::npos;
        if (!hasEnd)
            nl = content.size();
        std::string text = content.substr(pos, nl - pos);
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
            if (firstLine)
                p.lineEnd = "\r\n";
        }
        firstLine = false;
        p.lines.emplace_back(std::move(text));
        p.endsWithLineEnd = hasEnd;
        pos = nl + 1;
    }
    for (ProfileLine_T& line : p.lines)
        Classify(line);
    return p;
}

// Line index of the section header, or -1.
long FindSection(const ProfileText_T& p, std::string_view section)
{
    for (std::size_t i = 0; i < p.lines.size(); ++i) {
        if (p.lines[i].kind == ProfileLine_T::kSection && EqualsNoCase(p.lines[i].name, section))
            return static_cast<long>(i);
    }
    return -1;
}

// Line index of the key within the section starting at header, or -1.
long FindKey(const ProfileText_T& p, long header, std::string_view key)
{
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < p.lines.size(); ++i) {
        if (p.lines[i].kind == ProfileLine_T::kSection)
            break;
        if (p.lines[i].kind == ProfileLine_T::kKey && EqualsNoCase(p.lines[i].name, key))
            return static_cast<long>(i);
    }
    return -1;
}

std::string Unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Writes content beside path under a temporary name, then renames it over
// path, keeping the old file's permissions.
bool ReplaceFile(const std::string& path, const std::string& content)
{
    const std::string folder = ParentFolder(path);
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tmpl.c_str());
    return false;
}

// A settings file reached through a symbolic link is changed where it lies.
std::string WriteTarget(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(path, ec);
        if (!ec)
            return target.string();
    }
    return path;
}

}  // namespace

std::string CProfileFile::GetProfileString(std::string_view section, std::string_view key,
                                           std::string_view def) const
{
    const std::optional<std::string> content = ReadAll(path);
    if (!content)
        return std::string(def);
    const ProfileText_T p = Parse(*content);
    const long header = FindSection(p, section);
    if (header < 0)
        return std::string(def);
    const long line = FindKey(p, header, key);
    if (line < 0)
        return std::string(def);
    return Unquote(p.lines[static_cast<std::size_t>(line)].value);
}

int CProfileFile::GetProfileInt(std::string_view section, std::string_view key, int def) const
{
    // A marker no real value can hold tells a missing key from an empty one.
    static constexpr std::string_view kAbsent = "\n";
    const std::string value = GetProfileString(section, key, kAbsent);
    if (value == kAbsent)
        return def;
    return DecimalValue(value);
}

bool CProfileFile::WriteProfileString(std::string_view section, std::string_view key,
                                      std::string_view value)
{
    if (path.empty() || section.empty() || key.empty())
        return false;
    const std::string target = WriteTarget(path);
    const std::optional<std::string> old = ReadAll(target);
    ProfileText_T p = Parse(old.value_or(std::string()));
    const std::string entry = std::string(key) + "=" + std::string(value);

    const long header = FindSection(p, section);
    if (header < 0) {
        if (!p.lines.empty() && !Trim(p.lines.back().text).empty())
            p.lines.emplace_back("");
        p.lines.emplace_back("[" + std::string(section) + "]");
        p.lines.emplace_back(entry);
    } else if (const long line = FindKey(p, header, key); line >= 0) {
        ProfileLine_T& l = p.lines[static_cast<std::size_t>(line)];
        l.text = l.name + "=" + std::string(value);
    } else {
        // After the section's last non-empty line, so blank lines that
        // separate it from the next section stay where they are.
        std::size_t at = static_cast<std::size_t>(header) + 1;
        for (std::size_t i = at; i < p.lines.size() && p.lines[i].kind != ProfileLine_T::kSection; ++i) {
            if (!Trim(p.lines[i].text).empty())
                at = i + 1;
        }
        p.lines.insert(p.lines.begin() + static_cast<long>(at), ProfileLine_T(entry));
    }

    std::string content;
    for (std::size_t i = 0; i < p.lines.size(); ++i) {
        content += p.lines[i].text;
        if (i + 1 < p.lines.size() || p.endsWithLineEnd || header < 0)
            content += p.lineEnd;
    }
    return ReplaceFile(target, content);
}

bool CProfileFile::WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    return WriteProfileString(section, key, std::to_string(value));
}

}  // namespace tarnwick
