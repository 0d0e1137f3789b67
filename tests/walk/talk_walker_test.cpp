#include "walk/talk_walker.h"

#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace tarnwick {
namespace {

// The window, sound and clock as the walker sees them. Time only moves in
// Advance; clip ends and the pause timer fire in time order, and a stopped
// clip's end event arrives as the next event, as a queued message would.
class FakeHost : public IWalkerHost {
public:
    std::map<std::string, int> clipMs;  // clips that exist, by entry name, and their length
    PlayMode_T playMode = PlayMode_T::kDefault;
    long now = 0;
    std::vector<std::string> played;  // "name@ms kind" of every clip started
    std::vector<std::string> lines;   // "voice-entry-name@ms" of every line shown
    std::vector<std::string> music;   // "play N", "stop", "poll N"
    std::string mode;
    std::string wait;
    StartText_T start = StartText_T::kStart;
    bool startTextSet = false;
    int secondClipAttempts = 0;
    CTalkWalker* walker = nullptr;

    bool DrawFace(const std::string&, int) override { return true; }
    void ShowTalkText(const std::string&) override {}
    void ShowCast(std::string_view) override {}
    void ShowWait(std::int32_t w) override { wait = std::to_string(w); }
    void ShowMode(ClipKind_T k) override
    {
        mode = k == ClipKind_T::kSilent ? "Silent" : k == ClipKind_T::kShort ? "Short" : "Long";
    }
    void ShowStartText(StartText_T t) override
    {
        start = t;
        startTextSet = true;
    }
    PlayMode_T PlayMode() const override { return playMode; }
    void ArmNextLineTimer(int ms) override { timerDue = now + ms; }
    void StopNextLineTimer() override { timerDue = -1; }

    bool PlayVoiceClip(const std::string& name, ClipKind_T kind) override
    {
        if (clipEnd >= 0)
            ++secondClipAttempts;
        const std::string entry = (kind == ClipKind_T::kShort ? "short/" : "long/") + name;
        auto it = clipMs.find(entry);
        if (it == clipMs.end())
            return false;
        played.push_back(entry + "@" + std::to_string(now));
        clipEnd = now + it->second;
        return true;
    }
    bool IsClipPlaying() const override { return clipEnd >= 0; }
    void StopVoiceClip() override
    {
        if (clipEnd >= 0)
            clipEnd = now;  // the reset's end event comes next
    }
    void CloseVoiceClip() override { clipEnd = -1; }
    void PlayBgm(int n) override { music.push_back("play " + std::to_string(n)); }
    void StopBgm() override { music.push_back("stop"); }
    void PollBgm(int n) override { music.push_back("poll " + std::to_string(n)); }

    // Runs the events due within ms from now, in order.
    void Advance(long ms)
    {
        const long until = now + ms;
        for (;;) {
            const bool clipDue = clipEnd >= 0 && clipEnd <= until && !endDelivered(clipEnd);
            const bool timer = timerDue >= 0 && timerDue <= until;
            if (!clipDue && !timer)
                break;
            if (clipDue && (!timer || clipEnd <= timerDue)) {
                now = clipEnd;
                lastEnd = clipEnd;
                walker->OnVoiceDone();
            } else {
                now = timerDue;
                walker->OnNextLineTimer();
            }
        }
        now = until;
    }
    bool TimerArmed() const { return timerDue >= 0; }

private:
    bool endDelivered(long end) const { return end == lastEnd && clipEnd == -1; }
    long clipEnd = -1;
    long timerDue = -1;
    long lastEnd = -2;
};

// Rows: talk id, voice kind, wait, music number; every row marked.
struct Row_T {
    int id;
    int kind;
    int wait;
    int bgm;
};

class WalkerTest : public ::testing::Test {
protected:
    void Load(const std::vector<Row_T>& rows)
    {
        std::string table = "ID\r\n";
        for (const Row_T& r : rows)
            table += std::to_string(r.id) + ",1,0,Cast,0,Text$Rmore," + std::to_string(r.wait) + ",," +
                     std::to_string(r.kind) + "\r\n";
        talk.SetProgramFolder(empty.Path());
        talk.Load(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
        list.BeginFill(talk.GetCount());
        for (std::size_t i = 0; i < talk.GetCount(); ++i) {
            talk.GetAt(i)->bgmNo = rows[i].bgm;
            list.AppendRow(talk.GetAt(i));
        }
        list.EndFill();
        list.SetAllChecked(true);
        host.walker = &walker;
    }
    std::string Clip(int id, bool shortClip = false) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "%05d_0001.vc", id);
        return std::string(shortClip ? "short/" : "long/") + name;
    }

