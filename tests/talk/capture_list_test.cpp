#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {
namespace {

// What a capture list gave, flattened for comparison.
struct Loaded {
    std::vector<std::string> names;
    std::vector<std::string> items;  // "group/item: first-last@bgm ..."
};

Loaded LoadList(const std::string& content, const std::string& fileName = "CaptureList.xml")
{
    test::TempFolder dir;
    dir.Write(fileName, content);
    CVeyQelTalk talk;
    talk.SetProgramFolder(dir.Path());
    talk.Load(nullptr, 0);
    Loaded out;
    for (std::size_t i = 0; i < talk.CaptureNameCount(); ++i)
        out.names.push_back(talk.CaptureNameAt(i));
    for (std::size_t i = 0; i < talk.CaptureItemCount(); ++i) {
        const CCaptureElm& item = *talk.CaptureItemAt(i);
        std::string s = item.captureName + "/" + item.itemName + ":";
        for (const TalkRange_T& r : item.ranges)
            s += " " + std::to_string(r.firstId) + "-" + std::to_string(r.lastId) + "@" + std::to_string(r.bgmNo);
        out.items.push_back(s);
    }
    return out;
}

using Strings = std::vector<std::string>;

TEST(CaptureListTest, GroupsItemsAndRanges)
{
    const Loaded l = LoadList(
        "<CaptureList>\r\n"
        "<Item Name=\"Early\">\r\n"
        "<Range>1,2</Range>\r\n"
        "</Item>\r\n"
        "<Capture Name=\"First\">\r\n"
        "\t<Item Name=\"A\">\r\n"
        "\t\t<Range>1,5</Range>\r\n"
        "\t\t<Range>10, 20, 3</Range>\r\n"
        "\t\t<RANGE>-4,-2,1</Range>  trailing\r\n"
        "\t</Item>\r\n"
        "\t<Item Name=\"Empty\"></Item>\r\n"
        "</Capture>\r\n"
        "<Capture Name=\"First\">\r\n"
        "<Item Name=\"B\">\r\n"
        "<Range>7,7,2</Range>\r\n"
        "</CaptureList>");
    EXPECT_EQ(l.names, (Strings{"First", "First"}));
    EXPECT_EQ(l.items, (Strings{"/Early: 1-2@0", "First/A: 1-5@0 10-20@3 -4--2@1", "First/Empty:",
                                "First/B: 7-7@2"}));
}

TEST(CaptureListTest, TheFirstLineMustBeTheExactOpeningTag)
{
    EXPECT_EQ(LoadList(" \t<CaptureList>\t \r\n<Capture Name=\"G\">\n").names, Strings{"G"});
    EXPECT_TRUE(LoadList("<capturelist>\n<Capture Name=\"G\">\n").names.empty());
    EXPECT_TRUE(LoadList("<?xml version=\"1.0\"?>\n<CaptureList>\n<Capture Name=\"G\">\n").names.empty());
    EXPECT_TRUE(LoadList("\xEF\xBB\xBF<CaptureList>\n<Capture Name=\"G\">\n").names.empty());
    EXPECT_TRUE(LoadList("").names.empty());
    EXPECT_TRUE(LoadList("<CaptureList>\n<Capture Name=\"G\">\n", "other.xml").names.empty());
}

TEST(CaptureListTest, RangeLinesThatAreIgnored)
{
    const Loaded l = LoadList(
        "<CaptureList>\n"
        "<Range>1,1</Range>\n"  // no item open yet
        "<Item Name=\"I\">\n"
        "<range>1,5</range>\n"
        "<Range>10 ,20</Range>\n"
        "<Range>7</Range>\n"
        "<Range></Range>\n"
        "<Range>x,1</Range>\n"
        "<Range>3,4,5,6</Range>\n"
        "</Item>\n"
        "<Range>8,9</Range>\n");
    EXPECT_EQ(l.items, Strings{"/I: 3-4@5"});
}

TEST(CaptureListTest, OpenItemsAndNamesAsTheLinesSayThem)
{
    const Loaded l = LoadList(
        "<CaptureList>\n"
        "<Capture Name=\"G1\">\n"
        "<Item Name=\"I1\"><Range>1,2</Range>\n"  // only the item is made
        "<Range>3,4</Range>\n"
        "<Capture Name=\"\">\n"  // empty: items still belong to G1
        "<Item Name=\"\">\n"     // empty: I1 stays open
        "<Range>5,6</Range>\n"
        "</Item >\n"  // not an end-of-item line
        "<Range>7,8</Range>\n"
        "<Capture Name=\"G2\">\n"
        "<Range>9,9</Range>\n"  // still I1's, across the group line
        "<item name=\"A &amp; B\">\n"
        "<Item Name='single'>\n"
        "<Item  Name=\"two spaces\">\n"
        "<Range>1,1,1</Range>\n");
    EXPECT_EQ(l.names, (Strings{"G1", "G2"}));
    EXPECT_EQ(l.items, (Strings{"G1/I1: 3-4@0 5-6@0 7-8@0 9-9@0", "G2/A &amp; B: 1-1@1"}));
}

TEST(CaptureListTest, LineEndsAndNoFinalLineEnd)
{
    // A CR not before LF is content: the name runs up to `">` as usual.
    const Loaded l = LoadList("<CaptureList>\r\n<Capture Name=\"a\rb\">\r\n<Item Name=\"x\">\r\n<Range>1,2,3</Range>");
    EXPECT_EQ(l.names, Strings{"a\rb"});
    EXPECT_EQ(l.items, Strings{"a\rb/x: 1-2@3"});
}

TEST(CaptureListTest, LinesAcrossReadBlocks)
{
    // The list is read 64 KiB at a time: a CR LF split between two reads,
    // a line over several, and a last one without its line end.
    const std::string first(65504, 'a');
    const std::string second(300000, 'b');
    const std::string text = "<CaptureList>\n<Capture Name=\"" + first + "\">\r\n<Capture Name=\"" + second +
                             "\">\n<Capture Name=\"end\">";
    ASSERT_EQ(text.find('\r'), 65535u);
    EXPECT_EQ(LoadList(text).names, (Strings{first, second, "end"}));
}

TEST(CaptureListTest, MissingFileGivesNoGroups)
{
    test::TempFolder dir;
    CVeyQelTalk talk;
    talk.SetProgramFolder(dir.Path());
    talk.Load(nullptr, 0);
    EXPECT_EQ(talk.CaptureNameCount(), 0u);
    EXPECT_EQ(talk.CaptureItemCount(), 0u);
}

TEST(CaptureListTest, OnlyARegularFileOfACaptureListsSizeIsRead)
{
    // Each would hang start-up or fill memory if it were read.
    for (const std::string what : {"folder", "fifo", "device", "too large"}) {
        SCOPED_TRACE(what);
        test::TempFolder dir;
        const std::string path = dir / "CaptureList.xml";
        if (what == "folder") {
            dir.Write("CaptureList.xml/inner", "x");
        } else if (what == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        } else if (what == "device") {
            std::filesystem::create_symlink("/dev/zero", path);
        } else {
            dir.Write("CaptureList.xml", "<CaptureList>\n<Capture Name=\"a\">\n");
            std::filesystem::resize_file(path, kMaxCaptureListBytes + 1);
        }
        CVeyQelTalk talk;
        talk.SetProgramFolder(dir.Path());
        talk.Load(nullptr, 0);
        EXPECT_EQ(talk.CaptureNameCount(), 0u);
    }
}

}  // namespace
}  // namespace tarnwick
