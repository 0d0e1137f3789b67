#include "app/window_place.h"

#include <algorithm>
#include <optional>

#include "host/cp932_text.h"
#include "app/talk_selection.h"
#include "talk/decimal_value.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

namespace {

bool Holds(const CSelectorModel& combo, int index, const std::string& name)
{
    return index >= 0 && index < combo.Count() && combo.TextAt(index) == name;
}

// A whole value that is a decimal int, nothing else.
std::optional<int> StrictInt(const CProfileFile& profile, const char* key)
{
    return WholeDecimalInt(profile.GetProfileString(kPlaceSection, key, ""));
}

// A selector's index and name as stored; the index is dropped when the
// name cannot be a selector's text, so that nothing is restored.
void ReadName(const CProfileFile& profile, bool utf8, const char* indexKey, const char* nameKey, int& index,
              std::string& name)
{
    index = profile.GetProfileInt(kPlaceSection, indexKey, -1);
    name = profile.GetProfileString(kPlaceSection, nameKey, "");
    if (!utf8)
        return;
    if (std::optional<std::string> bytes = Utf8ToCp932(name))
        name = std::move(*bytes);
    else {
        index = -1;
        name.clear();
    }
}

// The overlap of [a, a + aLength) and [b, b + bLength), in 64 bits so that
// no sum of ints overflows.
std::int64_t Overlap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength)
{
    return std::min(a + aLength, b + bLength) - std::max(a, b);
}

// The group (or collection) and the item, before any filter, so that the
// item marks the rows of the whole list as it did.
void RestoreChoices(const WindowPlace_T& place, CTalkSelection& selection)
{
    const CSelectorModel& captureCombo = selection.CaptureChoices();
    if (!place.collection.empty()) {
        const int entry = selection.CollectionEntry(place.collection);
        if (entry < 0)
            return;
        selection.ChooseCapture(entry);
    } else {
        if (!Holds(captureCombo, place.captureIndex, place.captureName) ||
            captureCombo.CollectionAt(place.captureIndex) >= 0)
            return;
        if (place.captureIndex != captureCombo.SelectedIndex())
            selection.ChooseCapture(place.captureIndex);
    }
    if (Holds(selection.ItemChoices(), place.itemIndex, place.itemName))
        selection.ChooseItem(place.itemIndex);
}

}  // namespace

WindowPlace_T ReadWindowPlace(const CProfileFile& profile)
{
    WindowPlace_T p;
    const bool utf8 = profile.GetProfileString(kPlaceSection, kPlaceEncodingKey, "") == kPlaceEncoding;
    ReadName(profile, utf8, "CaptureGroup", "CaptureGroupName", p.captureIndex, p.captureName);
    ReadName(profile, utf8, "CaptureItem", "CaptureItemName", p.itemIndex, p.itemName);
    const std::string row = profile.GetProfileString(kPlaceSection, "TalkID", "");
    p.hasRow = !row.empty();
    p.talkId = profile.GetProfileInt(kPlaceSection, "TalkID", 0);
    p.lineNo = profile.GetProfileInt(kPlaceSection, "LineNo", 0);
    p.search = profile.GetProfileString(kPlaceSection, "Search", "");
    // Written only by the UTF-8 form of the section.
    if (utf8) {
        if (const std::string cast = profile.GetProfileString(kPlaceSection, "Speaker", ""); !cast.empty())
            p.speaker = Utf8ToCp932(cast);
        p.collection = profile.GetProfileString(kPlaceSection, "Collection", "");
    }
    p.speakersByName = profile.GetProfileString(kPlaceSection, "SpeakerOrder", "") == "name";
    p.width = profile.GetProfileInt(kPlaceSection, "Width", 0);
    p.height = profile.GetProfileInt(kPlaceSection, "Height", 0);
    const std::optional<int> x = StrictInt(profile, "X");
    const std::optional<int> y = StrictInt(profile, "Y");
    p.hasPosition = x && y;
    if (p.hasPosition) {
        p.x = *x;
        p.y = *y;
    }
    return p;
}

void AddWindowPlace(const WindowPlace_T& p, std::vector<ProfileChange_T>& changes)
{
    const auto add = [&](const char* key, std::string value) {
        changes.push_back({kPlaceSection, key, std::move(value)});
    };
    add(kPlaceEncodingKey, kPlaceEncoding);
    add("CaptureGroup", std::to_string(p.captureIndex));
    add("CaptureGroupName", Cp932ToUtf8(p.captureName));
    add("CaptureItem", std::to_string(p.itemIndex));
    add("CaptureItemName", Cp932ToUtf8(p.itemName));
    add("TalkID", p.hasRow ? std::to_string(p.talkId) : "");
    add("LineNo", std::to_string(p.lineNo));
    add("Search", p.search);
    add("Speaker", p.speaker ? Cp932ToUtf8(*p.speaker) : std::string());
    add("SpeakerOrder", p.speakersByName ? "name" : "appearance");
    add("Collection", p.collection);
    add("Width", std::to_string(p.width));
    add("Height", std::to_string(p.height));
    if (p.hasPosition) {
        add("X", std::to_string(p.x));
        add("Y", std::to_string(p.y));
    }
}

bool FitsOnScreens(int x, int y, int width, int height, std::span<const ScreenArea_T> screens)
{
    if (width <= 0 || height <= 0)
        return false;
    const int stripHeight = std::min(height, kTitleStripHeight);
    // A window smaller than the grip needs only to be wholly on the screen.
    const int needWidth = std::min(width, kGrabWidth);
    const int needHeight = std::min(stripHeight, kGrabHeight);
    return std::any_of(screens.begin(), screens.end(), [&](const ScreenArea_T& s) {
        return s.width > 0 && s.height > 0 && Overlap(x, width, s.x, s.width) >= needWidth &&
               Overlap(y, stripHeight, s.y, s.height) >= needHeight;
    });
}

WindowSize_T SizeToStore(WindowSize_T stored, WindowSize_T opened, WindowSize_T now)
{
    return now == opened ? stored : now;
}

WindowPlace_T CurrentPlace(const CTalkSelection& selection)
{
    const CSelectorModel& captureCombo = selection.CaptureChoices();
    const CSelectorModel& itemCombo = selection.ItemChoices();
    const CTalkListModel& list = selection.Rows();
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
    p.search = selection.SearchText();
    p.speaker = selection.Speaker();
    p.collection = selection.ChosenCollection().value_or(std::string());
    if (!p.collection.empty()) {
        // Collections come and go: the group's place means nothing then.
        p.captureIndex = -1;
        p.captureName.clear();
    }
    return p;
}

void RestoreSelection(const WindowPlace_T& place, CTalkSelection& selection)
{
    RestoreChoices(place, selection);
    selection.SetSearch(place.search);
    if (!place.speaker)
        return;
    const std::vector<Speaker_T> speakers = selection.Speakers(SpeakerOrder_T::kFirstAppearance);
    if (std::any_of(speakers.begin(), speakers.end(), [&](const Speaker_T& s) { return s.cast == *place.speaker; }))
        selection.ChooseSpeaker(place.speaker);
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
