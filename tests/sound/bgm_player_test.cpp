#include "sound/bgm_player.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "support/temp_folder.h"

namespace tarnwick {
namespace {

struct MediaLog_T {
    std::vector<std::string> calls;
    MediaPoll answer = MediaPoll::kRunning;
};

// Renders any file that exists, and writes down every call.
class FakeMediaPlayer : public IMediaPlayer {
public:
    explicit FakeMediaPlayer(MediaLog_T& calls) : log(calls) {}
    bool Render(const std::string& path) override
    {
        log.calls.push_back("render " + path);
        return test::ReadFileText(path) == "wma";
    }
    void Release() override { log.calls.push_back("release"); }
    void Run() override { log.calls.push_back("run"); }
    void Stop() override { log.calls.push_back("stop"); }
    void Pause() override { log.calls.push_back("pause"); }
    void Resume() override { log.calls.push_back("resume"); }
    void SetVolume(float linear) override { log.calls.push_back("volume " + std::to_string(linear)); }
    MediaPoll Poll() override
    {
        log.calls.push_back("poll");
        return log.answer;
    }

private:
    MediaLog_T& log;
};

std::string Volume(float linear)
{
    return "volume " + std::to_string(linear);
}

class BgmPlayerTest : public ::testing::Test {
protected:
    BgmPlayerTest() : player(std::make_unique<FakeMediaPlayer>(log))
    {
        game.Write("data/sound/bgm_5.wma", "wma");
        game.Write("data/sound/BGM_12.WMA", "wma");
        game.Write("data/sound/bgm_6.wma", "not music");
        archives.SetGameFolder(game.Path());
    }

    std::string Track(const std::string& relative) const { return "render " + (game / relative); }
    // The calls since the last look.
    std::vector<std::string> Calls()
    {
        std::vector<std::string> calls;
        calls.swap(log.calls);
        return calls;
    }

    test::TempFolder game;
    CArchiveSet archives;
    MediaLog_T log;
    CBgmPlayer player;
    int volumeBgm = 0;
    BgmContext_T music{player, archives, volumeBgm};
    int currentBgmNo = 0;
};

TEST(BgmVolumeTest, HundredthsOfADecibelBecomeAnAmplitudeFactor)
{
    EXPECT_FLOAT_EQ(LinearVolume(0), 1.0f);
    EXPECT_FLOAT_EQ(LinearVolume(-2000), 0.1f);
    EXPECT_NEAR(LinearVolume(-600), 0.501f, 0.001f);
    EXPECT_EQ(LinearVolume(-10000), 0.0f);
}

TEST_F(BgmPlayerTest, PlayBgmRendersTheTrackInAnyLetterCaseThenSetsVolumeAndRuns)
{
    volumeBgm = -2000;
    PlayBgm(music, 12);
    EXPECT_TRUE(player.IsOpen());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release", Track("data/sound/BGM_12.WMA"), Volume(0.1f),
                                                 "run"}));
}

TEST_F(BgmPlayerTest, SameNumberOnFollowingLinesPlaysOn)
{
    for (int i = 0; i < 3; ++i)
        ApplyMusicRule(music, 5, currentBgmNo);
    EXPECT_EQ(currentBgmNo, 5);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release", Track("data/sound/bgm_5.wma"), Volume(1.0f),
                                                 "run"}));
}

TEST_F(BgmPlayerTest, NumberZeroStopsAndTheNextNumberStartsAfresh)
{
    ApplyMusicRule(music, 5, currentBgmNo);
    Calls();
    ApplyMusicRule(music, 0, currentBgmNo);
    EXPECT_EQ(currentBgmNo, 0);
    EXPECT_EQ(Calls(), std::vector<std::string>{"stop"});
    EXPECT_TRUE(player.IsOpen());  // stopped, still open
    ApplyMusicRule(music, 5, currentBgmNo);
    EXPECT_EQ(currentBgmNo, 5);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release", Track("data/sound/bgm_5.wma"), Volume(1.0f),
                                                 "run"}));
}

