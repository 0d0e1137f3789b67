// How long a voice line takes from PlayVoiceClip being called to its one
// buffer reaching the device (fetch, invert, decode the whole clip), for
// clips of 1, 4 and 10 seconds; beside it, oggdec decoding the same clip to
// a WAV file in a process of its own.
//   cmake --build <build> --target tarnwick_voice_bench && <build>/bench/tarnwick_voice_bench
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "sound/voice_output.h"
#include "support/wave_recorder.h"
#include "voice_clips.h"

extern char** environ;

namespace tarnwick {
namespace {

constexpr int kSeconds[] = {1, 4, 10};

std::string ClipName(int seconds, bool stereo)
{
    return std::to_string(seconds) + (stereo ? "s_stereo" : "s_mono") + ".vc";
}

// A game folder holding only the long voice archive, and the same clips as
// plain Ogg files for oggdec; removed at exit.
class CBenchGame {
public:
    CBenchGame()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-voice-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            return;
        folder = tmpl;
        CArchiveWriter writer;
        bool ok = writer.Open(folder + "/data/sound/long.hed", folder + "/data/sound/long.dat");
        for (const int seconds : kSeconds) {
            for (const bool stereo : {false, true}) {
                demo::DemoClip_T clip;
                clip.channels = stereo ? 2 : 1;
                clip.rate = stereo ? 44100 : 22050;
                clip.seconds = seconds;
                clip.voiceSeed = static_cast<std::uint64_t>(seconds * 2 + stereo);
                std::optional<std::vector<std::uint8_t>> ogg =
                    demo::EncodeVorbis(demo::SynthesizeVoice(clip), clip.quality, 1);
                if (!ogg) {
                    ok = false;
                    continue;
                }
                ok = ok && WriteWholeFile(OggPath(seconds, stereo), *ogg);
                demo::InvertBytes(*ogg);
                ok = ok && writer.Add(ClipName(seconds, stereo), *ogg, false);
            }
        }
        ready = writer.Finish(false) && ok;
    }
    ~CBenchGame()
    {
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }

    bool Ready() const { return ready; }
    const std::string& Folder() const { return folder; }
    std::string OggPath(int seconds, bool stereo) const
    {
        return folder + "/" + std::to_string(seconds) + (stereo ? "s_stereo" : "s_mono") + ".ogg";
    }

private:
    std::string folder;
    bool ready = false;
};

CBenchGame& Game()
{
    static CBenchGame game;
    return game;
}

void PlayClip(benchmark::State& state, bool freshBlock, bool measured = false)
{
    const int seconds = static_cast<int>(state.range(0));
    const bool stereo = state.range(1) != 0;
    if (!Game().Ready()) {
        state.SkipWithError("cannot write the benchmark's clips");
        return;
    }
    CArchiveSet set;
    set.SetGameFolder(Game().Folder());
    set.SetProgramFolder(Game().Folder() + "/program");
    if (!set.OpenArchive(kLongVoiceArchive)) {
        state.SkipWithError("cannot open the benchmark's archive");
        return;
    }
    const std::string name = ClipName(seconds, stereo);
    CWaveRecorder device(false);  // keeps only the pointer: nothing plays
    auto out = std::make_unique<VoiceOutput>();
    if (!PlayVoiceClip(device, *out, set, name, ClipKind_T::kLong)) {
        state.SkipWithError("the clip does not play");
        return;
    }
    CloseVoiceClip(*out);  // the block is now as large as the clip
    if (measured)
        SetVoiceLevel(*out, {100, true});
    for (auto _ : state) {
        if (freshBlock)
            out = std::make_unique<VoiceOutput>();
        // Each time a clip not heard before: it is measured as it decodes.
        if (measured)
            out->loudness.clear();
        const bool played = PlayVoiceClip(device, *out, set, name, ClipKind_T::kLong);
        benchmark::DoNotOptimize(played);
        benchmark::DoNotOptimize(device.lastData);
        CloseVoiceClip(*out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(device.lastLength));
    state.counters["pcm_bytes"] = static_cast<double>(device.lastLength);
}

// The block already holds the longest clip: no allocation on the way.
void BM_PlayVoiceClip(benchmark::State& state)
{
    PlayClip(state, false);
}

// A new 10240-byte block each time, grown chunk by chunk to the clip's size.
void BM_PlayVoiceClipFreshBlock(benchmark::State& state)
{
    PlayClip(state, true);
}

// Even loudness on, and every clip measured (EBU R128) as it decodes.
void BM_PlayVoiceClipMeasured(benchmark::State& state)
{
    PlayClip(state, false, true);
}

// oggdec -Q -o OUT.wav IN.ogg, started and waited for.
void BM_Oggdec(benchmark::State& state)
{
    const int seconds = static_cast<int>(state.range(0));
    const bool stereo = state.range(1) != 0;
    if (!Game().Ready()) {
        state.SkipWithError("cannot write the benchmark's clips");
        return;
    }
    std::string in = Game().OggPath(seconds, stereo);
    std::string out = Game().Folder() + "/oggdec.wav";
    std::string program = "oggdec", quiet = "-Q", dashO = "-o";
    char* argv[] = {program.data(), quiet.data(), dashO.data(), out.data(), in.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "oggdec", nullptr, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("oggdec failed (vorbis-tools installed?)");
            return;
        }
    }
}

void ClipSizes(benchmark::internal::Benchmark* b)
{
    for (const int stereo : {0, 1})
        for (const int seconds : kSeconds)
            b->Args({seconds, stereo});
    b->ArgNames({"seconds", "stereo"});
}

BENCHMARK(BM_PlayVoiceClip)->Apply(ClipSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayVoiceClipMeasured)->Apply(ClipSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayVoiceClipFreshBlock)->Apply(ClipSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Oggdec)->Apply(ClipSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarnwick
