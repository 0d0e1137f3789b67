// The user's capture list: named capture groups of items, each item a set
// of talk ID ranges with their music numbers. Read line by line with a
// fixed line grammar (it only looks like XML), never written.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One capture item: talk ranges under a name, listed under a capture group.
class CCaptureElm {
public:
    struct TalkRange_T {
        std::int32_t firstId;
        std::int32_t lastId;
        std::int32_t bgmNo;  // 0 for no music
    };

    std::string captureName;  // empty for items before the first group
    std::string itemName;
    std::vector<TalkRange_T> ranges;
};

using TalkRange_T = CCaptureElm::TalkRange_T;

inline constexpr const char* kCaptureListName = "CaptureList.xml";
// A larger capture list, or anything other than a regular file, is not read.
inline constexpr std::uint64_t kMaxCaptureListBytes = 64u << 20;

// Appends the groups and items of the capture list at path to names and
// items. False when the file cannot be opened, is no regular file or is
// larger than any capture list; a read error keeps what was read before it.
bool ReadCaptureList(const std::string& path, std::deque<CCaptureElm>& items, std::vector<std::string>& names);
// The same over a capture list already in memory (one read from a pipe);
// no more than the largest capture list is taken from it.
void ParseCaptureListText(std::string_view text, std::deque<CCaptureElm>& items, std::vector<std::string>& names);

}  // namespace tarnwick
