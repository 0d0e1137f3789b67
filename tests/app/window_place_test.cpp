#include "app/window_place.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "app/profile_file.h"
#include "app/talk_selection.h"
#include "host/cp932_text.h"
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
        selection.Fill();
    }
    void Restore(const WindowPlace_T& place)
    {
        RestoreSelection(place, selection);
        RestoreRow(place, list);
    }

    CVeyQelTalk talk;
    CTalkSelection selection{talk};
    CSelectorModel& captureCombo = selection.CaptureChoices();
    CSelectorModel& itemCombo = selection.ItemChoices();
    CTalkListModel& list = selection.Rows();
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
    before.selection.ChooseCapture(1);
    before.selection.ChooseItem(3);
    before.list.SetCurrentRow(3);  // 20, line 1
    WindowPlace_T place = CurrentPlace(before.selection);
    place.search = "門番 ｶｲﾙ";
    place.speaker = "\x8e\x69\x8d\xd5 \x83\x54\x83\x89";  // 司祭 サラ
    place.speakersByName = true;
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
    EXPECT_EQ(after.selection.SearchText(), place.search);
    EXPECT_EQ(after.list.RowCount(), 0u);  // no line holds those words
    after.selection.SetSearch("");
    RestoreRow(back, after.list);
    EXPECT_EQ(after.captureCombo.SelectedIndex(), 1);
    EXPECT_EQ(after.itemCombo.SelectedIndex(), 3);
    EXPECT_FALSE(after.list.IsChecked(1));
    EXPECT_TRUE(after.list.IsChecked(3));
    EXPECT_EQ(after.list.CurrentRow(), 3);
    EXPECT_EQ(back.search, place.search);
    EXPECT_EQ(back.speaker, place.speaker);
    EXPECT_TRUE(back.speakersByName);
    EXPECT_EQ(back.collection, "");
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

// Game text and the window's own entries go out as UTF-8 and come back as
// the code page 932 bytes the selectors hold.
TEST_F(WindowPlaceTest, NamesComeBackAsTheSameBytesFromAUtf8File)
{
    const struct {
        std::string group, item;
    } cases[] = {
        {kAllTalksText, kCheckAllText},
        {kClearAllText, "\x95\x5c\x8e\xa6 \x87\x40\xfa\x5c\xb6"},  // 表示 ①纊ｶ: a 0x5C trail, row 13, IBM, kana
        {"G", ""},
    };
    for (const auto& c : cases) {
        const std::string path = dir / "tarnwick.ini";
        dir.Write("tarnwick.ini", "[SYSTEM]\r\nPlayMode=2\r\n");
        CProfileFile profile(path);
        WindowPlace_T place{.captureIndex = 0, .captureName = c.group, .itemIndex = 1, .itemName = c.item};
        place.search = "門番";
        std::vector<ProfileChange_T> changes;
        AddWindowPlace(place, changes);
        ASSERT_TRUE(profile.WriteProfileStrings(changes));

        const WindowPlace_T back = ReadWindowPlace(profile);
        EXPECT_EQ(back.captureIndex, 0) << c.group;
        EXPECT_EQ(back.captureName, c.group);
        EXPECT_EQ(back.itemIndex, 1) << c.group;
        EXPECT_EQ(back.itemName, c.item);
        EXPECT_EQ(back.search, "門番");
        const std::string text = test::ReadFileText(path);
        // Only characters code page 932 has went in, so this holds just
        // when the file is UTF-8.
        EXPECT_TRUE(Utf8ToCp932(text)) << text;
        EXPECT_NE(text.find("Encoding=UTF-8"), std::string::npos) << text;
        EXPECT_NE(text.find("PlayMode=2"), std::string::npos) << text;
    }
}

// A section without the marker was written by an earlier version with the
// names as raw code page 932; one with it holds UTF-8, and a name there that
// code page 932 cannot hold restores nothing.
TEST_F(WindowPlaceTest, NamesAreReadByTheSectionsEncoding)
{
    const std::string all = "(すべて)";
    const struct {
        const char* what;
        std::string section;
        int index;
        std::string name;
    } cases[] = {
        {"earlier version", std::string("CaptureGroupName=") + kAllTalksText, 0, kAllTalksText},
        {"marked", "Encoding=UTF-8\r\nCaptureGroupName=" + all, 0, kAllTalksText},
        {"marked, no UTF-8", std::string("Encoding=UTF-8\r\nCaptureGroupName=") + kAllTalksText, -1, ""},
        {"marked, no code page 932", "Encoding=UTF-8\r\nCaptureGroupName=caf\xc3\xa9", -1, ""},
        {"marked, nothing", "Encoding=UTF-8\r\nCaptureGroupName=", 0, ""},
    };
    for (const auto& c : cases) {
        dir.Write("tarnwick.ini", "[Tarnwick]\r\nCaptureGroup=0\r\n" + c.section + "\r\n");
        const WindowPlace_T place = ReadWindowPlace(CProfileFile(dir / "tarnwick.ini"));
        EXPECT_EQ(place.captureIndex, c.index) << c.what;
        EXPECT_EQ(place.captureName, c.name) << c.what;
    }
}

TEST_F(WindowPlaceTest, AnEarlierVersionsSectionIsRewrittenAsUtf8)
{
    const std::string path = dir / "tarnwick.ini";
    dir.Write("tarnwick.ini", std::string("[Tarnwick]\r\nCaptureGroup=0\r\nCaptureGroupName=") + kAllTalksText +
                                  "\r\nCaptureItem=1\r\nCaptureItemName=" + kClearAllText +
                                  "\r\nSearch=門番\r\nWidth=900\r\nHeight=700\r\n");
    CProfileFile profile(path);
    ASSERT_EQ(profile.Load(), ProfileState::kUsable);
    const WindowPlace_T old = ReadWindowPlace(profile);
    Window_T w(dir);
    w.Restore(old);
    EXPECT_EQ(w.itemCombo.SelectedIndex(), 1);

    // Saved as the application saves: only what differs.
    std::vector<ProfileChange_T> changes;
    AddWindowPlace(old, changes);
    ASSERT_TRUE(profile.WriteProfileStrings(profile.Differing(changes)));
    const std::string text = test::ReadFileText(path);
    EXPECT_NE(text.find("Encoding=UTF-8"), std::string::npos) << text;
    EXPECT_NE(text.find("CaptureGroupName=(すべて)"), std::string::npos) << text;
    EXPECT_NE(text.find("CaptureItemName=(すべて解除)"), std::string::npos) << text;
    EXPECT_TRUE(Utf8ToCp932(text)) << text;
    const WindowPlace_T back = ReadWindowPlace(CProfileFile(path));
    EXPECT_EQ(back.captureName, old.captureName);
    EXPECT_EQ(back.itemName, old.itemName);
    EXPECT_EQ(back.search, "門番");
    Window_T again(dir);
    again.Restore(back);
    EXPECT_EQ(again.itemCombo.SelectedIndex(), 1);
}

