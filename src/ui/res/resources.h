// The program's window layouts and texts: control ids, positions and sizes
// in dialog units, and the texts the windows show.
#pragma once

namespace tarnwick {

enum class ControlKind_T { kStatic, kFrame, kEdit, kCombo, kSlider, kButton, kList };

struct DialogControl_T {
    int id;  // -1 for plain labels
    ControlKind_T kind;
    const char* text;  // UTF-8
    int x, y, w, h;    // dialog units
};

// The main window's layout, in tab order.
inline constexpr int kIdStart = 1001;
inline constexpr int kIdWaitCaption = 1002;
inline constexpr int kIdFaceFrame = 1003;
inline constexpr int kIdCastCaption = 1004;
inline constexpr int kIdTalkList = 1005;
inline constexpr int kIdCaptureCombo = 1006;
inline constexpr int kIdVolumeSlider = 1007;
inline constexpr int kIdTalkTextBox = 1008;
inline constexpr int kIdPlayModeCombo = 1009;
inline constexpr int kIdModeCaption = 1010;
inline constexpr int kIdItemCombo = 1011;

inline constexpr DialogControl_T kMainDialogControls[] = {
    {kIdCastCaption, ControlKind_T::kStatic, "（キャスト）", 7, 7, 158, 11},
    {kIdModeCaption, ControlKind_T::kStatic, "（再生モード）", 169, 7, 46, 11},
    {-1, ControlKind_T::kStatic, "ウェイト", 221, 8, 21, 8},
    {kIdWaitCaption, ControlKind_T::kStatic, "", 261, 7, 23, 11},
    {-1, ControlKind_T::kStatic, "x0.1s", 287, 8, 16, 8},
    {kIdFaceFrame, ControlKind_T::kFrame, "", 7, 22, 44, 48},
    {kIdTalkTextBox, ControlKind_T::kEdit, "", 54, 22, 161, 48},
    {-1, ControlKind_T::kStatic, "再生モード", 221, 25, 32, 8},
    {kIdPlayModeCombo, ControlKind_T::kCombo, "", 261, 23, 52, 30},
    {-1, ControlKind_T::kStatic, "BGM Volume", 221, 41, 40, 8},
    {kIdVolumeSlider, ControlKind_T::kSlider, "", 219, 49, 87, 19},
    {kIdStart, ControlKind_T::kButton, "開始", 7, 79, 50, 14},
    {kIdCaptureCombo, ControlKind_T::kCombo, "", 7, 97, 126, 30},
    {kIdItemCombo, ControlKind_T::kCombo, "", 140, 97, 126, 30},
    {kIdTalkList, ControlKind_T::kList, "", 7, 110, 306, 138},
};

// The player's small buttons beside Start: previous, pause, next, replay,
// each kPlayerButtonStep units right of the one before.
inline constexpr DialogControl_T kPlayerButtonLayout = {-1, ControlKind_T::kButton, "", 61, 79, 14, 14};
inline constexpr int kPlayerButtonStep = 15;
inline constexpr int kPlayerButtonCount = 4;

// The search field on the Start button's row, over the row's free width,
// and the count of rows it shows at the row's right end.
inline constexpr DialogControl_T kSearchFieldLayout = {-1, ControlKind_T::kEdit, "", 122, 79, 137, 14};
inline constexpr DialogControl_T kSearchCountLayout = {-1, ControlKind_T::kStatic, "", 261, 79, 52, 14};
inline constexpr const char* kSearchPlaceholder = "検索 (Ctrl+F)";

// The main window's client area, 7 units of margin around the controls.
inline constexpr int kMainDialogWidth = 320;
inline constexpr int kMainDialogHeight = 255;
inline constexpr const char* kMainDialogCaption = "Tarnwick";

// The About box's layout.
inline constexpr int kIdAboutIcon = 100;
inline constexpr int kIdAboutName = 101;
inline constexpr int kIdAboutRights = 102;
inline constexpr int kIdOk = 1;
inline constexpr DialogControl_T kAboutDialogControls[] = {
    {kIdAboutIcon, ControlKind_T::kFrame, "", 14, 14, 21, 20},
    {kIdAboutName, ControlKind_T::kStatic, "Tarnwick, Version %1", 42, 14, 150, 8},
    {kIdAboutRights, ControlKind_T::kStatic,
     "Copyright (C) 2026 The Tarnwick developers.\nReleased under the MIT license; no warranty.", 42, 26, 150, 20},
    {kIdOk, ControlKind_T::kButton, "OK", 142, 50, 50, 14},
};
inline constexpr int kAboutDialogWidth = 200;
inline constexpr int kAboutDialogHeight = 71;
inline constexpr const char* kAboutDialogCaption = "バージョン情報 Tarnwick";

// The window menu's entries.
inline constexpr const char* kExportMarkedMenu = "Export marked lines…";
inline constexpr const char* kChooseGameMenu = "Choose game folder…";
inline constexpr const char* kStringAboutMenu = "バージョン情報 Tarnwick(&A)...";

// The Start button's texts: before the first walk, while walking, after.
inline constexpr const char* kStartText = "開始";
inline constexpr const char* kStopText = "停止";
inline constexpr const char* kPlayAgainText = "再生";

// The point size of the windows' font, and the font itself where installed.
inline constexpr int kDialogFontPoints = 12;
inline constexpr const char* kDialogFontFamily = "IPAPGothic";  // proportional, as Japanese UI fonts are

}  // namespace tarnwick
