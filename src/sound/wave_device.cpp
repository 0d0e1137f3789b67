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

}  // namespace tarnwick
