// Parsing an archive's index and name directory from bytes in memory: the
// checks and the failure each one gives, and the steps in which the archive
// set reads a plain directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "devkit/dict_encoder.h"

namespace tarnwick::test {
namespace {

constexpr int kN = kTableArchive;
constexpr std::uint32_t kC = kStoredCompressed;

std::span<const std::uint8_t> Bytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::uint32_t Size(std::string_view s) { return static_cast<std::uint32_t>(s.size()); }

std::string Hed(const std::vector<HedRecord_T>& records, std::string_view tail = {})
{
    std::string hed;
    for (const HedRecord_T& r : records) {
        for (std::uint32_t v : {r.offset, r.storedSize, r.fullSize})
            for (int i = 0; i < 4; ++i)
                hed += static_cast<char>(v >> (8 * i));
    }
    return hed + std::string(tail);
}

const std::string kDir = Text(CArchiveWriter::NameDirectory({"a.txt", "b.txt"}));
const std::string kPacked = [] {
    CDictEncoder encoder;
    return Text(encoder.Encode(Bytes(kDir)));
}();

std::string WithCount(std::string dir, std::uint8_t count)
{
    dir[0] = static_cast<char>(count);
    return dir;
}

TEST(ArchiveIndexTest, EachCheckBlamesItsFileWithItsReason)
{
    const std::uint32_t d = Size(kDir);
    const std::uint32_t p = Size(kPacked);
    const std::string plain = "helloworld!" + kDir;
    const std::string packed = "helloworld!" + kPacked;
    const HedRecord_T a{0, 5, 5};
    const HedRecord_T b{5, 6, 6};
    const std::string hedPath = "data/xls/table.hed: damaged: ";
    const std::string datPath = "data/xls/table.dat: damaged: ";
    const struct {
        const char* what;
        std::string hed;
        std::string dat;
        std::string failure;  // empty: opens with a.txt and b.txt
    } cases[] = {
        {"plain directory", Hed({{11, d, d}, a, b}), plain, ""},
        {"compressed directory", Hed({{11, kC | p, d}, a, b}), packed, ""},
        {"records beyond the names", Hed({{11, d, d}, a, b, a, b}), plain, ""},
        {"bytes beyond the names", Hed({{11, d + 3, d + 3}, a, b}), plain + "xyz", ""},
        {"no records", "", plain, hedPath + "no record 0"},
        {"partial record", Hed({{11, d, d}, a, b}, "x"), plain, hedPath + "length is not a multiple of 12"},
        {"names without records", Hed({{11, d, d}, a}), plain, hedPath + "fewer records than names"},
        {"count over the records", Hed({{11, d, d}, a, b}), "helloworld!" + WithCount(kDir, 3),
         hedPath + "fewer records than names"},
        {"directory past the end", Hed({{1000, d, d}, a, b}), plain,
         datPath + "the name directory lies beyond the end of the file"},
        {"too short for the count", Hed({{11, 3, 3}, a, b}), plain,
         datPath + "the name directory is shorter than its count"},
        {"plain running past the end", Hed({{11, d + 1, d + 1}, a, b}), plain,
         datPath + "the name directory runs past the end of the file"},
        {"count over the names", Hed({{11, d, d}, a, b, a}), "helloworld!" + WithCount(kDir, 3),
         datPath + "the name directory holds fewer names than its count"},
        {"count over the bytes", Hed({{11, d, d}, a, b}), "helloworld!" + WithCount(kDir, 200),
         datPath + "the name directory holds fewer names than its count"},
        {"stored bytes past the end", Hed({{11, kC | (p + 1), d}, a, b}), packed,
         datPath + "the name directory runs past the end of the file"},
        {"more than the stored bytes hold", Hed({{11, kC | p, p * 4 * 100 + 1}, a, b}), packed,
         datPath + "the name directory's size is more than its stored bytes can hold"},
        {"stream ending short", Hed({{11, kC | p, d + 1}, a, b}), packed,
         datPath + "the name directory does not decode"},
    };
    CDictDecoder decoder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveInfo_T info;
        Failure_T why;
        const bool parsed = ParseArchiveIndex(Bytes(c.hed), Bytes(c.dat), kN, decoder, nullptr, info, why);
        EXPECT_EQ(why.Describe(), c.failure.empty() ? Failure_T().Describe() : c.failure);
        if (!c.failure.empty()) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(info.indexTable, nullptr);
            continue;
        }
        ASSERT_TRUE(parsed);
        ASSERT_EQ(info.nameCount, 2u);
        EXPECT_EQ(info.recordCount, 3u);
        EXPECT_EQ(info.Name(0), "a.txt");
        EXPECT_EQ(info.Find("B.TXT"), 2u);
        EXPECT_EQ(info.indexTable[2].offset, 5u);
        EXPECT_EQ(info.indexTable[2].fullSize, 6u);
    }
}

TEST(ArchiveIndexTest, PlainScanStopsAtTheLastNameHoweverTheBytesArrive)
{
    const std::string dir = kDir + std::string(100, 'x');
    for (const std::size_t step : {std::size_t{1}, std::size_t{3}, std::size_t{8}, dir.size()}) {
        SCOPED_TRACE(step);
        CPlainDirectoryScan scan(kN, Size(dir), 3);
        Failure_T why;
        std::size_t have = 0;
        while (!scan.Done() && have < dir.size()) {
            have = std::min(dir.size(), have + step);
            ASSERT_TRUE(scan.Scan(Bytes(dir).first(have), why)) << why.Describe();
        }
        ASSERT_TRUE(scan.Done());
        EXPECT_EQ(scan.Used(), kDir.size());
        // Nothing past the block that held the last zero was needed.
        EXPECT_LT(have, kDir.size() + step);
    }

    // A count that cannot be right fails on its first four bytes.
    const struct {
        std::uint8_t count;
        std::uint32_t records;
        const char* failure;
    } bad[] = {
        {200, 3, "data/xls/table.dat: damaged: the name directory holds fewer names than its count"},
        {3, 3, "data/xls/table.hed: damaged: fewer records than names"},
    };
    for (const auto& c : bad) {
        CPlainDirectoryScan scan(kN, Size(dir), c.records);
        Failure_T why;
        EXPECT_FALSE(scan.Scan(Bytes(WithCount(dir, c.count)).first(4), why));
        EXPECT_EQ(why.Describe(), c.failure);
    }
}

}  // namespace
}  // namespace tarnwick::test
