// Which talk lines the window lists and marks: the capture group selector
// filters the list (and gives the lines their music numbers), the capture
// item selector sets the check marks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "talk/selection_models.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

// The program's own texts, in code page 932 like the game's.
inline constexpr const char* kAllTalksText = "(\x82\xb7\x82\xd7\x82\xc4)";                   // (すべて)
inline constexpr const char* kCheckAllText = "(\x82\xb7\x82\xd7\x82\xc4\x91\x49\x91\xf0)";   // (すべて選択)
inline constexpr const char* kClearAllText = "(\x82\xb7\x82\xd7\x82\xc4\x89\xf0\x8f\x9c)";   // (すべて解除)

// Nothing for all talks, else the capture group's name as stored.
using CaptureChoice_T = std::optional<std::string>;

// The capture choice the group selector stands at.
CaptureChoice_T CurrentCaptureChoice(const CSelectorModel& captureCombo);

void FillCaptureCombo(CSelectorModel& captureCombo, const CVeyQelTalk& talk);
void FillItemCombo(CSelectorModel& itemCombo, const CVeyQelTalk& talk, const std::string& captureName);
void RefreshTalkList(const CSelectorModel& captureCombo, CTalkListModel& talkList,
                     CSelectorModel& itemCombo, CVeyQelTalk& talk);
// With shownOnly the marks of the rows a filter hides stay as they are.
void ApplyItemChoice(const CSelectorModel& itemCombo, CTalkListModel& talkList, bool shownOnly = false);
void CheckIdRange(CTalkListModel& talkList, std::int32_t firstId, std::int32_t lastId, bool clearOthers);

}  // namespace tarnwick
