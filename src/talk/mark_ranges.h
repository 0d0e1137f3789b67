// The list's marks as text that outlives the run: ranges of lines named by
// talk ID and line number, so that they still fit a list refilled at the
// next start, or one from a game whose table has changed a little.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

class CTalkListModel;

// "1001:1-1001:4,1010:2": the marked lines of the whole list, shown or not,
// as runs in the order of (talk ID, line number); a range holds no line of
// the list that was unmarked. A line listed twice counts as marked when
// either row is. "" when nothing is marked.
std::string MarkRangesText(const CTalkListModel& list);

// Marks exactly the rows (shown or not) whose line lies in one of the
// ranges and clears the others. False, and the marks left as they are, when
// the text does not read as ranges.
bool ApplyMarkRanges(std::string_view text, CTalkListModel& list);

}  // namespace tarnwick
