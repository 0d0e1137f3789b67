// A clip's loudness, measured as EBU R128 integrated loudness with its
// sample peak, and the gain that plays it at one loudness for every clip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sound/wave_device.h"

namespace tarnwick {

// Where even loudness brings every clip.
inline constexpr double kEvenLoudnessLufs = -18.0;

struct ClipLoudness_T {
    double lufs = 0;        // integrated loudness
    double samplePeak = 0;  // linear, 1 = full scale
    // False when the clip is too short or too quiet to measure, or its
    // format is not one a clip plays.
    bool known = false;
};

// Measures interleaved 16-bit PCM added a slice at a time.
class CLoudnessMeter {
public:
    // A format a clip does not play is measured as unknown.
    explicit CLoudnessMeter(const WaveFormat_T& format);
    ~CLoudnessMeter();
    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    // Whole frames of bytes; a part frame at the end is left out.
    void Add(const std::uint8_t* pcm, std::size_t bytes);
    ClipLoudness_T Result() const;

private:
    struct State_T;
    std::unique_ptr<State_T> state;
};

ClipLoudness_T MeasureLoudness(const std::uint8_t* pcm, std::size_t bytes, const WaveFormat_T& format);

// The linear gain that brings the clip to kEvenLoudnessLufs, lowered where
// its peak would pass full scale; 1 when its loudness is not known.
float EvenLoudnessGain(const ClipLoudness_T& loudness);

}  // namespace tarnwick
