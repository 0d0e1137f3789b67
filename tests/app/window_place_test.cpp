#include "app/window_place.h"

#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "support/temp_folder.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {
namespace {

// What a fresh start of the window holds: the catalogue, its selectors and
// the list, filled as the window fills them.
struct Window_T {
    explicit Window_T(const test::TempFolder& dir)
    {
        const std::string table = "ID\r\n5,a\r\n10,b\r\n10,c\r\n20,d\r\n30,e\r\n";
        talk.SetProgramFolder(dir.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
        FillCaptureCombo(captureCombo, talk);
        RefreshTalkList(captureCombo, list, itemCombo, talk);
    }
    void Restore(const WindowPlace_T& place)
    {
        RestoreSelection(place, captureCombo, itemCombo, list, talk);
        RestoreRow(place, list);
    }

    CVeyQelTalk talk;
    CSelectorModel captureCombo;
    CSelectorModel itemCombo;
    CTalkListModel list;
};

class WindowPlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("CaptureList.xml",
                  "<CaptureList>\n<Capture Name=\"G\">\n<Item Name=\"A\">\n<Range>10,10</Range>\n</Item>\n"
                  "<Item Name=\"B\">\n<Range>20,30</Range>\n</Item>\n");
    }

    test::TempFolder dir;
};

TEST_F(WindowPlaceTest, APlaceComesBackThroughTheSettingsFile)
{
    Window_T before(dir);
    before.captureCombo.Select(1);
    RefreshTalkList(before.captureCombo, before.list, before.itemCombo, before.talk);
    before.itemCombo.Select(3);
    ApplyItemChoice(before.itemCombo, before.list);
    before.list.SetCurrentRow(3);  // 20, line 1
    WindowPlace_T place = CurrentPlace(before.captureCombo, before.itemCombo, before.list);
    place.search = "門番 ｶｲﾙ";
    place.width = 900;
    place.height = 700;

    CProfileFile profile(dir / "tarnwick.ini");
    profile.WriteProfileString("SYSTEM", "PlayMode", "2");
    std::vector<ProfileChange_T> changes;
    AddWindowPlace(place, changes);
    ASSERT_TRUE(profile.WriteProfileStrings(changes));
    const WindowPlace_T back = ReadWindowPlace(profile);
    EXPECT_EQ(profile.GetProfileString("SYSTEM", "PlayMode", ""), "2");

    Window_T after(dir);
    after.Restore(back);
    EXPECT_EQ(after.captureCombo.SelectedIndex(), 1);
    EXPECT_EQ(after.itemCombo.SelectedIndex(), 3);
    EXPECT_FALSE(after.list.IsChecked(1));
    EXPECT_TRUE(after.list.IsChecked(3));
    EXPECT_EQ(after.list.CurrentRow(), 3);
    EXPECT_EQ(back.search, place.search);
    EXPECT_EQ(back.width, 900);
    EXPECT_EQ(back.height, 700);
}

TEST_F(WindowPlaceTest, StaleValuesAreIgnored)
{
    struct Case_T {
        const char* what;
        WindowPlace_T place;
        int capture, item, row;
    };
    const Case_T cases[] = {
        {"nothing stored", {}, 0, 0, -1},
        {"group beyond the list", {.captureIndex = 7, .captureName = "G", .itemIndex = 2, .itemName = "A"}, 0, 0, -1},
        {"group renamed", {.captureIndex = 1, .captureName = "X", .itemIndex = 2, .itemName = "A"}, 0, 0, -1},
        {"item renamed", {.captureIndex = 1, .captureName = "G", .itemIndex = 2, .itemName = "Z"}, 1, 0, -1},
        {"line gone", {.hasRow = true, .talkId = 99, .lineNo = 1}, 0, 0, -1},
        {"second line of 10", {.hasRow = true, .talkId = 10, .lineNo = 2}, 0, 0, 2},
    };
    for (const Case_T& c : cases) {
        Window_T w(dir);
        w.Restore(c.place);
        EXPECT_EQ(w.captureCombo.SelectedIndex(), c.capture) << c.what;
        EXPECT_EQ(w.itemCombo.SelectedIndex(), c.item) << c.what;
        EXPECT_EQ(w.list.CurrentRow(), c.row) << c.what;
    }
}

}  // namespace
}  // namespace tarnwick
