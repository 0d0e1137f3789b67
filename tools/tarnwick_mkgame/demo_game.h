// The demo game: a complete, small but real install of the game Tarnwick
// reads (108 archives, talk table, face pictures, voice clips, music) plus
// a sample capture list, for trying the program and for its tests and
// benchmarks on machines without the game.
#pragma once

#include <cstdint>
#include <string>

#include "demo_plan.h"

namespace tarnwick::demo {

struct DemoGameOptions_T {
    std::uint64_t seed = 1;
    DemoScale scale = DemoScale::kDemo;
    std::string ffmpeg = "ffmpeg";  // a bare name is looked up on PATH
    int threads = 2;                // for encoding clips and drawing faces
};

struct DemoGameReport_T {
    std::string error;  // why WriteDemoGame gave false
    std::size_t talkLines = 0;
    std::size_t voiceEntries = 0;  // in both voice archives together
    std::size_t facePictures = 0;
    std::size_t archiveEntries = 0;  // in all 108 archives
    std::uint64_t bytesWritten = 0;
};

// Writes the game into folder (created when missing; files of an earlier
// run are overwritten). Writes nothing outside it. The same options give
// the same bytes.
bool WriteDemoGame(const std::string& folder, const DemoGameOptions_T& options,
                   DemoGameReport_T* report = nullptr);

}  // namespace tarnwick::demo
