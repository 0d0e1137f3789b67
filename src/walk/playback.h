// Playback: the walk with its clip, music, face and next-line timer, driven
// by player commands (the window's buttons and keys, or any other remote)
// and reporting what to show to its views. Pausing holds the clip, the
// timer's remaining time and the music where they are; nothing moves on
// until Resume. No Qt here: tests drive it with fake devices and a fake
// clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "face/face_draw.h"
#include "sound/bgm_player.h"
#include "sound/voice_output.h"
#include "sound/wave_device.h"
#include "talk/selection_models.h"
#include "walk/talk_walker.h"

namespace tarnwick {

class CArchiveSet;
class CFaceCache;

enum class PlaybackState_T { kStopped, kPlaying, kPaused };

// The one-shot timer before the next line. Its expiry comes back through
// CPlayback::OnNextLineTimer from the owner's event loop.
class INextLineTimer {
public:
    virtual ~INextLineTimer() = default;
    virtual void Start(int milliseconds) = 0;
    virtual void Stop() = 0;
    // Milliseconds until it fires, or -1 when it is not running.
    virtual int Remaining() const = 0;
};

// What playback shows. A view may be one of several (the window, a desktop
// media control); each hears every report.
class IPlaybackView {
public:
    virtual ~IPlaybackView() = default;
    // The line that starts, before its face and text: for a view that
    // names the line (its talk ID and number) rather than only shows it.
    virtual void ShowLine(const CVeyQelTalkElm& /*line*/) {}
    virtual void ShowFace(const FaceFrame_T& frame) = 0;  // composed at the face frame's size
    virtual void ShowTalkText(const std::string& text) = 0;  // code page 932, LF breaks
    virtual void ShowCast(std::string_view castName) = 0;
    virtual void ShowWait(std::int32_t waitTenths) = 0;
    virtual void ShowMode(ClipKind_T kind) = 0;  // kSilent when no clip plays
    // Follows ShowMode: the microseconds the line's clip plays when it is
    // cut there (it lasts longer than a clip may play), else 0.
    virtual void ShowClipCut(std::uint64_t /*keptMicroseconds*/) {}
    virtual void ShowStartText(StartText_T text) = 0;
    // Stopped, playing or paused: reported when it changes.
    virtual void ShowState(PlaybackState_T state) = 0;
    // The listener's choices, whoever changed them.
    virtual void ShowOptions(const PlayerOptions_T& /*options*/) {}
    // The clip was moved to microseconds from its start.
    virtual void ShowSeeked(std::uint64_t /*microseconds*/) {}
};

// What playback plays with; none of it is owned, and all of it outlives
// the playback.
struct PlaybackDevices_T {
    IWaveDevice& wave;
    VoiceOutput& voice;
    CArchiveSet& archives;
    CFaceCache& faces;
    BgmContext_T music;
    INextLineTimer& timer;
};

class CPlayback : private IWalkerHost {
public:
    // Takes the wave device's done handler.
    CPlayback(CTalkListModel& list, const PlaybackDevices_T& devices);
    ~CPlayback() override;
    CPlayback(const CPlayback&) = delete;
    CPlayback& operator=(const CPlayback&) = delete;

    void AddView(IPlaybackView& view);
    void RemoveView(IPlaybackView& view);

    // Commands.
    void Start();  // the Start button: starts a walk, or stops the one running
    void PlayRow(int row);  // a double-click: that line alone, or the walk goes on from it
    void Pause();
    void Resume();
    // Resumes a paused walk or line, and starts a walk when nothing plays.
    void Play();
    // Resumes a paused walk or line, pauses one that plays, and starts a
    // walk otherwise.
    void PlayPause();
    void Next();
    void Previous();
    void Replay();
    void Stop();

    // Events from the owner's event loop.
    void OnNextLineTimer();
    void OnMusicWatchTimer();  // every second
    // The window is closing: no walk, no music, no clip.
    void OnDestroy();

    // Moves the line's clip to microseconds from its start (at most its
    // end); false when no clip plays.
    bool SeekClip(std::uint64_t microseconds);

    // Settings the lines play with.
    void SetPlayMode(PlayMode_T mode) { playMode = mode; }
    void SetShuffle(bool on) { walker.SetShuffle(on); }
    void SetRepeat(Repeat_T repeat) { walker.SetRepeat(repeat); }
    void SetMusicEnabled(bool enabled) { musicEnabled = enabled; }
    void SetFaceFrameSize(int width, int height);

    PlaybackState_T State() const;
    // How long the clip of the line shown plays, in microseconds; 0 while
    // none is open.
    std::uint64_t ClipMicroseconds() const;
    // Where that clip is heard now, in microseconds; 0 while none is open.
    std::uint64_t ClipPosition() const;
    // Tells every view the listener's choices.
    void ReportOptions(const PlayerOptions_T& options);
    // Where a walk is among the marked rows shown; position 0 outside one.
    CTalkListModel::MarkedPlace_T Position() const;
    const CTalkWalker& Walker() const { return walker; }

private:
    // The walker's host: what a line does to the views and devices.
    void ShowLine(const CVeyQelTalkElm& line) override;
    bool DrawFace(const std::string& faceEntryName, int frameStyle) override;
    void ShowTalkText(const std::string& text) override;
    void ShowCast(std::string_view castName) override;
    void ShowWait(std::int32_t waitTenths) override;
    void ShowMode(ClipKind_T kind) override;
    void ShowStartText(StartText_T text) override;
    PlayMode_T PlayMode() const override { return playMode; }
    void ArmNextLineTimer(int milliseconds) override;
    void StopNextLineTimer() override;
    bool PlayVoiceClip(const std::string& voiceEntryName, ClipKind_T kind) override;
    bool IsClipPlaying() const override;
    void StopVoiceClip() override;
    void CloseVoiceClip() override;
    void PlayBgm(int number) override;
    void StopBgm() override;
    void PollBgm(int number) override;

    void OnVoiceDone();
    // A command other than Resume ends the pause: what was held is let go
    // (a held clip end delivered first), and the command takes it from there.
    void LeavePause(bool resumeMusic);
    void ReportState();

    CTalkListModel& list;
    PlaybackDevices_T devices;
    CTalkWalker walker;
    std::vector<IPlaybackView*> views;
    PlayMode_T playMode = PlayMode_T::kDefault;
    bool musicEnabled = true;
    int faceWidth = 96;
    int faceHeight = 96;

    bool paused = false;
    bool doneHeld = false;   // a clip's end arrived while paused
    int heldTimerMs = -1;    // the next-line timer's remaining time when paused
    PlaybackState_T reported = PlaybackState_T::kStopped;
};

}  // namespace tarnwick
