#include "app/talk_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/collection_store.h"
#include "app/window_place.h"
#include "support/temp_folder.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {
namespace {

// Talks 1 to 9 by four speakers and one line without a name; group G
// holds talks 3 to 7 with music 4.
const char* const kTable =
    "ID,face,variant,cast,style,text\r\n"
    "1,0,0,Sara,0,morning\r\n"
    "2,0,0,Teo,0,hello Sara\r\n"
    "3,0,0,Sara,0,again\r\n"
    "3,0,0,Ada,0,second line of 3\r\n"
    "4,0,0,Teo,0,wares\r\n"
    "5,0,0,,0,wind\r\n"
    "6,0,0,Sara,0,night\r\n"
    "7,0,0,Ada,0,far\r\n"
    "8,0,0,Ivo,0,gone\r\n"
    "9,0,0,Ada,0,end\r\n";
const char* const kList =
    "<CaptureList>\n<Capture Name=\"G\">\n<Item Name=\"A\">\n<Range>3,7,4</Range>\n</Item>\n"
    "<Item Name=\"B\">\n<Range>6,6</Range>\n</Item>\n";

class TalkSelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("CaptureList.xml", kList);
        talk.SetProgramFolder(dir.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(kTable), std::char_traits<char>::length(kTable));
        store.Load();
        selection.Fill();
    }
    // "talkId.lineNo" of the rows shown, marked ones with a "*".
    std::string Shown() const
    {
        std::string text;
        const CTalkListModel& rows = selection.Rows();
        for (std::size_t i = 0; i < rows.RowCount(); ++i) {
            const CVeyQelTalkElm& r = *rows.RecordAt(i);
            text += (text.empty() ? "" : " ") + std::to_string(r.talkId) + "." + std::to_string(r.lineNo) +
                    (rows.IsChecked(i) ? "*" : "");
        }
        return text;
    }
    // The talk IDs of every marked row, shown or not.
    std::string Marked() const
    {
        std::string text;
        const CTalkListModel& rows = selection.Rows();
        const std::vector<bool> marks = rows.Marks();
        for (std::size_t i = 0; i < rows.TotalRowCount(); ++i) {
            if (marks[i])
                text += (text.empty() ? "" : " ") + std::to_string(rows.ListRecordAt(i)->talkId);
        }
        return text;
    }
    std::string Speakers(SpeakerOrder_T order) const
    {
        std::string text;
        for (const Speaker_T& s : selection.Speakers(order))
            text += (text.empty() ? "" : ",") + s.cast + "=" + std::to_string(s.lines);
        return text;
    }

    test::TempFolder dir;
    CVeyQelTalk talk;
    CCollectionStore store{dir / "collections"};
    CTalkSelection selection{talk, &store};
};

TEST_F(TalkSelectionTest, SpeakersAreCountedAndChosenByTheirExactName)
{
    EXPECT_EQ(Speakers(SpeakerOrder_T::kFirstAppearance), "Sara=3,Teo=2,Ada=3,=1,Ivo=1");
    EXPECT_EQ(Speakers(SpeakerOrder_T::kByName), "=1,Ada=3,Ivo=1,Sara=3,Teo=2");

    // The search finds Sara in Teo's text too; the speaker does not.
    selection.SetSearch("sara");
    EXPECT_EQ(Shown(), "1.1* 2.1* 3.1* 6.1*");
    selection.ChooseSpeaker("Sara");
    EXPECT_EQ(Shown(), "1.1* 3.1* 6.1*");
    selection.SetSearch("");
    EXPECT_EQ(Shown(), "1.1* 3.1* 6.1*");
    selection.ChooseSpeaker("");
    EXPECT_EQ(Shown(), "5.1*");
    selection.ChooseSpeaker("Sar");
    EXPECT_EQ(Shown(), "");
    selection.ChooseSpeaker(std::nullopt);
    EXPECT_FALSE(selection.IsFiltered());
    EXPECT_EQ(selection.Rows().RowCount(), 10u);

    // Within a group: its speakers, and a speaker it lacks goes back to all.
    selection.ChooseSpeaker("Teo");
    selection.ChooseCapture(1);
    EXPECT_EQ(Speakers(SpeakerOrder_T::kFirstAppearance), "Sara=2,Ada=2,Teo=1,=1");
    EXPECT_EQ(selection.Speaker(), "Teo");
    EXPECT_EQ(Shown(), "4.1*");
    selection.ChooseCapture(0);
    selection.ChooseSpeaker("Ivo");
    selection.SetSearch("gone");
    selection.ChooseCapture(1);  // no Ivo in G: the search alone stays
    EXPECT_EQ(selection.Speaker(), std::nullopt);
    EXPECT_EQ(Shown(), "");
    EXPECT_TRUE(selection.IsFiltered());
}

