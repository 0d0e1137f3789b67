#include "talk/selection_lists.h"

#include "talk/mark_history.h"
#include "talk/mark_ranges.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace tarnwick {
namespace {

// Counts what the list and selectors tell their front end.
class Recorder : public CTalkListModel::IListener, public CSelectorModel::IListener {
public:
    int resets = 0;
    int checkChanges = 0;
    int added = 0;
    int cleared = 0;
    void OnRowsAboutToReset() override {}
    void OnRowsReset() override { ++resets; }
    void OnChecksChanged(std::size_t, std::size_t) override { ++checkChanges; }
    void OnCurrentRowChanged(int) override {}
    void OnCleared() override { ++cleared; }
    void OnAdded(int) override { ++added; }
    void OnSelectionChanged(int) override {}
};

class SelectionTest : public ::testing::Test {
protected:
    void Load(const std::string& table, const std::string& captureList)
    {
        if (!captureList.empty())
            dir.Write("CaptureList.xml", captureList);
        talk.SetProgramFolder(dir.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
        FillCaptureCombo(captureCombo, talk);
        RefreshTalkList(captureCombo, talkList, itemCombo, talk);
    }
    void ChooseGroup(int index)
    {
        captureCombo.Select(index);
        RefreshTalkList(captureCombo, talkList, itemCombo, talk);
    }
    void ChooseItem(int index)
    {
        itemCombo.Select(index);
        ApplyItemChoice(itemCombo, talkList);
    }
    std::vector<std::int32_t> ListedIds() const
    {
        std::vector<std::int32_t> ids;
        for (std::size_t i = 0; i < talkList.RowCount(); ++i)
            ids.push_back(talkList.RecordAt(i)->talkId);
        return ids;
    }
    std::vector<std::int32_t> CheckedIds() const
    {
        std::vector<std::int32_t> ids;
        for (std::size_t i = 0; i < talkList.RowCount(); ++i)
            if (talkList.IsChecked(i))
                ids.push_back(talkList.RecordAt(i)->talkId);
        return ids;
    }
    std::vector<std::string> Texts(const CSelectorModel& m) const
    {
        std::vector<std::string> t;
        for (int i = 0; i < m.Count(); ++i)
            t.push_back(m.TextAt(i));
        return t;
    }
    std::vector<std::int32_t> Music() const
    {
        std::vector<std::int32_t> bgm;
        for (std::size_t i = 0; i < talk.GetCount(); ++i)
            bgm.push_back(talk.GetAt(i)->bgmNo);
        return bgm;
    }

    test::TempFolder dir;
    CVeyQelTalk talk;
    CSelectorModel captureCombo;
    CSelectorModel itemCombo;
    CTalkListModel talkList;
};

const char* const kTable = "ID,x\r\n5,a\r\n10,b\r\n10,c\r\n15,d\r\n20,e\r\n30,f\r\n40,g\r\n";
using Ids = std::vector<std::int32_t>;
using Strings = std::vector<std::string>;

TEST_F(SelectionTest, WithoutACaptureListEverythingIsListedAndMarked)
{
    Load(kTable, "");
    EXPECT_EQ(Texts(captureCombo), Strings{kAllTalksText});
    EXPECT_EQ(captureCombo.SelectedIndex(), 0);
    EXPECT_EQ(Texts(itemCombo), (Strings{kCheckAllText, kClearAllText}));
    EXPECT_EQ(itemCombo.SelectedIndex(), 0);
    EXPECT_EQ(ListedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));
    EXPECT_EQ(CheckedIds(), ListedIds());
    EXPECT_EQ(Music(), (Ids{0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SelectionTest, FixedTextsAreTheProgramsCodePage932Bytes)
{
    EXPECT_EQ(std::string(kAllTalksText), "(\x82\xb7\x82\xd7\x82\xc4)");
    EXPECT_EQ(std::string(kCheckAllText).substr(7), "\x91\x49\x91\xf0)");
    EXPECT_EQ(std::string(kClearAllText).substr(7), "\x89\xf0\x8f\x9c)");
}

const char* const kList =
    "<CaptureList>\n"
    "<Item Name=\"Loose\">\n<Range>5,5</Range>\n</Item>\n"
    "<Capture Name=\"G\">\n"
    "<Item Name=\"A\">\n<Range>10,15,1</Range>\n<Range>10,40,9</Range>\n</Item>\n"
    "<Item Name=\"B\">\n<Range>15,20,2</Range>\n<Range>30,30,3</Range>\n</Item>\n"
    "<Item Name=\"Empty\">\n</Item>\n"
    "<Item Name=\"Outside\">\n<Range>100,200</Range>\n</Item>\n"
    "<Capture Name=\"H\">\n"
    "<Item Name=\"C\">\n<Range>40,40,4</Range>\n</Item>\n"
    "<Capture Name=\"G\">\n"
    "<Item Name=\"D\">\n<Range>5,5,5</Range>\n</Item>\n";

TEST_F(SelectionTest, AGroupListsTheCoveredLinesWithTheirMusic)
{
    Load(kTable, kList);
    EXPECT_EQ(Texts(captureCombo), (Strings{kAllTalksText, "G", "H", "G"}));
    // With all talks, the items listed before the first group are offered.
    EXPECT_EQ(Texts(itemCombo), (Strings{kCheckAllText, kClearAllText, "Loose"}));

    ChooseGroup(1);
    EXPECT_EQ(ListedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));
    EXPECT_EQ(CheckedIds(), ListedIds());
    // First covering range within an item, last covering item over them.
    EXPECT_EQ(Music(), (Ids{5, 1, 1, 2, 2, 3, 9}));
    EXPECT_EQ(Texts(itemCombo), (Strings{kCheckAllText, kClearAllText, "A", "B", "Empty", "Outside", "D"}));

    // The second "G" entry selects the same items as the first.
    ChooseGroup(3);
    EXPECT_EQ(ListedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));

    ChooseGroup(2);
    EXPECT_EQ(ListedIds(), Ids{40});
    EXPECT_EQ(Music(), (Ids{5, 1, 1, 2, 2, 3, 4}));

    // Back to all talks: everything listed, music numbers kept.
    ChooseGroup(0);
    EXPECT_EQ(ListedIds().size(), 7u);
    EXPECT_EQ(Music(), (Ids{5, 1, 1, 2, 2, 3, 4}));
}

TEST_F(SelectionTest, ItemsSetTheMarks)
{
    Load(kTable, kList);
    ChooseGroup(1);
    ChooseItem(1);  // (すべて解除)
    EXPECT_TRUE(CheckedIds().empty());
    ChooseItem(0);  // (すべて選択)
    EXPECT_EQ(CheckedIds().size(), 7u);

    ChooseItem(3);  // B: 15..20 and 30
    EXPECT_EQ(CheckedIds(), (Ids{15, 20, 30}));
    ChooseItem(2);  // A: 10..15 then 10..40, whatever was marked before
    EXPECT_EQ(CheckedIds(), (Ids{10, 10, 15, 20, 30, 40}));

    // An item without ranges changes no mark.
    talkList.SetChecked(0, true);
    ChooseItem(4);
    EXPECT_EQ(CheckedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));

