// Decoded voice as an ordinary sound file: a canonical RIFF WAVE header
// (the 16-byte PCM format chunk) in front of 16-bit samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sound/wave_device.h"

namespace tarnwick {

inline constexpr std::uint32_t kWavHeaderSize = 44;

// The 44 header bytes for dataSize bytes of samples in format. A data size
// that would not fit the RIFF length is cut to what does.
std::vector<std::uint8_t> WavHeader(const WaveFormat_T& format, std::uint64_t dataSize);

// The same with chunks (whole RIFF chunks, as PutRiffChunk writes them)
// between the format and data chunks, counted in the RIFF length.
std::vector<std::uint8_t> WavHeader(const WaveFormat_T& format, std::uint64_t dataSize,
                                    std::span<const std::uint8_t> chunks);

// Appends a RIFF chunk: its id, the body's length, the body and a pad byte
// when that length is odd. A body must be shorter than 4 GiB.
void PutRiffChunk(std::vector<std::uint8_t>& out, const char (&id)[5], std::span<const std::uint8_t> body);

// Header and samples in one block.
std::vector<std::uint8_t> WavFile(const WaveFormat_T& format, std::span<const std::uint8_t> pcm);

}  // namespace tarnwick
