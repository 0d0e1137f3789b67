// How long a line takes to start: PlayTalkLine with the real face cache and
// composite, and the real clip fetch and decode handed to a device that
// plays nothing. Faces come cached (the same face again) or uncached (the
// cache emptied before every line).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "bench_games.h"
#include "face/face_cache.h"
#include "face/face_draw.h"
#include "sound/voice_output.h"
#include "support/wave_recorder.h"
#include "talk/selection_models.h"
#include "talk/veyqel_talk.h"
#include "walk/talk_walker.h"

namespace tarnwick::bench {
namespace {

// The window's part done for real but for the screen: the frame is composed
// at 96 x 96 and dropped; the clip is decoded and handed to the recorder.
class BenchHost : public IWalkerHost {
public:
    CArchiveSet archives;
    VoiceOutput voice;
    CWaveRecorder device{false};
    std::unique_ptr<CFaceCache> faces = std::make_unique<CFaceCache>();

    bool DrawFace(const std::string& name, int frameStyle) override
    {
        const CVeyFaceImage* face = faces->GetFaceImage(archives, name);
        if (!face)
            return false;
        FaceFrame_T frame = DrawFaceImage(frameStyle, 96, 96, face->image);
        benchmark::DoNotOptimize(frame.pixels.get());
        return true;
    }
    void ShowTalkText(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
    void ShowCast(std::string_view) override {}
    void ShowWait(std::int32_t) override {}
    void ShowMode(ClipKind_T) override {}
    void ShowStartText(StartText_T) override {}
    PlayMode_T PlayMode() const override { return PlayMode_T::kDefault; }
    void ArmNextLineTimer(int) override {}
    void StopNextLineTimer() override {}
    bool PlayVoiceClip(const std::string& name, ClipKind_T kind) override
    {
        return tarnwick::PlayVoiceClip(device, voice, archives, name, kind);
    }
    bool IsClipPlaying() const override { return voice.IsPlaying(); }
    void StopVoiceClip() override { tarnwick::StopVoiceClip(voice); }
    void CloseVoiceClip() override { tarnwick::CloseVoiceClip(voice); }
    void PlayBgm(int) override {}
    void StopBgm() override {}
    void PollBgm(int) override {}
};

struct Bench_T {
    BenchHost host;
    CVeyQelTalk talk;
    CTalkListModel list;
    std::vector<CVeyQelTalkElm*> voiced;  // lines with a face and a clip
};

std::unique_ptr<Bench_T> Load(GameScale_T scale)
{
    const std::string game = BenchGameFolder(scale);
    if (game.empty())
        return nullptr;
    auto b = std::make_unique<Bench_T>();
    b->host.archives.SetGameFolder(game);
    for (int n = 0; n < kArchiveCount; ++n)
        if (!b->host.archives.OpenArchive(n))
            return nullptr;
    std::uint32_t length = 0;
    if (!b->host.archives.ReadEntry(kTableArchive, kTalkTableName, &length))
        return nullptr;
    b->talk.LoadTable(b->host.archives.Buffer(), length);
    for (std::size_t i = 0; i < b->talk.GetCount() && b->voiced.size() < 200; ++i) {
        CVeyQelTalkElm* r = b->talk.GetAt(i);
        const int archive = r->voiceKind == 1 ? kShortVoiceArchive : kLongVoiceArchive;
        if (r->voiceKind != 0 && b->host.archives.FindEntry(archive, r->VoiceEntryName()) &&
            b->host.archives.FindEntry(kFaceArchive, r->FaceEntryName()))
            b->voiced.push_back(r);
    }
    return b->voiced.empty() ? nullptr : std::move(b);
}

void PlayLine(benchmark::State& state, GameScale_T scale, bool cachedFace)
{
    const std::unique_ptr<Bench_T> b = Load(scale);
    if (!b) {
        state.SkipWithError("no game");
        return;
    }
    CTalkWalker walker(b->list, b->host);
    std::size_t i = 0;
    for (auto _ : state) {
        CVeyQelTalkElm* line = b->voiced[cachedFace ? 0 : i++ % b->voiced.size()];
        if (!cachedFace) {
            state.PauseTiming();
            b->host.faces = std::make_unique<CFaceCache>();
            state.ResumeTiming();
        }
        walker.PlayTalkLine(line);
        state.PauseTiming();
        CloseVoiceClip(b->host.voice);  // the clip's end, as the window would get it
        state.ResumeTiming();
    }
}

BENCHMARK_CAPTURE(PlayLine, demo_cached_face, GameScale_T::kDemo, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayLine, demo_uncached_face, GameScale_T::kDemo, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayLine, full_cached_face, GameScale_T::kFull, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayLine, full_uncached_face, GameScale_T::kFull, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick::bench
