#include "sound/clip_loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <ebur128.h>

namespace tarnwick {

struct CLoudnessMeter::State_T {
    ebur128_state* meter = nullptr;
    unsigned channels = 0;
    ~State_T()
    {
        if (meter)
            ebur128_destroy(&meter);
    }
};

CLoudnessMeter::CLoudnessMeter(const WaveFormat_T& format) : state(std::make_unique<State_T>())
{
    if (!IsPlayableWaveFormat(format) || format.blockAlign != format.channels * 2u)
        return;
    state->channels = format.channels;
    state->meter = ebur128_init(format.channels, format.samplesPerSec, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
}

CLoudnessMeter::~CLoudnessMeter() = default;

void CLoudnessMeter::Add(const std::uint8_t* pcm, std::size_t bytes)
{
    if (!state->meter || !pcm)
        return;
    const std::size_t frameBytes = std::size_t{state->channels} * 2;
    const std::size_t frames = bytes / frameBytes;
    if (frames == 0)
        return;
    // Little-endian samples, which this machine's shorts are; the bytes
    // need not be aligned for a short, so they go through a copy.
    constexpr std::size_t kChunkFrames = 1024;  // 16 KiB on the stack at most
    short chunk[kChunkFrames * kMaxPlayableChannels];
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kChunkFrames, frames - done);
        for (std::size_t i = 0; i < n * state->channels; ++i) {
            const std::uint8_t* s = pcm + done * frameBytes + i * 2;
            chunk[i] = static_cast<short>(static_cast<std::uint16_t>(s[0] | s[1] << 8));
        }
        if (ebur128_add_frames_short(state->meter, chunk, n) != EBUR128_SUCCESS) {
            ebur128_destroy(&state->meter);
            return;
        }
        done += n;
    }
}

ClipLoudness_T CLoudnessMeter::Result() const
{
    ClipLoudness_T r;
    if (!state->meter)
        return r;
    double lufs = 0;
    if (ebur128_loudness_global(state->meter, &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
        return r;
    double peak = 0;
    for (unsigned c = 0; c < state->channels; ++c) {
        double p = 0;
        if (ebur128_sample_peak(state->meter, c, &p) == EBUR128_SUCCESS && std::isfinite(p))
            peak = std::max(peak, p);
    }
    r.lufs = lufs;
    r.samplePeak = peak;
    r.known = peak > 0;
    return r;
}

ClipLoudness_T MeasureLoudness(const std::uint8_t* pcm, std::size_t bytes, const WaveFormat_T& format)
{
    CLoudnessMeter meter(format);
    meter.Add(pcm, bytes);
    return meter.Result();
}

float EvenLoudnessGain(const ClipLoudness_T& loudness)
{
    if (!loudness.known || loudness.samplePeak <= 0)
        return 1.0f;
    const double wanted = std::pow(10.0, (kEvenLoudnessLufs - loudness.lufs) / 20.0);
    // The loudest sample stays within full scale (32767 of 32768).
    const double most = (32767.0 / 32768.0) / loudness.samplePeak;
    return static_cast<float>(std::min(wanted, most));
}

}  // namespace tarnwick
