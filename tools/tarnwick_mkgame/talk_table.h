// The texts of the demo game: the talk table "another_aa_talk.csv" with its
// neighbours in the table archive, and the sample capture list. Built in
// UTF-8, stored in code page 932 as the game does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "demo_plan.h"

namespace tarnwick::demo {

// UTF-8 to code page 932 through iconv; nothing when a character has no
// code page 932 form (or iconv lacks the code page).
std::optional<std::string> ToCp932(std::string_view utf8);

// The talk table in UTF-8: a heading row, the talk lines with the plan's
// noise rows among them, 11 columns per row, CR LF after every row.
std::string TalkTableText(const DemoPlan_T& plan);

// A second table beside the talk table: the cast with their face numbers.
std::string CastTableText(const DemoPlan_T& plan);

// CaptureList.xml in UTF-8 with CR LF line ends: the capture groups, their
// items and ranges.
std::string CaptureListText(const DemoPlan_T& plan);

}  // namespace tarnwick::demo
