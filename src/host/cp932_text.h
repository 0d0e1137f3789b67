// The game's texts (code page 932 bytes) as UTF-8, for what leaves the
// program as text (file names, spreadsheets, the command line's output) and
// for what the window shows, so that all of them read a text alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Whether a byte opens a two-byte character; the byte after it belongs to
// that character, whatever its value.
constexpr bool IsCp932LeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Bytes that are not code page 932 become U+FFFD, one per byte.
std::string Cp932ToUtf8(std::string_view bytes);

// The same for a file's name: a byte that is not code page 932 becomes
// "%HH" (its value in hexadecimal), and a "%" that would read as such an
// escape becomes "%25", so that distinct names give distinct files and the
// stored name can be told from the file's.
std::string Cp932ToFileName(std::string_view bytes);

// UTF-8 back to code page 932, the exact inverse of Cp932ToUtf8: nothing
// when the text is not valid UTF-8 or holds a character code page 932 has
// not. A character code page 932 holds twice gets the code Windows gives
// it (JIS X 0208 before NEC row 13, NEC row 13 before the IBM extensions,
// those before NEC's copy of them), so the game's own texts come back as
// they were.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

}  // namespace tarnwick
