#include "archive/archive_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

// The game's layout, row by row: first archive number, folder, base names.
struct Row {
    int first;
    const char* folder;
    std::vector<const char*> bases;
};

const std::vector<Row>& GameLayout()
{
    static const std::vector<Row> rows = {
        {0, "data\\effect", {"effect"}},
        {1, "data\\xls", {"table"}},
        {2, "data\\sprite\\item", {"item"}},
        {3, "data\\sprite\\minimap", {"minimap"}},
        {4, "data\\sprite\\skillicon", {"skillicon"}},
        {5, "data\\sprite\\background", {"bg"}},
        {6, "data\\shader", {"shader"}},
        {7, "data\\map", {"attr", "tex", "mrb", "ct"}},
        {11, "data\\mapobj", {"attr", "tex", "mrb", "ct"}},
        {15, "data\\chara", {"attr", "tex", "mrb", "anim", "ct"}},
        {20, "data\\effect", {"attr", "tex", "mrb", "ct"}},
        {24, "data\\monster", {"attr", "tex", "mrb", "anim"}},
        {28, "data\\npc", {"attr", "tex", "mrb", "anim"}},
        {32, "data\\marionette", {"attr", "tex", "mrb", "anim"}},
        {36, "data\\map", {"map", "mod", "otl", "mof", "eef", "ese"}},
        {42, "data\\other", {"attr", "tex", "mrb", "anim", "ct"}},
        {47, "data\\chara2", {"attr", "tex", "mrb", "anim"}},
        {51, "data\\furniture", {"attr", "tex", "mrb", "anim", "ct"}},
        {56, "data\\chara3", {"attr", "tex", "mrb", "anim"}},
        {60, "data\\chara4", {"attr", "tex", "mrb", "anim"}},
        {64, "data\\face", {"attr", "tex", "mrb", "anim"}},
        {68, "data\\chara5", {"attr", "tex", "mrb", "anim"}},
        {72, "data\\chara6", {"attr", "tex", "mrb", "anim"}},
        {76, "data\\face2", {"attr", "tex", "mrb", "anim"}},
        {80, "data\\chara7", {"attr", "tex", "mrb", "anim"}},
        {84, "data\\chara8", {"attr", "tex", "mrb", "anim"}},
        {88, "data\\face3", {"attr", "tex", "mrb", "anim"}},
        {92, "data\\chara9", {"attr", "tex", "mrb", "anim"}},
        {96, "data\\monster2", {"attr", "tex", "mrb", "anim"}},
        {100, "data\\chara10", {"attr", "tex", "mrb", "anim"}},
        {104, "data\\sprite\\another", {"facepict"}},
        {105, "data\\sound", {"long"}},
        {106, "data\\sound", {"short"}},
        {107, "data\\sound", {"event"}},
    };
    return rows;
}

TEST(ArchiveTableTest, EveryRowMatchesTheGameLayout)
{
    const auto& dat = ArchiveDatPaths();
    int expectedNext = 0;
    for (const Row& row : GameLayout()) {
        ASSERT_EQ(row.first, expectedNext) << row.folder;
        for (std::size_t i = 0; i < row.bases.size(); ++i) {
            const int n = row.first + static_cast<int>(i);
            EXPECT_EQ(dat[n], std::string(row.folder) + "\\" + row.bases[i] + ".dat") << n;
        }
        expectedNext = row.first + static_cast<int>(row.bases.size());
    }
    EXPECT_EQ(expectedNext, kArchiveCount);
}

TEST(ArchiveTableTest, ArchivesTheProgramReads)
{
    const auto& dat = ArchiveDatPaths();
    EXPECT_EQ(dat[kTableArchive], "data\\xls\\table.dat");
    EXPECT_EQ(dat[kFaceArchive], "data\\sprite\\another\\facepict.dat");
    EXPECT_EQ(dat[kLongVoiceArchive], "data\\sound\\long.dat");
    EXPECT_EQ(dat[kShortVoiceArchive], "data\\sound\\short.dat");
}

TEST(ArchiveTableTest, IndexPathsSitBesideDataPaths)
{
    const auto& dat = ArchiveDatPaths();
    const auto& hed = ArchiveHedPaths();
    std::set<std::string> distinct;
    for (int n = 0; n < kArchiveCount; ++n) {
        ASSERT_GT(dat[n].size(), 4u);
        EXPECT_EQ(dat[n].substr(dat[n].size() - 4), ".dat") << n;
        EXPECT_EQ(hed[n], dat[n].substr(0, dat[n].size() - 4) + ".hed") << n;
        EXPECT_EQ(dat[n].find('/'), std::string::npos) << n;
        distinct.insert(dat[n]);
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kArchiveCount));
}

}  // namespace
}  // namespace tarnwick
