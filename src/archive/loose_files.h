// Loose override files: a file unpack/<archive's .dat path>/pri-NAME or
// NAME under the program folder, then under the game folder, is read
// instead of entry NAME of that archive.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "host/failure.h"

namespace tarnwick {

class CHostFile;

// Opens relative (a game path) under base; on false why names relative and
// the reason.
bool OpenUnder(CHostFile& file, const std::string& base, const std::string& relative, Failure_T& why);

class CLooseFiles {
public:
    // A tool reading many entries looks for each override folder once; the
    // window looks every time, so a folder made while it runs counts.
    void KeepFolders(bool keep);

    // Opens the loose override of entry name of archive n that counts, when
    // there is one, with shown set to its path as messages name it. An
    // empty folder is no base.
    bool Open(int n, std::string_view name, const std::string& programFolder, const std::string& gameFolder,
              CHostFile& file, std::string& shown);

private:
    bool OpenIn(const std::string& base, const std::string& overrideFolder, std::string_view name,
                CHostFile& file, std::string& shown);
    // The host path of base's override folder, when it is a folder.
    const std::optional<std::string>& FindFolder(const std::string& base, const std::string& overrideFolder);

    bool keepFolders = false;
    std::map<std::string, std::optional<std::string>> folders;  // while keepFolders
};

}  // namespace tarnwick
