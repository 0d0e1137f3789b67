#include "sound/clip_loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tarnwick {
namespace {

// A tone of interleaved 16-bit samples, its level in decibels of full
// scale; a spike of one full-scale sample when asked.
std::vector<std::uint8_t> Tone(const WaveFormat_T& f, double seconds, double dbfs, bool spike = false)
{
    const auto frames = static_cast<std::size_t>(seconds * f.samplesPerSec);
    std::vector<std::uint8_t> pcm(frames * f.blockAlign);
    const double amplitude = std::pow(10.0, dbfs / 20.0) * 32767;
    for (std::size_t i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / f.samplesPerSec);
        if (spike && i == frames / 2)
            v = 32767;
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v)));
        for (std::size_t c = 0; c < f.channels; ++c) {
            pcm[i * f.blockAlign + 2 * c] = static_cast<std::uint8_t>(s);
            pcm[i * f.blockAlign + 2 * c + 1] = static_cast<std::uint8_t>(s >> 8);
        }
    }
    return pcm;
}

std::vector<std::uint8_t> Scaled(std::vector<std::uint8_t> pcm, float gain)
{
    ScaleSamples(pcm.data(), pcm.size(), gain);
    return pcm;
}

TEST(ClipLoudnessTest, QuietAndLoudClipsComeToOneLoudnessWithoutClipping)
{
    const WaveFormat_T stereo = PcmWaveFormat(2, 44100);
    const WaveFormat_T mono = PcmWaveFormat(1, 22050);
    const struct {
        WaveFormat_T format;
        double dbfs;
        bool spike;
    } cases[] = {{stereo, -27.0, false}, {stereo, -7.0, false}, {mono, -30.0, false}, {mono, -10.0, false}};
    std::vector<double> evened;
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> pcm = Tone(c.format, 2.0, c.dbfs, c.spike);
        const ClipLoudness_T before = MeasureLoudness(pcm.data(), pcm.size(), c.format);
        ASSERT_TRUE(before.known) << c.dbfs;
        EXPECT_NEAR(before.samplePeak, std::pow(10.0, c.dbfs / 20.0), 0.01);
        const float gain = EvenLoudnessGain(before);
        const std::vector<std::uint8_t> out = Scaled(pcm, gain);
        const ClipLoudness_T after = MeasureLoudness(out.data(), out.size(), c.format);
        EXPECT_NEAR(after.lufs, kEvenLoudnessLufs, 1.0) << c.dbfs;
        EXPECT_LE(after.samplePeak, 1.0) << c.dbfs;
        evened.push_back(after.lufs);
    }
    // Clips 20 LU apart come out within 1 LU of each other.
    EXPECT_NEAR(evened[0], evened[1], 1.0);
    EXPECT_NEAR(evened[2], evened[3], 1.0);

    // A quiet clip with one full-scale sample is not made to clip: its gain
    // stops at its peak.
    const std::vector<std::uint8_t> spiky = Tone(mono, 2.0, -40.0, true);
    const ClipLoudness_T measured = MeasureLoudness(spiky.data(), spiky.size(), mono);
    ASSERT_TRUE(measured.known);
    EXPECT_LE(EvenLoudnessGain(measured) * measured.samplePeak, 1.0);
    // A loud clip is turned down, never up past full scale.
    const std::vector<std::uint8_t> loud = Tone(stereo, 2.0, -0.1);
    EXPECT_LT(EvenLoudnessGain(MeasureLoudness(loud.data(), loud.size(), stereo)), 1.0f);
}

TEST(ClipLoudnessTest, WhatCannotBeMeasuredKeepsItsLevel)
{
    const WaveFormat_T mono = PcmWaveFormat(1, 22050);
    const std::vector<std::uint8_t> silence(22050 * 2, 0);
    const std::vector<std::uint8_t> blip = Tone(mono, 0.1, -20.0);
    WaveFormat_T odd = mono;
    odd.samplesPerSec = 1;
    odd.avgBytesPerSec = 2;
    WaveFormat_T wide = PcmWaveFormat(9, 44100);
    WaveFormat_T none;
    const struct {
        const std::vector<std::uint8_t>& pcm;
        std::size_t bytes;
        WaveFormat_T format;
    } cases[] = {{silence, silence.size(), mono}, {blip, blip.size(), mono}, {blip, 1, mono},
                 {blip, blip.size(), odd},        {blip, blip.size(), wide}, {blip, blip.size(), none}};
    for (const auto& c : cases) {
        const ClipLoudness_T l = MeasureLoudness(c.pcm.data(), c.bytes, c.format);
        EXPECT_FALSE(l.known);
        EXPECT_EQ(EvenLoudnessGain(l), 1.0f);
    }
    // A meter fed in slices of odd sizes measures what one call would.
    const std::vector<std::uint8_t> tone = Tone(mono, 1.5, -20.0);
    CLoudnessMeter meter(mono);
    for (std::size_t at = 0; at < tone.size(); at += 1000)
        meter.Add(tone.data() + at, std::min<std::size_t>(1000, tone.size() - at));
    EXPECT_NEAR(meter.Result().lufs, MeasureLoudness(tone.data(), tone.size(), mono).lufs, 0.01);
}

}  // namespace
}  // namespace tarnwick
