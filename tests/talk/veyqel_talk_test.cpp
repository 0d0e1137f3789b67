#include "talk/decimal_value.h"
#include "talk/veyqel_talk.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace tarnwick {
namespace {

// A catalogue loaded from text, with no capture list.
class Catalogue {
public:
    explicit Catalogue(const std::string& table)
    {
        talk.SetProgramFolder(empty.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
    }
    std::vector<std::int32_t> Ids() const
    {
        std::vector<std::int32_t> ids;
        for (std::size_t i = 0; i < talk.GetCount(); ++i)
            ids.push_back(talk.GetAt(i)->talkId);
        return ids;
    }
    test::TempFolder empty;
    CVeyQelTalk talk;
};

TEST(TalkTableTest, RowsAreSplitIntoFieldsAndConverted)
{
    Catalogue c("ID,Face,Var,Cast,Frame,Text,Wait,x,Voice,y,z\r\n"
                "1203,15,3,\x83\x41\x83\x8a\x83\x58,2,Hello$Rworld,25,,1,a,b\r\n");
    ASSERT_EQ(c.talk.GetCount(), 1u);
    const CVeyQelTalkElm& r = *c.talk.GetAt(0);
    EXPECT_EQ(r.talkId, 1203);
    EXPECT_EQ(r.faceId, 15);
    EXPECT_EQ(r.faceVariant, 3);
    EXPECT_EQ(r.castName(), "\x83\x41\x83\x8a\x83\x58");  // bytes as stored
    EXPECT_EQ(r.frameStyle, 2);
    EXPECT_EQ(r.talkText(), "Hello$Rworld");
    EXPECT_EQ(r.waitTenths, 25);
    EXPECT_EQ(r.voiceKind, 1);
    EXPECT_EQ(r.bgmNo, 0);
    EXPECT_EQ(r.IdText(), "1203");
    EXPECT_EQ(r.fields[10], "b");
    EXPECT_EQ(r.FaceEntryName(), "0015_03.png");
    EXPECT_EQ(r.VoiceEntryName(), "01203_0001.vc");
}

TEST(TalkTableTest, OnlyRowsWhoseFirstFieldIsDigitsAndMinusSignsCount)
{
    Catalogue c("ID,a\r\n-,a\r\n,b\r\n12a,c\r\n 7,d\r\n-3,e\r\n5\r\nnote row\r\n\r\n8,f\r\n");
    EXPECT_EQ(c.Ids(), (std::vector<std::int32_t>{0, 0, -3, 8}));
    EXPECT_EQ(c.talk.GetAt(0)->IdText(), "-");
}

TEST(TalkTableTest, QuotesAreOrdinaryBytesAndEveryCommaSplits)
{
    Catalogue c("1,2,3,Cast,0,\"Hi, there\",10,x,2\r\n");
    const CVeyQelTalkElm& r = *c.talk.GetAt(0);
    EXPECT_EQ(r.talkText(), "\"Hi");
    EXPECT_EQ(r.fields[6], " there\"");
    EXPECT_EQ(r.waitTenths, 0);  // " there\"" has no digits
    EXPECT_EQ(r.voiceKind, 0);   // the voice kind moved one column right
}

TEST(TalkTableTest, ExtraFieldsAreDroppedAndMissingOnesAreEmptyOrZero)
{
    Catalogue c("1,2,3,4,5,6,7,8,9,10,11,12,13,14\r\n2,5\r\n");
    ASSERT_EQ(c.talk.GetCount(), 2u);
    EXPECT_EQ(c.talk.GetAt(0)->fields[10], "11");
    const CVeyQelTalkElm& shortRow = *c.talk.GetAt(1);
    EXPECT_EQ(shortRow.faceId, 5);
    EXPECT_EQ(shortRow.faceVariant, 0);
    EXPECT_EQ(shortRow.voiceKind, 0);
    EXPECT_TRUE(shortRow.castName().empty());
    EXPECT_TRUE(shortRow.talkText().empty());
}

TEST(TalkTableTest, LinesAreNumberedWithinRunsOfNeighbouringRows)
{
    Catalogue c("0,a\r\n5,a\r\n5,b\r\nskip me\r\n5,c\r\n7,d\r\n5,e\r\n");
    std::vector<std::string> names;
    for (std::size_t i = 0; i < c.talk.GetCount(); ++i)
        names.push_back(c.talk.GetAt(i)->VoiceEntryName());
    EXPECT_EQ(names, (std::vector<std::string>{"00000_0001.vc", "00005_0001.vc", "00005_0002.vc",
                                               "00005_0003.vc", "00007_0001.vc", "00005_0001.vc"}));
}

TEST(TalkTableTest, LineEndsAndNulBytes)
{
    // LF alone does not end a line; a line starting with NUL is skipped.
    Catalogue lf("1,a\n2,b\r\n");
    ASSERT_EQ(lf.talk.GetCount(), 1u);
    EXPECT_EQ(lf.talk.GetAt(0)->fields[1], "a\n2");

    Catalogue nul(std::string("1,a\r\n\0,x\r\n3,c\r\n", 15));
    EXPECT_EQ(nul.Ids(), (std::vector<std::int32_t>{1, 3}));

    Catalogue leading(std::string("\0" "1,a\r\n", 6));
    EXPECT_EQ(leading.talk.GetCount(), 0u);

    Catalogue padded(std::string("1,a\r\n2,b\r\n\0", 11));
    EXPECT_EQ(padded.Ids(), (std::vector<std::int32_t>{1, 2}));

    // A NUL inside a field ends that field's text.
    Catalogue inner(std::string("1,ab\0cd,3\r\n", 11));
    EXPECT_EQ(inner.talk.GetAt(0)->fields[1], "ab");
}

TEST(TalkTableTest, ALastRowWithoutItsLineEndIsKept)
{
    Catalogue c("1,a\r\n2,b");
    ASSERT_EQ(c.Ids(), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(c.talk.GetAt(1)->fields[1], "b");
    Catalogue crOnly("1,a\r\n2,b\r");
    ASSERT_EQ(crOnly.talk.GetCount(), 2u);
    EXPECT_EQ(crOnly.talk.GetAt(1)->fields[1], "b\r");
    Catalogue empty("");
    EXPECT_EQ(empty.talk.GetCount(), 0u);
}

TEST(TalkTableTest, NumbersConvertLikeTheCLibrary)
{
    EXPECT_EQ(DecimalValue("  -42xyz"), -42);
    EXPECT_EQ(DecimalValue("+7"), 7);
    EXPECT_EQ(DecimalValue("abc"), 0);
    EXPECT_EQ(DecimalValue(""), 0);
    EXPECT_EQ(DecimalValue("99999999999"), 2147483647);
    EXPECT_EQ(DecimalValue("-99999999999"), -2147483647 - 1);
}

TEST(TalkTableTest, EntryNamesFollowPrintfWidths)
{
    Catalogue c("123456,-5,123,x\r\n-12,7,2,x\r\n");
    EXPECT_EQ(c.talk.GetAt(0)->FaceEntryName(), "-005_123.png");
    EXPECT_EQ(c.talk.GetAt(0)->VoiceEntryName(), "123456_0001.vc");
    EXPECT_EQ(c.talk.GetAt(1)->VoiceEntryName(), "-0012_0001.vc");
}

TEST(TalkTableTest, ManyRowsKeepTheirOrder)
{
    std::string table = "ID,x\r\n";
    for (int i = 0; i < 1234; ++i)
        table += std::to_string(i / 3) + ",t" + std::to_string(i) + "\r\n";
    Catalogue c(table);
    ASSERT_EQ(c.talk.GetCount(), 1234u);
    EXPECT_EQ(c.talk.GetAt(1233)->fields[1], "t1233");
    EXPECT_EQ(c.talk.GetAt(1232)->lineNo, 3);
    EXPECT_EQ(c.talk.GetAt(1233)->lineNo, 1);

    // Another table read into the same catalogue takes the place of the
    // first, whose copy the old lines viewed.
    const std::string next = "7,x\r\n7,y\r\n";
    c.talk.LoadTable(reinterpret_cast<const std::uint8_t*>(next.data()), next.size());
    ASSERT_EQ(c.talk.GetCount(), 2u);
    EXPECT_EQ(c.talk.GetAt(0)->fields[1], "x");
    EXPECT_EQ(c.talk.GetAt(1)->lineNo, 2);
}

}  // namespace
}  // namespace tarnwick
