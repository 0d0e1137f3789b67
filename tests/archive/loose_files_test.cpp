#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/archive_table.h"
#include "archive/loose_files.h"
#include "host/host_file.h"
#include "support/temp_folder.h"

namespace tarnwick::test {
namespace {

// What Open gives for name in archive 1: the path as messages show it
// relative to the game folder, "" when no loose file counts.
std::string Opened(CLooseFiles& loose, const TempFolder& program, const TempFolder& game, const char* name)
{
    CHostFile file;
    std::string shown;
    if (!loose.Open(kTableArchive, name, program.Path(), game.Path(), file, shown))
        return "";
    return shown.substr(shown.starts_with(game.Path()) ? game.Path().size() : 0);
}

TEST(LooseFilesTest, KeptFoldersAreLookedUpOnceAndPriComesFirst)
{
    TempFolder program;
    TempFolder game;
    CLooseFiles loose;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        std::filesystem::remove_all(game / "unpack");
        loose.KeepFolders(keep);
        EXPECT_EQ(Opened(loose, program, game, "a.csv"), "");

        // Made after the first look: only a reader that looks every time
        // sees it, until the folders are looked up afresh.
        game.Write("unpack/data/xls/table.dat/a.csv", "loose");
        EXPECT_EQ(Opened(loose, program, game, "a.csv"), keep ? "" : "/unpack/data/xls/table.dat/a.csv");
        loose.KeepFolders(keep);
        EXPECT_EQ(Opened(loose, program, game, "a.csv"), "/unpack/data/xls/table.dat/a.csv");

        game.Write("unpack/data/xls/table.dat/pri-a.csv", "loose first");
        EXPECT_EQ(Opened(loose, program, game, "a.csv"), "/unpack/data/xls/table.dat/pri-a.csv");
    }
}

}  // namespace
}  // namespace tarnwick::test
