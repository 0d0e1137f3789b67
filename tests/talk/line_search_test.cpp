#include "talk/line_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "talk/veyqel_talk.h"

namespace tarnwick {
namespace {

TEST(LineSearchTest, FoldingMakesWidthCaseAndKanaAlike)
{
    struct Case_T {
        const char* typed;
        const char16_t* folded;
    };
    const Case_T cases[] = {
        {"ｶｲﾙ", u"かいる"},             // half-width katakana
        {"カイル", u"かいる"},           // full-width katakana
        {"ヴァー", u"ゔぁー"},           // the long mark stays
        {"ＡＢｃ１", u"abc1"},           // full-width Latin and digits
        {"Straße", u"strasse"},         // full case folding
        {"a\xE3\x80\x80" "b", u"a b"},  // ideographic space
        {"\xFF", u"\uFFFD"},            // not UTF-8
    };
    for (const Case_T& c : cases)
        EXPECT_EQ(FoldForSearch(c.typed), std::u16string(c.folded)) << c.typed;
}

TEST(LineSearchTest, EveryTermMustOccurInOneOfTheFields)
{
    // Cast カイル, text 門番$Rに騎士; cast Leon, text "Hello World".
    const std::string table =
        "ID\r\n"
        "1001,1,1,\x83\x4a\x83\x43\x83\x8b,0,\x96\xe5\x94\xd4$R\x82\xc9\x8b\x52\x8e\x6d,10,,1\r\n"
        "2002,1,1,Leon,0,Hello World,10,,1\r\n";
    CVeyQelTalk talk;
    talk.LoadTable(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
    ASSERT_EQ(talk.GetCount(), 2u);

    struct Case_T {
        const char* query;
        std::vector<int> ids;
    };
    const Case_T cases[] = {
        {"", {1001, 2002}},
        {"   ", {1001, 2002}},
        {"かいる", {1001}},
        {"ｶｲﾙ　門番", {1001}},   // terms in cast and text, split by a wide space
        {"門番 に騎士", {1001}},  // "$R" reads as a space...
        {"門番に", {}},           // ...so it does not join its sides
        {"r", {2002}},            // nor is it a letter of the text (only "World" has one)
        {"2002", {2002}},         // the ID as its number
        {"00", {1001, 2002}},
        {"WORLD leon", {2002}},
        {"1001 hello", {}},  // every term, in the same line
        {"zzz", {}},
    };
    CLineSearch search;
    for (const Case_T& c : cases) {
        search.SetQuery(c.query);
        std::vector<int> ids;
        for (std::size_t i = 0; i < talk.GetCount(); ++i) {
            if (search.Matches(*talk.GetAt(i)))
                ids.push_back(talk.GetAt(i)->talkId);
        }
        EXPECT_EQ(ids, c.ids) << c.query;
    }
}

}  // namespace
}  // namespace tarnwick
