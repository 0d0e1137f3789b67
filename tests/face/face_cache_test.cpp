#include "face/face_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "png_maker.h"
#include "support/temp_folder.h"

namespace tarnwick {
namespace {

std::string HostRelative(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string FaceName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "%04d_00.png", i);
    return name;
}

// A 1 x 1 picture whose red byte tells which face it is.
std::vector<std::uint8_t> FacePng(int i)
{
    return test::PlainRgbaPng(1, 1, {static_cast<std::uint8_t>(i), 0, 0, 255});
}

int FaceNumber(const CVeyFaceImage* face) { return face ? face->image.Row(0)[2] : -1; }

// Archive 104 of a temporary game folder holding faces 0 to 29 (the odd
// ones compressed) and a few broken entries; loose overrides go under the
// game folder, the program folder stays empty.
class FaceCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CArchiveWriter writer;
        ASSERT_TRUE(writer.Open(game / HostRelative(ArchiveHedPaths()[kFaceArchive]),
                                game / HostRelative(ArchiveDatPaths()[kFaceArchive])));
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(writer.Add(FaceName(i), FacePng(i), i % 2 == 1));
        ASSERT_TRUE(writer.Add("empty.png", {}, false));
        const std::string garbage = "\x89PNG but then nothing like a picture";
        ASSERT_TRUE(writer.Add("garbage.png", std::vector<std::uint8_t>(garbage.begin(), garbage.end()), false));
        ASSERT_TRUE(writer.Add("loose.png", FacePng(0), false));
        ASSERT_TRUE(writer.Finish(true));

        set.SetGameFolder(game.Path());
        set.SetProgramFolder(program.Path());
        ASSERT_TRUE(set.OpenArchive(kFaceArchive));
    }

    void WriteLoose(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        game.Write("unpack/" + HostRelative(ArchiveDatPaths()[kFaceArchive]) + "/" + name, bytes);
    }

    std::vector<std::string> CachedNames() const
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < cache.GetCount(); ++i)
            names.push_back(cache.GetAt(i)->name);
        return names;
    }

    std::vector<std::string> Names(int first, int last) const
    {
        std::vector<std::string> names;
        for (int i = first; i <= last; ++i)
            names.push_back(FaceName(i));
        return names;
    }

    test::TempFolder game;
    test::TempFolder program;
    CArchiveSet set;
    CFaceCache cache;
};

TEST_F(FaceCacheTest, LoadsDecodesAndKeepsAPicture)
{
    const CVeyFaceImage* face = cache.GetFaceImage(set, FaceName(7));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->name, FaceName(7));
    EXPECT_EQ(face->image.width, 1);
    EXPECT_EQ(FaceNumber(face), 7);
    EXPECT_EQ(face->image.Row(0)[3], 255);
    EXPECT_EQ(cache.GetCount(), 1u);
}

TEST_F(FaceCacheTest, AHitGivesTheSameEntryWithoutReadingAgain)
{
    WriteLoose("loose.png", FacePng(5));
    const CVeyFaceImage* first = cache.GetFaceImage(set, "loose.png");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FaceNumber(first), 5);

    // A read would now find garbage.
    WriteLoose("loose.png", {'x'});
    const CVeyFaceImage* again = cache.GetFaceImage(set, "loose.png");
    EXPECT_EQ(again, first);
    EXPECT_EQ(FaceNumber(again), 5);
    EXPECT_EQ(cache.GetCount(), 1u);

    // Names match by their exact bytes: the archive finds "LOOSE.PNG" as
    // the same entry, the cache does not, so it is read and kept apart.
    EXPECT_EQ(cache.GetFaceImage(set, "LOOSE.PNG"), nullptr);
    WriteLoose("LOOSE.PNG", FacePng(6));
    const CVeyFaceImage* upper = cache.GetFaceImage(set, "LOOSE.PNG");
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(FaceNumber(upper), 6);
    EXPECT_EQ(CachedNames(), (std::vector<std::string>{"loose.png", "LOOSE.PNG"}));
}

TEST_F(FaceCacheTest, TheTwentyFirstPictureEvictsTheOldest)
{
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(cache.GetFaceImage(set, FaceName(i)), nullptr);
    EXPECT_EQ(CachedNames(), Names(0, 19));

    // The new entry is appended before the oldest goes, so it is never the
    // one dropped.
    const CVeyFaceImage* newest = cache.GetFaceImage(set, FaceName(20));
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->name, FaceName(20));
    EXPECT_EQ(FaceNumber(newest), 20);
    EXPECT_EQ(CachedNames(), Names(1, 20));

    // The evicted one is read again and pushes out the next oldest.
    const CVeyFaceImage* back = cache.GetFaceImage(set, FaceName(0));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(FaceNumber(back), 0);
    std::vector<std::string> expected = Names(2, 20);
    expected.push_back(FaceName(0));
    EXPECT_EQ(CachedNames(), expected);
}

