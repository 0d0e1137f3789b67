// Background music for the demo game: a few seconds of a melody over a
// chord pattern per track, encoded as WMA by piping a WAV into ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voice_clips.h"

namespace tarnwick::demo {

// Stereo, 44100 Hz, 5 to 8 seconds; each track number has its own key,
// tempo and chord pattern.
Pcm_T ComposeMusic(int track, std::uint64_t seed);

// A 16-bit PCM WAV file.
std::vector<std::uint8_t> WavBytes(const Pcm_T& pcm);

// Runs ffmpeg (found on PATH when given a bare name) with the WAV on its
// standard input, writing a bit-exact WMA 2 file to outPath. On failure,
// error says why.
bool EncodeWma(const std::string& ffmpeg, const Pcm_T& pcm, const std::string& outPath, std::string& error);

}  // namespace tarnwick::demo
