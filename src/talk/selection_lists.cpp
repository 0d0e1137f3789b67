#include "talk/selection_lists.h"

namespace tarnwick {

std::size_t CVeyQelTalk::SelectTalks(const CaptureChoice_T& choice,
                                     std::vector<CVeyQelTalkElm*>& out)
{
    out.clear();
    for (const std::unique_ptr<CVeyQelTalkElm>& record : records) {
        if (!choice) {
            out.push_back(record.get());
            continue;
        }
        // Within an item the first covering range decides; over the items
        // the last covering one does. Nothing resets bgmNo otherwise.
        bool matched = false;
        for (const std::unique_ptr<CCaptureElm>& item : captureItems) {
            if (item->captureName != *choice)
                continue;
            for (const TalkRange_T& range : item->ranges) {
                if (range.firstId <= record->talkId && record->talkId <= range.lastId) {
                    record->bgmNo = range.bgmNo;
                    matched = true;
                    break;
                }
            }
        }
        if (matched)
            out.push_back(record.get());
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
    captureCombo.Add(kAllTalksText);
    for (std::size_t i = 0; i < talk.CaptureNameCount(); ++i)
        captureCombo.Add(talk.CaptureNameAt(i));
    captureCombo.Select(0);
}

void FillItemCombo(CSelectorModel& itemCombo, const CVeyQelTalk& talk, const std::string& captureName)
{
    itemCombo.Clear();
    itemCombo.Add(kCheckAllText);
    itemCombo.Add(kClearAllText);
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

void ApplyItemChoice(const CSelectorModel& itemCombo, CTalkListModel& talkList)
{
    const int s = itemCombo.SelectedIndex();
    if (s < 0)
        return;
    if (s == 0 || s == 1) {
        talkList.SetAllChecked(s == 0);
        return;
    }
    const CCaptureElm* item = itemCombo.DataAt(s);
    if (!item)
        return;
    for (std::size_t j = 0; j < item->ranges.size(); ++j)
        CheckIdRange(talkList, item->ranges[j].firstId, item->ranges[j].lastId, j == 0);
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
