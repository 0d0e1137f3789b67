#include "voice_clips.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "demo_random.h"

namespace tarnwick::demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Formant frequencies (Hz) of the five vowels a, i, u, e, o.
constexpr double kFormants[5][3] = {
    {800, 1200, 2500}, {300, 2300, 3000}, {350, 1300, 2400}, {500, 1900, 2600}, {500, 850, 2400},
};
constexpr double kFormantGain[3] = {1.0, 0.55, 0.22};
constexpr double kFormantWidth[3] = {90, 120, 180};

// Two-pole resonator. Tune it again every few samples so formants can
// glide; retuning every sample costs more than the rest of the voice.
struct Resonator_T {
    double y1 = 0, y2 = 0;
    double gain = 0, a1 = 0, a2 = 0;
    void Tune(double freq, double bandwidth, double rate)
    {
        const double r = std::exp(-std::numbers::pi * bandwidth / rate);
        gain = 1 - r;
        a1 = 2 * r * std::cos(kTwoPi * freq / rate);
        a2 = -r * r;
    }
    double Run(double x)
    {
        const double y = gain * x + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Smooths the step of a sawtooth so high voices do not alias harshly.
double PolyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Syllable_T {
    double start, length;  // seconds
    int vowel;
    double consonant;  // seconds of noise before the vowel, 0 for none
    double accent;     // pitch factor
};

std::vector<Syllable_T> PlanSyllables(CDemoRandom& rng, double seconds)
{
    std::vector<Syllable_T> out;
    double t = 0.06;
    const double end = seconds - 0.12;
    int inWord = 0;
    const int wordLength = rng.Range(2, 4);
    while (true) {
        Syllable_T s;
        s.consonant = rng.Chance(0.6) ? rng.Between(0.02, 0.045) : 0.0;
        s.length = rng.Between(0.1, 0.2);
        s.start = t;
        if (s.start + s.consonant + s.length > end)
            break;
        s.vowel = rng.Range(0, 4);
        s.accent = rng.Between(0.92, 1.1);
        out.push_back(s);
        t += s.consonant + s.length;
        if (++inWord >= wordLength) {
            inWord = 0;
            t += rng.Between(0.05, 0.14);  // a gap between words
        }
    }
    if (out.empty())
        out.push_back({0.05, std::max(0.05, seconds - 0.15), rng.Range(0, 4), 0.0, 1.0});
    return out;
}

// 0 to 1 and back over [start, start + length], with the given edge times.
double Envelope(double t, double start, double length, double rise, double fall)
{
    if (t < start || t > start + length)
        return 0.0;
    const double in = std::min(1.0, (t - start) / rise);
    const double out = std::min(1.0, (start + length - t) / fall);
    return std::min(in, out);
}

void Normalize(Pcm_T& pcm, float peak)
{
    float top = 0;
    for (float v : pcm.samples)
        top = std::max(top, std::abs(v));
    if (top > 0)
        for (float& v : pcm.samples)
            v *= peak / top;
}

}  // namespace

Pcm_T SynthesizeVoice(const DemoClip_T& clip)
{
    CDemoRandom rng(clip.voiceSeed);
    const double rate = clip.rate;
    const std::size_t frames = static_cast<std::size_t>(clip.seconds * rate);
    const std::vector<Syllable_T> syllables = PlanSyllables(rng, clip.seconds);
    const double formantScale = clip.pitch > 170 ? 1.15 : 1.0;
    const bool question = rng.Chance(0.3);

    std::vector<double> voice(frames, 0.0);
    Resonator_T formant[3], hiss;
    hiss.Tune(std::min(4200.0, rate * 0.4), 1500, rate);
    double phase = 0, vibrato = 0;
    std::size_t current = 0;
    double f[3] = {kFormants[0][0], kFormants[0][1], kFormants[0][2]};
    const double glide = 1.0 - std::exp(-1.0 / (0.025 * rate));  // 25 ms formant glide
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        while (current + 1 < syllables.size() && t >= syllables[current + 1].start)
            ++current;
        const Syllable_T& s = syllables[current];
        const double vowelStart = s.start + s.consonant;

        // Falling intonation over the phrase, rising at the end of a question.
        const double progress = t / clip.seconds;
        double pitch = clip.pitch * s.accent * (1.08 - 0.16 * progress);
        if (question && progress > 0.8)
            pitch *= 1.0 + (progress - 0.8) * 1.5;
        vibrato += kTwoPi * 5.5 / rate;
        pitch *= 1.0 + 0.012 * std::sin(vibrato);

        const double dt = pitch / rate;
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        const double buzz = (2.0 * phase - 1.0) - PolyBlep(phase, dt);

        double out = 0;
        for (int k = 0; k < 3; ++k) {
            f[k] += (kFormants[s.vowel][k] * formantScale - f[k]) * glide;
            if (i % 16 == 0)
                formant[k].Tune(std::min(f[k], rate * 0.45), kFormantWidth[k], rate);
            out += kFormantGain[k] * formant[k].Run(buzz);
        }
        out *= Envelope(t, vowelStart, s.length, 0.015, 0.04);
        if (s.consonant > 0) {
            const double noise = rng.Between(-1.0, 1.0);
            out += 0.35 * hiss.Run(noise) * Envelope(t, s.start, s.consonant, 0.005, 0.012);
        }
        voice[i] = out;
    }

