#include "archive/archive_table.h"

#include <initializer_list>

namespace tarnwick {

namespace {

struct ArchiveRow_T {
    const char* folder;
    std::initializer_list<const char*> baseNames;
};

// Rows in archive-number order; within a row the numbers follow the order of
// the base names.
const ArchiveRow_T kRows[] = {
    {"data\\effect", {"effect"}},
    {"data\\xls", {"table"}},
    {"data\\sprite\\item", {"item"}},
    {"data\\sprite\\minimap", {"minimap"}},
    {"data\\sprite\\skillicon", {"skillicon"}},
    {"data\\sprite\\background", {"bg"}},
    {"data\\shader", {"shader"}},
    {"data\\map", {"attr", "tex", "mrb", "ct"}},
    {"data\\mapobj", {"attr", "tex", "mrb", "ct"}},
    {"data\\chara", {"attr", "tex", "mrb", "anim", "ct"}},
    {"data\\effect", {"attr", "tex", "mrb", "ct"}},
    {"data\\monster", {"attr", "tex", "mrb", "anim"}},
    {"data\\npc", {"attr", "tex", "mrb", "anim"}},
    {"data\\marionette", {"attr", "tex", "mrb", "anim"}},
    {"data\\map", {"map", "mod", "otl", "mof", "eef", "ese"}},
    {"data\\other", {"attr", "tex", "mrb", "anim", "ct"}},
    {"data\\chara2", {"attr", "tex", "mrb", "anim"}},
    {"data\\furniture", {"attr", "tex", "mrb", "anim", "ct"}},
    {"data\\chara3", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara4", {"attr", "tex", "mrb", "anim"}},
    {"data\\face", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara5", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara6", {"attr", "tex", "mrb", "anim"}},
    {"data\\face2", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara7", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara8", {"attr", "tex", "mrb", "anim"}},
    {"data\\face3", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara9", {"attr", "tex", "mrb", "anim"}},
    {"data\\monster2", {"attr", "tex", "mrb", "anim"}},
    {"data\\chara10", {"attr", "tex", "mrb", "anim"}},
    {"data\\sprite\\another", {"facepict"}},
    {"data\\sound", {"long", "short", "event"}},
};

std::array<std::string, kArchiveCount> BuildPaths(const char* extension)
{
    std::array<std::string, kArchiveCount> paths;
    int n = 0;
    for (const ArchiveRow_T& row : kRows) {
        for (const char* base : row.baseNames) {
            if (n < kArchiveCount)
                paths[n] = std::string(row.folder) + "\\" + base + extension;
            ++n;
        }
    }
    return paths;
}

}  // namespace

const std::array<std::string, kArchiveCount>& ArchiveDatPaths()
{
    static const std::array<std::string, kArchiveCount> paths = BuildPaths(".dat");
    return paths;
}

const std::array<std::string, kArchiveCount>& ArchiveHedPaths()
{
    static const std::array<std::string, kArchiveCount> paths = BuildPaths(".hed");
    return paths;
}

}  // namespace tarnwick
