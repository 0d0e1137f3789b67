// The input as a capture list file, read by the talk catalogue.
//
// A compact second reading of the line grammar here must give the same
// capture names, items and ranges, in the same order. On top of that the
// lists must hold together on their own: names are non-empty single lines,
// every item's group is empty or one of the listed groups, and no line
// gives more than one range.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "host/host_path.h"
#include "talk/veyqel_talk.h"

using tarnwick::fuzz::Check;

namespace {

const std::string& ListPath()
{
    static const std::string path = tarnwick::fuzz::ScratchFolder() + "/CaptureList.xml";
    return path;
}

struct RefItem {
    std::string captureName;
    std::string itemName;
    std::vector<std::array<std::int32_t, 3>> ranges;
};

struct RefList {
    std::vector<std::string> names;
    std::vector<RefItem> items;
};

bool HasTag(std::string_view line, std::string_view lowerTag)
{
    return line.size() >= lowerTag.size() && tarnwick::EqualsNoCase(line.substr(0, lowerTag.size()), lowerTag);
}

// The name between a tag of tagLength bytes and the first `">` of the line.
bool Name(std::string_view line, std::size_t tagLength, std::string& name)
{
    const std::size_t close = line.find("\">");
    if (close == std::string_view::npos || close <= tagLength)
        return false;
    name.assign(line.substr(tagLength, close - tagLength));
    return true;
}

// scanf's "%d,%d,%d" by strtoll: up to three numbers, a comma right after
// each but the last; numbers out of 32-bit range stop at its limits.
int Numbers(std::string_view body, std::array<std::int32_t, 3>& n)
{
    const std::string text(body);
    const char* p = text.c_str();
    int count = 0;
    for (; count < 3; ++count) {
        if (count > 0) {
            if (*p != ',')
                break;
            ++p;
        }
        char* end = nullptr;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p)
            break;
        n[static_cast<std::size_t>(count)] = static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
        p = end;
    }
    return count;
}

std::string_view Trim(std::string_view s, std::string_view spaces)
{
    while (!s.empty() && spaces.find(s.front()) != std::string_view::npos)
        s.remove_prefix(1);
    while (!s.empty() && spaces.find(s.back()) != std::string_view::npos)
        s.remove_suffix(1);
    return s;
}

RefList Reference(std::string_view text)
{
    // Lines end at LF, taking a CR right before it along; a last line
    // needs no LF but must not be empty to be a line at all.
    std::vector<std::string_view> lines;
    for (std::size_t p = 0; p < text.size();) {
        const std::size_t lf = std::min(text.find('\n', p), text.size());
        std::string_view line = text.substr(p, lf - p);
        if (lf < text.size() && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        p = lf + 1;
    }

    RefList list;
    if (lines.empty() || Trim(lines[0], std::string_view(" \t\r\n\v\f")) != "<CaptureList>")
        return list;
    std::string group;
    RefItem* open = nullptr;  // items is reserved, so this stays valid
    list.items.reserve(lines.size());
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i], " \t");
        std::string name;
        if (HasTag(line, "<range>")) {
            const std::size_t close = line.find("</Range>");
            std::array<std::int32_t, 3> n{0, 0, 0};
            if (open && close != std::string_view::npos && close > 7 && Numbers(line.substr(7, close - 7), n) >= 2)
                open->ranges.push_back(n);
        } else if (HasTag(line, "<item name=\"")) {
            if (Name(line, 12, name)) {
                list.items.push_back({group, name, {}});
                open = &list.items.back();
            }
        } else if (line == "</Item>") {
            open = nullptr;
        } else if (HasTag(line, "<capture name=\"")) {
            if (Name(line, 15, name)) {
                group = name;
                list.names.push_back(name);
            }
        }
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(ListPath().c_str(), "wb"), std::fclose);
        Check(f && std::fwrite(data, 1, size, f.get()) == size, "cannot write the capture list");
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RefList ref = Reference(text);

    tarnwick::CVeyQelTalk talk;
    Check(talk.LoadCaptureListFile(ListPath()), "an existing capture list did not open");
    Check(talk.GetCount() == 0, "talk records from a capture list");

    const std::size_t lineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    Check(talk.CaptureNameCount() == ref.names.size(), "capture name count differs from the reference");
    for (std::size_t i = 0; i < talk.CaptureNameCount(); ++i) {
        const std::string& name = talk.CaptureNameAt(i);
        Check(!name.empty() && name.find('\n') == std::string::npos, "an empty or multi-line capture name");
        Check(name == ref.names[i], "a capture name differs from the reference");
    }

    Check(talk.CaptureItemCount() == ref.items.size(), "capture item count differs from the reference");
    std::vector<std::string> names;
    for (std::size_t i = 0; i < talk.CaptureNameCount(); ++i)
        names.push_back(talk.CaptureNameAt(i));
    std::size_t rangeCount = 0;
    for (std::size_t i = 0; i < talk.CaptureItemCount(); ++i) {
        const tarnwick::CCaptureElm& item = *talk.CaptureItemAt(i);
        const RefItem& want = ref.items[i];
        Check(!item.itemName.empty() && item.itemName.find('\n') == std::string::npos,
              "an empty or multi-line item name");
        Check(item.captureName.empty() ||
                  std::find(names.begin(), names.end(), item.captureName) != names.end(),
              "an item under a group that was never listed");
        Check(item.captureName == want.captureName, "an item's group differs from the reference");
        Check(item.itemName == want.itemName, "an item name differs from the reference");
        Check(item.ranges.size() == want.ranges.size(), "an item's range count differs from the reference");
        for (std::size_t k = 0; k < item.ranges.size(); ++k) {
            const tarnwick::TalkRange_T& r = item.ranges[k];
            Check(r.firstId == want.ranges[k][0] && r.lastId == want.ranges[k][1] && r.bgmNo == want.ranges[k][2],
                  "a range differs from the reference");
        }
        rangeCount += item.ranges.size();
    }
    Check(talk.CaptureNameCount() + talk.CaptureItemCount() + rangeCount < lineCount,
          "more names, items and ranges than lines after the first");
    return 0;
}
