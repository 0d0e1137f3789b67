#include "talk/line_search.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include "host/cp932_text.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

namespace {

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Katakana letters and their iteration marks sit 0x60 above hiragana.
void KatakanaToHiragana(std::u16string& s)
{
    for (char16_t& c : s) {
        if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE)
            c = static_cast<char16_t>(c - 0x60);
    }
}

}  // namespace

std::u16string FoldForSearch(std::string_view utf8)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    if (U_SUCCESS(status)) {
        icu::UnicodeString normal = nfkc->normalize(text, status);
        if (U_SUCCESS(status))
            text = std::move(normal);
    }
    text.foldCase();
    std::u16string out(reinterpret_cast<const char16_t*>(text.getBuffer()), static_cast<std::size_t>(text.length()));
    KatakanaToHiragana(out);
    return out;
}

void CLineSearch::SetQuery(std::string_view utf8Query)
{
    terms.clear();
    const std::u16string query = FoldForSearch(utf8Query);
    std::size_t i = 0;
    while (i < query.size()) {
        while (i < query.size() && IsSpace(query[i]))
            ++i;
        std::size_t end = i;
        while (end < query.size() && !IsSpace(query[end]))
            ++end;
        if (end > i)
            terms.push_back(query.substr(i, end - i));
        i = end;
    }
}

const CLineSearch::Folded_T& CLineSearch::FoldedOf(const CVeyQelTalkElm& line)
{
    auto [at, added] = folded.try_emplace(&line);
    if (added) {
        at->second.id = FoldForSearch(std::to_string(line.talkId));
        at->second.cast = FoldForSearch(Cp932ToUtf8(line.castName()));
        at->second.text = FoldForSearch(Cp932ToUtf8(LineMarksReplaced(line.talkText(), " ")));
    }
    return at->second;
}

bool CLineSearch::Matches(const CVeyQelTalkElm& line)
{
    if (terms.empty())
        return true;
    const Folded_T& f = FoldedOf(line);
    for (const std::u16string& term : terms) {
        if (f.id.find(term) == std::u16string::npos && f.cast.find(term) == std::u16string::npos &&
            f.text.find(term) == std::u16string::npos)
            return false;
    }
    return true;
}

}  // namespace tarnwick