TEST_F(BgmPlayerTest, MissingTrackEndsTheOldOneAndIsNotRetried)
{
    ApplyMusicRule(music, 5, currentBgmNo);
    Calls();
    ApplyMusicRule(music, 7, currentBgmNo);
    EXPECT_EQ(currentBgmNo, 7);
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release", Track("data/sound/bgm_7.wma")}));

    ApplyMusicRule(music, 7, currentBgmNo);
    PollBgm(music, currentBgmNo);
    EXPECT_TRUE(Calls().empty());

    ApplyMusicRule(music, 6, currentBgmNo);  // there, but not playable
    EXPECT_FALSE(player.IsOpen());
    Calls();
    PollBgm(music, currentBgmNo);
    ApplyMusicRule(music, 6, currentBgmNo);
    EXPECT_TRUE(Calls().empty());

    // A FIFO or a folder in a track's place is a missing track: the player
    // never gets to wait on it.
    ASSERT_EQ(::mkfifo((game / "data/sound/bgm_8.wma").c_str(), 0644), 0);
    std::filesystem::create_directories(game / "data/sound/bgm_9.wma");
    for (int n : {8, 9}) {
        ApplyMusicRule(music, 5, currentBgmNo);
        Calls();
        ApplyMusicRule(music, n, currentBgmNo);
        EXPECT_FALSE(player.IsOpen());
        EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release"})) << n;
    }
}

TEST_F(BgmPlayerTest, VolumeAppliesAtOnceToAnOpenTrackAndIgnoresValuesOutOfRange)
{
    PlayBgm(music, 5);
    Calls();
    SetBgmVolume(music, -2000);
    EXPECT_EQ(volumeBgm, -2000);
    SetBgmVolume(music, 1);
    SetBgmVolume(music, -10001);
    EXPECT_EQ(volumeBgm, -2000);
    StopBgm(music);  // stopped is still open
    SetBgmVolume(music, -10000);
    EXPECT_EQ(Calls(), (std::vector<std::string>{Volume(0.1f), "stop", Volume(0.0f)}));
}

TEST_F(BgmPlayerTest, VolumeSetWhileClosedWaitsForTheNextTrack)
{
    SetBgmVolume(music, -2000);
    EXPECT_EQ(volumeBgm, -2000);
    EXPECT_TRUE(Calls().empty());
    PlayBgm(music, 5);
    const std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[3], Volume(0.1f));
}

TEST_F(BgmPlayerTest, PollRestartsOnlyATrackThatIsNotRunning)
{
    PollBgm(music, 5);  // nothing open
    EXPECT_TRUE(Calls().empty());

    PlayBgm(music, 5);
    Calls();
    PollBgm(music, 0);
    EXPECT_TRUE(Calls().empty());

    log.answer = MediaPoll::kRunning;
    PollBgm(music, 5);
    EXPECT_EQ(Calls(), std::vector<std::string>{"poll"});

    log.answer = MediaPoll::kFailed;
    PollBgm(music, 5);
    EXPECT_EQ(Calls(), std::vector<std::string>{"poll"});

    log.answer = MediaPoll::kNotRunning;  // stopped, or played to its end
    PollBgm(music, 5);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"poll", "stop", "release", Track("data/sound/bgm_5.wma"),
                                                 Volume(1.0f), "run"}));
}

TEST_F(BgmPlayerTest, WithoutAMediaPlayerTheMusicIsSilent)
{
    CBgmPlayer none;
    BgmContext_T silent{none, archives, volumeBgm};
    int current = 0;
    ApplyMusicRule(silent, 5, current);
    EXPECT_EQ(current, 5);
    EXPECT_FALSE(none.IsOpen());
    PollBgm(silent, 5);
    StopBgm(silent);
    SetBgmVolume(silent, -100);
    EXPECT_EQ(volumeBgm, -100);
}

TEST_F(BgmPlayerTest, DestroyingThePlayerStopsAndReleases)
{
    {
        CBgmPlayer gone(std::make_unique<FakeMediaPlayer>(log));
        BgmContext_T m{gone, archives, volumeBgm};
        PlayBgm(m, 5);
        Calls();
    }
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "release"}));
}

}  // namespace
}  // namespace tarnwick
