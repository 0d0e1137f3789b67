// Start-up work on a game: all 108 archives opened (indexes and name
// directories), the talk table fetched and loaded, the capture list read.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/tarnwick_app.h"
#include "archive/archive_set.h"
#include "bench_games.h"
#include "talk/veyqel_talk.h"

namespace tarnwick::bench {
namespace {

// Bytes start-up reads from the game: every index, every stored name
// directory and the stored talk table.
double StartupBytes(const CArchiveSet& set)
{
    double bytes = 0;
    for (int n = 0; n < kArchiveCount; ++n) {
        bytes += 12.0 * (set.NameCount(n) + 1);  // at least; the .hed may hold more
        if (const HedRecord_T* dir = set.Record(n, 0))
            bytes += dir->storedSize & kStoredSizeMask;
    }
    if (const std::uint32_t k = set.FindEntry(kTableArchive, kTalkTableName))
        bytes += set.Record(kTableArchive, k)->storedSize & kStoredSizeMask;
    return bytes;
}

void Startup(benchmark::State& state, GameScale_T scale)
{
    const std::string game = BenchGameFolder(scale);
    if (game.empty()) {
        state.SkipWithError("no game");
        return;
    }
    std::size_t lines = 0;
    double bytes = 0;
    for (auto _ : state) {
        auto set = std::make_unique<CArchiveSet>();
        auto talk = std::make_unique<CVeyQelTalk>();
        set->SetGameFolder(game);
        talk->SetProgramFolder(game);  // the game's sample capture list
        const ReadAhead_T talkTable = TalkTableEntry();
        if (set->OpenAllArchives(&talkTable) >= 0) {
            state.SkipWithError("an archive did not open");
            return;
        }
        std::uint32_t length = 0;
        if (!set->ReadEntry(talkTable.archive, talkTable.name, &length, talkTable.maxSize)) {
            state.SkipWithError("no talk table");
            return;
        }
        talk->Load(set->Buffer(), length);
        lines = talk->GetCount();
        bytes = StartupBytes(*set);
        benchmark::DoNotOptimize(talk->CaptureItemCount());
    }
    state.counters["talk_lines"] = static_cast<double>(lines);
    state.counters["MB_read"] = bytes / 1e6;
}

BENCHMARK_CAPTURE(Startup, demo, GameScale_T::kDemo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Startup, full, GameScale_T::kFull)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace tarnwick::bench