// Building "Sara's lines plus Teo's lines" filter by filter, as a user does.
TEST_F(TalkSelectionTest, MarksUnderAFilterActOnTheRowsShownOnly)
{
    selection.SetSearch("sara");
    selection.ChooseItem(1);  // (unmark all): the four lines shown
    EXPECT_EQ(Marked(), "3 4 5 7 8 9");
    selection.SetSearch("");
    selection.ChooseItem(1);  // nothing filtered: every row, as ever
    EXPECT_EQ(Marked(), "");

    selection.ChooseSpeaker("Sara");
    selection.MarkShown(true);
    selection.ChooseSpeaker("Teo");
    selection.MarkShown(true);
    selection.ChooseSpeaker(std::nullopt);
    EXPECT_EQ(Marked(), "1 2 3 4 6");
    EXPECT_EQ(selection.Rows().MarkedShownCount(), 5u);

    // An item under a filter marks its rows among those shown and clears
    // the other shown rows only.
    selection.ChooseCapture(1);  // G: 3 to 7, all marked
    selection.ChooseItem(1);
    selection.ChooseSpeaker("Sara");
    selection.ChooseItem(3);  // B: talk 6
    selection.ChooseSpeaker("Ada");
    selection.ChooseItem(0);  // (mark all) of Ada's
    selection.ChooseSpeaker(std::nullopt);
    EXPECT_EQ(Shown(), "3.1 3.2* 4.1 5.1 6.1* 7.1*");

    selection.SetSearch("again");
    selection.MarkShown(true);
    EXPECT_EQ(Shown(), "3.1*");
    EXPECT_EQ(Marked(), "3 3 6 7");
}

TEST_F(TalkSelectionTest, SpaceOnSelectedRowsIsOneStepToUndo)
{
    selection.ChooseItem(1);
    selection.ToggleRows({1, 2, 4}, 2);  // row 2 unmarked: all three marked
    EXPECT_EQ(Marked(), "2 3 4");
    selection.ToggleRows({1, 4}, 1);
    EXPECT_EQ(Marked(), "3");
    ASSERT_TRUE(selection.Undo());
    EXPECT_EQ(Marked(), "2 3 4");
    ASSERT_TRUE(selection.Undo());
    EXPECT_EQ(Marked(), "");
    ASSERT_TRUE(selection.Redo());
    EXPECT_EQ(Marked(), "2 3 4");
    // Rows beyond the list are left out; an anchor beyond it does nothing.
    selection.ToggleRows({0, 99}, 0);
    EXPECT_EQ(Marked(), "1 2 3 4");
    selection.ToggleRows({0}, 99);
    EXPECT_EQ(Marked(), "1 2 3 4");
}

