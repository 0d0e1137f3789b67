#include "walk/playback.h"

#include "walk/player.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "face/face_cache.h"
#include "sound/voice_archives.h"
#include "support/temp_folder.h"
#include "support/recording_player.h"
#include "support/wave_recorder.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

// The next-line timer on a clock that moves only in Advance.
class FakeTimer : public INextLineTimer {
public:
    void Start(int ms) override { due = now + ms; }
    void Stop() override { due = -1; }
    int Remaining() const override { return due < 0 ? -1 : static_cast<int>(due - now); }

    // Fires the timer if it falls due within ms.
    void Advance(long ms, CPlayback& playback)
    {
        const long until = now + ms;
        while (due >= 0 && due <= until) {
            now = due;
            due = -1;
            playback.OnNextLineTimer();
        }
        now = until;
    }
    long now = 0;

private:
    long due = -1;
};

// Writes down the music player's running, stopping and pausing.
class FakeMedia : public IMediaPlayer {
public:
    explicit FakeMedia(Strings& calls) : log(calls) {}
    bool Render(const std::string&) override { return true; }
    void Release() override {}
    void Run() override { log.push_back("run"); }
    void Stop() override { log.push_back("stop"); }
    void Pause() override { log.push_back("pause"); }
    void Resume() override { log.push_back("resume"); }
    void SetVolume(float) override {}
    MediaPoll Poll() override
    {
        log.push_back("poll");
        return MediaPoll::kNotRunning;
    }

private:
    Strings& log;
};

// Each line shown as "text@ms"; the state as it changes.
class FakeView : public IPlaybackView {
public:
    explicit FakeView(const FakeTimer& c) : clock(c) {}
    void ShowLine(const CVeyQelTalkElm& line) override
    {
        named.push_back(std::to_string(line.talkId) + "_" + std::to_string(line.lineNo));
    }
    void ShowFace(const FaceFrame_T&) override {}
    void ShowTalkText(const std::string& text) override { lines.push_back(text + "@" + std::to_string(clock.now)); }
    void ShowCast(std::string_view) override {}
    void ShowWait(std::int32_t) override {}
    void ShowMode(ClipKind_T) override {}
    void ShowClipCut(std::uint64_t kept) override { cuts.push_back(kept); }
    void ShowStartText(StartText_T t) override { start = t; }
    void ShowState(PlaybackState_T s) override { states.push_back(s); }
    void ShowOptions(const PlayerOptions_T& o) override { options.push_back(o); }

    std::vector<PlayerOptions_T> options;
    Strings lines;
    Strings named;  // "talkId_lineNo" of each line started
    std::vector<std::uint64_t> cuts;  // of each line started
    std::vector<PlaybackState_T> states;
    StartText_T start = StartText_T::kStart;

private:
    const FakeTimer& clock;
};

// Rows: talk id, voice kind (a clip for kind 2, none for 0), wait, music.
struct Row_T {
    int id;
    int kind;
    int wait;
    int bgm;
};

class PlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        game = std::make_unique<test::TempFolder>();
        const std::vector<std::uint8_t> clip = test::Stored(test::EncodeTone({.seconds = 0.1}));
        std::vector<test::VoiceEntry_T> entries;
        for (int id = 1; id <= 4; ++id) {
            char name[32];
            std::snprintf(name, sizeof name, "%05d_0001.vc", id);
            entries.push_back({name, clip});
        }
        // Line 5's clip lasts a second more than a clip plays: silence at
        // a low rate, cheap to make.
        entries.push_back({"00005_0001.vc", test::Stored(test::EncodeTone(
                                                {.rate = 8000, .seconds = kMaxVoiceSeconds + 1.0, .amplitude = 0}))});
        ASSERT_TRUE(test::WriteVoiceArchive(game->Path(), kLongVoiceArchive, entries));
    }
    static void TearDownTestSuite() { game.reset(); }

    void Load(const std::vector<Row_T>& rows)
    {
        archives.SetGameFolder(game->Path());
        archives.SetProgramFolder(program.Path());
        ASSERT_TRUE(archives.OpenArchive(kLongVoiceArchive));
        std::string table = "ID\r\n";
        for (const Row_T& r : rows)
            table += std::to_string(r.id) + ",1,0,Cast,0,Line" + std::to_string(r.id) + "," +
                     std::to_string(r.wait) + ",," + std::to_string(r.kind) + "\r\n";
        talk.SetProgramFolder(program.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
        list.BeginFill(talk.GetCount());
        for (std::size_t i = 0; i < talk.GetCount(); ++i) {
            talk.GetAt(i)->bgmNo = rows[i].bgm;
            list.AppendRow(talk.GetAt(i));
        }
        list.EndFill();
        list.SetAllChecked(true);
        music.SetMediaFactory([this] {
            ++mediaMade;
            return std::make_unique<FakeMedia>(media);
        });
        playback = std::make_unique<CPlayback>(
            list, PlaybackDevices_T{device, voice, archives, faces, {music, archives, volume}, timer});
        playback->AddView(view);
    }
    // The clip plays out (or its cut ends) and the device says so.
    void ClipEnds(long afterMs)
    {
        timer.Advance(afterMs, *playback);
        ASSERT_TRUE(device.FinishBuffer());
    }
    void Advance(long ms) { timer.Advance(ms, *playback); }
    static std::string Line(int id, long ms) { return "Line" + std::to_string(id) + "@" + std::to_string(ms); }

    static std::unique_ptr<test::TempFolder> game;
    test::TempFolder program;
    CArchiveSet archives;
    CVeyQelTalk talk;
    CTalkListModel list;
    CWaveRecorder device{false};
    VoiceOutput voice;
    CFaceCache faces;
    Strings media;  // outlives the player that writes to it
    int mediaMade = 0;
    CBgmPlayer music;
    int volume = 0;
    FakeTimer timer;
    FakeView view{timer};
    std::unique_ptr<CPlayback> playback;
};

std::unique_ptr<test::TempFolder> PlaybackTest::game;

TEST_F(PlaybackTest, WithoutTheControlsAWalkGoesAsTheWalkerTakesIt)
{
    Load({{1, 2, 10, 0}, {2, 0, 15, 5}, {3, 2, 10, 5}});
    playback->Start();
    EXPECT_EQ(playback->State(), PlaybackState_T::kPlaying);
    EXPECT_EQ(mediaMade, 0) << "no music yet, no player";
    ClipEnds(1000);
    Advance(500);   // the pause after a clip, then the silent line's wait
    Advance(1500);
    ClipEnds(300);
    Advance(499);
    EXPECT_TRUE(playback->Walker().walking);
    Advance(1);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0), Line(2, 1500), Line(3, 3000)}));
    EXPECT_EQ(media, (Strings{"run", "stop"}));
    EXPECT_EQ(mediaMade, 1);
    EXPECT_FALSE(playback->Walker().walking);
    EXPECT_EQ(view.start, StartText_T::kPlayAgain);
    EXPECT_EQ(view.states, (std::vector{PlaybackState_T::kPlaying, PlaybackState_T::kStopped}));
    EXPECT_EQ(device.resets, 0);
}

// The player makes what it plays through from the platform's factory: the
// wave output and two timers, the music watch re-armed every second until
// the window closes, and the clip's device closed when the player goes.
TEST_F(PlaybackTest, ThePlayerMakesItsDevicesAndWatchesTheMusicUntilClosed)
{
    Load({{1, 2, 0, 3}, {2, 2, 0, 3}});
    test::CRecordingPlayerFactory factory;
    auto player = std::make_unique<CPlayer>(list, factory, PlayerResources_T{voice, archives, faces, music});
    ASSERT_NE(factory.wave, nullptr);
    ASSERT_EQ(factory.timers.size(), 2u);
    test::CManualTimer& watch = *factory.timers[1];
    player->StartMusicWatch();
    EXPECT_EQ(watch.due, CPlayer::kMusicWatchMs);

    player->Playback().Start();
    EXPECT_TRUE(factory.wave->IsOpen());
    EXPECT_EQ(media, (Strings{"run"}));
    watch.Fire();  // the music runs no more: the watch starts it again
    EXPECT_EQ(media, (Strings{"run", "poll", "stop", "run"}));
    EXPECT_EQ(watch.due, CPlayer::kMusicWatchMs);

    player->Close();
    EXPECT_EQ(watch.due, -1);
    EXPECT_EQ(player->Playback().State(), PlaybackState_T::kStopped);
    player.reset();
    EXPECT_EQ(voice.device, nullptr);
}

