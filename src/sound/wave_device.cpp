#include "sound/wave_device.h"

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

void IWaveDevice::WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler fill)
{
    while (fill && fill(ready)) {
    }
    Write(data, ready);
}

}  // namespace tarnwick
