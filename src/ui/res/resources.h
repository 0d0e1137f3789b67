// The program's window layouts and texts: control ids, positions and sizes
// in dialog units, and the texts the windows show (English, translated as
// they are shown, in the context of the window they belong to).
#pragma once

#include <QtGlobal>

namespace tarnwick {

enum class ControlKind_T { kStatic, kFrame, kEdit, kCombo, kSlider, kButton, kList };

struct DialogControl_T {
    int id;  // -1 for plain labels
    ControlKind_T kind;
    const char* text;  // English, to be translated
    int x, y, w, h;    // dialog units
};

// The main window's controls are laid out by Qt's layouts; these are the
// dialog-unit sizes they start from. The player's small buttons beside
// Start are square.
inline constexpr int kPlayerButtonSide = 14;
// How far Shift+Left and Shift+Right move within a clip, and how often the
// position bar follows it.
inline constexpr int kSeekStepMs = 1000;
inline constexpr int kPositionRefreshMs = 100;

// The main window's default client area, 7 units of margin around the
// controls.
inline constexpr int kMainDialogWidth = 320;
inline constexpr int kMainDialogHeight = 255;
inline constexpr const char* kMainDialogCaption = "Tarnwick";

// The About box's layout.
inline constexpr int kIdAboutIcon = 100;
inline constexpr int kIdAboutName = 101;
inline constexpr int kIdAboutRights = 102;
inline constexpr int kIdAboutLanguage = 103;
inline constexpr int kIdOk = 1;
inline constexpr DialogControl_T kAboutDialogControls[] = {
    {kIdAboutIcon, ControlKind_T::kFrame, "", 14, 14, 21, 20},
    {kIdAboutName, ControlKind_T::kStatic, QT_TRANSLATE_NOOP("tarnwick::CAboutDlg", "Tarnwick, Version %1"), 42, 14,
     150, 8},
    {kIdAboutRights, ControlKind_T::kStatic,
     QT_TRANSLATE_NOOP("tarnwick::CAboutDlg",
                       "Copyright (C) 2026 The Tarnwick developers.\nReleased under the MIT license; no warranty."),
     42, 26, 150, 20},
    // Says the language of the translation in use, so each translation
    // names its own language here.
    {kIdAboutLanguage, ControlKind_T::kStatic, QT_TRANSLATE_NOOP("tarnwick::CAboutDlg", "Language: English"), 42, 52,
     95, 8},
    {kIdOk, ControlKind_T::kButton, QT_TRANSLATE_NOOP("tarnwick::CAboutDlg", "OK"), 142, 50, 50, 14},
};
inline constexpr int kAboutDialogWidth = 200;
inline constexpr int kAboutDialogHeight = 71;

// The point size of the windows' font, and the font itself where installed.
inline constexpr int kDialogFontPoints = 12;
inline constexpr const char* kDialogFontFamily = "IPAPGothic";  // proportional, as Japanese UI fonts are

}  // namespace tarnwick