TEST_F(WindowPlaceTest, PositionIsKnownOnlyFromTwoWholeNumbers)
{
    const struct {
        const char* keys;
        std::optional<std::pair<int, int>> position;
    } cases[] = {
        {"X=-300\r\nY=40", std::pair{-300, 40}},
        {"X=0\r\nY=0", std::pair{0, 0}},
        {"X=-2147483648\r\nY=2147483647", std::pair{INT_MIN, INT_MAX}},
        {"X=10", std::nullopt},
        {"X=10\r\nY=", std::nullopt},
        {"X=12abc\r\nY=3", std::nullopt},
        {"X=+12\r\nY=3", std::nullopt},
        {"X=99999999999\r\nY=3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        dir.Write("tarnwick.ini", std::string("[Tarnwick]\r\n") + c.keys + "\r\n");
        const WindowPlace_T place = ReadWindowPlace(CProfileFile(dir / "tarnwick.ini"));
        EXPECT_EQ(place.hasPosition, c.position.has_value()) << c.keys;
        if (place.hasPosition && c.position) {
            EXPECT_EQ(std::pair(place.x, place.y), *c.position) << c.keys;
        }
    }

    // Written when known only.
    for (const bool known : {false, true}) {
        std::vector<ProfileChange_T> changes;
        AddWindowPlace({.hasPosition = known, .x = -5, .y = 7}, changes);
        const auto written = [&](const char* key) {
            return std::count_if(changes.begin(), changes.end(), [&](const ProfileChange_T& c) {
                return c.key == key && c.value == (key[0] == 'X' ? "-5" : "7");
            });
        };
        EXPECT_EQ(written("X"), known ? 1 : 0);
        EXPECT_EQ(written("Y"), known ? 1 : 0);
    }
}

// Two screens side by side, the right one shorter, panels left out.
TEST(WindowPositionTest, OnlyATitleBarOnAScreenCanBeRestored)
{
    const ScreenArea_T screens[] = {{0, 0, 1920, 1040}, {1920, 0, 1280, 984}};
    const struct {
        const char* what;
        int x, y, width, height;
        bool fits;
    } cases[] = {
        {"on the first", 100, 100, 900, 700, true},
        {"across both", 1500, 200, 900, 700, true},
        {"on the second", 2500, 900, 900, 700, true},
        {"mostly off the left, grip left", -850, 100, 900, 700, true},
        {"mostly off the left, too little left", -860, 100, 900, 700, false},
        {"on a screen since removed", 3300, 100, 900, 700, false},
        {"title bar above the top", 100, -10, 900, 700, false},
        {"title bar partly above, enough left", 100, -8, 900, 700, true},
        {"below the second's bottom", 2500, 970, 900, 700, false},
        {"below the second, on the first", 1800, 1020, 900, 700, true},
        {"a small window inside", 10, 10, 20, 10, true},
        {"zero width", 100, 100, 0, 700, false},
        {"negative height", 100, 100, 900, -1, false},
        {"at INT_MIN", INT_MIN, INT_MIN, 900, 700, false},
        {"at INT_MAX", INT_MAX, INT_MAX, INT_MAX, INT_MAX, false},
        {"the widest from INT_MIN", INT_MIN, 0, INT_MAX, 700, false},
        {"the widest from the left", -1000, 0, INT_MAX, INT_MAX, true},
        {"sizes at INT_MIN", 100, 100, INT_MIN, INT_MIN, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitsOnScreens(c.x, c.y, c.width, c.height, screens), c.fits) << c.what;

    EXPECT_FALSE(FitsOnScreens(100, 100, 900, 700, {}));
    const ScreenArea_T odd[] = {{0, 0, 0, 1040}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, 0, -5, 100}};
    EXPECT_FALSE(FitsOnScreens(100, 100, 900, 700, odd));
    EXPECT_TRUE(FitsOnScreens(INT_MAX - 100, INT_MAX - 4, 900, 700, odd));
}

TEST(WindowPositionTest, ASizeTheUserDidNotChooseIsNotStored)
{
    const struct {
        const char* what;
        WindowSize_T stored, opened, now, kept;
    } cases[] = {
        {"shrunk by a small screen", {1400, 900}, {784, 452}, {784, 452}, {1400, 900}},
        {"resized after that", {1400, 900}, {784, 452}, {800, 452}, {800, 452}},
        {"nothing stored yet", {0, 0}, {900, 700}, {900, 700}, {0, 0}},
        {"resized from the default", {0, 0}, {900, 700}, {1000, 700}, {1000, 700}},
        {"opened as stored", {1400, 900}, {1400, 900}, {1400, 900}, {1400, 900}},
    };
    for (const auto& c : cases) {
        const WindowSize_T kept = SizeToStore(c.stored, c.opened, c.now);
        EXPECT_EQ(kept.width, c.kept.width) << c.what;
        EXPECT_EQ(kept.height, c.kept.height) << c.what;
    }
}

}  // namespace
}  // namespace tarnwick
