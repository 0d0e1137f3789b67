// The sound adapters with the real platform: demo clips through QAudioSink
// and demo music through QMediaPlayer, checked on what the sound server's
// null sink really played (its monitor's recording). Without a sound server
// (scripts/sound-server) those tests skip; the rest run anywhere.
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "sound/bgm_player.h"
#include "sound/clip_loudness.h"
#include "sound/voice_archives.h"
#include "sound/voice_output.h"
#include "support/wave_recorder.h"
#include "support/demo_game.h"
#include "support/sink_recording.h"
#include "support/temp_folder.h"
#include "ui/gst_media_player.h"
#include "ui/qt_wave_device.h"

namespace tarnwick {
namespace {

using test::kLoudLevel;
using test::kWindow;
using test::Loudness_T;
using test::Measure;
using test::SinkRecording;
using test::WindowPeaks;

// The recorder writes what the sink played a little later, more so on a busy
// machine, so times in a recording only compare with each other: spans, and
// times measured from its first sound.

// A cut clip falls silent in the recording within this many seconds.
constexpr double kCutSilentWithin = 0.25;

// Root mean square of the stereo recording between two times.
double Rms(const std::vector<std::int16_t>& samples, double from, double to)
{
    const std::size_t a = static_cast<std::size_t>(from * 44100) * 2;
    const std::size_t b = std::min(samples.size(), static_cast<std::size_t>(to * 44100) * 2);
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

bool HaveAudioOutput()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

#define SKIP_WITHOUT_SOUND_SERVER(recording)                                                      \
    if (!HaveAudioOutput() || !(recording))                                                       \
    GTEST_SKIP() << "no sound server to record from: start one with "                            \
                    "eval \"$(scripts/sound-server start)\""

// ---- voice clips through QAudioSink ------------------------------------

class QtWaveDeviceTest : public ::testing::Test {
protected:
    QtWaveDeviceTest()
    {
        set.SetGameFolder(test::DemoGameFolder());
        set.SetProgramFolder(program.Path());
        EXPECT_TRUE(set.OpenArchive(kLongVoiceArchive));
        EXPECT_TRUE(set.OpenArchive(kShortVoiceArchive));
        device.SetDoneHandler([this] {
            ++dones;
            doneAfter = clock.elapsed();
            CloseVoiceClip(out);
        });
    }

    // The clip as decoded, for its length and loudness.
    struct Decoded_T {
        double seconds = 0;
        Loudness_T loudness;
    };
    Decoded_T Decode(const char* name, ClipKind_T kind)
    {
        CWaveRecorder recorder;
        Decoded_T d;
        if (!PlayVoiceClip(recorder, out, set, name, kind)) {
            ADD_FAILURE() << "cannot decode " << name;
            return d;
        }
        CloseVoiceClip(out);
        const WaveFormat_T& f = recorder.opened.back();
        std::vector<std::int16_t> samples(recorder.pcm.size() / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(recorder.pcm[2 * i] | recorder.pcm[2 * i + 1] << 8);
        d.seconds = static_cast<double>(recorder.pcm.size()) / f.avgBytesPerSec;
        d.loudness = Measure(WindowPeaks(samples, f.channels, static_cast<int>(f.samplesPerSec)));
        return d;
    }

    bool Play(const char* name, ClipKind_T kind)
    {
        recording->Mark();
        clock.start();
        const bool played = PlayVoiceClip(device, out, set, name, kind);
        playedAt = clock.elapsed();
        return played;
    }

    // How long a clip cut at cutAt had sounded: from its first sound.
    double SoundedUntil(qint64 cutAt, const Decoded_T& clip) const
    {
        return static_cast<double>(cutAt - playedAt) / 1000 - clip.loudness.first;
    }

    Loudness_T Recorded() const { return Measure(WindowPeaks(recording->Since(), 2, 44100)); }

    test::TempFolder program;
    CArchiveSet set;
    VoiceOutput out;
    CQtWaveDevice device;
    std::optional<SinkRecording> recording = SinkRecording::Find();
    QElapsedTimer clock;
    int dones = 0;
    qint64 playedAt = -1;
    qint64 doneAfter = -1;
};

class QtWaveDeviceClipTest : public QtWaveDeviceTest,
                             public ::testing::WithParamInterface<std::pair<const char*, ClipKind_T>> {};

TEST_P(QtWaveDeviceClipTest, WholeClipComesOutAndThenItsEndArrives)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    const auto [name, kind] = GetParam();
    const Decoded_T clip = Decode(name, kind);
    ASSERT_GT(clip.loudness.Span(), 0.5);

    ASSERT_TRUE(Play(name, kind));
    EXPECT_EQ(dones, 0);  // never from inside the call
    ASSERT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, static_cast<int>(clip.seconds * 1000) + 3000));
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_GE(doneAfter, static_cast<qint64>(clip.seconds * 1000) - 100);
    EXPECT_LE(doneAfter, static_cast<qint64>(clip.seconds * 1000) + 1000);
    QTest::qWait(300);
    EXPECT_EQ(dones, 1);

