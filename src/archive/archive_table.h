// The game's fixed table of 108 archives: archive number n has its index
// file ArchiveHedPaths()[n] and data file ArchiveDatPaths()[n], relative to
// the game folder, with backslash separators as the game writes them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tarnwick {

inline constexpr int kArchiveCount = 108;

// Archive numbers the program reads itself.
inline constexpr int kTableArchive = 1;
inline constexpr int kFaceArchive = 104;
inline constexpr int kLongVoiceArchive = 105;
inline constexpr int kShortVoiceArchive = 106;

// The talk table: an entry of kTableArchive.
inline constexpr const char* kTalkTableName = "another_aa_talk.csv";
// The game's talk table is a few megabytes; a larger one is not read.
inline constexpr std::uint64_t kMaxTalkTableBytes = 256u << 20;

// An entry to read while the archives open: archive, name, and the size
// above which the read that wants it refuses it.
struct ReadAhead_T {
    int archive = -1;
    std::string name;
    std::uint64_t maxSize = 0;
    // Given the decoded bytes on the thread that decoded them, while the
    // other archives go on opening, so that what is made of them is made
    // meanwhile; the bytes go when it returns. Not called when the entry
    // is not decoded ahead (absent, stored plain, too large, damaged).
    std::function<void(std::span<const std::uint8_t>)> decoded;
};

// The talk table's entry and the size above which reading it is refused:
// what start-up reads, and has decoded while the archives open.
inline ReadAhead_T TalkTableEntry() { return {kTableArchive, kTalkTableName, kMaxTalkTableBytes}; }

const std::array<std::string, kArchiveCount>& ArchiveDatPaths();
const std::array<std::string, kArchiveCount>& ArchiveHedPaths();

inline bool IsArchiveNumber(int n) { return n >= 0 && n < kArchiveCount; }

}  // namespace tarnwick
