#include "sound/voice_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "support/wave_recorder.h"
#include "support/temp_folder.h"
#include "voice_archives.h"

namespace tarnwick {
namespace {

using test::Tone_T;

// ---- the decoder's data callbacks --------------------------------------

class ClipSourceTest : public ::testing::Test {
protected:
    ClipSourceTest()
    {
        for (int i = 0; i < 10; ++i)
            bytes[i] = static_cast<std::uint8_t>('a' + i);
    }
    std::uint8_t bytes[10];
    ClipSource_T clip{bytes, bytes, 10};
};

TEST_F(ClipSourceTest, SeekWithinTheClipIncludingItsEnd)
{
    EXPECT_EQ(ClipSeek(&clip, 0, 2), 0);
    EXPECT_EQ(clip.readPos, bytes + 10);
    EXPECT_EQ(ClipTell(&clip), 10);
    EXPECT_EQ(ClipSeek(&clip, -3, 2), 0);
    EXPECT_EQ(ClipSeek(&clip, 2, 1), 0);
    EXPECT_EQ(ClipTell(&clip), 9);
}

TEST_F(ClipSourceTest, SeekOutsideTheClipClampsAndFails)
{
    ASSERT_EQ(ClipSeek(&clip, 5, 0), 0);
    EXPECT_EQ(ClipSeek(&clip, -1, 0), -1);
    EXPECT_EQ(clip.readPos, bytes);
    ASSERT_EQ(ClipSeek(&clip, 5, 0), 0);
    EXPECT_EQ(ClipSeek(&clip, 1, 2), -1);
    EXPECT_EQ(clip.readPos, bytes + 10);
    EXPECT_EQ(ClipSeek(&clip, std::numeric_limits<ogg_int64_t>::min(), 2), -1);
    EXPECT_EQ(clip.readPos, bytes);
    EXPECT_EQ(ClipSeek(&clip, std::numeric_limits<ogg_int64_t>::max(), 1), -1);
    EXPECT_EQ(clip.readPos, bytes + 10);

    ASSERT_EQ(ClipSeek(&clip, 4, 0), 0);
    EXPECT_EQ(ClipSeek(&clip, 0, 3), -1);  // no such origin: nothing moves
    EXPECT_EQ(ClipTell(&clip), 4);
}

TEST_F(ClipSourceTest, ReadStopsAtTheEnd)
{
    char out[16];
    std::memset(out, '-', sizeof out);
    EXPECT_EQ(ClipRead(out, 1, 4, &clip), 4u);
    EXPECT_EQ(ClipRead(out + 4, 1, 12, &clip), 6u);
    EXPECT_EQ(std::string(out, 11), "abcdefghij-");
    EXPECT_EQ(ClipRead(out, 1, 16, &clip), 0u);
    ASSERT_EQ(ClipSeek(&clip, 7, 0), 0);
    EXPECT_EQ(ClipRead(out, 2, SIZE_MAX / 2 + 2, &clip), 3u);  // size times count would wrap
    EXPECT_EQ(ClipTell(&clip), 10);
}

// ---- playing clips from the voice archives -----------------------------

const Tone_T kShortTone{1, 22050, 1.0};   // archive 106 "tone.vc"
const Tone_T kLongTone{2, 44100, 0.5};    // archive 105 "tone.vc"
const Tone_T kEventTone{1, 8000, 0.25};   // archive 107 "tone.vc", never to be read
const Tone_T kBrief{1, 22050, 0.1};       // fits the first block
const Tone_T kSecond{1, 22050, 1.0};
const Tone_T kHalf{1, 22050, 0.5};
const Tone_T kDamaged{1, 22050, 3.0, 0.4, 441.0, 0.3};
const Tone_T kLonger{1, 22050, 4.0};
const Tone_T kQuiet{1, 22050, 3.0, 0.05};  // 20 dB below the others
// Silence a second past what a clip plays, at the lowest rate a device
// takes: cheap to make and decode.
const Tone_T kTooLong{1, 8000, kMaxVoiceSeconds + 1.0, 0.0};

// Stated formats an output must not be asked to play, and the ones at
// the edges of what it is asked to.
struct StatedFormat_T {
    const char* name;
    std::uint8_t channels;
    std::uint32_t rate;
    bool playable;
};
const StatedFormat_T kStatedFormats[] = {
    {"1hz.vc", 1, 1, false},          {"7999hz.vc", 1, 7999, false}, {"192001hz.vc", 1, 192001, false},
    {"9ch.vc", 9, 22050, false},      {"255ch.vc", 255, 22050, false}, {"8000hz.vc", 1, 8000, true},
    {"192000hz.vc", 1, 192000, true},
};

// The stream with the body of a page in its middle spoiled, so that page
// fails its checksum and the decoder meets a hole.
std::vector<std::uint8_t> SpoilMiddlePage(std::vector<std::uint8_t> stream)
{
    std::vector<std::size_t> pages;
    for (std::size_t i = 0; i + 4 <= stream.size(); ++i)
        if (std::memcmp(&stream[i], "OggS", 4) == 0)
            pages.push_back(i);
    EXPECT_GE(pages.size(), 6u);
    const std::size_t at = pages[pages.size() / 2] + 40;
    for (std::size_t i = at; i < at + 16 && i < stream.size(); ++i)
        stream[i] = static_cast<std::uint8_t>(stream[i] ^ 0x5A);
    return stream;
}

class VoiceOutputTest : public ::testing::Test {
protected:
    // Written once for all tests; a failure here fails the first test.
    static bool WriteArchives()
    {
        game = std::make_unique<test::TempFolder>();
        using test::EncodeTone;
        using test::Stored;
        std::vector<std::uint8_t> garbage(4000);
        for (std::size_t i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
        // Added one by one: a long braced list of these trips a false
        // "may be used uninitialized" in GCC 12 at -O2.
        std::vector<test::VoiceEntry_T> longEntries;
        const auto add = [&](const char* name, std::vector<std::uint8_t> bytes) {
            longEntries.push_back({name, std::move(bytes)});
        };
        add("tone.vc", Stored(EncodeTone(kLongTone)));
        add("brief.vc", Stored(EncodeTone(kBrief)));
        add("second.vc", Stored(EncodeTone(kSecond)));
        add("half.vc", Stored(EncodeTone(kHalf)));
        add("garbage.vc", garbage);
        add("empty.vc", {});
        add("plain.vc", EncodeTone(kHalf));  // never inverted
        add("damaged.vc", Stored(SpoilMiddlePage(EncodeTone(kDamaged))));
        add("longer.vc", Stored(EncodeTone(kLonger)));
        add("quiet.vc", Stored(EncodeTone(kQuiet)));
        add("toolong.vc", Stored(EncodeTone(kTooLong)));
        for (const StatedFormat_T& f : kStatedFormats)
            add(f.name, Stored(test::WithStatedFormat(EncodeTone(kBrief), f.channels, f.rate)));
        return test::WriteVoiceArchive(game->Path(), kShortVoiceArchive,
                                       {{"tone.vc", Stored(EncodeTone(kShortTone))}}) &&
               test::WriteVoiceArchive(game->Path(), kLongVoiceArchive, longEntries) &&
               test::WriteVoiceArchive(game->Path(), 107, {{"tone.vc", Stored(EncodeTone(kEventTone))}});
    }
    static void TearDownTestSuite() { game.reset(); }

    void SetUp() override
    {
        static const bool written = WriteArchives();
        ASSERT_TRUE(written);
        set.SetGameFolder(game->Path());
        set.SetProgramFolder(program.Path());
        for (int n : {kLongVoiceArchive, kShortVoiceArchive, 107})
            EXPECT_TRUE(set.OpenArchive(n));
    }

    bool Play(std::string_view name, ClipKind_T kind) { return PlayVoiceClip(device, out, set, name, kind); }

    static WaveFormat_T FormatOf(const Tone_T& tone)
    {
        WaveFormat_T f;
        f.channels = static_cast<std::uint16_t>(tone.channels);
        f.samplesPerSec = static_cast<std::uint32_t>(tone.rate);
        f.blockAlign = static_cast<std::uint16_t>(tone.channels * 2);
        f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
        return f;
    }

    static std::unique_ptr<test::TempFolder> game;
    test::TempFolder program;
    CArchiveSet set;
    CWaveRecorder device;
    VoiceOutput out;
};

std::unique_ptr<test::TempFolder> VoiceOutputTest::game;

TEST_F(VoiceOutputTest, DeviceFormatFollowsTheStream)
{
    ASSERT_TRUE(Play("tone.vc", ClipKind_T::kShort));
    CloseVoiceClip(out);
    ASSERT_TRUE(Play("tone.vc", ClipKind_T::kLong));
    ASSERT_EQ(device.opened.size(), 2u);
    const WaveFormat_T& mono = device.opened[0];
    EXPECT_EQ(mono.formatTag, 1);
    EXPECT_EQ(mono.bitsPerSample, 16);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_EQ(mono.samplesPerSec, 22050u);
    EXPECT_EQ(mono.blockAlign, 2);
    EXPECT_EQ(mono.avgBytesPerSec, 44100u);
    const WaveFormat_T& stereo = device.opened[1];
    EXPECT_EQ(stereo.channels, 2);
    EXPECT_EQ(stereo.samplesPerSec, 44100u);
    EXPECT_EQ(stereo.blockAlign, 4);
    EXPECT_EQ(stereo.avgBytesPerSec, 176400u);
}

TEST_F(VoiceOutputTest, KindOneReadsShortClipsEveryOtherKindLongOnes)
{
    for (const int kind : {1, 2, -1, 0, 3, 107}) {
        SCOPED_TRACE(kind);
        device.opened.clear();
        ASSERT_TRUE(Play("tone.vc", ClipKindOfNumber(kind)));
        CloseVoiceClip(out);
        ASSERT_EQ(device.opened.size(), 1u);
        EXPECT_EQ(device.opened[0], FormatOf(kind == 1 ? kShortTone : kLongTone));
    }
}

TEST_F(VoiceOutputTest, WholeClipIsOneBufferOfSignedLittleEndianSamples)
{
    ASSERT_TRUE(Play("tone.vc", ClipKind_T::kShort));
    EXPECT_TRUE(out.IsPlaying());
    EXPECT_EQ(out.device, &device);
    EXPECT_EQ(device.writes, 1);
    EXPECT_EQ(device.lastData, out.pcm.get());
    EXPECT_EQ(out.header.data, out.pcm.get());
    ASSERT_EQ(device.lastLength, test::TonePcmBytes(kShortTone));
    EXPECT_EQ(out.header.length, device.lastLength);

    // A 0.5 sine swings to about +-16384 in signed 16-bit little-endian.
    int top = 0, bottom = 0;
    for (std::size_t i = 0; i + 1 < device.pcm.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(device.pcm[i] | device.pcm[i + 1] << 8);
        top = std::max<int>(top, v);
        bottom = std::min<int>(bottom, v);
    }
    EXPECT_NEAR(top, 16384, 1200);
    EXPECT_NEAR(bottom, -16384, 1200);
}

TEST_F(VoiceOutputTest, BlockGrowsToExactlyTheLongestClipAndIsReused)
{
    EXPECT_EQ(out.pcmCapacity, 10240);
    ASSERT_TRUE(Play("brief.vc", ClipKind_T::kLong));
    EXPECT_EQ(device.lastLength, test::TonePcmBytes(kBrief));
    EXPECT_EQ(out.pcmCapacity, 10240);
    CloseVoiceClip(out);

    ASSERT_TRUE(Play("second.vc", ClipKind_T::kLong));
    EXPECT_EQ(out.pcmCapacity, static_cast<std::int32_t>(test::TonePcmBytes(kSecond)));
    EXPECT_EQ(device.lastLength, test::TonePcmBytes(kSecond));
    const std::uint8_t* block = out.pcm.get();
    CloseVoiceClip(out);
    EXPECT_EQ(out.pcm.get(), block);

    ASSERT_TRUE(Play("half.vc", ClipKind_T::kLong));
    EXPECT_EQ(device.lastLength, test::TonePcmBytes(kHalf));
    EXPECT_EQ(out.pcmCapacity, static_cast<std::int32_t>(test::TonePcmBytes(kSecond)));
    EXPECT_EQ(out.pcm.get(), block);
}

TEST_F(VoiceOutputTest, NothingTouchesAPlayingClip)
{
    ASSERT_TRUE(Play("tone.vc", ClipKind_T::kShort));
    const std::vector<std::uint8_t> playing(out.pcm.get(), out.pcm.get() + out.header.length);
    const WaveHeader_T header = out.header;
    const std::int32_t capacity = out.pcmCapacity;

    EXPECT_FALSE(Play("missing.vc", ClipKind_T::kShort));
    EXPECT_FALSE(Play("second.vc", ClipKind_T::kLong));  // longer: would grow the block
    EXPECT_FALSE(Play("tone.vc", ClipKind_T::kLong));

    EXPECT_TRUE(out.IsPlaying());
    EXPECT_EQ(out.device, &device);
    EXPECT_EQ(out.header.data, header.data);
    EXPECT_EQ(out.header.length, header.length);
    EXPECT_EQ(out.pcmCapacity, capacity);
    EXPECT_TRUE(std::equal(playing.begin(), playing.end(), out.pcm.get()));
    EXPECT_EQ(device.opened.size(), 1u);
    EXPECT_EQ(device.writes, 1);
    EXPECT_EQ(device.resets + device.closes, 0);
}

TEST_F(VoiceOutputTest, ClipsTheDecoderRefusesAreSilent)
{
    for (const char* name : {"garbage.vc", "empty.vc", "plain.vc", "missing.vc"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Play(name, ClipKind_T::kLong));
        EXPECT_FALSE(out.IsPlaying());
        EXPECT_EQ(out.device, nullptr);
    }
    EXPECT_TRUE(device.opened.empty());
    EXPECT_EQ(device.writes, 0);
    EXPECT_EQ(out.pcmCapacity, 10240);
}

TEST_F(VoiceOutputTest, DeviceThatCannotOpenMakesTheLineSilent)
{
    device.failOpen = true;
    EXPECT_FALSE(Play("second.vc", ClipKind_T::kLong));
    EXPECT_EQ(device.opened.size(), 1u);
    EXPECT_EQ(device.writes, 0);
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_EQ(out.device, nullptr);

    device.failOpen = false;  // nothing was left half open
    EXPECT_TRUE(Play("second.vc", ClipKind_T::kLong));
    EXPECT_EQ(device.lastLength, test::TonePcmBytes(kSecond));
}

TEST_F(VoiceOutputTest, DamagedPageLosesOnlyItsOwnSamples)
{
    ASSERT_TRUE(Play("damaged.vc", ClipKind_T::kLong));
    const std::size_t full = test::TonePcmBytes(kDamaged);
    EXPECT_LT(device.lastLength, full);
    EXPECT_GT(device.lastLength, full * 3 / 4);  // decoding went on after the hole
    EXPECT_EQ(device.lastLength % 2, 0u);
}

TEST_F(VoiceOutputTest, StopResetsTheDeviceAndCloseEndsTheClip)
{
    StopVoiceClip(out);
    CloseVoiceClip(out);
    EXPECT_EQ(device.resets + device.closes, 0);

    ASSERT_TRUE(Play("tone.vc", ClipKind_T::kShort));
    StopVoiceClip(out);
    EXPECT_EQ(device.resets, 1);
    EXPECT_TRUE(out.IsPlaying());  // until the done arrives and closes it
    CloseVoiceClip(out);
    EXPECT_EQ(device.closes, 1);
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_EQ(out.device, nullptr);
    EXPECT_EQ(out.header.length, 0u);
    EXPECT_NE(out.pcm, nullptr);
    CloseVoiceClip(out);
    EXPECT_EQ(device.closes, 1);
}

TEST_F(VoiceOutputTest, DestroyingTheOutputClosesAnOpenClip)
{
    {
        VoiceOutput gone;
        ASSERT_TRUE(PlayVoiceClip(device, gone, set, "tone.vc", ClipKind_T::kShort));
    }
    EXPECT_EQ(device.closes, 1);
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(VoiceOutputTest, StatedFormatsNoOutputTakesAreSilentAndSavedClipsStayShort)
{
    for (const StatedFormat_T& f : kStatedFormats) {
        SCOPED_TRACE(f.name);
        device.opened.clear();
        EXPECT_EQ(Play(f.name, ClipKind_T::kLong), f.playable);
        EXPECT_EQ(out.IsPlaying(), f.playable);
        EXPECT_EQ(device.opened.size(), f.playable ? 1u : 0u);
        CloseVoiceClip(out);
    }
    // Saved, a stream that states 1 Hz keeps its format and its first ten
    // minutes: 600 of its 2205 frames.
    WaveFormat_T format;
    std::vector<std::uint8_t> pcm;
    bool cut = false;
    ASSERT_TRUE(DecodeVoiceClip(set, "1hz.vc", ClipKind_T::kLong, format, pcm, cut));
    EXPECT_EQ(format.samplesPerSec, 1u);
    EXPECT_EQ(pcm.size(), 600u * 2);
    EXPECT_TRUE(cut);
    ASSERT_TRUE(DecodeVoiceClip(set, "longer.vc", ClipKind_T::kLong, format, pcm, cut));
    EXPECT_EQ(pcm.size(), test::TonePcmBytes(kLonger));
    EXPECT_FALSE(cut);
    EXPECT_EQ(MaxVoicePcmBytes(FormatOf({8, 192000})), kMaxVoicePcmBytes);
}

TEST_F(VoiceOutputTest, AClipLongerThanAClipPlaysIsCutThereAndSaysSo)
{
    const std::uint64_t kept = std::uint64_t{kMaxVoiceSeconds} * 8000 * 2;
    ASSERT_TRUE(Play("toolong.vc", ClipKind_T::kLong));
    EXPECT_TRUE(out.cut);
    EXPECT_EQ(out.lengthMicroseconds, std::uint64_t{kMaxVoiceSeconds} * 1000000);
    EXPECT_EQ(device.lastLength, kept);
    CloseVoiceClip(out);
    EXPECT_FALSE(out.cut);
    ASSERT_TRUE(Play("longer.vc", ClipKind_T::kLong));
    EXPECT_FALSE(out.cut);
    CloseVoiceClip(out);

    WaveFormat_T format;
    std::vector<std::uint8_t> pcm;
    bool cut = false;
    ASSERT_TRUE(DecodeVoiceClip(set, "toolong.vc", ClipKind_T::kLong, format, pcm, cut));
    EXPECT_TRUE(cut);
    EXPECT_EQ(pcm.size(), kept);
    EXPECT_EQ(PcmSeconds(format, pcm.size()), kMaxVoiceSeconds);
}

// Keeps the fill of a growing buffer for the test to run, as an event loop
// would, a slice at a time.
class CSlicedDevice : public CWaveRecorder {
public:
    void WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler more) override
    {
        first = ready;
        fill = std::move(more);
        Write(data, ready);
    }
    std::size_t first = 0;
    FillHandler fill;
};

TEST_F(VoiceOutputTest, ALongClipStartsWithItsFirstSecondsAndIsDecodedWhileItPlays)
{
    CSlicedDevice sliced;
    ASSERT_TRUE(PlayVoiceClip(sliced, out, set, "longer.vc", ClipKind_T::kLong));
    const std::size_t perSecond = 22050 * 2;
    EXPECT_EQ(sliced.first, perSecond * kFirstVoiceSliceSeconds);
    EXPECT_EQ(out.pcmCapacity, static_cast<std::int32_t>(test::TonePcmBytes(kLonger)));
    ASSERT_TRUE(sliced.fill);
    std::size_t ready = 0;
    std::vector<std::size_t> steps;
    while (sliced.fill(ready))
        steps.push_back(ready);
    EXPECT_EQ(ready, test::TonePcmBytes(kLonger));
    EXPECT_EQ(out.header.length, ready);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0], sliced.first + perSecond / kVoiceSlicesPerSecond - 1);  // whole frames
    EXPECT_FALSE(sliced.fill(ready));  // complete stays complete
    CloseVoiceClip(out);

