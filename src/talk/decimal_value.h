// Numbers written as text in the game's table and the user's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

// The usual decimal conversion: leading white space, an optional sign, then
// digits up to the first other byte; no digits give 0. Out-of-range values
// stop at the 32-bit limits.
std::int32_t DecimalValue(std::string_view text);

// A text that is a whole decimal int and nothing else (an optional minus,
// digits, in range); nothing for anything more or less.
std::optional<int> WholeDecimalInt(std::string_view text);

}  // namespace tarnwick
