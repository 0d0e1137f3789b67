// Finding talk lines by a few words, for people who type Japanese: width,
// letter case and kana kind do not matter. The query and each field go
// through NFKC, case folding and katakana-to-hiragana folding; a line
// matches when every space-separated term occurs within one of its fields
// (the talk ID as its decimal number, the cast, the text with "$R" read as
// a space).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick {

class CVeyQelTalkElm;

// NFKC, then case folding, then katakana as hiragana; invalid UTF-8 bytes
// become U+FFFD.
std::u16string FoldForSearch(std::string_view utf8);

class CLineSearch {
public:
    // The query as typed, UTF-8; empty, or only spaces, matches every line.
    void SetQuery(std::string_view utf8Query);
    bool IsEmpty() const { return terms.empty(); }

    // Folds the line's fields on its first match and keeps them: start-up
    // does not pay for searching, later keystrokes only compare.
    bool Matches(const CVeyQelTalkElm& line);
    // Folds a line ahead of its first match, for a front end that sees a
    // search coming (the field gets the focus).
    void Prepare(const CVeyQelTalkElm& line) { FoldedOf(line); }

private:
    struct Folded_T {
        std::u16string id;
        std::u16string cast;
        std::u16string text;
    };
    const Folded_T& FoldedOf(const CVeyQelTalkElm& line);

    std::vector<std::u16string> terms;
    // Records live as long as the catalogue, which outlives every search.
    std::unordered_map<const CVeyQelTalkElm*, Folded_T> folded;
};

}  // namespace tarnwick