TEST_F(FaceCacheTest, AHitDoesNotProtectAnEntry)
{
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(cache.GetFaceImage(set, FaceName(i)), nullptr);
    ASSERT_NE(cache.GetFaceImage(set, FaceName(0)), nullptr);
    EXPECT_EQ(CachedNames(), Names(0, 19));

    ASSERT_NE(cache.GetFaceImage(set, FaceName(20)), nullptr);
    EXPECT_EQ(CachedNames(), Names(1, 20));
}

TEST_F(FaceCacheTest, FailuresCacheNothingAndAreTriedAgain)
{
    ASSERT_NE(cache.GetFaceImage(set, FaceName(1)), nullptr);
    for (const char* name : {"missing.png", "empty.png", "garbage.png"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cache.GetFaceImage(set, name), nullptr);
        EXPECT_EQ(CachedNames(), (std::vector<std::string>{FaceName(1)}));
    }

    // The same names asked again go back to the archive, which now has a
    // picture for one of them.
    WriteLoose("garbage.png", FacePng(9));
    const CVeyFaceImage* mended = cache.GetFaceImage(set, "garbage.png");
    ASSERT_NE(mended, nullptr);
    EXPECT_EQ(FaceNumber(mended), 9);
    EXPECT_EQ(cache.GetFaceImage(set, "empty.png"), nullptr);
    EXPECT_EQ(CachedNames(), (std::vector<std::string>{FaceName(1), "garbage.png"}));

    // A face archive that is not open gives nothing, and a cache that is
    // full still keeps its twenty when a load fails.
    CArchiveSet closed;
    closed.SetGameFolder(game.Path());
    EXPECT_EQ(cache.GetFaceImage(closed, FaceName(2)), nullptr);
    for (int i = 2; i < 20; ++i)
        ASSERT_NE(cache.GetFaceImage(set, FaceName(i)), nullptr);
    EXPECT_EQ(cache.GetFaceImage(set, "missing.png"), nullptr);
    EXPECT_EQ(cache.GetCount(), kFaceCacheSize);
    EXPECT_EQ(cache.GetAt(0)->name, FaceName(1));
}

TEST_F(FaceCacheTest, MemoryBudgetAndEntrySizeBoundWhatIsHeld)
{
    // Three 1 x 1 pictures fit; a fourth pushes out the oldest.
    CFaceCache small(12);
    for (int i = 0; i < 5; ++i)
        ASSERT_NE(small.GetFaceImage(set, FaceName(i)), nullptr);
    EXPECT_EQ(small.GetCount(), 3u);
    EXPECT_EQ(small.Bytes(), 12u);
    EXPECT_EQ(small.GetAt(0)->name, FaceName(2));
    // The new picture stays even when it alone passes the budget.
    CFaceCache tiny(1);
    ASSERT_NE(tiny.GetFaceImage(set, FaceName(0)), nullptr);
    ASSERT_NE(tiny.GetFaceImage(set, FaceName(1)), nullptr);
    EXPECT_EQ(tiny.GetCount(), 1u);

    // An entry larger than any face is refused before it is read, and a
    // picture larger than any face before it is decoded; the line keeps
    // its old face.
    WriteLoose("loose.png", {});
    const std::string loose = game / ("unpack/" + HostRelative(ArchiveDatPaths()[kFaceArchive]) + "/loose.png");
    std::filesystem::resize_file(loose, kMaxFaceEntryBytes + 1);
    EXPECT_EQ(cache.GetFaceImage(set, "loose.png"), nullptr);
    EXPECT_NE(set.LastFailure().Describe().find("more than"), std::string::npos);
    EXPECT_LT(set.BufferCapacity(), kMaxFaceEntryBytes);
    WriteLoose("garbage.png", test::HeaderOnlyPng(kMaxFaceSide + 1, kMaxFaceSide));
    EXPECT_EQ(cache.GetFaceImage(set, "garbage.png"), nullptr);
    EXPECT_EQ(cache.GetCount(), 0u);
}

}  // namespace
}  // namespace tarnwick
