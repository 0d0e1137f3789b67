#include "app/collection_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/file_writer.h"
#include "support/temp_folder.h"
#include "talk/line_collection.h"

namespace tarnwick {

void PrintTo(const LineCollection_T& c, std::ostream* os)
{
    *os << '"' << c.name << '"';
    for (const TalkLineKey_T& key : c.lines)
        *os << ' ' << key.talkId << ':' << key.lineNo;
}

namespace {

using test::ReadFileText;
using test::TempFolder;
using Keys = std::vector<TalkLineKey_T>;
using Strings = std::vector<std::string>;

TEST(LineCollectionTest, ReadsGoodFilesAndNamesTheLineOfABadOne)
{
    const std::string bad = "not talkId:lineNo";
    const std::string wide = "a number that does not fit 32 bits";
    struct Case {
        const char* what;
        std::string bytes;
        std::string why;  // empty for a file that reads
        LineCollection_T read;
    };
    const Case cases[] = {
        {"plain", "Favs\n1:2\n-3:40\n", "", {"Favs", {{1, 2}, {-3, 40}}}},
        {"no last line end", "Favs\n1:2", "", {"Favs", {{1, 2}}}},
        {"name only", "Favs", "", {"Favs", {}}},
        {"CR LF", "Favs\r\n1:2\r\n3:4\r\n", "", {"Favs", {{1, 2}, {3, 4}}}},
        {"blank lines", "Favs\n\n1:2\n \t\r\n\n3:4\n\n", "", {"Favs", {{1, 2}, {3, 4}}}},
        {"byte order mark", "\xEF\xBB\xBF\xE5\x8F\xB0\xE8\xA9\x9E\n1:2\n", "", {"\xE5\x8F\xB0\xE8\xA9\x9E", {{1, 2}}}},
        {"a line twice", "Favs\n1:2\n3:4\n1:2\n", "", {"Favs", {{1, 2}, {3, 4}}}},
        {"32-bit limits", "F\n2147483647:-2147483648\n-0:007\n", "", {"F", {{INT32_MAX, INT32_MIN}, {0, 7}}}},
        {"empty file", "", "line 1: no name", {}},
        {"empty first line", "\n1:2\n", "line 1: no name", {}},
        {"spaces for a name", "   \n1:2\n", "line 1: not a collection name", {}},
        {"name too long", std::string(201, 'n') + "\n", "line 1: not a collection name", {}},
        {"CR inside the name", "a\rb\n", "line 1: not a collection name", {}},
        {"name not UTF-8", "caf\xE9\n", "line 1: not UTF-8", {}},
        {"overlong form", "F\n1:2\n\xE0\x80\xAF\n", "line 3: not UTF-8", {}},
        {"surrogate", "F\n\xED\xA0\x80", "line 2: not UTF-8", {}},
        {"sequence cut short", "F\n1:2\xE3\x81", "line 2: not UTF-8", {}},
        {"beyond 32 bits", "F\n1:2\n2147483648:1\n", "line 3: " + wide, {}},
        {"plus sign", "F\n+1:2\n", "line 2: " + bad, {}},
        {"space inside", "F\n1: 2\n", "line 2: " + bad, {}},
        {"third number", "F\n1:2:3\n", "line 2: " + bad, {}},
        {"no line number", "F\n1:\n", "line 2: " + bad, {}},
        {"two CRs", "F\n1:2\r\r\n", "line 2: " + bad, {}},
        {"a word after a blank line", "F\n1:2\n\nfavourite\n", "line 4: " + bad, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LineCollection_T before{"before", {{9, 9}}};
        LineCollection_T read = before;
        std::string why;
        EXPECT_EQ(ParseCollectionFile(c.bytes, read, why), c.why.empty());
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(read, c.why.empty() ? c.read : before);
    }
}

TEST(LineCollectionTest, WhatMayNameACollection)
{
    const std::pair<std::string, bool> cases[] = {
        {"Favourites", true},
        {"\xE5\x8F\xB0\xE8\xA9\x9E", true},                        // Japanese
        {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", true},   // joined by U+200D
        {std::string(198, 'n') + "\xC3\xA9", true},                // 200 bytes
        {std::string(201, 'n'), false},
        {"", false},
        {"  \t ", false},
        {"\xE3\x80\x80", false},  // only an ideographic space
        {"a\nb", false},
        {"a\x7F", false},
        {"a\xC2\x85", false},      // next line, U+0085
        {"a\xE2\x80\xA8", false},  // line separator
        {"\xEF\xBB\xBF" "a", false},
        {"a\xFF", false},
        {std::string("a\0b", 3), false},
    };
    for (const auto& [name, ok] : cases)
        EXPECT_EQ(IsCollectionName(name), ok) << name;
}

TEST(LineCollectionTest, FileTextReadsBackAsItWasWritten)
{
    EXPECT_EQ(CollectionFileText({"Favs", {{1, 2}, {-3, 4}}}), "Favs\n1:2\n-3:4\n");
    const LineCollection_T collections[] = {
        {"\xE5\x8F\xB0\xE8\xA9\x9E", {}},
        {"12:34", {{12, 34}}},
        {" x ", {{INT32_MIN, INT32_MAX}, {0, 0}, {INT32_MAX, INT32_MIN}}},
    };
    for (const LineCollection_T& c : collections) {
        LineCollection_T read;
        std::string why;
        EXPECT_TRUE(ParseCollectionFile(CollectionFileText(c), read, why)) << why;
        EXPECT_EQ(read, c);
    }
}

class CollectionStoreTest : public ::testing::Test {
protected:
    TempFolder dir;
    std::string folder = dir / kCollectionsFolder;
    CCollectionStore store{folder};

    // Everything the folder holds; never a temporary file.
    Strings Files() const
    {
        Strings names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            EXPECT_FALSE(IsTemporaryName(name)) << name;
        return names;
    }
    static Strings Names(const CCollectionStore& s)
    {
        Strings names;
        for (const LineCollection_T& c : s.Collections())
            names.push_back(c.name);
        return names;
    }
    static Strings Problems(const CCollectionStore& s)
    {
        Strings problems;
        for (const Failure_T& f : s.Problems())
            problems.push_back(f.Describe());
        std::sort(problems.begin(), problems.end());
        return problems;
    }
    ino_t Inode(const std::string& file) const
    {
        struct stat st {};
        ::lstat((folder + "/" + file).c_str(), &st);
        return st.st_ino;
    }
    void ExpectReadBack() const
    {
        CCollectionStore fresh(folder);
        fresh.Load();
        EXPECT_EQ(fresh.Collections(), store.Collections());
        EXPECT_EQ(Problems(fresh), Problems(store));
    }
};

TEST_F(CollectionStoreTest, ChangesAreWrittenAndReadBack)
{
    store.Load();
    EXPECT_TRUE(store.Collections().empty());
    EXPECT_TRUE(store.Problems().empty());
    EXPECT_FALSE(std::filesystem::exists(folder));  // made by the first write only
    Failure_T why;
    ASSERT_TRUE(store.Create("b", Keys{{1, 1}, {1, 2}, {1, 1}}, why)) << why.Describe();
    ASSERT_TRUE(store.Create("a", {}, why)) << why.Describe();
    ASSERT_TRUE(store.AddLines("b", Keys{{1, 2}, {3, 4}, {3, 4}}, why)) << why.Describe();
    EXPECT_EQ(ReadFileText(folder + "/b.txt"), "b\n1:1\n1:2\n3:4\n");
    // Nothing to change writes nothing: a written file would be a new one.
    const ino_t written = Inode("b.txt");
    EXPECT_TRUE(store.AddLines("b", Keys{{1, 1}}, why));
    EXPECT_TRUE(store.RemoveLines("b", Keys{{7, 7}}, why));
    EXPECT_TRUE(store.Rename("b", "b", why));
    EXPECT_EQ(Inode("b.txt"), written);
    ASSERT_TRUE(store.RemoveLines("b", Keys{{1, 1}, {7, 7}}, why)) << why.Describe();
    ASSERT_TRUE(store.Rename("b", "0 first", why)) << why.Describe();
    EXPECT_EQ(ReadFileText(folder + "/b.txt"), "0 first\n1:2\n3:4\n");  // the file keeps its name
    ASSERT_TRUE(store.Create("c", Keys{{5, 5}}, why)) << why.Describe();
    ASSERT_TRUE(store.Delete("c", why)) << why.Describe();
    EXPECT_EQ(Names(store), (Strings{"0 first", "a"}));
    EXPECT_EQ(store.Find("a"), 1);
    EXPECT_EQ(store.Find("b"), -1);
    EXPECT_EQ(Files(), (Strings{"a.txt", "b.txt"}));
    ExpectReadBack();

    // Refused changes write nothing and change nothing.
    const std::string missing = " is not in the collections in " + folder;
    const std::string notAName = "not a collection name: empty, only spaces, not UTF-8, holding a line break or "
                                 "other control character, or longer than 200 bytes";
    const std::string taken = ": another collection has this name";
    struct Refusal {
        const char* what;
        std::function<bool(Failure_T&)> change;
        std::string why;
    };
    const Refusal refusals[] = {
        {"create a taken name", [&](Failure_T& w) { return store.Create("a", Keys{{1, 1}}, w); }, "a" + taken},
        {"create no name", [&](Failure_T& w) { return store.Create(" ", {}, w); }, " : " + notAName},
        {"rename onto another", [&](Failure_T& w) { return store.Rename("a", "0 first", w); }, "0 first" + taken},
        {"rename to two lines", [&](Failure_T& w) { return store.Rename("a", "x\ny", w); }, "x\ny: " + notAName},
        {"add to none", [&](Failure_T& w) { return store.AddLines("z", Keys{{1, 1}}, w); }, "z" + missing},
        {"delete none", [&](Failure_T& w) { return store.Delete("z", w); }, "z" + missing},
    };
    const std::vector<LineCollection_T> before = store.Collections();
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        Failure_T refused;
        EXPECT_FALSE(r.change(refused));
        EXPECT_EQ(refused.Describe(), r.why);
        EXPECT_EQ(store.Collections(), before);
        EXPECT_EQ(Files(), (Strings{"a.txt", "b.txt"}));
    }
}

TEST_F(CollectionStoreTest, FileNamesComeFromTheNameAndNeverTakeAnother)
{
    dir.Write("collections/x.txt", "x\nnot a line\n");  // unusable, still its own
    dir.Write("collections/y", "y\n1:1\n");             // not a collection's name
    store.Load();
    std::string kana;  // 3 bytes a letter: cut to 33 of them, 99 bytes
    for (int i = 0; i < 40; ++i)
        kana += "\xE3\x81\x82";
    const std::string cut = kana.substr(0, 99);
    const std::pair<std::string, std::string> cases[] = {
        {"a/b", "a_b.txt"},
        {"a\\b", "a_b (2).txt"},
        {"a_b", "a_b (3).txt"},
        {".hidden", "_hidden.txt"},
        {"x", "x (2).txt"},
        {"y", "y.txt"},
        {"Y", "Y.txt"},
        {kana, cut + ".txt"},
        {kana + "i", cut + " (2).txt"},
    };
    Strings files{"x.txt", "y"};
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        Failure_T why;
        ASSERT_TRUE(store.Create(name, Keys{{1, 1}}, why)) << why.Describe();
        EXPECT_EQ(ReadFileText(folder + "/" + file), name + "\n1:1\n");
        files.push_back(file);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(Files(), files);
    EXPECT_EQ(Names(store), (Strings{".hidden", "Y", "a/b", "a\\b", "a_b", "x", "y", kana, kana + "i"}));
    EXPECT_EQ(ReadFileText(folder + "/x.txt"), "x\nnot a line\n");
    ExpectReadBack();
}

TEST_F(CollectionStoreTest, UnusableFilesAreReportedOnceAndLeftAsTheyAre)
{
    dir.Write("collections/a.txt", "a\n1:1\n");
    dir.Write("collections/b.txt", "b\n");
    dir.Write("collections/notes.md", "caf\xE9");  // not a collection's file name: not looked at
    const std::string at = folder + "/";
    struct Case {
        std::string file;
        std::string content;  // for a regular file
        std::string why;
    };
    const Case cases[] = {
        {"damaged.txt", "d\n1:1\nx\n", "damaged: line 3: not talkId:lineNo"},
        {"latin.txt", "caf\xE9\n", "damaged: line 1: not UTF-8"},
        {"empty.txt", "", "damaged: line 1: no name"},
        {"twin.txt", "a\n2:2\n", "another file holds collection a: a.txt"},
        {"large.txt", "", "larger than 16777216 bytes"},
        {"fifo.txt", "", "not a regular file"},
        {"folder.txt", "", "Is a directory"},
        {"link.txt", "", "a symbolic link, not followed"},
    };
    Strings expected;
    for (const Case& c : cases) {
        const std::string path = at + c.file;
        if (c.file == "large.txt") {
            dir.Write("collections/large.txt", "big\n");
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxCollectionFileBytes + 1)), 0);
            ::close(fd);
        } else if (c.file == "fifo.txt") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        } else if (c.file == "folder.txt") {
            dir.Write("collections/folder.txt/inner.txt", "inner\n");
        } else if (c.file == "link.txt") {
            std::filesystem::create_symlink("a.txt", path);
        } else {
            dir.Write("collections/" + c.file, c.content);
        }
        expected.push_back(path + ": " + c.why);
    }
    std::sort(expected.begin(), expected.end());
    const Strings before = Files();
    store.Load();
    EXPECT_EQ(Problems(store), expected);
    EXPECT_EQ(Names(store), (Strings{"a", "b"}));

    Failure_T why;
    EXPECT_TRUE(store.Create("fifo", Keys{{3, 3}}, why)) << why.Describe();
    EXPECT_TRUE(store.Create("new", {}, why)) << why.Describe();
    EXPECT_TRUE(store.AddLines("a", Keys{{5, 5}}, why)) << why.Describe();
    EXPECT_TRUE(store.Rename("new", "newer", why)) << why.Describe();
    EXPECT_TRUE(store.RemoveLines("a", Keys{{1, 1}}, why)) << why.Describe();
    EXPECT_TRUE(store.Delete("b", why)) << why.Describe();
    Strings after = before;
    after.erase(std::find(after.begin(), after.end(), "b.txt"));
    after.insert(after.end(), {"fifo (2).txt", "new.txt"});
    std::sort(after.begin(), after.end());
    EXPECT_EQ(Files(), after);
    ExpectReadBack();
    EXPECT_EQ(Names(store), (Strings{"a", "fifo", "newer"}));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = at + c.file;
        if (c.file == "large.txt")
            EXPECT_EQ(std::filesystem::file_size(path), kMaxCollectionFileBytes + 1);
        else if (c.file == "fifo.txt")
            EXPECT_TRUE(std::filesystem::is_fifo(path));
        else if (c.file == "folder.txt")
            EXPECT_EQ(ReadFileText(path + "/inner.txt"), "inner\n");
        else if (c.file == "link.txt")
            EXPECT_EQ(std::filesystem::read_symlink(path), "a.txt");
        else
            EXPECT_EQ(ReadFileText(path), c.content);
    }
    EXPECT_EQ(ReadFileText(at + "notes.md"), "caf\xE9");
}