    test::TempFolder empty;
    CVeyQelTalk talk;
    CTalkListModel list;
    FakeHost host;
    CTalkWalker walker{list, host};
};

using Strings = std::vector<std::string>;

TEST(WalkerTextTest, BreakMarksBecomeLineEnds)
{
    EXPECT_EQ(TalkTextForDisplay("a$Rb$R"), "a\nb\n");
    EXPECT_EQ(TalkTextForDisplay("$r$"), "$r$");
}

TEST(WalkerPauseTest, SilentPausesStayWithinWhatATimerHolds)
{
    const struct {
        std::int32_t tenths;
        int ms;
    } cases[] = {{0, 0}, {-5, 0}, {INT32_MIN, 0}, {20, 2000}, {21474836, 2147483600},
                 {21474837, INT_MAX}, {INT32_MAX, INT_MAX}};
    for (const auto& c : cases)
        EXPECT_EQ(SilentPauseMs(c.tenths), c.ms) << c.tenths;
}

TEST_F(WalkerTest, StartWithNothingMarkedDoesNothing)
{
    Load({{1, 2, 10, 0}});
    list.SetAllChecked(false);
    walker.OnStartClicked();
    EXPECT_FALSE(walker.walking);
    EXPECT_FALSE(host.startTextSet);
    EXPECT_TRUE(host.mode.empty());
}

TEST_F(WalkerTest, AWalkPlaysMarkedRowsInOrderWithItsPauses)
{
    Load({{1, 2, 30, 0}, {2, 2, 10, 0}, {3, 0, 15, 0}, {4, 2, 10, 0}, {5, 2, 10, 0}});
    host.clipMs = {{Clip(1), 1000}, {Clip(2), 2000}, {Clip(4), 700}, {Clip(5), 300}};
    list.SetChecked(1, false);
    list.SetCurrentRow(3);  // a later selection does not matter to Start
    walker.OnStartClicked();
    EXPECT_TRUE(walker.walking);
    EXPECT_EQ(host.start, StartText_T::kStop);
    EXPECT_EQ(list.CurrentRow(), 0);
    EXPECT_EQ(host.mode, "Long");
    EXPECT_EQ(host.wait, "30");

    host.Advance(10000);
    // 1 ends at 1000, +500 → 3 (silent, 1.5 s) at 1500, → 4 at 3000,
    // ends 3700, → 5 at 4200.
    EXPECT_EQ(host.played, (Strings{Clip(1) + "@0", Clip(4) + "@3000", Clip(5) + "@4200"}));
    EXPECT_EQ(host.secondClipAttempts, 0);
    // After the last clip: the walk ends 500 ms after it, music stopped.
    EXPECT_FALSE(walker.walking);
    EXPECT_EQ(host.start, StartText_T::kPlayAgain);
    EXPECT_EQ(host.music.back(), "stop");
    EXPECT_EQ(list.CurrentRow(), 4);
}

TEST_F(WalkerTest, SilentLinesWaitTheirTenthsAndNegativeWaitsNothing)
{
    Load({{1, 0, 0, 0}, {2, 0, -5, 0}, {3, 0, 20, 0}, {4, 2, 10, 0}});
    host.clipMs = {{Clip(4), 100}};
    walker.OnStartClicked();
    EXPECT_EQ(host.mode, "Silent");
    host.Advance(0);  // both zero waits pass at once
    EXPECT_EQ(list.CurrentRow(), 2);
    host.Advance(1999);
    EXPECT_TRUE(host.played.empty());
    host.Advance(1);
    EXPECT_EQ(host.played, Strings{Clip(4) + "@2000"});
}

