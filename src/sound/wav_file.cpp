#include "sound/wav_file.h"

#include "archive/le_writer.h"

namespace tarnwick {

namespace {

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5])
{
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::vector<std::uint8_t> WavHeader(const WaveFormat_T& format, std::uint64_t dataSize)
{
    // The RIFF length counts 36 header bytes after it; keep a whole frame.
    const std::uint64_t maxData = (0xFFFFFFFFull - 36) / 4 * 4;
    const auto data = static_cast<std::uint32_t>(dataSize < maxData ? dataSize : maxData);
    std::vector<std::uint8_t> out;
    out.reserve(kWavHeaderSize);
    PutTag(out, "RIFF");
    PutLe32(out, 36 + data);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, 16);
    PutLe16(out, format.formatTag);
    PutLe16(out, format.channels);
    PutLe32(out, format.samplesPerSec);
    PutLe32(out, format.avgBytesPerSec);
    PutLe16(out, format.blockAlign);
    PutLe16(out, format.bitsPerSample);
    PutTag(out, "data");
    PutLe32(out, data);
    return out;
}

std::vector<std::uint8_t> WavFile(const WaveFormat_T& format, std::span<const std::uint8_t> pcm)
{
    std::vector<std::uint8_t> out = WavHeader(format, pcm.size());
    out.reserve(kWavHeaderSize + pcm.size());
    // 16-bit samples: never odd, no pad byte.
    out.insert(out.end(), pcm.begin(), pcm.end());
    return out;
}

}  // namespace tarnwick
