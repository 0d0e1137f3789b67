// Game texts and paths on the command line: code page 932 bytes shown as
// UTF-8 (or kept raw), with the bytes that would break a tab-separated line
// or reach the terminal as a control sequence escaped.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cli {

// Backslash, tab, CR and LF as \\, \t, \r and \n; the other C0 bytes and
// DEL as \xHH.
std::string EscapeField(std::string_view text);
// EscapeField of the text, converted to UTF-8 unless raw.
std::string FieldOut(std::string_view text, bool raw);
// A stored entry name as its extracted file is named (UTF-8, bytes that
// are not code page 932 as %HH), escaped as EscapeField does.
std::string NameOut(std::string_view storedName);
// A path of the host (any bytes) escaped as EscapeField does, with bytes
// that are not UTF-8 as \xHH: one line of valid UTF-8 whatever it holds.
std::string PathOut(std::string_view path);
// A message for the terminal: as PathOut, but a backslash stays itself
// (Windows paths read as they are written), and a stored game name in it
// (code page 932 where UTF-8 fails) shows as its characters.
std::string MessageOut(std::string_view message);

}  // namespace tarnwick::cli
