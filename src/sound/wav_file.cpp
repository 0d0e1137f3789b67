#include "sound/wav_file.h"

#include "archive/le_writer.h"

namespace tarnwick {

namespace {

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5])
{
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

void PutRiffChunk(std::vector<std::uint8_t>& out, const char (&id)[5], std::span<const std::uint8_t> body)
{
    PutTag(out, id);
    PutLe32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        out.push_back(0);
}

std::vector<std::uint8_t> WavHeader(const WaveFormat_T& format, std::uint64_t dataSize)
{
    return WavHeader(format, dataSize, {});
}

std::vector<std::uint8_t> WavHeader(const WaveFormat_T& format, std::uint64_t dataSize,
                                    std::span<const std::uint8_t> chunks)
{
    // The RIFF length counts 36 header bytes after it and the chunks; keep
    // a whole frame.
    const std::uint64_t fixed = 36 + static_cast<std::uint64_t>(chunks.size());
    const std::uint64_t maxData = fixed < 0xFFFFFFFFull ? (0xFFFFFFFFull - fixed) / 4 * 4 : 0;
    const auto data = static_cast<std::uint32_t>(dataSize < maxData ? dataSize : maxData);
    const std::uint64_t riff = fixed + data;
    std::vector<std::uint8_t> out;
    out.reserve(kWavHeaderSize + chunks.size());
    PutTag(out, "RIFF");
    PutLe32(out, static_cast<std::uint32_t>(riff < 0xFFFFFFFFull ? riff : 0xFFFFFFFFull));
    PutTag(out, "WAVE");
    std::vector<std::uint8_t> fmt;
    fmt.reserve(16);
    PutLe16(fmt, format.formatTag);
    PutLe16(fmt, format.channels);
    PutLe32(fmt, format.samplesPerSec);
    PutLe32(fmt, format.avgBytesPerSec);
    PutLe16(fmt, format.blockAlign);
    PutLe16(fmt, format.bitsPerSample);
    PutRiffChunk(out, "fmt ", fmt);
    out.insert(out.end(), chunks.begin(), chunks.end());
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
