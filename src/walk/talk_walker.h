// The talk walker: plays one line on demand, or walks through every marked
// row of the talk list with face, text, voice, pauses and music. It has no
// thread and no loop: its owner (the playback) calls its handlers from the
// player's commands, the one-shot pause timer and the end of a voice clip,
// and it acts through its host. It knows nothing of widgets (no Qt here), so
// tests drive it with a fake host and a fake clock.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sound/bgm_player.h"
#include "sound/voice_output.h"
#include "talk/selection_models.h"
#include "talk/veyqel_talk.h"
#include "walk/play_mode.h"
#include "walk/player_options.h"

namespace tarnwick {

inline constexpr int kPauseAfterClipMs = 500;

enum class StartText_T { kStart, kStop, kPlayAgain };  // "開始", "停止", "再生"

// What the walker needs of the window, the sound and the pictures; the
// music's start and stop come with the music rule's interface.
class IWalkerHost : public IMusicControl {
public:
    virtual ~IWalkerHost() = default;

    // Fetches, composes and shows the line's face; false leaves the frame
    // as it was.
    virtual bool DrawFace(const std::string& faceEntryName, int frameStyle) = 0;
    // The line that starts, before its face and text.
    virtual void ShowLine(const CVeyQelTalkElm& /*line*/) {}
    virtual void ShowTalkText(const std::string& text) = 0;  // code page 932, LF breaks
    virtual void ShowCast(std::string_view castName) = 0;
    virtual void ShowWait(std::int32_t waitTenths) = 0;
    // The clip the line plays: kSilent when it has none, or its clip does
    // not play.
    virtual void ShowMode(ClipKind_T kind) = 0;
    virtual void ShowStartText(StartText_T text) = 0;
    virtual PlayMode_T PlayMode() const = 0;

    virtual void ArmNextLineTimer(int milliseconds) = 0;
    virtual void StopNextLineTimer() = 0;

    // Voice clips: PlayVoiceClip gives false for a silent line; the end of a
    // clip (or of a stopped one) comes back through OnVoiceDone.
    virtual bool PlayVoiceClip(const std::string& voiceEntryName, ClipKind_T kind) = 0;
    virtual bool IsClipPlaying() const = 0;
    virtual void StopVoiceClip() = 0;
    virtual void CloseVoiceClip() = 0;

    virtual void PollBgm(int number) = 0;
};

class CTalkWalker {
public:
    CTalkWalker(CTalkListModel& list, IWalkerHost& host);

    void PlayTalkLine(CVeyQelTalkElm* line);
    void OnStartClicked();
    void OnVoiceDone();
    // The one-shot pause after a line has run out: the walk goes on.
    void OnNextLineTimer();
    // The music watch, every second: a track that stopped starts again.
    void OnMusicWatchTimer();
    void OnListDoubleClick(int row);
    // The player's controls. In a walk: the next marked row after the
    // selection now (past the last the walk ends as it does by itself), the
    // one before it (the first again on the first), the selected line again
    // from its start; the walk goes on from there. Outside a walk the
    // next or previous marked row is selected and played alone, as a
    // double-click plays it. The clip is cut first: its end plays the line.
    void OnNext();
    void OnPrevious();
    void OnReplay();
    // Ends a walk as Start does, and a line playing alone.
    void OnStop();
    // The window is closing: no walk, no music, no clip.
    void OnDestroy();

    // Shuffle: a walk plays every marked row once in a random order, and
    // Previous goes back along it. Turned on during a walk, the line playing
    // leads the new order; turned off, the walk goes on in list order from
    // it. Off, a walk goes down the list.
    void SetShuffle(bool on);
    bool Shuffled() const { return shuffle; }
    // Repeat acts on a walk: the line again after its pause, or the walk
    // from the first line of its order after its last (a shuffled walk in a
    // new order). A line played alone plays once.
    void SetRepeat(Repeat_T r) { repeat = r; }
    Repeat_T Repeat() const { return repeat; }
    // The shuffle's random source, for a repeatable order.
    void SeedShuffle(std::uint32_t seed) { random.seed(seed); }

    bool walking = false;
    CVeyQelTalkElm* pendingLine = nullptr;  // not owned
    int currentBgmNo = 0;

private:
    // Plays the pending line now, or, while a clip is open, cuts the clip
    // so that its end event plays the line: a second clip is never opened
    // over the first.
    void PlayPendingLine();
    // The first marked row after row (from the first row when row is -1),
    // or -1.
    int NextMarkedRow(int row) const;
    // The last marked row before row, or -1.
    int PreviousMarkedRow(int row) const;
    void SelectRow(int row);
    // Plays row's line now in place of whatever plays or waits.
    void JumpToRow(int row);
    // The walk's end: no walk, no music.
    void EndWalk();

    // A shuffled walk's order: the marked rows shown, as list indices with
    // their records, so that a filter or a refill since cannot send the
    // walk to another line. lead (a shown row, or -1) goes first.
    void MakeOrder(int lead);
    // A new order led by the selected row when it is marked, playing it.
    void OrderFrom(int selected);
    // The shown row of order[at], or -1 when it is hidden, unmarked or gone.
    int OrderRow(std::size_t at) const;
    // The walk's row after (or before) the selected one, in its order; -1
    // past either end. A selection within the order moves the walk there.
    int WalkRowAfter(int selected);
    // The user may have chosen another line of the order meanwhile: the
    // walk goes on from there.
    void FollowSelection(int selected);
    int WalkRowBefore(int selected);
    // The first row of the walk's order (a shuffled walk's new round), or -1.
    int FirstWalkRow();
    // The first row of the shuffled order as it stands, or -1.
    int FirstOrderRow();

    CTalkListModel& list;
    IWalkerHost& host;

    bool shuffle = false;
    Repeat_T repeat = Repeat_T::kOff;
    struct OrderEntry_T {
        std::size_t listIndex;
        const CVeyQelTalkElm* record;
    };
    std::vector<OrderEntry_T> order;  // empty outside a shuffled walk
    std::ptrdiff_t orderAt = -1;      // the entry playing; -1 before the first
    std::mt19937 random{std::random_device{}()};
};

// The pause after a silent line, in milliseconds a timer can hold.
int SilentPauseMs(std::int32_t waitTenths);

// The talk text as the text box shows it: every "$R" becomes "\n".
std::string TalkTextForDisplay(std::string_view talkText);

}  // namespace tarnwick
