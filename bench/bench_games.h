// The generated games the benchmarks run on, made on first use and kept in
// the build folder (the full one is a few hundred megabytes).
#pragma once

#include <string>

namespace tarnwick::bench {

enum class GameScale_T { kDemo, kFull };

// The game folder, generated when missing; empty when that failed.
std::string BenchGameFolder(GameScale_T scale);

}  // namespace tarnwick::bench
