// Game texts on the command line: code page 932 bytes shown as UTF-8 (or
// kept raw), with the bytes that would break a tab-separated line escaped.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cli {

// Backslash, tab, CR and LF as \\, \t, \r and \n.
std::string EscapeField(std::string_view text);
// EscapeField of the text, converted to UTF-8 unless raw.
std::string FieldOut(std::string_view text, bool raw);

}  // namespace tarnwick::cli