// The listener's choices live in the player: each reaches the walk, the
// clip and the music at once, and every view hears of it.
TEST_F(PlaybackTest, ThePlayersChoicesReachTheWalkTheClipAndEveryView)
{
    Load({{1, 2, 0, 3}, {2, 2, 0, 3}});
    test::CRecordingPlayerFactory factory;
    CPlayer player(list, factory, PlayerResources_T{voice, archives, faces, music},
                   {.musicVolume = 5, .voiceVolume = 250, .shuffle = true, .repeat = Repeat_T::kWalk});
    player.Playback().AddView(view);
    // Stored numbers out of range take the nearest the settings allow.
    EXPECT_EQ(player.Options().musicVolume, kMaxBgmVolume);
    EXPECT_EQ(player.Options().voiceVolume, kMaxVoiceVolume);
    EXPECT_TRUE(player.Playback().Walker().Shuffled());
    EXPECT_EQ(player.Playback().Walker().Repeat(), Repeat_T::kWalk);

    player.SetVoiceVolume(40);
    player.SetEvenLoudness(true);
    player.SetMusicVolume(-2000);
    player.SetMusicVolume(-20000);  // ignored
    player.SetShuffle(false);
    player.SetRepeat(NextRepeat(player.Options().repeat));
    player.SetPlayMode(PlayMode_T::kShort);
    EXPECT_EQ(voice.level, (VoiceLevel_T{40, true}));
    EXPECT_EQ(player.Music().volumeBgm, -2000);
    EXPECT_FALSE(player.Playback().Walker().Shuffled());
    EXPECT_EQ(player.Options().repeat, Repeat_T::kOff);
    ASSERT_EQ(view.options.size(), 6u);  // not the volume ignored
    EXPECT_EQ(view.options.back(), player.Options());

    // The clip starts at the voice's level: a tenth of a second is too
    // short to measure, so even loudness leaves it as it is.
    player.SetPlayMode(PlayMode_T::kLong);
    player.Playback().Start();
    ASSERT_TRUE(voice.IsPlaying());
    EXPECT_FLOAT_EQ(factory.wave->gain, 0.4f);
    player.SetVoiceVolume(100);
    EXPECT_FLOAT_EQ(factory.wave->gain, 1.0f);
    player.Close();
}

TEST_F(PlaybackTest, TheViewHearsOfEachLineWhetherItsClipIsCut)
{
    Load({{1, 2, 10, 0}, {5, 2, 10, 0}, {2, 0, 10, 0}});
    playback->Start();
    ClipEnds(100);
    Advance(kPauseAfterClipMs);
    EXPECT_EQ(playback->ClipMicroseconds(), std::uint64_t{kMaxVoiceSeconds} * 1000000);
    ClipEnds(1000);
    Advance(kPauseAfterClipMs);
    EXPECT_EQ(view.named, (Strings{"1_1", "5_1", "2_1"}));
    EXPECT_EQ(view.cuts, (std::vector<std::uint64_t>{0, std::uint64_t{kMaxVoiceSeconds} * 1000000, 0}));
}

TEST_F(PlaybackTest, PauseHoldsTheClipTheTimersRemainingTimeAndTheMusic)
{
    Load({{1, 2, 10, 5}, {2, 0, 20, 5}, {3, 2, 10, 5}});
    playback->Start();
    // The clip's length is known once it plays: a tenth of a second.
    EXPECT_NEAR(static_cast<double>(playback->ClipMicroseconds()), 100000.0, 5000.0);
    Advance(200);
    playback->Pause();
    EXPECT_EQ(playback->State(), PlaybackState_T::kPaused);
    EXPECT_TRUE(device.IsSuspended());
    // A clip end already on its way waits for the resume, and the music
    // watch leaves the paused music alone.
    ASSERT_TRUE(device.FinishBuffer());
    playback->OnMusicWatchTimer();
    Advance(5000);
    EXPECT_EQ(timer.Remaining(), -1);
    EXPECT_EQ(media, (Strings{"run", "pause"}));
    playback->Resume();
    EXPECT_FALSE(device.IsSuspended());
    EXPECT_EQ(timer.Remaining(), kPauseAfterClipMs);

    Advance(500);  // line 2: a silent wait of 2 s
    Advance(800);
    playback->Pause();
    Advance(10000);
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(playback->Position().position, 2u);
    playback->Resume();
    Advance(1199);
    EXPECT_EQ(view.lines.size(), 2u);
    Advance(1);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0), Line(2, 5700), Line(3, 17700)}));
    EXPECT_EQ(media, (Strings{"run", "pause", "resume", "pause", "resume"}));
    EXPECT_EQ(device.resets, 0);
}