    const Loudness_T heard = Recorded();
    EXPECT_NEAR(heard.Span(), clip.loudness.Span(), 0.08) << "first " << heard.first << " last " << heard.last;
    EXPECT_GT(heard.peak, clip.loudness.peak / 2);
}

INSTANTIATE_TEST_SUITE_P(DemoClips, QtWaveDeviceClipTest,
                         ::testing::Values(std::make_pair("01001_0001.vc", ClipKind_T::kShort),  // mono 22050 Hz
                                           std::make_pair("02001_0001.vc", ClipKind_T::kLong)),  // stereo 44100 Hz
                         [](const auto& clip) { return clip.param.second == ClipKind_T::kShort ? "Mono" : "Stereo"; });

TEST_F(QtWaveDeviceTest, StopCutsTheClipAndItsEndStillArrives)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    const Decoded_T clip = Decode("02001_0001.vc", ClipKind_T::kLong);
    ASSERT_GT(clip.seconds, 1.5);

    ASSERT_TRUE(Play("02001_0001.vc", ClipKind_T::kLong));
    QTest::qWait(500);
    const qint64 cutAt = clock.elapsed();
    StopVoiceClip(out);
    EXPECT_EQ(dones, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, 1000));
    EXPECT_LT(doneAfter, cutAt + 300);
    QTest::qWait(300);
    EXPECT_EQ(dones, 1);
    const Loudness_T heard = Recorded();
    EXPECT_GT(heard.peak, kLoudLevel);
    EXPECT_LT(heard.Span(), SoundedUntil(cutAt, clip) + kCutSilentWithin);
}

TEST_F(QtWaveDeviceTest, SuspendHoldsTheClipAndItsEndUntilResume)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    const Decoded_T clip = Decode("02001_0001.vc", ClipKind_T::kLong);
    ASSERT_TRUE(Play("02001_0001.vc", ClipKind_T::kLong));
    QTest::qWait(400);
    device.Suspend();
    const qint64 heldAt = clock.elapsed();
    QTest::qWait(static_cast<int>(clip.seconds * 1000) + 500);
    EXPECT_EQ(dones, 0) << "a held clip is not done";
    const qint64 resumedAt = clock.elapsed();
    device.Resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, static_cast<int>(clip.seconds * 1000) + 2000));
    // The rest plays on after the hold: the end comes the clip's length
    // after its start, plus the hold.
    EXPECT_GT(doneAfter - playedAt, static_cast<qint64>(clip.seconds * 1000) + (resumedAt - heldAt) - 300);
    EXPECT_GT(Recorded().peak, kLoudLevel);
}

TEST_F(QtWaveDeviceTest, ClosingAtOnceSilencesTheClipAndDropsItsEnd)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    const Decoded_T clip = Decode("02001_0001.vc", ClipKind_T::kLong);
    ASSERT_TRUE(Play("02001_0001.vc", ClipKind_T::kLong));
    QTest::qWait(400);
    const qint64 cutAt = clock.elapsed();
    StopVoiceClip(out);  // the window's teardown: reset, then close without waiting
    CloseVoiceClip(out);
    QTest::qWait(600);
    EXPECT_EQ(dones, 0);
    const Loudness_T heard = Recorded();
    EXPECT_GT(heard.peak, kLoudLevel);
    EXPECT_LT(heard.Span(), SoundedUntil(cutAt, clip) + kCutSilentWithin);

    ASSERT_TRUE(Play("01001_0001.vc", ClipKind_T::kShort));  // the device opens again afterwards
    ASSERT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, 5000));
}