TEST_F(WalkerTest, ASelectionMadeDuringTheWalkRedirectsItAndClearingItEndsIt)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}, {3, 2, 10, 0}, {4, 2, 10, 0}});
    host.clipMs = {{Clip(1), 100}, {Clip(2), 100}, {Clip(3), 100}, {Clip(4), 100}};
    walker.OnStartClicked();
    list.SetCurrentRow(2);
    host.Advance(600);
    EXPECT_EQ(host.played.back(), Clip(4) + "@600");
    host.Advance(50);
    list.SetCurrentRow(-1);
    host.Advance(1000);
    EXPECT_FALSE(walker.walking);
    EXPECT_EQ(host.played.size(), 2u);
}

TEST_F(WalkerTest, PlayModeChoosesTheArchive)
{
    Load({{1, 0, 10, 0}, {2, 1, 10, 0}, {3, 2, 10, 0}});
    host.clipMs = {{Clip(1, true), 10}, {Clip(2, true), 10}, {Clip(3, true), 10},
                   {Clip(2), 10},       {Clip(3), 10}};
    host.playMode = PlayMode_T::kShort;  // every line from the short archive, even kind 0
    walker.OnStartClicked();
    host.Advance(5000);
    EXPECT_EQ(host.played, (Strings{Clip(1, true) + "@0", Clip(2, true) + "@510", Clip(3, true) + "@1020"}));

    host.played.clear();
    host.playMode = PlayMode_T::kDefault;  // each line's own kind; kind 0 is silent
    walker.OnStartClicked();
    EXPECT_EQ(host.mode, "Silent");
    host.Advance(5000);
    EXPECT_EQ(host.played.size(), 2u);
    EXPECT_EQ(host.played[0].substr(0, 6), "short/");
    EXPECT_EQ(host.played[1].substr(0, 5), "long/");
}

TEST_F(WalkerTest, MusicFollowsTheLinesOfAWalk)
{
    Load({{1, 0, 1, 5}, {2, 0, 1, 5}, {3, 0, 1, 5}, {4, 0, 1, 0}, {5, 0, 1, 5}, {6, 0, 1, 7}, {7, 0, 1, 7}});
    walker.OnStartClicked();
    host.Advance(10000);
    EXPECT_EQ(host.music, (Strings{"play 5", "stop", "play 5", "play 7", "stop"}));
    EXPECT_EQ(walker.currentBgmNo, 0);
}

TEST_F(WalkerTest, MusicWatchPollsOnlyTheNumberThatPlays)
{
    Load({{1, 2, 1, 3}});
    host.clipMs = {{Clip(1), 5000}};
    walker.OnMusicWatchTimer();
    EXPECT_TRUE(host.music.empty());
    walker.OnStartClicked();
    walker.OnMusicWatchTimer();
    EXPECT_EQ(host.music, (Strings{"play 3", "poll 3"}));
}

TEST_F(WalkerTest, DoubleClickOutsideAWalkPlaysOneLineWithoutMusic)
{
    Load({{1, 2, 10, 4}, {2, 2, 10, 4}});
    host.clipMs = {{Clip(1), 100}, {Clip(2), 100}};
    walker.OnListDoubleClick(1);
    host.Advance(5000);
    EXPECT_EQ(host.played, Strings{Clip(2) + "@0"});
    EXPECT_TRUE(host.music.empty() || host.music == Strings{"stop"});
    EXPECT_FALSE(walker.walking);
    // Below the last row with no clip: nothing.
    walker.OnListDoubleClick(-1);
    EXPECT_EQ(host.played.size(), 1u);
}

TEST_F(WalkerTest, DoubleClickDuringAClipCutsItAndPlaysTheClickedLine)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}, {3, 2, 10, 0}});
    host.clipMs = {{Clip(1), 1000}, {Clip(2), 1000}, {Clip(3), 1000}};
    walker.OnStartClicked();
    host.Advance(200);
    list.SetCurrentRow(2);  // the list selects what is double-clicked
    walker.OnListDoubleClick(2);
    host.Advance(0);
    EXPECT_EQ(host.played, (Strings{Clip(1) + "@0", Clip(3) + "@200"}));
    EXPECT_TRUE(walker.walking);
    // Below the last row during a clip: only the cut; the walk goes on.
    host.Advance(100);
    walker.OnListDoubleClick(-1);
    host.Advance(0);
    EXPECT_EQ(host.played.size(), 2u);
    host.Advance(499);
    EXPECT_TRUE(walker.walking);
    host.Advance(1);
    EXPECT_FALSE(walker.walking);  // no marked row after the last one
    EXPECT_EQ(host.secondClipAttempts, 0);
}

