// Hostile or damaged archives: every case must fail cleanly (or, for a .dat
// cut short, read what is there) without over-reading or allocating
// anything near the sizes the records claim.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "devkit/dict_encoder.h"
#include "archive_fixture.h"

namespace tarnwick::test {
namespace {

constexpr int kN = kTableArchive;
constexpr std::uint32_t kC = kStoredCompressed;
constexpr std::uint32_t kSmallBuffer = 1u << 20;

std::string Dir(const std::vector<std::string>& names)
{
    return AsText(CArchiveWriter::NameDirectory(names));
}

std::string Encode(std::string_view s)
{
    CDictEncoder encoder;
    return AsText(encoder.Encode(AsBytes(s)));
}

std::uint32_t Size(std::string_view s) { return static_cast<std::uint32_t>(s.size()); }

// A compressed stream of literal codes only: flag 0, then the byte.
std::string Literals(std::string_view bytes)
{
    std::string out;
    std::uint32_t acc = 0, bits = 0;
    for (unsigned char c : bytes) {
        acc = acc << 9 | c, bits += 9;
        for (; bits >= 8; bits -= 8)
            out += static_cast<char>(acc >> (bits - 8));
        acc &= (1u << bits) - 1;
    }
    if (bits != 0)
        out += static_cast<char>(acc << (8 - bits));
    return out;
}

class ArchiveMalformedTest : public ArchiveFixture {
protected:
    // Two entries, "hello" and "world!", then the directory {a.txt, b.txt}.
    const std::string dir = Dir({"a.txt", "b.txt"});
    const std::string dat = "helloworld!" + dir;
    const std::vector<HedRecord_T> records = {{11, Size(dir), Size(dir)}, {0, 5, 5}, {5, 6, 6}};

    bool OpenRaw(const std::vector<HedRecord_T>& hed, std::string_view datBytes,
                 std::string_view hedTail = {})
    {
        WriteRaw(kN, hed, datBytes, hedTail);
        return set.OpenArchive(kN);
    }