TEST_F(QtWaveDeviceTest, ThePositionFollowsTheClipAndASeekMovesIt)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    const Decoded_T clip = Decode("02001_0001.vc", ClipKind_T::kLong);
    ASSERT_GT(clip.seconds, 1.5);
    ASSERT_TRUE(Play("02001_0001.vc", ClipKind_T::kLong));
    QTest::qWait(600);
    const double at = static_cast<double>(VoiceClipPosition(out)) / 1e6;
    const double since = static_cast<double>(clock.elapsed() - playedAt) / 1000;
    EXPECT_GT(at, 0.1);
    EXPECT_LE(at, since + 0.05);
    // Back to near its start: it plays on from there, and its end comes
    // once, that much later.
    ASSERT_TRUE(SeekVoiceClip(out, 200000));
    EXPECT_NEAR(static_cast<double>(VoiceClipPosition(out)) / 1e6, 0.2, 0.1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, static_cast<int>(clip.seconds * 1000) + 3000));
    EXPECT_GE(doneAfter - playedAt, static_cast<qint64>((clip.seconds + since - 0.2) * 1000) - 200);
    QTest::qWait(300);
    EXPECT_EQ(dones, 1);
}

TEST_F(QtWaveDeviceTest, TheVoiceVolumeAndEvenLoudnessShapeWhatComesOut)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    // Two tones 20 dB apart, at the recording's own format.
    test::TempFolder game;
    const test::Tone_T loud{2, 44100, 1.0, 0.5};
    const test::Tone_T quiet{2, 44100, 1.0, 0.05};
    ASSERT_TRUE(test::WriteVoiceArchive(game.Path(), kLongVoiceArchive,
                                        {{"loud.vc", test::Stored(test::EncodeTone(loud))},
                                         {"quiet.vc", test::Stored(test::EncodeTone(quiet))}}));
    set.SetGameFolder(game.Path());
    ASSERT_TRUE(set.OpenArchive(kLongVoiceArchive));
    const auto heard = [&](const char* name, const VoiceLevel_T& level) {
        SetVoiceLevel(out, level);
        dones = 0;
        EXPECT_TRUE(Play(name, ClipKind_T::kLong));
        EXPECT_TRUE(QTest::qWaitFor([&] { return dones > 0; }, 5000));
        QTest::qWait(200);
        return recording->Since();
    };
    const std::vector<std::int16_t> full = heard("loud.vc", {100, false});
    const std::vector<std::int16_t> half = heard("loud.vc", {50, false});
    const Loudness_T fullLevel = Measure(WindowPeaks(full, 2, 44100));
    ASSERT_GT(fullLevel.peak, kLoudLevel);
    EXPECT_NEAR(static_cast<double>(Measure(WindowPeaks(half, 2, 44100)).peak) / fullLevel.peak, 0.5, 0.05);

    const WaveFormat_T format = PcmWaveFormat(2, 44100);
    const auto lufs = [&](const std::vector<std::int16_t>& samples) {
        return MeasureLoudness(reinterpret_cast<const std::uint8_t*>(samples.data()), samples.size() * 2, format);
    };
    const ClipLoudness_T apart[] = {lufs(heard("loud.vc", {100, false})), lufs(heard("quiet.vc", {100, false}))};
    const ClipLoudness_T even[] = {lufs(heard("loud.vc", {100, true})), lufs(heard("quiet.vc", {100, true}))};
    for (const ClipLoudness_T& l : {apart[0], apart[1], even[0], even[1]})
        ASSERT_TRUE(l.known);
    EXPECT_NEAR(apart[0].lufs - apart[1].lufs, 20.0, 1.0);
    EXPECT_NEAR(even[0].lufs, even[1].lufs, 2.0);
    EXPECT_NEAR(even[0].lufs, kEvenLoudnessLufs, 2.0);
    EXPECT_LT(even[1].samplePeak, 1.0);
}