    // A first range outside the list still clears every mark.
    ChooseItem(5);
    EXPECT_TRUE(CheckedIds().empty());
    // Choosing an item neither filters nor touches music.
    EXPECT_EQ(ListedIds().size(), 7u);
    EXPECT_EQ(Music(), (Ids{5, 1, 1, 2, 2, 3, 9}));
}

TEST_F(SelectionTest, CheckIdRangeKeepsOrClearsOtherRows)
{
    Load(kTable, "");
    ChooseItem(1);
    CheckIdRange(talkList, 10, 15, false);
    CheckIdRange(talkList, 40, 40, false);
    EXPECT_EQ(CheckedIds(), (Ids{10, 10, 15, 40}));
    CheckIdRange(talkList, 20, 30, true);
    EXPECT_EQ(CheckedIds(), (Ids{20, 30}));
    CheckIdRange(talkList, 30, 20, true);  // an empty range
    EXPECT_TRUE(CheckedIds().empty());
}

TEST_F(SelectionTest, GroupNamesCompareAsBytes)
{
    // Two names that read alike but differ in bytes stay apart.
    Load(kTable,
         "<CaptureList>\n<Capture Name=\"\x82\xa0\">\n<Item Name=\"X\">\n<Range>5,5,1</Range>\n"
         "<Capture Name=\"\x82\xa0 \">\n<Item Name=\"Y\">\n<Range>40,40,2</Range>\n");
    ChooseGroup(1);
    EXPECT_EQ(ListedIds(), Ids{5});
    ChooseGroup(2);
    EXPECT_EQ(ListedIds(), Ids{40});
}

TEST_F(SelectionTest, ListenersHearOneResetPerFillAndChangedRanges)
{
    Recorder rec;
    talkList.SetListener(&rec);
    itemCombo.SetListener(&rec);
    Load(kTable, kList);
    EXPECT_EQ(rec.resets, 1);
    EXPECT_EQ(rec.cleared, 1);
    EXPECT_EQ(rec.added, 3);
    EXPECT_EQ(rec.checkChanges, 1);  // all rows marked at once
    ChooseItem(0);
    EXPECT_EQ(rec.checkChanges, 1);  // nothing changed, nothing said
}

TEST_F(SelectionTest, AFilterHidesRowsButNotTheirMarks)
{
    Load(kTable, kList);
    talkList.SetCurrentRow(3);  // 15
    talkList.Filter([](const CVeyQelTalkElm* r) { return r->talkId >= 15; });
    EXPECT_EQ(ListedIds(), (Ids{15, 20, 30, 40}));
    EXPECT_EQ(talkList.TotalRowCount(), 7u);
    EXPECT_EQ(talkList.CurrentRow(), 0);  // still on 15
    EXPECT_EQ(talkList.MarkedPlace(1).position, 2u);
    EXPECT_EQ(talkList.MarkedPlace(1).count, 4u);

    // Marks set while hidden are there when shown again.
    ChooseGroup(1);  // every line again, filtered anew below
    talkList.Filter([](const CVeyQelTalkElm* r) { return r->talkId >= 30; });
    ChooseItem(3);  // B: 15..20 and 30
    EXPECT_EQ(CheckedIds(), Ids{30});
    talkList.SetChecked(0, false);
    talkList.ShowAll();
    EXPECT_EQ(CheckedIds(), (Ids{15, 20}));
    EXPECT_EQ(talkList.CurrentRow(), -1);

    // The selected line stays the list's while a filter hides it.
    talkList.SetCurrentRow(3);  // 15
    talkList.Filter([](const CVeyQelTalkElm* r) { return r->talkId != 15; });
    EXPECT_EQ(talkList.CurrentRow(), -1);
    EXPECT_EQ(talkList.ShownRowNear(3), 3);  // 20, the next shown line
    talkList.SetCurrentRow(-1);
    talkList.ShowAll();
    EXPECT_EQ(talkList.CurrentRow(), 3);

    // An export takes the marked rows shown, in list order.
    const auto exported = [this] {
        Ids ids;
        for (const CVeyQelTalkElm* r : MarkedRows(talkList))
            ids.push_back(r->talkId);
        return ids;
    };
    ChooseItem(2);  // A: 10..15 then 10..40
    EXPECT_EQ(exported(), (Ids{10, 10, 15, 20, 30, 40}));
    talkList.Filter([](const CVeyQelTalkElm* r) { return r->talkId != 10 && r->talkId != 30; });
    EXPECT_EQ(exported(), (Ids{15, 20, 40}));
}

TEST_F(SelectionTest, FillingFiftyThousandRows)
{
    std::string table = "ID\r\n";
    for (int i = 0; i < 50000; ++i)
        table += std::to_string(i) + ",1,1,Cast,0,Text,10,,1\r\n";
    Load(table, "");
    EXPECT_EQ(talkList.RowCount(), 50000u);
    EXPECT_TRUE(talkList.IsChecked(49999));
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// Marks as a string of the list's rows, "x" marked, "." not.
std::string MarkPattern(const CTalkListModel& list)
{
    std::string p;
    for (const bool m : list.Marks())
        p += m ? 'x' : '.';
    return p;
}

void SetPattern(CTalkListModel& list, const std::string& p)
{
    std::vector<bool> marks;
    for (const char c : p)
        marks.push_back(c == 'x');
    list.SetMarks(marks);
}

TEST_F(SelectionTest, MarksKeptAsRangesFitTheListAtTheNextStart)
{
    // Lines (5,1) (10,1) (10,2) (15,1) (20,1) (30,1) (40,1), then (10,1) again.
    Load("ID,x\r\n5,a\r\n10,b\r\n10,c\r\n15,d\r\n20,e\r\n30,f\r\n40,g\r\n10,h\r\n", "");
    const struct {
        const char* marks;
        const char* text;
    } cases[] = {
        {"xxxxxxxx", "5:1-40:1"},
        {"........", ""},
        {"x.x.x.x.", "5:1,10:2,20:1,40:1"},
        {".xxx...x", "10:1-15:1"},
        // A line listed twice counts as marked when either row is.
        {".......x", "10:1"},
        {"xx.xx..x", "5:1-10:1,15:1-20:1"},
    };
    for (const auto& c : cases) {
        SetPattern(talkList, c.marks);
        const std::string text = MarkRangesText(talkList);
        EXPECT_EQ(text, c.text) << c.marks;
        ChooseGroup(0);  // refilled: every row marked
        ASSERT_TRUE(ApplyMarkRanges(text, talkList));
        std::string expected = c.marks;
        expected[1] = expected[7] = (c.marks[1] == 'x' || c.marks[7] == 'x') ? 'x' : '.';
        EXPECT_EQ(MarkPattern(talkList), expected) << c.marks;
    }

    // A filter hides nothing from what is kept; the text from another table
    // marks the lines it still has; what does not read as ranges changes
    // nothing, however long.
    talkList.Filter([](const CVeyQelTalkElm* r) { return r->talkId == 5; });
    ASSERT_TRUE(ApplyMarkRanges("15:1-99999:9,-3:1--1:2", talkList));
    EXPECT_EQ(MarkPattern(talkList), "...xxxx.");
    EXPECT_EQ(MarkRangesText(talkList), "15:1-40:1");
    for (const std::string& bad : std::vector<std::string>{"15", "15:", "15:1-", "15:1,", "a:1", "15:1-10:1", "1:1;2:2", " 1:1",
                                  "99999999999:1", std::string(100000, '9')}) {
        EXPECT_FALSE(ApplyMarkRanges(bad, talkList)) << bad;
        EXPECT_EQ(MarkPattern(talkList), "...xxxx.") << bad;
    }
}

TEST_F(SelectionTest, UndoBringsBackMarksItemAndGroupStepByStep)
{
    Load(kTable, kList);
    CMarkHistory history(2);
    history.Reset(CurrentMarkState(captureCombo, itemCombo, talkList));
    const auto commit = [&] { history.Commit(CurrentMarkState(captureCombo, itemCombo, talkList)); };
    const auto undo = [&] {
        const std::optional<MarkState_T> s = history.Undo();
        if (s)
            ApplyMarkState(*s, captureCombo, itemCombo, talkList, talk);
        return s.has_value();
    };
    const auto redo = [&] {
        const std::optional<MarkState_T> s = history.Redo();
        if (s)
            ApplyMarkState(*s, captureCombo, itemCombo, talkList, talk);
        return s.has_value();
    };
    EXPECT_FALSE(undo());

    talkList.SetChecked(0, false);  // every line: 5 unmarked
    commit();
    commit();  // nothing changed: no step
    ChooseGroup(1);  // G: its items cover every line
    commit();
    ChooseItem(3);  // B
    commit();
    EXPECT_EQ(CheckedIds(), (Ids{15, 20, 30}));

    ASSERT_TRUE(undo());
    EXPECT_EQ(itemCombo.SelectedIndex(), 0);
    EXPECT_EQ(CheckedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));
    ASSERT_TRUE(undo());  // the group choice: the whole list, 5 unmarked
    EXPECT_EQ(captureCombo.SelectedIndex(), 0);
    EXPECT_EQ(ListedIds(), (Ids{5, 10, 10, 15, 20, 30, 40}));
    EXPECT_EQ(CheckedIds(), (Ids{10, 10, 15, 20, 30, 40}));
    ASSERT_TRUE(redo());
    ASSERT_TRUE(redo());
    EXPECT_EQ(captureCombo.SelectedIndex(), 1);
    EXPECT_EQ(CheckedIds(), (Ids{15, 20, 30}));
    EXPECT_FALSE(redo());

    // A new change after an undo drops what could be redone; only the
    // newest steps are kept.
    ASSERT_TRUE(undo());
    ChooseItem(1);
    commit();
    EXPECT_FALSE(redo());
    EXPECT_TRUE(undo());
    EXPECT_TRUE(undo());
    EXPECT_FALSE(undo());
    EXPECT_EQ(CheckedIds(), (Ids{10, 10, 15, 20, 30, 40}));
    EXPECT_EQ(captureCombo.SelectedIndex(), 0);
}

TEST_F(SelectionTest, LinesAsTextAreTabSeparatedWithLineBreaks)
{
    Load("ID,f,v,cast,s,text\r\n0007,1,0,Ann,0,one$Rtwo\r\n8,1,0,\x83\x41,0,\r\n", "");
    EXPECT_EQ(LinesAsText({talkList.RecordAt(0), talkList.RecordAt(1)}), "0007\tAnn\tone\ntwo\n8\t\x83\x41\t");
    EXPECT_EQ(LinesAsText({}), "");
}

}  // namespace
}  // namespace tarnwick
