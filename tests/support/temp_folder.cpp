#include "support/temp_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarnwick::test {

TempFolder::TempFolder()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string TempFolder::operator/(std::string_view relative) const
{
    return path + "/" + std::string(relative);
}

void TempFolder::Write(std::string_view relative, std::string_view content) const
{
    const std::filesystem::path p = *this / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + p.string());
}

void TempFolder::Write(std::string_view relative, std::span<const std::uint8_t> content) const
{
    Write(relative, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace tarnwick::test
