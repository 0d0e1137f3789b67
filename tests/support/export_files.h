// What an export folder holds and what its lines.csv names, as the next
// export reads it: "voice/NAME" and "face/NAME".
#pragma once

#include <set>
#include <string>

namespace tarnwick::test {

std::set<std::string> PresentExportFiles(const std::string& folder);
std::set<std::string> ListedExportFiles(const std::string& folder);

}  // namespace tarnwick::test