    // Closed halfway, the rest is never decoded.
    ASSERT_TRUE(PlayVoiceClip(sliced, out, set, "longer.vc", ClipKind_T::kLong));
    CloseVoiceClip(out);
    EXPECT_FALSE(sliced.fill(ready));
    EXPECT_EQ(out.header.length, 0u);
}

// The clip's samples as the output plays them at gain.
ClipLoudness_T HeardAt(const VoiceOutput& out, float gain)
{
    std::vector<std::uint8_t> pcm(out.header.data, out.header.data + out.header.length);
    ScaleSamples(pcm.data(), pcm.size(), gain);
    return MeasureLoudness(pcm.data(), pcm.size(), out.format);
}

TEST_F(VoiceOutputTest, TheLevelReachesTheDeviceAndEachClipIsMeasuredOnce)
{
    CSlicedDevice sliced;
    const std::size_t perSecond = 22050 * 2;
    SetVoiceLevel(out, {50, false});
    ASSERT_TRUE(PlayVoiceClip(sliced, out, set, "longer.vc", ClipKind_T::kLong));
    EXPECT_FLOAT_EQ(sliced.gain, 0.5f);
    EXPECT_EQ(sliced.first, perSecond * kFirstVoiceSliceSeconds);
    // Even loudness turned on while the clip decodes: its gain follows
    // once the whole clip is measured.
    SetVoiceLevel(out, {100, true});
    EXPECT_FLOAT_EQ(sliced.gain, 1.0f);
    std::size_t ready = 0;
    while (sliced.fill(ready)) {
    }
    const float loudGain = sliced.gain;
    EXPECT_LT(loudGain, 1.0f);
    EXPECT_NEAR(HeardAt(out, loudGain).lufs, kEvenLoudnessLufs, 1.0);
    CloseVoiceClip(out);

    // A clip not measured yet is decoded whole before it starts, its gain
    // right from the first sample: 20 dB quieter, it comes out as loud.
    ASSERT_TRUE(PlayVoiceClip(sliced, out, set, "quiet.vc", ClipKind_T::kLong));
    EXPECT_EQ(sliced.first, test::TonePcmBytes(kQuiet));
    EXPECT_NEAR(20 * std::log10(sliced.gain / loudGain), 20.0, 1.0);
    EXPECT_NEAR(HeardAt(out, sliced.gain).lufs, kEvenLoudnessLufs, 1.0);
    CloseVoiceClip(out);
    EXPECT_FLOAT_EQ(VoiceGain(out), 1.0f);  // nothing open: no measure

    // Measured once a run: the second time it starts at once, and at its gain.
    ASSERT_TRUE(PlayVoiceClip(sliced, out, set, "longer.vc", ClipKind_T::kLong));
    EXPECT_EQ(sliced.first, perSecond * kFirstVoiceSliceSeconds);
    EXPECT_FLOAT_EQ(sliced.gain, loudGain);
    EXPECT_EQ(out.loudness.size(), 2u);

    // Where it is, and moved: beyond what is decoded the clip decodes up
    // to there first; past its end it goes to its end.
    sliced.played = perSecond;
    EXPECT_EQ(VoiceClipPosition(out), 1000000u);
    EXPECT_TRUE(SeekVoiceClip(out, 3500000));
    EXPECT_GE(out.header.length, perSecond * 7 / 2);
    EXPECT_EQ(sliced.seeks.back(), perSecond * 7 / 2);
    EXPECT_EQ(VoiceClipPosition(out), 3500000u);
    EXPECT_TRUE(SeekVoiceClip(out, ~std::uint64_t{0}));
    EXPECT_EQ(sliced.seeks.back(), test::TonePcmBytes(kLonger));
    CloseVoiceClip(out);
    EXPECT_FALSE(SeekVoiceClip(out, 0));
    EXPECT_EQ(VoiceClipPosition(out), 0u);
}

}  // namespace
}  // namespace tarnwick
