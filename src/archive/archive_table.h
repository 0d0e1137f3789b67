// The game's fixed table of 108 archives: archive number n has its index
// file ArchiveHedPath(n) and data file ArchiveDatPath(n), relative to the
// game folder, with backslash separators as the game writes them.
#pragma once

#include <array>
#include <string>

namespace tarnwick {

inline constexpr int kArchiveCount = 108;

// Archive numbers the program reads itself.
inline constexpr int kTableArchive = 1;
inline constexpr int kFaceArchive = 104;
inline constexpr int kLongVoiceArchive = 105;
inline constexpr int kShortVoiceArchive = 106;

const std::array<std::string, kArchiveCount>& ArchiveDatPaths();
const std::array<std::string, kArchiveCount>& ArchiveHedPaths();

inline bool IsArchiveNumber(int n) { return n >= 0 && n < kArchiveCount; }

}  // namespace tarnwick
