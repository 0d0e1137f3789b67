// Where the user was when the window closed: the capture group and item,
// the selected line, the search text and the window's size and position.
// Kept in a settings section of its own, so the game's keys stay as they
// are, and restored only where it still fits the list and the screens.
// That section is UTF-8 throughout; the game's own section is left as the
// game writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/profile_file.h"
#include "talk/selection_models.h"

namespace tarnwick {

class CTalkSelection;
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
    // The speaker chosen, code page 932 as the game has it; nothing for all.
    std::optional<std::string> speaker;
    bool speakersByName = false;
    // The collection the list showed (UTF-8), chosen by name in place of
    // the group; empty when a group was shown.
    std::string collection;
    int width = 0;       // logical pixels; 0 for none
    int height = 0;
    bool hasPosition = false;  // the frame's top left corner, logical pixels
    int x = 0;
    int y = 0;
};

// The names are stored as UTF-8 beside the key kPlaceEncodingKey; a
// section without it is an older one whose names are code page 932 as they
// stand. A stored name code page 932 cannot hold restores nothing.
inline constexpr const char* kPlaceEncodingKey = "Encoding";
inline constexpr const char* kPlaceEncoding = "UTF-8";

WindowPlace_T ReadWindowPlace(const CProfileFile& profile);
// The place's keys, for the save that stores it with the other settings;
// the position's only when it is known.
void AddWindowPlace(const WindowPlace_T& place, std::vector<ProfileChange_T>& changes);

// A screen's available area (without panels and docks), logical pixels.
struct ScreenArea_T {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Whether a window put with its frame's top left corner at (x, y) can still
// be grabbed there: the strip along its top where the title bar lies
// (kTitleStripHeight high, its full width) must share at least
// kGrabWidth x kGrabHeight pixels with one screen's available area. Sizes
// of zero or less never fit.
inline constexpr int kTitleStripHeight = 24;
inline constexpr int kGrabWidth = 48;
inline constexpr int kGrabHeight = 16;
bool FitsOnScreens(int x, int y, int width, int height, std::span<const ScreenArea_T> screens);

struct WindowSize_T {
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowSize_T&, const WindowSize_T&) = default;
};

// The size to store when the window closes: the stored one (read at the
// start) while the window still has the size it opened with, since a
// screen may have shrunk it below the user's choice; else its size now.
WindowSize_T SizeToStore(WindowSize_T stored, WindowSize_T opened, WindowSize_T now);

// The selection's part of the place as it stands now: the choices, the
// search and the speaker.
WindowPlace_T CurrentPlace(const CTalkSelection& selection);

// Chooses the stored collection by name, or else the stored group, and then
// the stored item, each only when the selector still holds it at its place
// under the same name; the list and its marks follow as if the user had
// chosen them. Then the search, and the speaker when the list names it.
void RestoreSelection(const WindowPlace_T& place, CTalkSelection& selection);
// Selects the stored line when a shown row holds it.
void RestoreRow(const WindowPlace_T& place, CTalkListModel& list);

}  // namespace tarnwick
