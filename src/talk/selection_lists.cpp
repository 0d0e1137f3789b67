#include "talk/selection_lists.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <queue>
#include <utility>

namespace tarnwick {

namespace {

// A range of the chosen group with what decides between ranges covering
// the same talk: the later item wins, and within an item the earlier range.
struct RankedRange_T {
    TalkRange_T range;
    std::size_t item;
    std::size_t index;
    bool Beats(const RankedRange_T& other) const
    {
        return item != other.item ? item > other.item : index < other.index;
    }
};

}  // namespace

std::size_t CVeyQelTalk::SelectTalks(const CaptureChoice_T& choice,
                                     std::vector<CVeyQelTalkElm*>& out)
{
    out.clear();
    if (!choice) {
        for (CVeyQelTalkElm& record : records)
            out.push_back(&record);
        return out.size();
    }

    // One sweep over the talks in ID order and the group's ranges in order
    // of their first IDs, so that a group of a million ranges costs no more
    // than sorting them.
    std::vector<RankedRange_T> ranges;
    for (std::size_t i = 0; i < captureItems.size(); ++i) {
        if (captureItems[i].captureName != *choice)
            continue;
        const std::vector<TalkRange_T>& itemRanges = captureItems[i].ranges;
        for (std::size_t j = 0; j < itemRanges.size(); ++j) {
            if (itemRanges[j].firstId <= itemRanges[j].lastId)
                ranges.push_back({itemRanges[j], i, j});
        }
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const RankedRange_T& a, const RankedRange_T& b) { return a.range.firstId < b.range.firstId; });
    std::vector<std::size_t> byId(records.size());
    for (std::size_t k = 0; k < byId.size(); ++k)
        byId[k] = k;
    std::stable_sort(byId.begin(), byId.end(),
                     [this](std::size_t a, std::size_t b) { return records[a].talkId < records[b].talkId; });

    // The covering ranges so far, the winner on top; ranges that ended are
    // dropped when they come to the top.
    const auto loses = [](const RankedRange_T& a, const RankedRange_T& b) { return b.Beats(a); };
    std::priority_queue<RankedRange_T, std::vector<RankedRange_T>, decltype(loses)> open(loses);
    std::vector<bool> matched(records.size(), false);
    std::size_t next = 0;
    for (const std::size_t k : byId) {
        CVeyQelTalkElm& record = records[k];
        while (next < ranges.size() && ranges[next].range.firstId <= record.talkId)
            open.push(ranges[next++]);
        while (!open.empty() && open.top().range.lastId < record.talkId)
            open.pop();
        if (open.empty())
            continue;
        // Nothing resets bgmNo of a talk no range covers.
        record.bgmNo = open.top().range.bgmNo;
        matched[k] = true;
    }
    for (std::size_t k = 0; k < records.size(); ++k) {
        if (matched[k])
            out.push_back(&records[k]);
    }
    return out.size();
}

CaptureChoice_T CurrentCaptureChoice(const CSelectorModel& captureCombo)
{
    const int index = captureCombo.SelectedIndex();
    if (index == 0)
        return std::nullopt;
    // With no selection the text is empty, as a selector's would be.
    return index > 0 ? captureCombo.TextAt(index) : std::string();
}

void FillCaptureCombo(CSelectorModel& captureCombo, const CVeyQelTalk& talk)
{
    captureCombo.Clear();
    captureCombo.Reserve(talk.CaptureNameCount() + 1);
    captureCombo.Add(kAllTalksText, nullptr, SelectorEntry_T::kAllTalks);
    for (std::size_t i = 0; i < talk.CaptureNameCount(); ++i)
        captureCombo.Add(talk.CaptureNameAt(i));
    captureCombo.Select(0);
}

void FillItemCombo(CSelectorModel& itemCombo, const CVeyQelTalk& talk, const std::string& captureName)
{
    itemCombo.Clear();
    std::size_t count = 2;
    for (std::size_t i = 0; i < talk.CaptureItemCount(); ++i)
        count += talk.CaptureItemAt(i)->captureName == captureName;
    itemCombo.Reserve(count);
    itemCombo.Add(kCheckAllText, nullptr, SelectorEntry_T::kMarkAll);
    itemCombo.Add(kClearAllText, nullptr, SelectorEntry_T::kUnmarkAll);
    for (std::size_t i = 0; i < talk.CaptureItemCount(); ++i) {
        CCaptureElm* item = talk.CaptureItemAt(i);
        if (item->captureName == captureName)
            itemCombo.Add(item->itemName, item);
    }
    itemCombo.Select(0);
}

void RefreshTalkList(const CSelectorModel& captureCombo, CTalkListModel& talkList,
                     CSelectorModel& itemCombo, CVeyQelTalk& talk)
{
    const CaptureChoice_T choice = CurrentCaptureChoice(captureCombo);
    std::vector<CVeyQelTalkElm*> selected;
    const std::size_t n = talk.SelectTalks(choice, selected);
    talkList.BeginFill(n);
    for (CVeyQelTalkElm* record : selected)
        talkList.AppendRow(record);
    talkList.EndFill();
    FillItemCombo(itemCombo, talk, choice.value_or(std::string()));
    ApplyItemChoice(itemCombo, talkList);
}

void ApplyItemChoice(const CSelectorModel& itemCombo, CTalkListModel& talkList, bool shownOnly)
{
    const int s = itemCombo.SelectedIndex();
    if (s < 0)
        return;
    if (s == 0 || s == 1) {
        talkList.UpdateChecks([s](const CVeyQelTalkElm*) { return s == 0 ? 1 : 0; }, shownOnly);
        return;
    }
    const CCaptureElm* item = itemCombo.DataAt(s);
    if (!item || item->ranges.empty())
        return;
    // The first range clears the marks outside it and every range marks
    // what it covers: in the end a row is marked when any range covers it.
    // Merged and searched, so that an item of a million ranges is quick.
    std::vector<std::pair<std::int32_t, std::int32_t>> covered;
    for (const TalkRange_T& r : item->ranges) {
        if (r.firstId <= r.lastId)
            covered.emplace_back(r.firstId, r.lastId);
    }
    std::sort(covered.begin(), covered.end());
    std::size_t merged = 0;
    for (const auto& r : covered) {
        if (merged > 0 && std::int64_t{r.first} <= std::int64_t{covered[merged - 1].second} + 1)
            covered[merged - 1].second = std::max(covered[merged - 1].second, r.second);
        else
            covered[merged++] = r;
    }
    covered.resize(merged);
    talkList.UpdateChecks([&covered](const CVeyQelTalkElm* record) {
        const auto after = std::upper_bound(covered.begin(), covered.end(), record->talkId,
                                            [](std::int32_t id, const auto& r) { return id < r.first; });
        return after != covered.begin() && record->talkId <= std::prev(after)->second ? 1 : 0;
    }, shownOnly);
}

void CheckIdRange(CTalkListModel& talkList, std::int32_t firstId, std::int32_t lastId, bool clearOthers)
{
    talkList.UpdateChecks([&](const CVeyQelTalkElm* record) {
        if (firstId <= record->talkId && record->talkId <= lastId)
            return 1;
        return clearOthers ? 0 : -1;
    });
}

}  // namespace tarnwick