TEST_F(WalkerTest, StoppingDuringAPauseLeavesNothingToPlay)
{
    Load({{1, 0, 20, 2}, {2, 2, 10, 2}});
    host.clipMs = {{Clip(2), 100}};
    walker.OnStartClicked();
    walker.OnStartClicked();
    EXPECT_FALSE(walker.walking);
    EXPECT_EQ(host.start, StartText_T::kPlayAgain);
    EXPECT_EQ(walker.currentBgmNo, 0);
    host.Advance(5000);
    EXPECT_TRUE(host.played.empty());
    EXPECT_EQ(host.music, (Strings{"play 2", "stop", "stop"}));
}

TEST_F(WalkerTest, StartDuringADoubleClickedClipCutsItFirst)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}});
    host.clipMs = {{Clip(1), 1000}, {Clip(2), 1000}};
    walker.OnListDoubleClick(1);
    host.Advance(100);
    walker.OnStartClicked();
    EXPECT_TRUE(walker.walking);
    host.Advance(0);
    EXPECT_EQ(host.played, (Strings{Clip(2) + "@0", Clip(1) + "@100"}));
    EXPECT_EQ(host.secondClipAttempts, 0);
}

TEST_F(WalkerTest, APauseThatEndsDuringAClipCutsTheClipFirst)
{
    Load({{1, 0, 5, 0}, {2, 2, 10, 0}, {3, 2, 10, 0}});
    host.clipMs = {{Clip(2), 2000}, {Clip(3), 100}};
    walker.OnStartClicked();  // silent: the pause timer is armed for 500 ms
    host.Advance(100);
    list.SetCurrentRow(1);
    walker.OnListDoubleClick(1);  // a long clip starts inside the pause
    host.Advance(400);            // the pause ends while it plays: cut, then the next row
    host.Advance(0);
    EXPECT_EQ(host.played, (Strings{Clip(2) + "@100", Clip(3) + "@500"}));
    EXPECT_EQ(host.secondClipAttempts, 0);
    EXPECT_EQ(list.CurrentRow(), 2);
}

TEST_F(WalkerTest, ARebuiltListEndsTheWalkAtItsNextStep)
{
    Load({{1, 2, 10, 0}, {2, 2, 10, 0}});
    host.clipMs = {{Clip(1), 300}, {Clip(2), 300}};
    walker.OnStartClicked();
    // A new capture choice refills the list, which leaves no selection.
    list.BeginFill(2);
    list.AppendRow(talk.GetAt(0));
    list.AppendRow(talk.GetAt(1));
    list.EndFill();
    list.SetAllChecked(true);
    host.Advance(1000);
    EXPECT_FALSE(walker.walking);
    EXPECT_EQ(host.played.size(), 1u);
}

TEST_F(WalkerTest, ClosingTheWindowStopsEverythingAtOnce)
{
    Load({{1, 2, 10, 6}});
    host.clipMs = {{Clip(1), 3000}};
    walker.OnStartClicked();
    walker.OnDestroy();
    EXPECT_FALSE(walker.walking);
    EXPECT_FALSE(host.IsClipPlaying());
    EXPECT_EQ(host.music.back(), "stop");
}

// The clips a walk played, by talk id, in order.
std::vector<int> PlayedIds(const Strings& played)
{
    std::vector<int> ids;
    for (const std::string& p : played)
        ids.push_back(std::stoi(p.substr(p.find('/') + 1, 5)));
    return ids;
}

