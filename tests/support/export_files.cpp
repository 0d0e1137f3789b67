#include "support/export_files.h"

#include <filesystem>

#include "app/line_export.h"
#include "support/temp_folder.h"

namespace tarnwick::test {

std::set<std::string> PresentExportFiles(const std::string& folder)
{
    std::set<std::string> files;
    for (const char* sub : {kVoiceFolderName, kFaceFolderName}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder + "/" + sub, ec))
            files.insert(std::string(sub) + "/" + e.path().filename().string());
    }
    return files;
}

std::set<std::string> ListedExportFiles(const std::string& folder)
{
    return ReadEarlierExport(ReadFileText(folder + "/" + kLinesCsvName)).files;
}

}  // namespace tarnwick::test
