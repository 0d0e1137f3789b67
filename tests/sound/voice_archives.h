// Voice archives written in a test: sine tones of chosen formats, encoded
// as Ogg Vorbis and stored bit-inverted as the game keeps them.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "host/host_path.h"
#include "voice_clips.h"

namespace tarnwick::test {

struct Tone_T {
    int channels = 1;
    int rate = 22050;
    double seconds = 1.0;
    double amplitude = 0.5;
    double frequency = 441.0;
    double noise = 0.0;  // amplitude of a hiss that keeps the stream from compressing to nothing
};

// Whole frames of a tone, so the decoded length is known exactly.
inline std::size_t ToneFrames(const Tone_T& tone)
{
    return static_cast<std::size_t>(std::lround(tone.seconds * tone.rate));
}

inline std::size_t TonePcmBytes(const Tone_T& tone)
{
    return ToneFrames(tone) * static_cast<std::size_t>(tone.channels) * 2;
}

// The tone as a plain Ogg Vorbis stream.
inline std::vector<std::uint8_t> EncodeTone(const Tone_T& tone)
{
    demo::Pcm_T pcm;
    pcm.channels = tone.channels;
    pcm.rate = tone.rate;
    const std::size_t frames = ToneFrames(tone);
    pcm.samples.resize(frames * static_cast<std::size_t>(tone.channels));
    std::uint64_t seed = 1;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / tone.rate;
        const double v = tone.amplitude * std::sin(2 * std::numbers::pi * tone.frequency * t);
        for (int c = 0; c < tone.channels; ++c) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            const double hiss = tone.noise * (static_cast<double>(seed >> 40) / (1u << 23) - 1.0);
            pcm.samples[i * static_cast<std::size_t>(tone.channels) + static_cast<std::size_t>(c)] =
                static_cast<float>(v + hiss);
        }
    }
    std::optional<std::vector<std::uint8_t>> bytes = demo::EncodeVorbis(pcm, 0.4f, 1234);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or(std::vector<std::uint8_t>{});
}

// The stream with the channel count and rate its first header states
// changed to what the encoder would not write; the first page's checksum is
// made right again, so only the stated format is off.
inline std::vector<std::uint8_t> WithStatedFormat(std::vector<std::uint8_t> stream, std::uint8_t channels,
                                                  std::uint32_t rate)
{
    // Page header 27 bytes and its segment table, then the packet: type 1,
    // "vorbis", a 32-bit version, the channel count and the rate.
    if (stream.size() < 27 || stream[26] == 0 || stream.size() < 27u + stream[26] + 16u)
        return {};
    const std::size_t packet = 27u + stream[26];
    stream[packet + 11] = channels;
    for (int i = 0; i < 4; ++i)
        stream[packet + 12 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rate >> (8 * i));
    std::size_t pageEnd = packet;
    for (std::size_t i = 0; i < stream[26]; ++i)
        pageEnd += stream[27 + i];
    for (int i = 22; i < 26; ++i)
        stream[static_cast<std::size_t>(i)] = 0;
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < pageEnd && i < stream.size(); ++i) {
        crc ^= static_cast<std::uint32_t>(stream[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        stream[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    return stream;
}

// As the voice archives store a clip.
inline std::vector<std::uint8_t> Stored(std::vector<std::uint8_t> stream)
{
    for (std::uint8_t& b : stream)
        b = static_cast<std::uint8_t>(~b);
    return stream;
}

struct VoiceEntry_T {
    std::string name;
    std::vector<std::uint8_t> stored;
};

// Writes archive n at its place under the game folder.
inline ::testing::AssertionResult WriteVoiceArchive(const std::string& game, int n,
                                                    const std::vector<VoiceEntry_T>& entries)
{
    std::string hed = ArchiveHedPaths()[n];
    std::string dat = ArchiveDatPaths()[n];
    for (std::string* p : {&hed, &dat})
        for (char& c : *p)
            c = c == '\\' ? '/' : c;
    CArchiveWriter writer;
    if (!writer.Open(JoinPath(game, hed), JoinPath(game, dat)))
        return ::testing::AssertionFailure() << "cannot create archive " << n;
    for (const VoiceEntry_T& e : entries)
        if (!writer.Add(e.name, e.stored, false))
            return ::testing::AssertionFailure() << "cannot add " << e.name;
    if (!writer.Finish(false))
        return ::testing::AssertionFailure() << "cannot finish archive " << n;
    return ::testing::AssertionSuccess();
}

}  // namespace tarnwick::test
