#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "archive_fixture.h"
#include "support/test_game.h"

namespace tarnwick::test {
namespace {

std::string Varied(std::size_t n, unsigned seed)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += static_cast<char>(i % 7 == 0 ? (seed >> 16) & 0xFF : 'a' + i % 5);
    }
    return s;
}

class ArchiveSetTest : public ArchiveFixture {};

class ArchiveSetDirectoryTest : public ArchiveFixture,
                                public ::testing::WithParamInterface<bool> {};

TEST_P(ArchiveSetDirectoryTest, ReadsPlainAndCompressedEntries)
{
    const std::vector<TestEntry> entries = {
        {"another_aa_talk.csv", "1,1,0001,01,Cast,0,Hello$Rthere,30,0\r\n", false},
        {"0001_01.png", Varied(3000, 1), true},
        {"00001_0001.vc", Varied(700, 2), false},
        {"run.bin", std::string(50000, 'x'), true},
        {"empty.txt", "", false},
        {"empty.z", "", true},
    };
    ASSERT_TRUE(Build(kTableArchive, entries, GetParam()));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    EXPECT_TRUE(set.IsOpen(kTableArchive));
    EXPECT_FALSE(set.IsOpen(kFaceArchive));

    ASSERT_EQ(set.NameCount(kTableArchive), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].name);
        EXPECT_EQ(set.NameAt(kTableArchive, static_cast<std::uint32_t>(i)), entries[i].name);
        EXPECT_EQ(set.FindEntry(kTableArchive, entries[i].name), i + 1);
        EXPECT_EQ(Read(kTableArchive, entries[i].name), entries[i].content);
    }
    // The length is optional.
    EXPECT_TRUE(set.ReadEntry(kTableArchive, "0001_01.png", nullptr));
    EXPECT_EQ(Read(kTableArchive, "missing.csv"), std::nullopt);
    EXPECT_EQ(Read(kFaceArchive, "0001_01.png"), std::nullopt);  // not opened
}

