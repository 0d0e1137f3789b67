#include "app/profile_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "host/file_lock.h"
#include "host/file_writer.h"
#include "host/host_file.h"
#include "host/host_path.h"
#include "talk/decimal_value.h"

namespace tarnwick {

namespace {

constexpr const char* kTooLargeDetail = "larger than 1 MiB";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// One pair of matching quotes around a value does not belong to it.
bool IsQuoted(std::string_view v)
{
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

std::string Unquote(std::string_view v)
{
    return std::string(IsQuoted(v) ? v.substr(1, v.size() - 2) : v);
}

// The value as it goes into the file: reading trims spaces at either end
// and strips one pair of quotes, so a value that would lose either is put
// between double quotes to come back whole.
std::string StoredValue(std::string_view v)
{
    if (!v.empty() && (IsSpace(v.front()) || IsSpace(v.back()) || IsQuoted(v)))
        return "\"" + std::string(v) + "\"";
    return std::string(v);
}

// Whether a change reads back as given. A line end or NUL anywhere would
// let a value start lines of its own; a name with spaces around it, a
// section name holding "]", or a key name holding "=" or read as a section
// or comment would be found under another name.
bool Storable(const ProfileChange_T& c)
{
    static constexpr std::string_view kLineBreakers("\r\n\0", 3);
    for (const std::string_view s : {std::string_view(c.section), std::string_view(c.key), std::string_view(c.value)}) {
        if (s.find_first_of(kLineBreakers) != std::string_view::npos)
            return false;
    }
    return !c.section.empty() && !c.key.empty() && Trim(c.section) == c.section && Trim(c.key) == c.key &&
           c.section.find(']') == std::string::npos && c.key.find('=') == std::string::npos &&
           c.key.front() != '[' && c.key.front() != ';';
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

// Calls visit(line) for every line in order until it gives false. Only LF
// ends a line; a CR right before it goes with it, any other CR is text.
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

std::string ValueIn(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view def)
{
    const KeyPlace_T place = FindKey(content, section, key);
    if (!place.key)
        return std::string(def);
    return Unquote(place.key->value);
}

struct ProfileText_T {
    ProfileState state = ProfileState::kAbsent;
    std::string text;  // empty unless usable
    Failure_T why;     // what made it too large or unreadable
};

// The file's text, when it is a regular file no larger than any settings
// file and reads whole; anything else is not read, and must not be
// replaced either, or what it holds would be lost.
ProfileText_T ReadProfile(const std::string& path)
{
    CHostFile file;
    if (!file.Open(path)) {
        const Failure_T why = file.Failure(path);
        const bool absent = why.kind == FailureKind::kSystem && why.errorNumber == ENOENT;
        return {absent ? ProfileState::kAbsent : ProfileState::kUnreadable, {}, absent ? Failure_T{} : why};
    }
    if (file.Size() > kMaxProfileBytes)
        return {ProfileState::kTooLarge, {}, Failure_T::Refused(path, kTooLargeDetail)};
    std::string content(static_cast<std::size_t>(file.Size()), '\0');
    if (file.Read(content.data(), content.size()) != content.size())
        return {ProfileState::kUnreadable, {}, file.Failure(path)};
    return {ProfileState::kUsable, std::move(content), {}};
}

// The first line's end sets the style of the lines a write adds.
std::string_view LineEndOf(std::string_view content)
{
    const std::size_t nl = content.find('\n');
    return nl != std::string_view::npos && nl > 0 && content[nl - 1] == '\r' ? "\r\n" : "\n";
}

// Sets one key in text, every other line kept as it is.
void ApplyChange(std::string& text, const ProfileChange_T& change)
{
    const std::string_view lineEnd = LineEndOf(text);
    const std::string value = StoredValue(change.value);
    const std::string entry = change.key + "=" + value;

    const KeyPlace_T place = FindKey(text, change.section, change.key);
    std::string content;
    content.reserve(text.size() + entry.size() + change.section.size() + 8);
    if (place.key) {
        const ProfileLine_T& line = *place.key;
        content.append(text, 0, line.begin);
        content.append(line.name).append("=").append(value);
        content.append(text, line.begin + line.text.size());
    } else if (place.sectionFound) {
        // After the section's last non-empty line, so blank lines that
        // separate it from the next section stay where they are.
        content.append(text, 0, place.insertAt);
        if (place.insertNeedsLineEnd)
            content.append(lineEnd).append(entry);
        else
            content.append(entry).append(lineEnd);
        content.append(text, place.insertAt);
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
        content.append("[").append(change.section).append("]").append(lineEnd).append(entry).append(lineEnd);
    }
    text = std::move(content);
}

// Writes content beside path under a temporary name, synced, then renames
// it over path, keeping the old file's owner, group and permissions.
// Nothing is left behind when any step fails.
bool ReplaceFile(const std::string& path, const std::string& content, Failure_T& why)
{
    return WriteFileAtomically(path, {reinterpret_cast<const std::uint8_t*>(content.data()), content.size()}, why,
                               true);
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

void CProfileFile::SetPath(std::string p)
{
    path = std::move(p);
    loaded.reset();
    loadedText.clear();
    loadFailure = {};
}

ProfileState CProfileFile::Load()
{
    ProfileText_T file = ReadProfile(path);
    loaded = file.state;
    loadedText = std::move(file.text);
    loadFailure = std::move(file.why);
    return file.state;
}

std::string CProfileFile::GetProfileString(std::string_view section, std::string_view key,
                                           std::string_view def) const
{
    if (loaded)
        return ValueIn(loadedText, section, key, def);
    return ValueIn(ReadProfile(path).text, section, key, def);
}

int CProfileFile::GetProfileInt(std::string_view section, std::string_view key, int def) const
{
    // A marker no read value can hold (lines end at LF) tells a missing key
    // from an empty one.
    static constexpr std::string_view kAbsent = "\n";
    const std::string value = GetProfileString(section, key, kAbsent);
    if (value == kAbsent)
        return def;
    return DecimalValue(value);
}

std::vector<ProfileChange_T> CProfileFile::Differing(std::span<const ProfileChange_T> changes) const
{
    std::vector<ProfileChange_T> differing;
    for (const ProfileChange_T& c : changes) {
        if (GetProfileString(c.section, c.key, "\n") != c.value)
            differing.push_back(c);
    }
    return differing;
}

bool CProfileFile::WriteProfileStrings(std::span<const ProfileChange_T> changes, Failure_T* failure)
{
    Failure_T ignored;
    Failure_T& why = failure ? *failure : ignored;
    why = {};
    if (changes.empty())
        return true;
    if (path.empty()) {
        why = Failure_T::Refused("tarnwick.ini", "no folder to keep it in");
        return false;
    }
    // Keys of a file that was not read are unknown: writing ours would
    // replace the user's with defaults.
    if (loaded && *loaded != ProfileState::kAbsent && *loaded != ProfileState::kUsable) {
        why = loadFailure;
        return false;
    }
    std::vector<const ProfileChange_T*> storable;
    for (const ProfileChange_T& c : changes) {
        if (Storable(c))
            storable.push_back(&c);
    }
    const Failure_T leftOut =
        Failure_T::Refused(path, "a value with a line end, or a name that reads back as another, was left out");
    if (storable.empty()) {
        why = leftOut;
        return false;
    }
    const std::string target = WriteTarget(path);
    // A file the user may not change stays exactly as it is, as does one
    // that could not be read: rewriting it would lose what it holds. This
    // first look spares such a file a lock file beside it.
    if (!MayReplaceFile(target, why))
        return false;
    if (const std::string folder = ParentFolder(target); !folder.empty() && !MakeFolders(folder, why))
        return false;
    const CFileLock lock(target + ".lock", lockWait);
    if (!lock.Held()) {
        why = lock.Failure();
        return false;
    }
    // Under the lock the file is as the last writer left it: this save
    // builds on that, not on what was loaded.
    if (!MayReplaceFile(target, why))
        return false;
    ProfileText_T file = ReadProfile(target);
    if (file.state != ProfileState::kAbsent && file.state != ProfileState::kUsable) {
        why = file.why;
        return false;
    }
    for (const ProfileChange_T* c : storable)
        ApplyChange(file.text, *c);
    // Larger, and the next start could not read it.
    if (file.text.size() > kMaxProfileBytes) {
        why = Failure_T::Refused(target, std::string("would become ") + kTooLargeDetail);
        return false;
    }
    if (!ReplaceFile(target, file.text, why))
        return false;
    if (loaded) {
        for (const ProfileChange_T* c : storable)
            ApplyChange(loadedText, *c);
    }
    if (storable.size() != changes.size()) {
        why = leftOut;
        return false;
    }
    return true;
}

bool CProfileFile::WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                                      Failure_T* why)
{
    const ProfileChange_T change{std::string(section), std::string(key), std::string(value)};
    return WriteProfileStrings({&change, 1}, why);
}

bool CProfileFile::WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    return WriteProfileString(section, key, std::to_string(value));
}

}  // namespace tarnwick
