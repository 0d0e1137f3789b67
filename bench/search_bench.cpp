// Finding lines on the full game: the first search folds every line once,
// each later keystroke only compares (the list must follow within a frame).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/tarnwick_app.h"
#include "archive/archive_set.h"
#include "bench_games.h"
#include "talk/line_search.h"
#include "talk/selection_models.h"
#include "talk/veyqel_talk.h"

namespace tarnwick::bench {
namespace {

// The full game's catalogue and the window's list of every line.
struct Catalogue_T {
    CVeyQelTalk talk;
    CTalkListModel list;
    bool ok = false;
};

Catalogue_T& FullCatalogue()
{
    static const std::unique_ptr<Catalogue_T> c = [] {
        auto owned = std::make_unique<Catalogue_T>();
        Catalogue_T& out = *owned;
        const std::string game = BenchGameFolder(GameScale_T::kFull);
        auto set = std::make_unique<CArchiveSet>();
        set->SetGameFolder(game);
        std::uint32_t length = 0;
        if (game.empty() || !set->OpenArchive(kTableArchive) ||
            !set->ReadEntry(kTableArchive, kTalkTableName, &length))
            return owned;
        out.talk.LoadTable(set->Buffer(), length);
        out.list.BeginFill(out.talk.GetCount());
        for (std::size_t i = 0; i < out.talk.GetCount(); ++i)
            out.list.AppendRow(out.talk.GetAt(i));
        out.list.EndFill();
        out.ok = true;
        return owned;
    }();
    return *c;
}

// Typed one character at a time, as a user would: "か", "かい", ...
const char* const kTyped[] = {"\xE3\x82\xAB", "\xE3\x82\xAB\xE3\x82\xA4", "\xE3\x82\xAB\xE3\x82\xA4\xE3\x83\xAB",
                              "\xE3\x82\xAB\xE3\x82\xA4\xE3\x83\xAB 1"};

void FirstSearch(benchmark::State& state)
{
    Catalogue_T& c = FullCatalogue();
    if (!c.ok) {
        state.SkipWithError("no full game");
        return;
    }
    for (auto _ : state) {
        CLineSearch search;  // nothing folded yet
        search.SetQuery(kTyped[0]);
        c.list.Filter([&](const CVeyQelTalkElm* r) { return search.Matches(*r); });
        benchmark::DoNotOptimize(c.list.RowCount());
    }
    state.counters["lines"] = static_cast<double>(c.list.TotalRowCount());
}

void Keystroke(benchmark::State& state)
{
    Catalogue_T& c = FullCatalogue();
    if (!c.ok) {
        state.SkipWithError("no full game");
        return;
    }
    CLineSearch search;
    search.SetQuery(kTyped[0]);
    c.list.Filter([&](const CVeyQelTalkElm* r) { return search.Matches(*r); });  // folds every line
    const char* const query = kTyped[state.range(0)];
    for (auto _ : state) {
        search.SetQuery(query);
        c.list.Filter([&](const CVeyQelTalkElm* r) { return search.Matches(*r); });
        benchmark::DoNotOptimize(c.list.RowCount());
    }
    state.counters["shown"] = static_cast<double>(c.list.RowCount());
}

BENCHMARK(FirstSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(Keystroke)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick::bench