TEST_F(QtWaveDeviceTest, WithoutAnOutputTheLineIsSilent)
{
    if (HaveAudioOutput())
        GTEST_SKIP() << "an audio output is present";
    EXPECT_FALSE(PlayVoiceClip(device, out, set, "01001_0001.vc", ClipKind_T::kShort));
    EXPECT_FALSE(out.IsPlaying());
    QTest::qWait(100);
    EXPECT_EQ(dones, 0);
}

// ---- background music through GStreamer --------------------------------

// The real player, with its renders counted.
class CountingPlayer : public IMediaPlayer {
public:
    explicit CountingPlayer(int& count) : renders(count) {}
    bool Render(const std::string& path) override
    {
        ++renders;
        return real.Render(path);
    }
    void Release() override { real.Release(); }
    void Run() override { real.Run(); }
    void Stop() override { real.Stop(); }
    void Pause() override { real.Pause(); }
    void Resume() override { real.Resume(); }
    void SetVolume(float linear) override { real.SetVolume(linear); }
    MediaPoll Poll() override { return real.Poll(); }
    CGstMediaPlayer real;

private:
    int& renders;
};

class MusicPlayerTest : public ::testing::Test {
protected:
    MusicPlayerTest()
    {
        auto counting = std::make_unique<CountingPlayer>(renders);
        media = counting.get();
        player.SetMediaPlayer(std::move(counting));
        archives.SetGameFolder(test::DemoGameFolder());
    }

    bool WaitForPoll(MediaPoll answer, int ms)
    {
        return QTest::qWaitFor([&] { return media->Poll() == answer; }, ms);
    }

    // The recording from the mark, and the time its sound starts.
    std::vector<std::int16_t> Heard(double& start) const
    {
        std::vector<std::int16_t> samples = recording->Since();
        start = Measure(WindowPeaks(samples, 2, 44100)).first;
        return samples;
    }

    int renders = 0;
    CountingPlayer* media = nullptr;
    CBgmPlayer player;
    CArchiveSet archives;
    int volumeBgm = 0;
    BgmContext_T music{player, archives, volumeBgm};
    std::optional<SinkRecording> recording = SinkRecording::Find();
};

TEST_F(MusicPlayerTest, MissingTrackIsNotOpened)
{
    PlayBgm(music, 9);
    EXPECT_EQ(renders, 1);
    EXPECT_FALSE(player.IsOpen());
}

TEST_F(MusicPlayerTest, UnplayableTrackFailsQuietlyAndIsNotRetried)
{
    test::TempFolder game;
    game.Write("data/sound/bgm_4.wma", std::string(20000, '\x5a'));
    archives.SetGameFolder(game.Path());
    PlayBgm(music, 4);
    EXPECT_TRUE(player.IsOpen());  // the file is there; the player finds out later
    ASSERT_TRUE(WaitForPoll(MediaPoll::kFailed, 5000));
    for (int i = 0; i < 3; ++i)
        PollBgm(music, 4);
    EXPECT_EQ(renders, 1);

    // The failure stays with that file: the next track plays.
    std::filesystem::copy_file(test::DemoGameFolder() + "/data/sound/bgm_1.wma", game / "data/sound/bgm_1.wma");
    PlayBgm(music, 1);
    ASSERT_TRUE(player.IsOpen());
    QTest::qWait(1000);
    // Without an output it is silent, and not tried again either.
    EXPECT_EQ(media->Poll(), HaveAudioOutput() ? MediaPoll::kRunning : MediaPoll::kFailed);
    StopBgm(music);
}