    Pcm_T pcm;
    pcm.channels = clip.channels;
    pcm.rate = clip.rate;
    pcm.samples.resize(frames * static_cast<std::size_t>(clip.channels));
    const std::size_t delay = static_cast<std::size_t>(rate * 0.0004);  // a touch of width in stereo
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double fade = std::min({1.0, t / 0.02, (clip.seconds - t) / 0.06});
        for (int c = 0; c < clip.channels; ++c) {
            const double v = c == 0 ? voice[i] : 0.85 * (i >= delay ? voice[i - delay] : 0.0);
            pcm.samples[i * static_cast<std::size_t>(clip.channels) + static_cast<std::size_t>(c)] =
                static_cast<float>(v * std::max(0.0, fade));
        }
    }
    Normalize(pcm, 0.6f);
    return pcm;
}

Pcm_T SynthesizeChime(std::uint64_t seed, int rate)
{
    CDemoRandom rng(seed);
    Pcm_T pcm;
    pcm.rate = rate;
    const double base = 440.0 * std::pow(2.0, rng.Range(0, 11) / 12.0);
    const std::size_t frames = static_cast<std::size_t>(0.6 * rate);
    pcm.samples.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double second = t >= 0.15 ? std::exp(-(t - 0.15) * 8) * std::sin(kTwoPi * base * 1.5 * t) : 0.0;
        const double first = std::exp(-t * 8) * std::sin(kTwoPi * base * t);
        pcm.samples[i] = static_cast<float>(0.5 * (first + second) * std::min(1.0, t / 0.005));
    }
    Normalize(pcm, 0.5f);
    return pcm;
}

std::optional<std::vector<std::uint8_t>> EncodeVorbis(const Pcm_T& pcm, float quality, int serial)
{
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, pcm.channels, pcm.rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return std::nullopt;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    std::vector<std::uint8_t> out;
    ogg_page og;
    auto putPage = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og) != 0)
        putPage(og);

    const std::size_t frames = pcm.Frames();
    constexpr std::size_t kChunk = 1024;
    for (std::size_t done = 0;;) {
        const std::size_t n = std::min(kChunk, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);  // end of stream
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (std::size_t i = 0; i < n; ++i)
                for (int c = 0; c < pcm.channels; ++c)
                    buffer[c][i] = pcm.samples[(done + i) * static_cast<std::size_t>(pcm.channels) +
                                               static_cast<std::size_t>(c)];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &og) != 0)
                    putPage(og);
            }
        }
        if (n == 0)
            break;
    }
    while (ogg_stream_flush(&os, &og) != 0)
        putPage(og);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

void InvertBytes(std::vector<std::uint8_t>& bytes)
{
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(b ^ 0xFF);
}

std::optional<std::vector<std::uint8_t>> StoredVoiceClip(const DemoClip_T& clip)
{
    const int serial = static_cast<int>(clip.voiceSeed & 0x7FFFFFFF);
    std::optional<std::vector<std::uint8_t>> bytes = EncodeVorbis(SynthesizeVoice(clip), clip.quality, serial);
    if (bytes)
        InvertBytes(*bytes);
    return bytes;
}

}  // namespace tarnwick::demo
