#include "walk/playback.h"

#include <algorithm>
#include <utility>

#include "face/face_cache.h"

namespace tarnwick {

CPlayback::CPlayback(CTalkListModel& l, const PlaybackDevices_T& d) : list(l), devices(d), walker(l, *this)
{
    devices.wave.SetDoneHandler([this] { OnVoiceDone(); });
}

CPlayback::~CPlayback()
{
    devices.wave.SetDoneHandler(nullptr);
}

void CPlayback::AddView(IPlaybackView& view)
{
    if (std::find(views.begin(), views.end(), &view) == views.end())
        views.push_back(&view);
}

void CPlayback::RemoveView(IPlaybackView& view)
{
    views.erase(std::remove(views.begin(), views.end(), &view), views.end());
}

void CPlayback::SetFaceFrameSize(int width, int height)
{
    faceWidth = width;
    faceHeight = height;
}

PlaybackState_T CPlayback::State() const
{
    if (paused)
        return PlaybackState_T::kPaused;
    // A line played alone plays while its clip or its silent wait runs.
    if (walker.walking || devices.voice.IsPlaying() || walker.pendingLine || devices.timer.Remaining() >= 0)
        return PlaybackState_T::kPlaying;
    return PlaybackState_T::kStopped;
}

CTalkListModel::MarkedPlace_T CPlayback::Position() const
{
    if (!walker.walking)
        return {};
    return list.MarkedPlace(list.CurrentRow());
}

void CPlayback::ReportState()
{
    const PlaybackState_T state = State();
    if (state == reported)
        return;
    reported = state;
    for (IPlaybackView* v : views)
        v->ShowState(state);
}

void CPlayback::LeavePause(bool resumeMusic)
{
    if (!paused)
        return;
    paused = false;
    heldTimerMs = -1;
    devices.wave.Resume();
    if (resumeMusic && walker.currentBgmNo != 0)
        ResumeBgm(devices.music);
    if (std::exchange(doneHeld, false))
        walker.OnVoiceDone();
}

void CPlayback::Start()
{
    LeavePause(false);
    const bool wasWalking = walker.walking;
    walker.OnStartClicked();
    // A stopped walk's pending wait has nothing left to do.
    if (wasWalking && !walker.walking)
        devices.timer.Stop();
    ReportState();
}

void CPlayback::PlayRow(int row)
{
    LeavePause(true);
    walker.OnListDoubleClick(row);
    ReportState();
}

void CPlayback::Pause()
{
    if (State() != PlaybackState_T::kPlaying)
        return;
    paused = true;
    if (devices.voice.IsPlaying())
        devices.wave.Suspend();
    heldTimerMs = devices.timer.Remaining();
    if (heldTimerMs >= 0)
        devices.timer.Stop();
    if (walker.currentBgmNo != 0)
        PauseBgm(devices.music);
    ReportState();
}

void CPlayback::Resume()
{
    if (!paused)
        return;
    paused = false;
    devices.wave.Resume();
    if (walker.currentBgmNo != 0)
        ResumeBgm(devices.music);
    const int timerMs = std::exchange(heldTimerMs, -1);
    if (timerMs >= 0)
        devices.timer.Start(timerMs);
    if (std::exchange(doneHeld, false))
        walker.OnVoiceDone();
    ReportState();
}

void CPlayback::Play()
{
    if (State() == PlaybackState_T::kPaused)
        Resume();
    else if (State() == PlaybackState_T::kStopped)
        Start();
}

void CPlayback::PlayPause()
{
    switch (State()) {
    case PlaybackState_T::kPaused: Resume(); break;
    case PlaybackState_T::kPlaying: Pause(); break;
    case PlaybackState_T::kStopped: Start(); break;
    }
}

void CPlayback::Next()
{
    LeavePause(true);
    walker.OnNext();
    ReportState();
}

void CPlayback::Previous()
{
    LeavePause(true);
    walker.OnPrevious();
    ReportState();
}

void CPlayback::Replay()
{
    LeavePause(true);
    walker.OnReplay();
    ReportState();
}

void CPlayback::Stop()
{
    LeavePause(false);
    walker.OnStop();
    // As with Start: a silent line's wait, or the pause after a clip, has
    // nothing left to lead to.
    devices.timer.Stop();
    ReportState();
}

void CPlayback::OnVoiceDone()
{
    // The end of a clip cut or played out before the pause waits for it.
    if (paused) {
        doneHeld = true;
        return;
    }
    walker.OnVoiceDone();
    ReportState();
}

void CPlayback::OnNextLineTimer()
{
    if (paused)
        return;
    walker.OnNextLineTimer();
    ReportState();
}

void CPlayback::OnMusicWatchTimer()
{
    // Paused music is not running, and must not be started again.
    if (!paused)
        walker.OnMusicWatchTimer();
}

void CPlayback::OnDestroy()
{
    paused = false;
    doneHeld = false;
    heldTimerMs = -1;
    devices.timer.Stop();
    walker.OnDestroy();
}

void CPlayback::ShowLine(const CVeyQelTalkElm& line)
{
    for (IPlaybackView* v : views)
        v->ShowLine(line);
}

bool CPlayback::DrawFace(const std::string& faceEntryName, int frameStyle)
{
    const CVeyFaceImage* face = devices.faces.GetFaceImage(devices.archives, faceEntryName);
    if (!face)
        return false;
    const FaceFrame_T frame = DrawFaceImage(frameStyle, faceWidth, faceHeight, face->image);
    if (frame.IsEmpty())
        return false;
    for (IPlaybackView* v : views)
        v->ShowFace(frame);
    return true;
}

void CPlayback::ShowTalkText(const std::string& text)
{
    for (IPlaybackView* v : views)
        v->ShowTalkText(text);
}

void CPlayback::ShowCast(std::string_view castName)
{
    for (IPlaybackView* v : views)
        v->ShowCast(castName);
}

void CPlayback::ShowWait(std::int32_t waitTenths)
{
    for (IPlaybackView* v : views)
        v->ShowWait(waitTenths);
}

std::uint64_t CPlayback::ClipMicroseconds() const
{
    return devices.voice.IsPlaying() ? devices.voice.lengthMicroseconds : 0;
}

std::uint64_t CPlayback::ClipPosition() const
{
    return VoiceClipPosition(devices.voice);
}

bool CPlayback::SeekClip(std::uint64_t microseconds)
{
    if (!SeekVoiceClip(devices.voice, microseconds))
        return false;
    const std::uint64_t at = std::min(microseconds, devices.voice.lengthMicroseconds);
    for (IPlaybackView* v : views)
        v->ShowSeeked(at);
    return true;
}

void CPlayback::ReportOptions(const PlayerOptions_T& options)
{
    for (IPlaybackView* v : views)
        v->ShowOptions(options);
}

void CPlayback::ShowMode(ClipKind_T kind)
{
    // The walker names the mode once the clip has started (or not): the
    // cut is known by then.
    const std::uint64_t kept = devices.voice.IsPlaying() && devices.voice.cut ? devices.voice.lengthMicroseconds : 0;
    for (IPlaybackView* v : views) {
        v->ShowMode(kind);
        v->ShowClipCut(kept);
    }
}

void CPlayback::ShowStartText(StartText_T text)
{
    for (IPlaybackView* v : views)
        v->ShowStartText(text);
}

void CPlayback::ArmNextLineTimer(int milliseconds)
{
    devices.timer.Start(milliseconds);
}

void CPlayback::StopNextLineTimer()
{
    devices.timer.Stop();
}

bool CPlayback::PlayVoiceClip(const std::string& voiceEntryName, ClipKind_T kind)
{
    return tarnwick::PlayVoiceClip(devices.wave, devices.voice, devices.archives, voiceEntryName, kind);
}

bool CPlayback::IsClipPlaying() const
{
    return devices.voice.IsPlaying();
}

void CPlayback::StopVoiceClip()
{
    tarnwick::StopVoiceClip(devices.voice);
}

void CPlayback::CloseVoiceClip()
{
    tarnwick::CloseVoiceClip(devices.voice);
}

void CPlayback::PlayBgm(int number)
{
    if (musicEnabled)
        tarnwick::PlayBgm(devices.music, number);
}

void CPlayback::StopBgm()
{
    tarnwick::StopBgm(devices.music);
}

void CPlayback::PollBgm(int number)
{
    tarnwick::PollBgm(devices.music, number);
}

}  // namespace tarnwick
