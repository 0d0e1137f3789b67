#include "app/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "host/host_file.h"
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

// One line of the file, viewed in its text, with the parts that matter for
// lookups; nothing is copied, so reading takes no memory beyond the file's.
struct ProfileLine_T {
    std::string_view text;  // without its line end
    std::size_t begin = 0;  // offsets into the file's text
    std::size_t end = 0;    // past the line end, if any
    bool hasEnd = false;
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

void Classify(ProfileLine_T& line)
{
    const std::string_view t = Trim(line.text);
    if (t.empty() || t.front() == ';')
        return;
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        line.kind = ProfileLine_T::kSection;
        line.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return;
    line.kind = ProfileLine_T::kKey;
    line.name = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
}

// Calls visit(line) for every line in order until it gives false.
template <typename Visit>
void ForEachLine(std::string_view content, Visit visit)
{
    std::size_t pos = 0;
    while (pos < content.size()) {
        ProfileLine_T line;
        line.begin = pos;
        std::size_t nl = content.find('\n', pos);
        line.hasEnd = nl != std::string_view::npos;
        if (!line.hasEnd)
            nl = content.size();
        line.text = content.substr(pos, nl - pos);
        if (line.hasEnd && !line.text.empty() && line.text.back() == '\r')
            line.text.remove_suffix(1);
        line.end = line.hasEnd ? nl + 1 : nl;
        Classify(line);
        if (!visit(line))
            return;
        pos = line.end;
    }
}

// Where a key lives or would go, found in one pass.
struct KeyPlace_T {
    bool sectionFound = false;
    std::optional<ProfileLine_T> key;  // the key's line in the section
    std::size_t insertAt = 0;          // past the section's last non-empty line
    bool insertNeedsLineEnd = false;   // that line is the file's last and has no end
};

KeyPlace_T FindKey(std::string_view content, std::string_view section, std::string_view key)
{
    KeyPlace_T place;
    bool inSection = false;
    ForEachLine(content, [&](const ProfileLine_T& line) {
        if (line.kind == ProfileLine_T::kSection) {
            if (inSection)
                return false;  // only the first section of the name counts
            inSection = EqualsNoCase(line.name, section);
            if (inSection) {
                place.sectionFound = true;
                place.insertAt = line.end;
                place.insertNeedsLineEnd = !line.hasEnd;
            }
            return true;
        }
        if (!inSection)
            return true;
        if (line.kind == ProfileLine_T::kKey && EqualsNoCase(line.name, key)) {
            place.key = line;
            return false;
        }
        if (!Trim(line.text).empty()) {
            place.insertAt = line.end;
            place.insertNeedsLineEnd = !line.hasEnd;
        }
        return true;
    });
    return place;
}

// The file's text. Nothing when it is missing (absent is true), or when it
// is no regular file or larger than any settings file (absent is false):
// such a file is not read, and must not be replaced either.
std::optional<std::string> ReadAll(const std::string& path, bool* absent = nullptr)
{
    if (absent)
        *absent = false;
    CHostFile file;
    if (!file.Open(path)) {
        const Failure_T why = file.Failure(path);
        if (absent)
            *absent = why.kind == FailureKind::kSystem && why.errorNumber == ENOENT;
        return std::nullopt;
    }
    if (file.Size() > kMaxProfileBytes)
        return std::nullopt;
    std::string content(static_cast<std::size_t>(file.Size()), '\0');
    content.resize(static_cast<std::size_t>(file.Read(content.data(), content.size())));
    return content;
}

// The first line's end sets the style of the lines a write adds.
std::string_view LineEndOf(std::string_view content)
{
    const std::size_t nl = content.find('\n');
    return nl != std::string_view::npos && nl > 0 && content[nl - 1] == '\r' ? "\r\n" : "\n";
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

// Whether the file at path may be replaced: it is missing, or it is a
// regular file with its owner's write bit set that this process may write.
// The mode bits decide even for root, who may write anything.
bool MayReplace(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
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
    const KeyPlace_T place = FindKey(*content, section, key);
    if (!place.key)
        return std::string(def);
    return Unquote(place.key->value);
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
    // A file the user may not change stays exactly as it is, as does one
    // that could not be read: rewriting it would lose what it holds.
    if (!MayReplace(target))
        return false;
    bool absent = false;
    const std::optional<std::string> old = ReadAll(target, &absent);
    if (!old && !absent)
        return false;
    const std::string_view text = old ? std::string_view(*old) : std::string_view();
    const std::string_view lineEnd = LineEndOf(text);
    const std::string entry = std::string(key) + "=" + std::string(value);

    const KeyPlace_T place = FindKey(text, section, key);
    std::string content;
    content.reserve(text.size() + entry.size() + section.size() + 8);
    if (place.key) {
        const ProfileLine_T& line = *place.key;
        content.append(text.substr(0, line.begin));
        content.append(line.name).append("=").append(value);
        content.append(text.substr(line.begin + line.text.size()));
    } else if (place.sectionFound) {
        // After the section's last non-empty line, so blank lines that
        // separate it from the next section stay where they are.
        content.append(text.substr(0, place.insertAt));
        if (place.insertNeedsLineEnd)
            content.append(lineEnd).append(entry);
        else
            content.append(entry).append(lineEnd);
        content.append(text.substr(place.insertAt));
    } else {
        content.append(text);
        if (!text.empty() && text.back() != '\n')
            content.append(lineEnd);
        std::string_view lastLine = text;
        if (!lastLine.empty() && lastLine.back() == '\n')
            lastLine.remove_suffix(1);
        lastLine = lastLine.substr(lastLine.rfind('\n') == std::string_view::npos ? 0 : lastLine.rfind('\n') + 1);
        if (!Trim(lastLine).empty())
            content.append(lineEnd);
        content.append("[").append(section).append("]").append(lineEnd).append(entry).append(lineEnd);
    }
    return ReplaceFile(target, content);
}

bool CProfileFile::WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    return WriteProfileString(section, key, std::to_string(value));
}

}  // namespace tarnwick
