// Where the user was when the window closed: the capture group and item,
// the selected line, the search text and the window's size. Kept in a
// settings section of its own, so the game's keys stay as they are, and
// restored only where it still fits the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/profile_file.h"
#include "talk/selection_models.h"

namespace tarnwick {

class CVeyQelTalk;

inline constexpr const char* kPlaceSection = "Tarnwick";

struct WindowPlace_T {
    int captureIndex = -1;    // in the group selector
    std::string captureName;  // its text, code page 932, to tell a changed list
    int itemIndex = -1;       // in the item selector
    std::string itemName;
    bool hasRow = false;
    std::int32_t talkId = 0;
    std::int32_t lineNo = 0;
    std::string search;  // UTF-8
    int width = 0;       // logical pixels; 0 for none
    int height = 0;
};

WindowPlace_T ReadWindowPlace(const CProfileFile& profile);
// The place's keys, for the save that stores it with the other settings.
void AddWindowPlace(const WindowPlace_T& place, std::vector<ProfileChange_T>& changes);

// The selectors' and the list's part of the place as they stand now.
WindowPlace_T CurrentPlace(const CSelectorModel& captureCombo, const CSelectorModel& itemCombo,
                           const CTalkListModel& list);

// Chooses the stored group and then the stored item, each only when the
// selector still holds it at its place under the same name; the list and
// its marks follow as if the user had chosen them.
void RestoreSelection(const WindowPlace_T& place, CSelectorModel& captureCombo, CSelectorModel& itemCombo,
                      CTalkListModel& list, CVeyQelTalk& talk);
// Selects the stored line when a shown row holds it.
void RestoreRow(const WindowPlace_T& place, CTalkListModel& list);

}  // namespace tarnwick
