// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path; }
    // Path() joined with a relative path ("a/b/c").
    std::string operator/(std::string_view relative) const;
    // Writes a file under the folder, creating its parent folders.
    void Write(std::string_view relative, std::string_view content) const;
    void Write(std::string_view relative, std::span<const std::uint8_t> content) const;

private:
    std::string path;
};

std::string ReadFileText(const std::string& path);

}  // namespace tarnwick::test
