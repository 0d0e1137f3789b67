#include "talk/mark_ranges.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>
#include <vector>

#include "talk/selection_models.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

namespace {

using LineKey_T = std::pair<std::int32_t, std::int32_t>;  // talk ID, line number

LineKey_T KeyOf(const CVeyQelTalkElm& line)
{
    return {line.talkId, line.lineNo};
}

void AppendKey(std::string& out, LineKey_T key)
{
    out += std::to_string(key.first);
    out += ':';
    out += std::to_string(key.second);
}

bool ReadNumber(std::string_view& text, std::int32_t& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

bool Take(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

bool ReadKey(std::string_view& text, LineKey_T& key)
{
    return ReadNumber(text, key.first) && Take(text, ':') && ReadNumber(text, key.second);
}

}  // namespace

std::string MarkRangesText(const CTalkListModel& list)
{
    const std::vector<bool> marks = list.Marks();
    std::vector<std::pair<LineKey_T, bool>> lines(marks.size());
    for (std::size_t i = 0; i < marks.size(); ++i)
        lines[i] = {KeyOf(*list.ListRecordAt(i)), marks[i]};
    std::sort(lines.begin(), lines.end());
    // One entry per line: marked sorts after unmarked, so the last of equal
    // keys says whether either row was marked.
    std::vector<std::pair<LineKey_T, bool>> unique;
    for (const auto& line : lines) {
        if (!unique.empty() && unique.back().first == line.first)
            unique.back().second = line.second;
        else
            unique.push_back(line);
    }
    std::string text;
    for (std::size_t i = 0; i < unique.size();) {
        if (!unique[i].second) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < unique.size() && unique[j].second)
            ++j;
        if (!text.empty())
            text += ',';
        AppendKey(text, unique[i].first);
        if (j - 1 != i) {
            text += '-';
            AppendKey(text, unique[j - 1].first);
        }
        i = j;
    }
    return text;
}

bool ApplyMarkRanges(std::string_view text, CTalkListModel& list)
{
    std::vector<std::pair<LineKey_T, LineKey_T>> ranges;
    while (!text.empty()) {
        std::pair<LineKey_T, LineKey_T> range;
        if (!ReadKey(text, range.first))
            return false;
        range.second = range.first;
        if (Take(text, '-') && !ReadKey(text, range.second))
            return false;
        if (range.second < range.first || (!text.empty() && (!Take(text, ',') || text.empty())))
            return false;
        ranges.push_back(range);
    }
    std::sort(ranges.begin(), ranges.end());
    // Ranges that overlap are merged, so that the last range starting at
    // or before a line is the only one that can hold it.
    std::vector<std::pair<LineKey_T, LineKey_T>> merged;
    for (const auto& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    std::vector<bool> marks(list.TotalRowCount());
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const LineKey_T key = KeyOf(*list.ListRecordAt(i));
        const auto after = std::upper_bound(merged.begin(), merged.end(), key,
                                            [](const LineKey_T& k, const auto& r) { return k < r.first; });
        marks[i] = after != merged.begin() && key <= std::prev(after)->second;
    }
    list.SetMarks(marks);
    return true;
}

}  // namespace tarnwick
