// Writing the demo game's archives: a generic writer for named entries at
// an archive's place in the table, and the filler content of the archives
// the program opens but never reads from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo_plan.h"

namespace tarnwick::demo {

struct ArchiveEntry_T {
    std::string name;
    std::span<const std::uint8_t> bytes;  // owned by the caller
    bool compress = false;
};

// The game folder's path of an archive's .hed or .dat (table paths use
// backslashes).
std::string HostArchivePath(const std::string& folder, const std::string& tablePath);

// Writes archive n under folder with the entries in the given order. Adds
// the bytes written to *written.
bool WriteArchive(const std::string& folder, int n, const std::vector<ArchiveEntry_T>& entries,
                  bool compressNames, std::uint64_t& written, std::string& error);

// Archives 7, 8, 15 and 16 of the full-size game hold this many entries or
// more, like the big model and texture archives of a real install.
inline constexpr std::uint32_t kBigArchiveEntries = 100000;

// How many entries filler archive n gets at the given scale.
std::uint32_t FillerEntryCount(int n, DemoScale scale);

// Writes archive n with made-up entries of its kind (attributes, textures,
// models, animations, ...): a few at demo scale, up to 150,000 at full
// scale. Some entries and some name directories are compressed.
bool WriteFillerArchive(const std::string& folder, int n, DemoScale scale, std::uint64_t seed,
                        std::uint64_t& written, std::string& error);

}  // namespace tarnwick::demo