INSTANTIATE_TEST_SUITE_P(NameDirectory, ArchiveSetDirectoryTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Compressed" : "Plain"; });

TEST_F(ArchiveSetTest, NamesMatchIgnoringAsciiCaseOnly)
{
    ASSERT_TRUE(Build(kTableArchive, {{"another_aa_talk.csv", "lower"},
                                      {"ANOTHER_aa_TALK.csv", "upper"},
                                      {"a[1].csv", "bracket"},
                                      {"\xE0.txt", "accent"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    EXPECT_EQ(set.FindEntry(kTableArchive, "ANOTHER_AA_TALK.CSV"), 1u);
    EXPECT_EQ(set.FindEntry(kTableArchive, "ANOTHER_aa_TALK.csv"), 1u);  // earlier wins
    EXPECT_EQ(Read(kTableArchive, "Another_AA_Talk.CSV"), "lower");
    EXPECT_EQ(set.FindEntry(kTableArchive, "another_aa_talk.csv "), 0u);
    EXPECT_EQ(set.FindEntry(kTableArchive, "another_aa_talk"), 0u);
    // '[' and '{' differ by the case bit but are no letters; nor is 0xE0.
    EXPECT_EQ(set.FindEntry(kTableArchive, "a{1}.csv"), 0u);
    EXPECT_EQ(set.FindEntry(kTableArchive, "A[1].CSV"), 3u);
    EXPECT_EQ(set.FindEntry(kTableArchive, "\xC0.txt"), 0u);
    EXPECT_EQ(set.FindEntry(kTableArchive, "\xE0.TXT"), 4u);
}

TEST_F(ArchiveSetTest, LooseFilesOverrideInOrder)
{
    const std::string name = "another_aa_talk.csv";
    ASSERT_TRUE(Build(kTableArchive, {{name, "archive"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));

    const std::string folder = LooseFolder(kTableArchive) + "/";
    const std::string layers[] = {program / (folder + "pri-" + name), program / (folder + name),
                                  game / (folder + "pri-" + name), game / (folder + name)};
    const char* const contents[] = {"program pri", "program plain", "game pri", "game plain"};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteWholeFile(layers[i], AsBytes(contents[i])));
    // A folder of the entry's name is not a loose file.
    std::filesystem::create_directories(program / (folder + "pri-ANOTHER_AA_TALK.CSV"));

    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Read(kTableArchive, name), contents[i]);
        // A pri- file missing where the plain one reads is no failure.
        EXPECT_FALSE(set.LastFailure()) << set.LastFailure().Describe();
        std::filesystem::remove(layers[i]);
    }
    EXPECT_EQ(Read(kTableArchive, name), "archive");
}

TEST_F(ArchiveSetTest, LooseFilesBelongToTheirOwnArchive)
{
    const std::string clip = "00001_0001.vc";
    ASSERT_TRUE(Build(kTableArchive, {{clip, "table"}}));
    ASSERT_TRUE(Build(kLongVoiceArchive, {{clip, "long"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    ASSERT_TRUE(set.OpenArchive(kLongVoiceArchive));
    game.Write(LooseFolder(kLongVoiceArchive) + "/" + clip, "loose long");
    EXPECT_EQ(Read(kLongVoiceArchive, clip), "loose long");
    EXPECT_EQ(Read(kTableArchive, clip), "table");

    // Only a name in the directory is looked for, loose file or not.
    game.Write(LooseFolder(kTableArchive) + "/extra.csv", "loose only");
    program.Write(LooseFolder(kTableArchive) + "/pri-extra.csv", "loose only");
    EXPECT_EQ(Read(kTableArchive, "extra.csv"), std::nullopt);
}

TEST_F(ArchiveSetTest, EmptyLooseFileGivesNoBytesAndKeepsTheBuffer)
{
    ASSERT_TRUE(Build(kTableArchive, {{"first.csv", "abcdef"}, {"second.csv", "archived"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    game.Write(LooseFolder(kTableArchive) + "/second.csv", "");
    ASSERT_EQ(Read(kTableArchive, "first.csv"), "abcdef");
    const std::uint32_t capacity = set.BufferCapacity();

    std::uint32_t length = 99;
    EXPECT_TRUE(set.ReadEntry(kTableArchive, "second.csv", &length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(set.BufferCapacity(), capacity);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(set.Buffer()), 6), "abcdef");
}

TEST_F(ArchiveSetTest, PathsResolveIgnoringCase)
{
    ASSERT_TRUE(BuildAt(game / "Data/XLS/Table.hed", game / "Data/XLS/TABLE.DAT",
                        {{"another_aa_talk.csv", "from archive"}, {"b.csv", "b"}}, true));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    EXPECT_EQ(Read(kTableArchive, "ANOTHER_AA_TALK.CSV"), "from archive");
    game.Write("Unpack/DATA/Xls/Table.Dat/B.CSV", "loose");
    EXPECT_EQ(Read(kTableArchive, "b.csv"), "loose");
}

TEST_F(ArchiveSetTest, SharedBufferGrowsAndNeverShrinks)
{
    const std::string big = Varied(20000, 3);
    ASSERT_TRUE(Build(kFaceArchive, {{"big.png", big, true}, {"small.png", "tiny", false}}));
    ASSERT_TRUE(set.OpenArchive(kFaceArchive));
    const HedRecord_T* record = set.Record(kFaceArchive, set.FindEntry(kFaceArchive, "big.png"));
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->storedSize & kStoredCompressed);
    const std::uint32_t stored = record->storedSize & kStoredSizeMask;

    // The stored bytes sit behind the room for the decoded ones.
    EXPECT_EQ(Read(kFaceArchive, "big.png"), big);
    EXPECT_GE(set.BufferCapacity(), big.size() + stored);
    const std::uint32_t capacity = set.BufferCapacity();
    EXPECT_EQ(Read(kFaceArchive, "small.png"), "tiny");
    EXPECT_EQ(set.BufferCapacity(), capacity);
}

TEST_F(ArchiveSetTest, SizeLimitRefusesLargerEntriesBeforeReadingThem)
{
    ASSERT_TRUE(Build(kFaceArchive, {{"plain.png", std::string(3000, 'p')},
                                     {"packed.png", Varied(3000, 4), true},
                                     {"loose.png", "archived"},
                                     {"huge.png", "archived"}}));
    ASSERT_TRUE(set.OpenArchive(kFaceArchive));
    game.Write(LooseFolder(kFaceArchive) + "/loose.png", std::string(3000, 'l'));
    // A loose file far larger than memory: only its size may be looked at.
    const std::string huge = game / (LooseFolder(kFaceArchive) + "/huge.png");
    game.Write(LooseFolder(kFaceArchive) + "/huge.png", "");
    std::filesystem::resize_file(huge, std::uint64_t{1} << 36);

    const struct {
        const char* name;
        std::uint64_t size;
    } cases[] = {{"plain.png", 3000}, {"packed.png", 3000}, {"loose.png", 3000}, {"huge.png", std::uint64_t{1} << 36}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t capacity = set.BufferCapacity();
        std::uint32_t length = 99;
        EXPECT_FALSE(set.ReadEntry(kFaceArchive, c.name, &length, c.size - 1));
        EXPECT_EQ(length, 0u);
        EXPECT_NE(set.LastFailure().Describe().find("more than the " + std::to_string(c.size - 1)),
                  std::string::npos)
            << set.LastFailure().Describe();
        EXPECT_EQ(set.BufferCapacity(), capacity);
        if (c.size == 3000) {
            EXPECT_TRUE(set.ReadEntry(kFaceArchive, c.name, &length, c.size));
            EXPECT_EQ(length, 3000u);
        }
    }
}

// What a copy handed over, and how.
struct Copied_T {
    std::string bytes;
    std::uint64_t sizeBeforeFirstBlock = 0;
    std::size_t largestBlock = 0;
    int blocks = 0;
};

TEST_F(ArchiveSetTest, CopyHandsOverWhatReadEntryGivesABlockAtATime)
{
    // Each over a block, so that the copy crosses the blocks' seams.
    const std::string plain = Varied(std::size_t{kCopyBlockBytes} * 2 + 5, 8);
    const std::string packed(std::size_t{kCopyBlockBytes} + 7, 'z');
    const std::string loose = Varied(std::size_t{kCopyBlockBytes} + 3, 9);
    ASSERT_TRUE(Build(kFaceArchive, {{"plain.png", plain},
                                     {"loose.png", "archived"},
                                     {"empty.png", ""},
                                     {"packed.png", packed, true}}));
    ASSERT_TRUE(set.OpenArchive(kFaceArchive));
    program.Write(LooseFolder(kFaceArchive) + "/pri-loose.png", loose);

    // Stored and loose entries first: they never need more than a block of
    // buffer, however large they are.
    const struct {
        const char* name;
        const std::string& expected;
        std::uint64_t maxBuffer;
    } cases[] = {
        {"plain.png", plain, kCopyBlockBytes},
        {"loose.png", loose, kCopyBlockBytes},
        {"empty.png", "", kCopyBlockBytes},
        {"packed.png", packed, std::numeric_limits<std::uint32_t>::max()},
    };
    for (const auto& c : cases) {
        for (const bool byNumber : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (byNumber ? " by number" : " by name"));
            Copied_T copied;
            std::uint64_t size = 99;
            const EntrySink sink = [&](std::span<std::uint8_t> block) {
                if (copied.blocks++ == 0)
                    copied.sizeBeforeFirstBlock = size;
                copied.largestBlock = std::max(copied.largestBlock, block.size());
                copied.bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
                return true;
            };
            const std::uint32_t k = set.FindEntry(kFaceArchive, c.name);
            ASSERT_TRUE(byNumber ? set.CopyEntryNumber(kFaceArchive, k, sink, kMaxCopyDecodedBytes, &size)
                                 : set.CopyEntry(kFaceArchive, c.name, sink, kMaxCopyDecodedBytes, &size))
                << set.LastFailure().Describe();
            EXPECT_TRUE(copied.bytes == c.expected);
            EXPECT_EQ(size, c.expected.size());
            EXPECT_EQ(copied.blocks, (c.expected.size() + kCopyBlockBytes - 1) / kCopyBlockBytes);
            if (copied.blocks != 0) {
                EXPECT_EQ(copied.sizeBeforeFirstBlock, c.expected.size());
            }
            EXPECT_LE(copied.largestBlock, kCopyBlockBytes);
            EXPECT_LE(set.BufferCapacity(), c.maxBuffer);
        }
    }
}

TEST_F(ArchiveSetTest, CopyRefusesWhatItShouldBeforeHandingOverAnything)
{
    const std::string plain(std::size_t{kCopyBlockBytes} + 1, 'p');
    ASSERT_TRUE(Build(kFaceArchive, {{"plain.png", plain},
                                     {"packed.png", std::string(5000, 'z'), true},
                                     {"huge.png", "archived"}}));
    ASSERT_TRUE(set.OpenArchive(kFaceArchive));
    // A loose file larger than an entry can be is refused as ReadEntry
    // refuses it, though a copy could take it.
    const std::string huge = game / (LooseFolder(kFaceArchive) + "/huge.png");
    game.Write(LooseFolder(kFaceArchive) + "/huge.png", "");
    std::filesystem::resize_file(huge, std::uint64_t{1} << 32);

    int calls = 0;
    const EntrySink take = [&calls](std::span<std::uint8_t>) { return ++calls, true; };
    const EntrySink stop = [&calls](std::span<std::uint8_t>) { return ++calls, false; };
    // The limit is on decoding: a stored entry of any size is copied.
    ASSERT_TRUE(set.CopyEntry(kFaceArchive, "plain.png", take, 4999));
    EXPECT_EQ(calls, 2);

    const struct {
        const char* name;
        std::uint32_t number;  // 0: by name
        const EntrySink& sink;
        std::string failure;  // empty: the sink stopped the copy
    } cases[] = {
        {"packed.png", 0, take, "packed.png in archive 104: 5000 bytes, more than the 4999 its use allows"},
        {"huge.png", 0, take, huge + ": File too large"},
        {"missing.png", 0, take, "missing.png is not in archive 104"},
        {"", 4, take, "entry 4 is not in archive 104"},
        {"plain.png", 0, stop, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        calls = 0;
        EXPECT_FALSE(c.number != 0 ? set.CopyEntryNumber(kFaceArchive, c.number, c.sink, 4999)
                                   : set.CopyEntry(kFaceArchive, c.name, c.sink, 4999));
        EXPECT_EQ(set.LastFailure().Describe(), c.failure);
        // Only a sink that stopped the copy was given a block, and no more.
        EXPECT_EQ(calls, c.failure.empty() ? 1 : 0);
        EXPECT_LE(set.BufferCapacity(), kCopyBlockBytes);
    }
}

TEST_F(ArchiveSetTest, EmptyDirectoryOpensButFindsNothing)
{
    for (bool compressNames : {false, true}) {
        ASSERT_TRUE(Build(kTableArchive, {}, compressNames));
        ASSERT_TRUE(set.OpenArchive(kTableArchive)) << compressNames;
        EXPECT_EQ(set.NameCount(kTableArchive), 0u);
        EXPECT_EQ(set.FindEntry(kTableArchive, ""), 0u);
        game.Write(LooseFolder(kTableArchive) + "/another_aa_talk.csv", "loose");
        EXPECT_EQ(Read(kTableArchive, "another_aa_talk.csv"), std::nullopt);
    }
}

TEST_F(ArchiveSetTest, ReopeningReplacesTheTables)
{
    ASSERT_TRUE(Build(kTableArchive, {{"old.csv", "old"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    ASSERT_TRUE(Build(kTableArchive, {{"new.csv", "new"}, {"other.csv", "other"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    EXPECT_EQ(set.FindEntry(kTableArchive, "old.csv"), 0u);
    EXPECT_EQ(set.NameCount(kTableArchive), 2u);
    EXPECT_EQ(Read(kTableArchive, "new.csv"), "new");

    // A failed reopen leaves no table behind, not the previous one.
    std::filesystem::remove(DatFile(kTableArchive));
    EXPECT_FALSE(set.OpenArchive(kTableArchive));
    EXPECT_FALSE(set.IsOpen(kTableArchive));
    EXPECT_EQ(set.FindEntry(kTableArchive, "new.csv"), 0u);
    EXPECT_EQ(set.NameCount(kTableArchive), 0u);
}

TEST_F(ArchiveSetTest, OpeningAllTakesTheFirstFailureInOrder)
{
    // Whatever the two threads meet first, the result is that of opening
    // the archives one by one.
    struct Case_T {
        std::set<int> missing;
        int failed;
    };
    for (const Case_T& c : {Case_T{{}, -1}, Case_T{{50}, 50}, Case_T{{107, 3}, 3}, Case_T{{0}, 0}}) {
        TempFolder folder;
        WriteTestGame(folder.Path(), {.missingArchives = c.missing});
        CArchiveSet all;
        all.SetGameFolder(folder.Path());
        EXPECT_EQ(all.OpenAllArchives(), c.failed);
        for (int n = 0; n < kArchiveCount; ++n)
            EXPECT_EQ(all.IsOpen(n), c.failed < 0 || n < c.failed) << n;
        if (c.failed >= 0)
            EXPECT_EQ(all.LastFailure().Describe(),
                      HostRelative(ArchiveHedPaths()[c.failed]) + ": No such file or directory");
        else
            EXPECT_EQ(all.FindEntry(0, "marker.txt"), 1u);
    }

    // Opening all again and failing at archive 50 leaves the archives after
    // it as the first opening gave them, their tables still readable while
    // the tables before it are the new ones.
    TempFolder folder;
    WriteTestGame(folder.Path(), {});
    CArchiveSet all;
    all.SetGameFolder(folder.Path());
    ASSERT_EQ(all.OpenAllArchives(), -1);
    std::filesystem::remove(folder / HostRelative(ArchiveHedPaths()[50]));
    WriteTestGame(folder.Path(), {.missingArchives = {50}, .marker = "second"});
    ASSERT_EQ(all.OpenAllArchives(), 50);
    for (const int n : {0, 49, 51, 107}) {
        SCOPED_TRACE(n);
        std::uint32_t length = 0;
        ASSERT_TRUE(all.ReadEntry(n, "entry" + std::to_string(n) + ".bin", &length));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(all.Buffer()), length), "payload");
    }
    std::uint32_t length = 0;
    ASSERT_TRUE(all.ReadEntry(0, "marker.txt", &length));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(all.Buffer()), length), "second");
}

TEST_F(ArchiveSetTest, EntryReadAheadWhileOpeningServesTheNextReadOfItOnly)
{
    const std::string table = Varied(60000, 7);
    const std::string name = "another_aa_talk.csv";
    const ReadAhead_T ahead{kTableArchive, name, 1u << 20};
    struct Case_T {
        const char* what;
        std::string loose;        // written as the entry's loose file after opening
        bool otherReadFirst;      // another entry read before it
        std::uint64_t maxSize;    // of the read
        std::optional<std::string> expected;
    };
    const Case_T cases[] = {
        {"read ahead", "", false, 1u << 20, table},
        {"a loose file still wins", "loose", false, 1u << 20, "loose"},
        {"another read drops it", "", true, 1u << 20, std::nullopt},
        {"the read's own limit holds", "", false, 1000, std::nullopt},
    };
    for (const Case_T& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteTestGame(folder.Path(), {.talkTable = table});
        CArchiveSet all;
        all.SetGameFolder(folder.Path());
        ASSERT_EQ(all.OpenAllArchives(&ahead), -1);
        // Stored bytes damaged after opening: only the bytes read ahead can
        // still give the table.
        const std::string dat = folder.Path() + "/" + HostRelative(ArchiveDatPaths()[kTableArchive]);
        const HedRecord_T* record = all.Record(kTableArchive, all.FindEntry(kTableArchive, name));
        ASSERT_NE(record, nullptr);
        ASSERT_TRUE(record->storedSize & kStoredCompressed);
        {
            std::fstream file(dat, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(record->offset);
            const std::string ones((record->storedSize & kStoredSizeMask), '\xFF');
            ASSERT_TRUE(file.write(ones.data(), static_cast<std::streamsize>(ones.size())));
        }
        if (!c.loose.empty()) {
            const std::string loose = folder.Path() + "/" + LooseFolder(kTableArchive);
            std::filesystem::create_directories(loose);
            ASSERT_TRUE(WriteWholeFile(loose + "/" + name, AsBytes(c.loose)));
        }
        if (c.otherReadFirst) {
            ASSERT_TRUE(all.ReadEntry(0, "marker.txt", nullptr));
        }
        std::uint32_t length = 0;
        const bool ok = all.ReadEntry(kTableArchive, name, &length, c.maxSize);
        EXPECT_EQ(ok ? std::optional<std::string>(std::string(reinterpret_cast<const char*>(all.Buffer()), length))
                     : std::nullopt,
                  c.expected);
        // Once taken, it is gone: the damaged bytes are what a second read finds.
        if (ok && c.loose.empty()) {
            EXPECT_FALSE(all.ReadEntry(kTableArchive, name, &length, c.maxSize));
        }
    }
}

TEST_F(ArchiveSetTest, MissingFilesOrNumbersFailToOpen)
{
    EXPECT_FALSE(set.OpenArchive(kTableArchive));  // nothing there at all
    ASSERT_TRUE(Build(kTableArchive, {{"a.csv", "a"}}));
    std::filesystem::remove(HedFile(kTableArchive));
    EXPECT_FALSE(set.OpenArchive(kTableArchive));

    ASSERT_TRUE(Build(kTableArchive, {{"a.csv", "a"}}));
    ASSERT_TRUE(set.OpenArchive(kTableArchive));
    std::filesystem::remove(DatFile(kTableArchive));
    EXPECT_EQ(Read(kTableArchive, "a.csv"), std::nullopt);  // opened, .dat gone since
    EXPECT_FALSE(set.OpenArchive(kTableArchive));

    EXPECT_FALSE(set.OpenArchive(-1));
    EXPECT_FALSE(set.OpenArchive(kArchiveCount));
    EXPECT_EQ(Read(kArchiveCount, "a.csv"), std::nullopt);
}

}  // namespace
}  // namespace tarnwick::test