TEST_F(MusicPlayerTest, TrackPlaysFollowsTheVolumeAndStops)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    recording->Mark();
    PlayBgm(music, 1);
    ASSERT_TRUE(player.IsOpen());
    EXPECT_EQ(media->Poll(), MediaPoll::kRunning);
    QTest::qWait(1800);
    double start = 0;
    std::vector<std::int16_t> heard = Heard(start);
    ASSERT_GE(start, 0) << "no sound came out";
    const double full = Rms(heard, start + 0.2, start + 1.2);

    // The same second of the track again, started at a tenth of the amplitude.
    SetBgmVolume(music, -2000);
    EXPECT_FLOAT_EQ(media->real.Volume(), 0.1f);
    recording->Mark();
    PlayBgm(music, 1);
    QTest::qWait(1800);
    heard = Heard(start);
    ASSERT_GE(start, 0) << "no sound came out at -20 dB";
    const double tenth = Rms(heard, start + 0.2, start + 1.2);
    EXPECT_NEAR(tenth / full, 0.1, 0.03);

    // Back to full volume while it plays: louder at once.
    recording->Mark();
    SetBgmVolume(music, 0);
    QTest::qWait(1200);
    heard = recording->Since();
    const double end = static_cast<double>(heard.size()) / 2 / 44100;
    EXPECT_GT(Rms(heard, end - 0.6, end - 0.1), 3 * tenth);

    // Paused it is silent and polls as not running; a resume runs it on.
    PauseBgm(music);
    EXPECT_EQ(media->Poll(), MediaPoll::kNotRunning);
    ResumeBgm(music);
    EXPECT_TRUE(QTest::qWaitFor([&] { return media->Poll() == MediaPoll::kRunning; }, 2000));

    StopBgm(music);
    EXPECT_TRUE(player.IsOpen());
    EXPECT_EQ(media->Poll(), MediaPoll::kNotRunning);
    ResumeBgm(music);  // a stopped track stays stopped
    EXPECT_EQ(media->Poll(), MediaPoll::kNotRunning);
    recording->Mark();
    QTest::qWait(1200);
    const std::vector<int> peaks = WindowPeaks(recording->Since(), 2, 44100);
    EXPECT_LT(Measure(peaks, static_cast<double>(peaks.size()) * kWindow - 0.5).peak, kLoudLevel);
}

TEST_F(MusicPlayerTest, TrackLoopsWithoutAGapWhileTheWatchRuns)
{
    SKIP_WITHOUT_SOUND_SERVER(recording);
    // A steady tone, so that any rest at the loop shows: 1.5 s of it, with
    // sound from its first sample to its last few.
    test::TempFolder game;
    std::filesystem::create_directories(game / "data/sound");
    const std::string encode = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1.5 -ac 2 -ar 44100 "
                               "-c:a wmav2 -b:a 128k '" + (game / "data/sound/bgm_5.wma") + "'";
    if (std::system(encode.c_str()) != 0)
        GTEST_SKIP() << "no ffmpeg to encode a track with";
    archives.SetGameFolder(game.Path());
    constexpr double kTrackSeconds = 1.5;
    int currentBgmNo = 0;
    QTimer musicWatch;  // the window's one-second watch
    QObject::connect(&musicWatch, &QTimer::timeout, [&] { PollBgm(music, currentBgmNo); });

    recording->Mark();
    ApplyMusicRule(music, 5, currentBgmNo);
    musicWatch.start(1000);
    QTest::qWait(static_cast<int>(kTrackSeconds * 3000) + 500);
    musicWatch.stop();
    // The player loops the track itself: the watch never rendered it again.
    EXPECT_EQ(renders, 1);
    EXPECT_GE(media->real.Loops(), 2);
    EXPECT_EQ(media->Poll(), MediaPoll::kRunning);
    ApplyMusicRule(music, 0, currentBgmNo);

    // The longest run of near-silent frames from the first sound to the
    // last: a tone's zero crossings and the encoder's last 3 ms, where a
    // decoder started again would rest 46 ms and the watch's restart 300.
    const std::vector<std::int16_t> heard = recording->Since();
    constexpr int kQuiet = 200;  // the tone's peak is 4096
    const auto loud = [&](std::size_t frame) {
        return std::abs(heard[2 * frame]) > kQuiet || std::abs(heard[2 * frame + 1]) > kQuiet;
    };
    const std::size_t frames = heard.size() / 2;
    std::size_t first = 0;
    while (first < frames && !loud(first))
        ++first;
    std::size_t last = frames;
    while (last > first && !loud(last - 1))
        --last;
    ASSERT_GT(last - first, static_cast<std::size_t>(kTrackSeconds * 2.5 * 44100)) << "the track did not loop";
    std::size_t run = 0;
    std::size_t longest = 0;
    for (std::size_t f = first; f < last; ++f) {
        run = loud(f) ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 441u) << "a rest of " << static_cast<double>(longest) / 44.1 << " ms";
}

}  // namespace
}  // namespace tarnwick
