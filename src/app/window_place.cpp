#include "app/window_place.h"

#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

namespace {

bool Holds(const CSelectorModel& combo, int index, const std::string& name)
{
    return index >= 0 && index < combo.Count() && combo.TextAt(index) == name;
}

}  // namespace

WindowPlace_T ReadWindowPlace(const CProfileFile& profile)
{
    WindowPlace_T p;
    p.captureIndex = profile.GetProfileInt(kPlaceSection, "CaptureGroup", -1);
    p.captureName = profile.GetProfileString(kPlaceSection, "CaptureGroupName", "");
    p.itemIndex = profile.GetProfileInt(kPlaceSection, "CaptureItem", -1);
    p.itemName = profile.GetProfileString(kPlaceSection, "CaptureItemName", "");
    const std::string row = profile.GetProfileString(kPlaceSection, "TalkID", "");
    p.hasRow = !row.empty();
    p.talkId = profile.GetProfileInt(kPlaceSection, "TalkID", 0);
    p.lineNo = profile.GetProfileInt(kPlaceSection, "LineNo", 0);
    p.search = profile.GetProfileString(kPlaceSection, "Search", "");
    p.width = profile.GetProfileInt(kPlaceSection, "Width", 0);
    p.height = profile.GetProfileInt(kPlaceSection, "Height", 0);
    return p;
}

void AddWindowPlace(const WindowPlace_T& p, std::vector<ProfileChange_T>& changes)
{
    const auto add = [&](const char* key, std::string value) {
        changes.push_back({kPlaceSection, key, std::move(value)});
    };
    add("CaptureGroup", std::to_string(p.captureIndex));
    add("CaptureGroupName", p.captureName);
    add("CaptureItem", std::to_string(p.itemIndex));
    add("CaptureItemName", p.itemName);
    add("TalkID", p.hasRow ? std::to_string(p.talkId) : "");
    add("LineNo", std::to_string(p.lineNo));
    add("Search", p.search);
    add("Width", std::to_string(p.width));
    add("Height", std::to_string(p.height));
}

WindowPlace_T CurrentPlace(const CSelectorModel& captureCombo, const CSelectorModel& itemCombo,
                           const CTalkListModel& list)
{
    WindowPlace_T p;
    p.captureIndex = captureCombo.SelectedIndex();
    if (p.captureIndex >= 0)
        p.captureName = captureCombo.TextAt(p.captureIndex);
    p.itemIndex = itemCombo.SelectedIndex();
    if (p.itemIndex >= 0)
        p.itemName = itemCombo.TextAt(p.itemIndex);
    if (const int row = list.CurrentRow(); row >= 0) {
        const CVeyQelTalkElm& r = *list.RecordAt(static_cast<std::size_t>(row));
        p.hasRow = true;
        p.talkId = r.talkId;
        p.lineNo = r.lineNo;
    }
    return p;
}

void RestoreSelection(const WindowPlace_T& place, CSelectorModel& captureCombo, CSelectorModel& itemCombo,
                      CTalkListModel& list, CVeyQelTalk& talk)
{
    if (!Holds(captureCombo, place.captureIndex, place.captureName))
        return;
    if (place.captureIndex != captureCombo.SelectedIndex()) {
        captureCombo.Select(place.captureIndex);
        RefreshTalkList(captureCombo, list, itemCombo, talk);
    }
    if (!Holds(itemCombo, place.itemIndex, place.itemName))
        return;
    itemCombo.Select(place.itemIndex);
    ApplyItemChoice(itemCombo, list);
}

void RestoreRow(const WindowPlace_T& place, CTalkListModel& list)
{
    if (!place.hasRow)
        return;
    for (std::size_t i = 0; i < list.RowCount(); ++i) {
        const CVeyQelTalkElm& r = *list.RecordAt(i);
        if (r.talkId == place.talkId && r.lineNo == place.lineNo) {
            list.SetCurrentRow(static_cast<int>(i));
            return;
        }
    }
}

}  // namespace tarnwick
