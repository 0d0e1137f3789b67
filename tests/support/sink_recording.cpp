#include "support/sink_recording.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarnwick::test {

std::vector<int> WindowPeaks(const std::vector<std::int16_t>& samples, int channels, int rate)
{
    const std::size_t per = static_cast<std::size_t>(rate * kWindow) * static_cast<std::size_t>(channels);
    std::vector<int> peaks;
    for (std::size_t at = 0; per != 0 && at + per <= samples.size(); at += per) {
        int peak = 0;
        for (std::size_t i = at; i < at + per; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        peaks.push_back(peak);
    }
    return peaks;
}

Loudness_T Measure(const std::vector<int>& peaks, double from, double to)
{
    Loudness_T l;
    for (std::size_t w = 0; w < peaks.size(); ++w) {
        const double t = static_cast<double>(w) * kWindow;
        if (t < from || t >= to)
            continue;
        l.peak = std::max(l.peak, peaks[w]);
        if (peaks[w] > kLoudLevel) {
            if (l.first < 0)
                l.first = t;
            l.last = t + kWindow;
        }
    }
    return l;
}

std::vector<std::pair<double, double>> LoudRuns(const std::vector<int>& peaks, double joinGap)
{
    std::vector<std::pair<double, double>> runs;
    for (std::size_t w = 0; w < peaks.size(); ++w) {
        if (peaks[w] <= kLoudLevel)
            continue;
        const double t = static_cast<double>(w) * kWindow;
        if (!runs.empty() && t - runs.back().second < joinGap)
            runs.back().second = t + kWindow;
        else
            runs.emplace_back(t, t + kWindow);
    }
    return runs;
}

std::optional<SinkRecording> SinkRecording::Find()
{
    const char* path = std::getenv("TARNWICK_SINK_RECORDING");
    if (!path || !std::filesystem::exists(path))
        return std::nullopt;
    return SinkRecording(path);
}

void SinkRecording::Mark()
{
    std::error_code ec;
    mark = std::filesystem::file_size(path, ec) / 4 * 4;
}

std::vector<std::int16_t> SinkRecording::Since() const
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(mark));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 4 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                               static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

}  // namespace tarnwick::test
