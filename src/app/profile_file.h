// Settings in the initialization-file form, read and written the way
// Windows profile files are: section and key names match whatever their
// letter case, spaces around names and values do not count, and a write
// changes one line and keeps everything else in the file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// A settings file holds a few short lines: anything larger, and anything
// that is not a regular file, is not read (every key takes its default).
inline constexpr std::uint64_t kMaxProfileBytes = 1u << 20;

class CProfileFile {
public:
    explicit CProfileFile(std::string file = {}) : path(std::move(file)) {}

    const std::string& Path() const { return path; }
    void SetPath(std::string p) { path = std::move(p); }

    // The value, or def when the file, the section or the key is missing.
    std::string GetProfileString(std::string_view section, std::string_view key,
                                 std::string_view def) const;
    // The value's leading decimal integer (0 when it has none), or def when
    // the key is missing.
    int GetProfileInt(std::string_view section, std::string_view key, int def) const;

    // The first write creates the file (and its folder). The file is never
    // left half-written: the new content goes to a temporary file that then
    // takes the old one's place. False, and the file left exactly as it is,
    // when it is read-only (its owner's write bit clear, whoever runs us),
    // no regular file, or too large to have been read.
    bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteProfileInt(std::string_view section, std::string_view key, int value);

private:
    std::string path;
};

}  // namespace tarnwick