TEST_F(CollectionStoreTest, ReadOnlyFilesAndFoldersAreLeftAsTheyAre)
{
    // Root may write anything; the mode bits still say read-only.
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder ? "read-only folder" : "read-only file");
        std::filesystem::remove_all(folder);
        CCollectionStore s(folder);
        Failure_T why;
        ASSERT_TRUE(s.Create("a", Keys{{1, 1}}, why)) << why.Describe();
        const std::string file = folder + "/a.txt";
        const std::string marked = wholeFolder ? folder : file;
        ASSERT_EQ(::chmod(marked.c_str(), wholeFolder ? 0555 : 0444), 0);
        const ino_t inode = Inode("a.txt");
        const std::vector<LineCollection_T> before = s.Collections();
        std::vector<std::function<bool(Failure_T&)>> changes = {
            [&](Failure_T& w) { return s.Rename("a", "c", w); },
            [&](Failure_T& w) { return s.AddLines("a", Keys{{2, 2}}, w); },
            [&](Failure_T& w) { return s.RemoveLines("a", Keys{{1, 1}}, w); },
            [&](Failure_T& w) { return s.Delete("a", w); },
        };
        if (wholeFolder)
            changes.push_back([&](Failure_T& w) { return s.Create("d", {}, w); });
        for (const auto& change : changes) {
            Failure_T refused;
            EXPECT_FALSE(change(refused));
            EXPECT_EQ(refused.Describe(), marked + ": read-only, left as it is");
            EXPECT_EQ(s.Collections(), before);
            EXPECT_EQ(ReadFileText(file), "a\n1:1\n");
            EXPECT_EQ(Inode("a.txt"), inode);
            EXPECT_EQ(Files(), Strings{"a.txt"});
        }
        ::chmod(marked.c_str(), wholeFolder ? 0755 : 0644);
    }
}

}  // namespace
}  // namespace tarnwick
