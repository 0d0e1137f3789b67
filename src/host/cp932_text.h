// The game's texts (code page 932 bytes) as UTF-8, for what leaves the
// program as text: file names, spreadsheets, the command line's output.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Bytes that are not code page 932 become U+FFFD, one per byte.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace tarnwick