TEST_F(PlaybackTest, NextAndPreviousInAWalkStopAtItsEnds)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}, {3, 2, 10, 0}});
    playback->Start();
    playback->Previous();  // on the first: the first again, after the cut
    EXPECT_EQ(device.resets, 1);
    ClipEnds(100);
    playback->Next();
    ClipEnds(100);
    EXPECT_EQ(timer.Remaining(), -1) << "no pause after a cut clip";
    ClipEnds(400);  // line 2 plays out: the walk pauses, and Next cuts the pause
    playback->Next();
    EXPECT_EQ(timer.Remaining(), -1);
    EXPECT_EQ(list.CurrentRow(), 2);
    playback->Next();  // past the last: the walk ends
    EXPECT_FALSE(playback->Walker().walking);
    EXPECT_EQ(view.start, StartText_T::kPlayAgain);
    ClipEnds(50);
    Advance(10000);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0), Line(1, 100), Line(2, 200), Line(3, 600)}));
    EXPECT_EQ(playback->State(), PlaybackState_T::kStopped);
    EXPECT_FALSE(voice.IsPlaying());
}

TEST_F(PlaybackTest, ReplayPlaysTheLineAgainAndTheWalkGoesOn)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}});
    playback->Start();
    Advance(300);
    playback->Pause();
    playback->Replay();  // also from a pause: the clip is cut, not left held
    EXPECT_FALSE(device.IsSuspended());
    ClipEnds(0);
    EXPECT_EQ(device.writes, 2);
    ClipEnds(1000);
    Advance(500);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0), Line(1, 300), Line(2, 1800)}));
}

TEST_F(PlaybackTest, StopFromAPauseEndsEverythingWithoutResumingTheMusic)
{
    Load({{1, 2, 10, 7}, {2, 2, 10, 7}});
    playback->Start();
    playback->Pause();
    playback->Stop();
    EXPECT_FALSE(playback->Walker().walking);
    ClipEnds(0);
    Advance(10000);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0)}));
    EXPECT_EQ(media, (Strings{"run", "pause", "stop"}));
    EXPECT_EQ(view.states.back(), PlaybackState_T::kStopped);
}

TEST_F(PlaybackTest, StopInASilentLinesWaitStopsAtOnce)
{
    Load({{1, 0, 30, 0}, {2, 0, 30, 0}});
    playback->Start();
    Advance(1000);
    playback->Stop();
    // The wait is dropped with the walk: nothing plays on after a Stop.
    EXPECT_EQ(playback->State(), PlaybackState_T::kStopped);
    EXPECT_EQ(view.states.back(), PlaybackState_T::kStopped);
    EXPECT_EQ(timer.Remaining(), -1);
    Advance(10000);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0)}));
}

TEST_F(PlaybackTest, OutsideAWalkNextAndPreviousPlayOneMarkedLine)
{
    Load({{1, 2, 10, 3}, {2, 2, 10, 3}, {3, 2, 10, 3}});
    list.SetChecked(1, false);
    playback->Next();  // nothing selected: the first marked row
    EXPECT_EQ(list.CurrentRow(), 0);
    ClipEnds(100);
    playback->Next();  // skips the unmarked row
    EXPECT_EQ(list.CurrentRow(), 2);
    ClipEnds(100);
    playback->Previous();
    ClipEnds(100);
    playback->Previous();  // on the first: that one again
    ClipEnds(100);
    Advance(10000);
    EXPECT_EQ(view.lines, (Strings{Line(1, 0), Line(3, 100), Line(1, 200), Line(1, 300)}));
    // Each line is named once, as it starts: a remote control tells them apart.
    EXPECT_EQ(view.named, (Strings{"1_1", "3_1", "1_1", "1_1"}));
    EXPECT_FALSE(playback->Walker().walking);
    EXPECT_TRUE(media.empty()) << "a line alone plays no music";

    playback->PlayPause();  // with nothing playing: a walk, as Start
    EXPECT_TRUE(playback->Walker().walking);
    EXPECT_EQ(list.CurrentRow(), 0);
}

}  // namespace
}  // namespace tarnwick