    // The baseline archive with one entry record replaced.
    bool OpenWithEntry(std::uint32_t k, HedRecord_T r, std::string_view datBytes)
    {
        std::vector<HedRecord_T> hed = records;
        hed[k] = r;
        return OpenRaw(hed, datBytes);
    }
};

TEST_F(ArchiveMalformedTest, BaselineIsWellFormed)
{
    ASSERT_TRUE(OpenRaw(records, dat));
    EXPECT_EQ(Read(kN, "a.txt"), "hello");
    EXPECT_EQ(Read(kN, "b.txt"), "world!");
}

TEST_F(ArchiveMalformedTest, IndexOfPartialRecordsOrNoneFails)
{
    EXPECT_FALSE(OpenRaw(records, dat, "x"));
    EXPECT_FALSE(OpenRaw({records[0], records[1]}, dat, "12345678901"));
    EXPECT_FALSE(OpenRaw({}, dat));
    EXPECT_FALSE(set.IsOpen(kN));
}

TEST_F(ArchiveMalformedTest, DirectoryClaimingMoreThanThereIsFails)
{
    // Two names but only one entry record.
    EXPECT_FALSE(OpenRaw({records[0], records[1]}, dat));

    // A count of 3 over two names, with records enough for three.
    std::string three = dir;
    three[0] = 3;
    std::vector<HedRecord_T> four = records;
    four.push_back({0, 5, 5});
    EXPECT_FALSE(OpenRaw(four, "helloworld!" + three));

    // A count that would need gigabytes of name table.
    std::string huge = dir;
    huge.replace(0, 4, "\xFF\xFF\xFF\xFF");
    EXPECT_FALSE(OpenRaw(four, "helloworld!" + huge));

    // The last name runs into the end of the block without its zero byte.
    const std::string unended = dir.substr(0, dir.size() - 1);
    EXPECT_FALSE(OpenRaw({{11, Size(unended), Size(unended)}, records[1], records[2]},
                         "helloworld!" + unended));

    // Names of every length from empty to past two words, so that their
    // zeros fall everywhere in the eight-byte words they are found in: all
    // of them read back, and a count one higher fails.
    std::vector<std::string> names;
    for (std::size_t k = 0; k <= 17; ++k)
        names.push_back(std::string(k, static_cast<char>('a' + k)));
    std::string many = Dir(names);
    std::vector<HedRecord_T> manyRecords(names.size() + 2, HedRecord_T{0, 5, 5});
    manyRecords[0] = {11, Size(many), Size(many)};
    ASSERT_TRUE(OpenRaw(manyRecords, "helloworld!" + many));
    ASSERT_EQ(set.NameCount(kN), names.size());
    for (std::uint32_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(set.NameAt(kN, i), names[i]) << i;
    ++many[0];
    EXPECT_FALSE(OpenRaw(manyRecords, "helloworld!" + many));

    // Too short to hold even the count.
    EXPECT_FALSE(OpenRaw({{11, 3, 3}, records[1], records[2]}, dat));
    EXPECT_FALSE(OpenRaw({{11, 0, 0}, records[1], records[2]}, dat));
    EXPECT_LT(set.BufferCapacity(), kSmallBuffer);
}

// How far the peak of resident memory rose while fn ran, in MiB: from
// where it stood when the system lets the peak start again, else from the
// peak so far.
std::uint64_t PeakRiseMiB(const std::function<void()>& fn)
{
    const auto peak = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmHWM:"))
                return std::stoull(line.substr(6)) * 1024;
        }
        return 0ull;
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::uint64_t before = peak();
    fn();
    return (peak() - before) >> 20;
}

TEST_F(ArchiveMalformedTest, SizesFarBeyondTheNamesCostNoMemory)
{
    // Sparse files: gigabytes that take no disk, and took as much memory
    // when the index or the directory was read whole by its size.
    const struct {
        const char* what;
        std::uint64_t hedSize;
        HedRecord_T directory;
        std::uint64_t datSize;
    } cases[] = {
        {"index of 268 million records", std::uint64_t{3} << 30, records[0], dat.size()},
        {"directory of 2 GiB", records.size() * kHedRecordSize, {11, kStoredSizeMask, kStoredSizeMask},
         11 + std::uint64_t{kStoredSizeMask}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw(kN, {c.directory, records[1], records[2]}, dat);
        std::filesystem::resize_file(HedFile(kN), c.hedSize);
        std::filesystem::resize_file(DatFile(kN), c.datSize);
        bool opened = false;
        const std::uint64_t rise = PeakRiseMiB([&] { opened = set.OpenArchive(kN); });
        ASSERT_TRUE(opened) << set.LastFailure().Describe();
        EXPECT_LT(rise, 64u);
        ASSERT_EQ(set.NameCount(kN), 2u);
        EXPECT_EQ(set.NameAt(kN, 1), "b.txt");
        EXPECT_EQ(Read(kN, "b.txt"), "world!");
    }
}

TEST_F(ArchiveMalformedTest, DirectoryOutsideTheDataFileFails)
{
    const std::uint32_t d = Size(dir);
    const std::string packed = Encode(dir);
    const std::uint32_t p = Size(packed);
    const std::string packedDat = "helloworld!" + packed;
    const std::vector<HedRecord_T> bad = {
        {1000, d, d},
        {Size(dat), d, d},
        {11, d + 1, d + 1},
        {11, 0xFFFFFFFF, 0xFFFFFFFF},
        {11, 0x7FFFFFFF, 0xFFFFFFFF},
    };
    for (const HedRecord_T& r : bad)
        EXPECT_FALSE(OpenRaw({r, records[1], records[2]}, dat)) << r.offset << " " << r.fullSize;

    ASSERT_TRUE(OpenRaw({{11, kC | p, d}, records[1], records[2]}, packedDat));
    EXPECT_EQ(Read(kN, "b.txt"), "world!");
    const std::vector<HedRecord_T> badPacked = {
        {1000, kC | p, d},
        {11, kC | (p + 1), d},
        {11, kC | p, p * 4 * 100 + 1},  // more than p bytes can decode to
        {11, 0xFFFFFFFF, 0xFFFFFFFF},
        {11, kC, 0xFFFFFFFF},
    };
    for (const HedRecord_T& r : badPacked)
        EXPECT_FALSE(OpenRaw({r, records[1], records[2]}, packedDat))
            << r.offset << " " << r.fullSize;

    // The whole directory decodes, then the stream goes on with a code far
    // beyond those defined: the decoder's false must not be ignored.
    const std::string literals = Literals(dir);
    ASSERT_EQ(literals.size() * 8, dir.size() * 9);  // ends on a byte boundary
    ASSERT_TRUE(OpenRaw({{11, kC | Size(literals), d}, records[1], records[2]},
                        "helloworld!" + literals));
    EXPECT_FALSE(OpenRaw({{11, kC | (Size(literals) + 2), d}, records[1], records[2]},
                         "helloworld!" + literals + "\xFF\xFF"));
    // A stream that ends one byte short of the full size.
    EXPECT_FALSE(OpenRaw({{11, kC | Size(literals), d + 1}, records[1], records[2]},
                         "helloworld!" + literals));
    EXPECT_LT(set.BufferCapacity(), kSmallBuffer);
}

TEST_F(ArchiveMalformedTest, EntryOutsideTheDataFileFails)
{
    const std::string packed = Encode("world!");
    const std::uint32_t p = Size(packed);
    // "hello", then b.txt compressed, then the directory.
    const std::string packedDat = "hello" + packed + dir;
    std::vector<HedRecord_T> hed = {{5 + p, Size(dir), Size(dir)}, {0, 5, 5}, {5, kC | p, 6}};
    ASSERT_TRUE(OpenRaw(hed, packedDat));
    ASSERT_EQ(Read(kN, "b.txt"), "world!");

    const std::vector<HedRecord_T> badEntries = {
        {1000, 6, 6},
        {Size(packedDat) + 1, 0, 0},
        {5, kC | Size(packedDat), 6},  // stored bytes run past the end
        {5, kC | p, p * 4 * 100 + 1},  // more than p bytes can decode to
        {5, kC | p, 7},                // decodes one byte short
        {5, 0xFFFFFFFF, 0xFFFFFFFF},
        {5, kC, 0xFFFFFFFF},
    };
    for (const HedRecord_T& r : badEntries) {
        hed[2] = r;
        ASSERT_TRUE(OpenRaw(hed, packedDat));
        EXPECT_EQ(Read(kN, "b.txt"), std::nullopt) << r.offset << " " << r.storedSize;
        EXPECT_EQ(Read(kN, "a.txt"), "hello");
    }
    EXPECT_LT(set.BufferCapacity(), kSmallBuffer);
}

TEST_F(ArchiveMalformedTest, UndefinedCodeInAnEntryFails)
{
    const std::string packedDat = "hello\x80" + dir;
    ASSERT_TRUE(OpenRaw({{6, Size(dir), Size(dir)}, {0, 5, 5}, {5, kC | 1, 6}}, packedDat));
    EXPECT_EQ(Read(kN, "b.txt"), std::nullopt);
}

TEST_F(ArchiveMalformedTest, TruncatedDataFileGivesWhatIsThere)
{
    // Directory first, so that cutting the file short only hits b.txt.
    const std::uint32_t d = Size(dir);
    const std::vector<HedRecord_T> hed = {{0, d, d}, {d, 5, 5}, {d + 5, 6, 6}};
    ASSERT_TRUE(OpenRaw(hed, dir + "hello" + "wor"));
    EXPECT_EQ(Read(kN, "b.txt"), "wor");
    EXPECT_EQ(Read(kN, "a.txt"), "hello");

    // A size near 4 GiB reads the rest of the file, nothing more.
    ASSERT_TRUE(OpenWithEntry(2, {5, 6, 0xFFFFFFFF}, dat));
    EXPECT_EQ(Read(kN, "b.txt"), dat.substr(5));
    EXPECT_LT(set.BufferCapacity(), kSmallBuffer);
}

TEST_F(ArchiveMalformedTest, LooseNamesCannotClimbOutOfTheirFolder)
{
    ASSERT_TRUE(Build(kN, {{"..\\escape.txt", "archived 1"},
                           {"../escape.txt", "archived 2"},
                           {"sub\\..\\..\\escape.txt", "archived 3"},
                           {"escape.txt", "archived 4"}}));
    ASSERT_TRUE(set.OpenArchive(kN));
    // Where the climbing names would lead, in both base folders; the folders
    // they climb from exist, so the host would follow them.
    for (const TempFolder* base : {&game, &program}) {
        std::filesystem::create_directories(*base / (LooseFolder(kN) + "/sub"));
        base->Write("unpack/data/xls/escape.txt", "outside");
        base->Write("unpack/data/xls/pri-escape.txt", "outside");
        base->Write("unpack/data/escape.txt", "outside");
    }
    EXPECT_EQ(Read(kN, "..\\escape.txt"), "archived 1");
    EXPECT_EQ(Read(kN, "../escape.txt"), "archived 2");
    EXPECT_EQ(Read(kN, "sub\\..\\..\\escape.txt"), "archived 3");

    // The folder itself is honoured.
    game.Write(LooseFolder(kN) + "/escape.txt", "inside");
    EXPECT_EQ(Read(kN, "escape.txt"), "inside");
}

TEST_F(ArchiveMalformedTest, FailuresSayWhichFileAndWhy)
{
    namespace fs = std::filesystem;
    struct Case_T {
        const char* what;
        std::function<void()> damage;
        const char* reason;
    };
    const std::vector<Case_T> cases = {
        {"no .dat", [&] { fs::remove(DatFile(kN)); }, "data/xls/table.dat: No such file or directory"},
        {"folder for .hed",
         [&] {
             fs::remove(HedFile(kN));
             fs::create_directory(HedFile(kN));
         },
         "data/xls/table.hed: Is a directory"},
        {"FIFO for .dat",
         [&] {
             fs::remove(DatFile(kN));
             ASSERT_EQ(::mkfifo(DatFile(kN).c_str(), 0600), 0);
         },
         "data/xls/table.dat: not a regular file"},
        {"partial record", [&] { WriteRaw(kN, records, dat, "x"); },
         "data/xls/table.hed: damaged: length is not a multiple of 12"},
        {"names without records", [&] { WriteRaw(kN, {records[0], records[1]}, dat); },
         "data/xls/table.hed: damaged: fewer records than names"},
        {"directory past the end", [&] { WriteRaw(kN, {{1000, 9, 9}, records[1], records[2]}, dat); },
         "data/xls/table.dat: damaged: the name directory lies beyond the end of the file"},
    };
    for (const Case_T& c : cases) {
        fs::remove_all(game / "data");
        WriteRaw(kN, records, dat);
        c.damage();
        EXPECT_FALSE(set.OpenArchive(kN)) << c.what;
        EXPECT_EQ(set.LastFailure().Describe(), c.reason) << c.what;
    }

    // Entries: missing from the directory, or stored past the end.
    fs::remove_all(game / "data");
    ASSERT_TRUE(OpenWithEntry(2, {500, 6, 6}, dat));
    EXPECT_EQ(Read(kN, "c.txt"), std::nullopt);
    EXPECT_EQ(set.LastFailure().Describe(), "c.txt is not in archive 1");
    EXPECT_EQ(Read(kN, "b.txt"), std::nullopt);
    EXPECT_EQ(set.LastFailure().Describe(), "data/xls/table.dat: damaged: entry 2 lies beyond the end of the file");
    EXPECT_EQ(Read(kN, "a.txt"), "hello");
    EXPECT_FALSE(set.LastFailure());
}

}  // namespace
}  // namespace tarnwick::test
