// A collection: a named list of talk lines that the user makes, kept across
// capture groups, searches and runs. Lines are named by talk ID and line
// number, so that a collection still fits a game whose table changed a
// little; a line the game no longer has is kept, only not listed.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct TalkLineKey_T {
    std::int32_t talkId = 0;
    std::int32_t lineNo = 0;
    friend auto operator<=>(const TalkLineKey_T&, const TalkLineKey_T&) = default;
};

struct LineCollection_T {
    std::string name;                  // UTF-8, the user's own text
    std::vector<TalkLineKey_T> lines;  // in the order added, each once
    bool operator==(const LineCollection_T&) const = default;
};

// The file of a collection: UTF-8, its name on the first line, then one
// "talkId:lineNo" per line, each line ending in "\n".
std::string CollectionFileText(const LineCollection_T& collection);

// Reads a collection file. False, with why saying which line is wrong, when
// it is not UTF-8, has no name or holds a line that is not "talkId:lineNo"
// (whole decimal numbers that fit 32 bits). Blank lines and "\r" before a
// line's end are allowed, and so are a byte order mark at the start and a
// last line without its "\n"; a line named twice is kept once, where it
// came first. On false, out is left as it was.
bool ParseCollectionFile(std::string_view bytes, LineCollection_T& out, std::string& why);

// Whether name can be a collection's: not empty, not only spaces, valid
// UTF-8, no line break or other control character, no U+FEFF (a byte order
// mark, which a reader of the file would skip), at most
// kMaxCollectionNameBytes bytes.
inline constexpr std::size_t kMaxCollectionNameBytes = 200;
bool IsCollectionName(std::string_view name);

}  // namespace tarnwick
