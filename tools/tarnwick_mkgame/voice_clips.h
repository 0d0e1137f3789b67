// Voice clips for the demo game: a synthetic voice (a pitched buzz shaped
// into vowel-like syllables) encoded as Ogg Vorbis and stored with every
// byte inverted, as the game's sound archives hold them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "demo_plan.h"

namespace tarnwick::demo {

// Samples in [-1, 1], channels interleaved.
struct Pcm_T {
    int channels = 1;
    int rate = 22050;
    std::vector<float> samples;
    std::size_t Frames() const { return samples.size() / static_cast<std::size_t>(channels); }
};

Pcm_T SynthesizeVoice(const DemoClip_T& clip);

// A short two-note chime, for the event sound archive.
Pcm_T SynthesizeChime(std::uint64_t seed, int rate);

// One logical Ogg Vorbis stream with the given serial number (fixed so the
// same input gives the same bytes), variable bit rate at the given quality
// (-0.1 to 1).
std::optional<std::vector<std::uint8_t>> EncodeVorbis(const Pcm_T& pcm, float quality, int serial);

// Every bit flipped: how the game stores clips, and how they read back.
void InvertBytes(std::vector<std::uint8_t>& bytes);

// A clip as the voice archives store it: synthesized, encoded, inverted.
std::optional<std::vector<std::uint8_t>> StoredVoiceClip(const DemoClip_T& clip);

}  // namespace tarnwick::demo
