// What the sound server's null sink really played, from the recording its
// monitor's recorder appends to (scripts/sound-server names the file in
// TARNWICK_SINK_RECORDING): raw s16le, 44100 Hz, stereo.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

inline constexpr int kLoudLevel = 1000;  // a window peak above this is sound
inline constexpr double kWindow = 0.01;  // seconds

// Peaks of 10 ms windows of interleaved 16-bit samples.
std::vector<int> WindowPeaks(const std::vector<std::int16_t>& samples, int channels, int rate);

struct Loudness_T {
    double first = -1;  // seconds to the first loud window; -1 when silent
    double last = -1;   // seconds to the end of the last loud window
    int peak = 0;
    double Span() const { return first < 0 ? 0.0 : last - first; }
};

Loudness_T Measure(const std::vector<int>& peaks, double from = 0, double to = 1e9);

// Runs of loud windows as [start, end) seconds, joining gaps shorter than
// joinGap seconds.
std::vector<std::pair<double, double>> LoudRuns(const std::vector<int>& peaks, double joinGap);

class SinkRecording {
public:
    static std::optional<SinkRecording> Find();
    // From now on.
    void Mark();
    std::vector<std::int16_t> Since() const;

private:
    explicit SinkRecording(std::string file) : path(std::move(file)) {}
    std::string path;
    std::uintmax_t mark = 0;
};

}  // namespace tarnwick::test