TEST_F(WalkerTest, AShuffledWalkPlaysEachMarkedRowOncePerRoundAndPreviousGoesBackAlongIt)
{
    Load({{1, 2, 0, 0}, {2, 2, 0, 0}, {3, 2, 0, 0}, {4, 2, 0, 0}, {5, 2, 0, 0}, {6, 2, 0, 0}});
    for (int id = 1; id <= 6; ++id)
        host.clipMs[Clip(id)] = 100;
    list.SetChecked(1, false);
    const std::multiset<int> marked{1, 3, 4, 5, 6};
    walker.SeedShuffle(7);
    walker.SetShuffle(true);

    walker.OnStartClicked();
    host.Advance(100000);
    const std::vector<int> round = PlayedIds(host.played);
    EXPECT_EQ(std::multiset<int>(round.begin(), round.end()), marked);
    EXPECT_NE(round, (std::vector<int>{1, 3, 4, 5, 6}));
    EXPECT_FALSE(walker.walking);

    // Each round of a repeated walk: every marked row once, a new order.
    host.played.clear();
    walker.SetRepeat(Repeat_T::kWalk);
    walker.OnStartClicked();
    host.Advance(3 * 5 * 600 - 1);
    walker.OnStop();
    host.Advance(1000);
    const std::vector<int> rounds = PlayedIds(host.played);
    ASSERT_EQ(rounds.size(), 15u);
    for (std::size_t r = 0; r < 3; ++r) {
        const auto from = rounds.begin() + static_cast<long>(5 * r);
        EXPECT_EQ(std::multiset<int>(from, from + 5), marked) << r;
    }
    walker.SetRepeat(Repeat_T::kOff);

    // Previous walks back along the order, and stays on its first line.
    host.played.clear();
    walker.OnStartClicked();
    host.Advance(1300);  // the third line of the order plays
    const std::vector<int> order = PlayedIds(host.played);
    ASSERT_EQ(order.size(), 3u);
    walker.OnPrevious();
    host.Advance(0);
    walker.OnPrevious();
    host.Advance(0);
    walker.OnPrevious();
    host.Advance(0);
    const std::vector<int> back = PlayedIds(host.played);
    EXPECT_EQ(back, (std::vector<int>{order[0], order[1], order[2], order[1], order[0], order[0]}));

    // Turned off, the walk goes down the list from the line playing.
    walker.SetShuffle(false);
    host.Advance(100000);
    const std::vector<int> after = PlayedIds(host.played);
    std::vector<int> expected(back);
    for (int id : {1, 3, 4, 5, 6})
        if (id > order[0])
            expected.push_back(id);
    EXPECT_EQ(after, expected);
}

TEST_F(WalkerTest, RepeatPlaysTheLineAgainOrTheWalkFromItsFirstLine)
{
    Load({{1, 2, 0, 0}, {2, 0, 5, 0}, {3, 2, 0, 0}});
    host.clipMs = {{Clip(1), 1000}, {Clip(3), 1000}};

    // The line: again after its pause, a silent one after its wait; Next
    // moves on to the next line, which then repeats.
    walker.SetRepeat(Repeat_T::kLine);
    walker.OnStartClicked();
    host.Advance(3500);
    EXPECT_EQ(host.played, (Strings{Clip(1) + "@0", Clip(1) + "@1500", Clip(1) + "@3000"}));
    host.played.clear();
    walker.OnNext();
    host.Advance(0);
    host.Advance(1600);
    EXPECT_TRUE(host.played.empty());  // the silent line waits its half second, twice
    EXPECT_EQ(list.CurrentRow(), 1);
    walker.OnStop();
    host.Advance(5000);
    EXPECT_FALSE(walker.walking);

    // The walk: after its last line, from its first again; Next past the
    // last goes there too.
    host.played.clear();
    host.now = 0;
    walker.SetRepeat(Repeat_T::kWalk);
    walker.OnStartClicked();
    host.Advance(5000);
    EXPECT_EQ(host.played, (Strings{Clip(1) + "@0", Clip(3) + "@2000", Clip(1) + "@3500"}));
    walker.OnNext();
    host.Advance(0);
    walker.OnNext();
    host.Advance(0);
    EXPECT_TRUE(walker.walking);
    EXPECT_EQ(list.CurrentRow(), 0);
    walker.OnStop();
    host.Advance(5000);

    // A line played alone plays once.
    host.played.clear();
    walker.OnListDoubleClick(2);
    host.Advance(5000);
    EXPECT_EQ(host.played.size(), 1u);
}

}  // namespace
}  // namespace tarnwick
