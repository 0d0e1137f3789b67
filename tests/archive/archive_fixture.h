// Archives built at the table's paths under a temporary game folder. The
// program folder is a second temporary folder, so that loose files lying
// beside the test binary can never leak into a read.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_set.h"
#include "devkit/archive_writer.h"
#include "support/temp_folder.h"

namespace tarnwick::test {

inline std::string HostRelative(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

inline std::span<const std::uint8_t> AsBytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

inline std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

struct TestEntry {
    std::string name;
    std::string content;
    bool compress = false;
};

class ArchiveFixture : public ::testing::Test {
protected:
    ArchiveFixture()
    {
        set.SetGameFolder(game.Path());
        set.SetProgramFolder(program.Path());
    }

    std::string HedFile(int n) const { return game / HostRelative(ArchiveHedPaths()[n]); }
    std::string DatFile(int n) const { return game / HostRelative(ArchiveDatPaths()[n]); }
    // The loose-file folder of archive n under a base folder, relative to it.
    static std::string LooseFolder(int n) { return "unpack/" + HostRelative(ArchiveDatPaths()[n]); }

    ::testing::AssertionResult BuildAt(const std::string& hed, const std::string& dat,
                                       const std::vector<TestEntry>& entries, bool compressNames)
    {
        CArchiveWriter writer;
        if (!writer.Open(hed, dat))
            return ::testing::AssertionFailure() << "cannot create " << dat;
        for (const TestEntry& e : entries) {
            if (!writer.Add(e.name, AsBytes(e.content), e.compress))
                return ::testing::AssertionFailure() << "cannot add " << e.name;
        }
        if (!writer.Finish(compressNames))
            return ::testing::AssertionFailure() << "cannot finish " << dat;
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult Build(int n, const std::vector<TestEntry>& entries,
                                     bool compressNames = false)
    {
        return BuildAt(HedFile(n), DatFile(n), entries, compressNames);
    }

    // Writes the .hed records (plus any stray bytes) and the .dat exactly as given.
    void WriteRaw(int n, const std::vector<HedRecord_T>& records, std::string_view dat,
                  std::string_view hedTail = {})
    {
        std::vector<std::uint8_t> hed;
        for (const HedRecord_T& r : records) {
            for (std::uint32_t v : {r.offset, r.storedSize, r.fullSize})
                for (int i = 0; i < 4; ++i)
                    hed.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
        hed.insert(hed.end(), hedTail.begin(), hedTail.end());
        ASSERT_TRUE(WriteWholeFile(HedFile(n), hed));
        ASSERT_TRUE(WriteWholeFile(DatFile(n), AsBytes(dat)));
    }

    // The entry's bytes, or nothing when ReadEntry gives false; a false
    // read must leave the length at 0.
    std::optional<std::string> Read(int n, std::string_view name)
    {
        std::uint32_t length = 0xDEADBEEF;
        if (!set.ReadEntry(n, name, &length)) {
            EXPECT_EQ(length, 0u) << name;
            return std::nullopt;
        }
        if (length == 0)
            return std::string();
        EXPECT_LE(length, set.BufferCapacity());
        return std::string(reinterpret_cast<const char*>(set.Buffer()), length);
    }

    TempFolder game;
    TempFolder program;
    CArchiveSet set;
};

}  // namespace tarnwick::test
