// Small but complete game folders for tests: all 108 archives, each with a
// few entries, archive 1 holding the talk table unless left out.
#pragma once

#include <set>
#include <string>

namespace tarnwick::test {

struct TestGameOptions_T {
    std::set<int> missingArchives;  // archives whose .hed is not written
    bool withTalkTable = true;
    std::string talkTable = "ID,Face\r\n1,2\r\n";
    std::string marker = "game";  // content of entry "marker.txt" in archive 0
};

void WriteTestGame(const std::string& folder, const TestGameOptions_T& options = {});

}  // namespace tarnwick::test