TEST_F(TalkSelectionTest, ACollectionListsItsLinesInTheOrderAdded)
{
    Failure_T why;
    const CTalkListModel& rows = selection.Rows();
    selection.ChooseSpeaker("Ada");  // 3.2 7.1 9.1
    ASSERT_TRUE(selection.AddToCollection("Sara and Teo", true, MarkedRows(rows), why)) << why.Describe();
    EXPECT_FALSE(selection.AddToCollection("Sara and Teo", true, MarkedRows(rows), why));
    selection.ChooseSpeaker("Sara");
    ASSERT_TRUE(selection.AddToCollection("Sara and Teo", false, MarkedRows(rows), why)) << why.Describe();
    selection.ChooseSpeaker(std::nullopt);
    ASSERT_TRUE(selection.AddToCollection("Sara and Teo", false, MarkedRows(rows), why));  // no line twice

    const int entry = selection.CollectionEntry("Sara and Teo");
    ASSERT_EQ(entry, 2);  // after all talks and G
    selection.ChooseCapture(1);  // G gives its lines music 4
    selection.ChooseItem(1);
    selection.ChooseCapture(entry);
    EXPECT_EQ(selection.ChosenCollection(), "Sara and Teo");
    EXPECT_EQ(Shown(), "3.2* 7.1* 9.1* 1.1* 3.1* 6.1* 2.1* 4.1* 5.1* 8.1*");
    for (std::size_t i = 0; i < rows.RowCount(); ++i)
        EXPECT_EQ(rows.RecordAt(i)->bgmNo, 0) << i;
    EXPECT_EQ(selection.ItemChoices().Count(), 2);

    // Taking lines out keeps the marks of the others.
    selection.Rows().SetChecked(1, false);  // 7.1
    selection.CommitMarks();
    const CVeyQelTalkElm* out[] = {rows.RecordAt(0), rows.RecordAt(2)};
    ASSERT_TRUE(selection.RemoveFromChosenCollection(out, why)) << why.Describe();
    EXPECT_EQ(Shown(), "7.1 1.1* 3.1* 6.1* 2.1* 4.1* 5.1* 8.1*");

    // Undo goes back through the collection and the group by name.
    for (int step = 0; step < 3; ++step)
        ASSERT_TRUE(selection.Undo()) << step;
    EXPECT_EQ(selection.CaptureChoices().SelectedIndex(), 1);
    EXPECT_EQ(Marked(), "");
    ASSERT_TRUE(selection.Redo());
    EXPECT_EQ(selection.ChosenCollection(), "Sara and Teo");
}

TEST_F(TalkSelectionTest, CollectionsAreRenamedDeletedAndKeptAcrossARestart)
{
    Failure_T why;
    const CVeyQelTalkElm* lines[] = {talk.GetAt(5), talk.GetAt(0)};  // 5.1, 1.1
    ASSERT_TRUE(selection.AddToCollection("b", true, lines, why)) << why.Describe();
    ASSERT_TRUE(selection.AddToCollection("a", true, lines, why)) << why.Describe();
    selection.ChooseCapture(selection.CollectionEntry("b"));
    ASSERT_TRUE(selection.RenameCollection("b", "司祭サラ ★", why)) << why.Describe();
    EXPECT_EQ(selection.ChosenCollection(), "司祭サラ ★");
    EXPECT_EQ(Shown(), "5.1* 1.1*");
    EXPECT_EQ(selection.CollectionEntry("a"), 2);  // ordered by name
    EXPECT_FALSE(selection.RenameCollection("a", "司祭サラ ★", why));

    WindowPlace_T place = CurrentPlace(selection);
    EXPECT_EQ(place.collection, "司祭サラ ★");
    place.speaker = "Teo";  // not in the collection: all speakers

    // A line the game no longer has stays in the file, left out of the list.
    dir.Write("collections/old.txt", "old\n1:1\n77:1\n2:1\n");
    CCollectionStore again(dir / "collections");
    again.Load();
    EXPECT_TRUE(again.Problems().empty());
    CTalkSelection restarted(talk, &again);
    restarted.Fill();
    RestoreSelection(place, restarted);
    EXPECT_EQ(restarted.ChosenCollection(), "司祭サラ ★");
    EXPECT_EQ(restarted.Speaker(), std::nullopt);
    EXPECT_EQ(restarted.Rows().RowCount(), 2u);
    restarted.ChooseCapture(restarted.CollectionEntry("old"));
    EXPECT_EQ(restarted.Rows().RowCount(), 2u);

    const CVeyQelTalkElm* nine[] = {talk.GetAt(9)};
    ASSERT_TRUE(restarted.AddToCollection("old", false, nine, why)) << why.Describe();
    EXPECT_EQ(test::ReadFileText(dir / "collections/old.txt"), "old\n1:1\n77:1\n2:1\n9:1\n");
    ASSERT_TRUE(restarted.DeleteCollection("old", why)) << why.Describe();
    EXPECT_EQ(restarted.CaptureChoices().SelectedIndex(), 0);
    EXPECT_EQ(restarted.Rows().RowCount(), 10u);
    ASSERT_TRUE(restarted.DeleteCollection("a", why));
    EXPECT_EQ(restarted.CollectionEntry("a"), -1);
    EXPECT_EQ(restarted.CollectionEntry("司祭サラ ★"), 2);
    EXPECT_FALSE(restarted.DeleteCollection("a", why));
}

}  // namespace
}  // namespace tarnwick
