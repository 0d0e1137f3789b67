// Settings in the initialization-file form, read and written the way
// Windows profile files are: section and key names match whatever their
// letter case, spaces around names and values do not count, and a write
// changes one line and keeps everything else in the file as it was.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

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
    // takes the old one's place.
    bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteProfileInt(std::string_view section, std::string_view key, int value);

private:
    std::string path;
};

}  // namespace tarnwick
