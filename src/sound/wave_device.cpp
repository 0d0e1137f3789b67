#include "sound/wave_device.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {

WaveFormat_T PcmWaveFormat(long channels, long rate)
{
    WaveFormat_T format;
    constexpr long kMaxChannels = std::numeric_limits<std::uint16_t>::max() / 2;
    if (channels < 1 || channels > kMaxChannels || rate < 1)
        return format;
    const std::uint64_t perSecond = static_cast<std::uint64_t>(channels) * 2 * static_cast<std::uint64_t>(rate);
    if (perSecond > std::numeric_limits<std::uint32_t>::max())
        return format;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    format.blockAlign = static_cast<std::uint16_t>(channels * 2);
    format.avgBytesPerSec = static_cast<std::uint32_t>(perSecond);
    return format;
}

bool IsPlayableWaveFormat(const WaveFormat_T& format)
{
    return format.formatTag == kWaveFormatPcm && format.bitsPerSample == 16 && format.channels >= 1 &&
           format.channels <= kMaxPlayableChannels && format.samplesPerSec >= kMinPlayableRate &&
           format.samplesPerSec <= kMaxPlayableRate && format.blockAlign == format.channels * 2 &&
           format.avgBytesPerSec == format.samplesPerSec * format.blockAlign;
}

void ScaleSamples(std::uint8_t* pcm, std::size_t bytes, float gain)
{
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const auto sample = static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8);
        const float scaled = std::clamp(static_cast<float>(sample) * gain, -32768.0f, 32767.0f);
        const auto out = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrint(scaled)));
        pcm[i] = static_cast<std::uint8_t>(out);
        pcm[i + 1] = static_cast<std::uint8_t>(out >> 8);
    }
}

void IWaveDevice::WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler fill)
{
    while (fill && fill(ready)) {
    }
    Write(data, ready);
}

}  // namespace tarnwick
