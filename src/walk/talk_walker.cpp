#include "walk/talk_walker.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tarnwick {

int SilentPauseMs(std::int32_t waitTenths)
{
    // A negative wait waits nothing; a huge one waits as long as a timer can.
    const std::int64_t ms = std::int64_t{std::max<std::int32_t>(0, waitTenths)} * 100;
    return static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max()));
}

std::string TalkTextForDisplay(std::string_view talkText)
{
    return LineMarksReplaced(talkText, "\n");
}

CTalkWalker::CTalkWalker(CTalkListModel& l, IWalkerHost& h) : list(l), host(h) {}

void CTalkWalker::PlayTalkLine(CVeyQelTalkElm* line)
{
    host.ShowLine(*line);
    host.DrawFace(line->FaceEntryName(), line->frameStyle);
    host.ShowTalkText(TalkTextForDisplay(line->talkText()));
    host.ShowCast(line->castName());
    host.ShowWait(line->waitTenths);

    const ClipKind_T kind = ClipKindFor(host.PlayMode(), line->voiceKind);
    const bool silent = kind == ClipKind_T::kSilent || !host.PlayVoiceClip(line->VoiceEntryName(), kind);
    if (silent) {
        host.ShowMode(ClipKind_T::kSilent);
        host.ArmNextLineTimer(SilentPauseMs(line->waitTenths));
    } else {
        host.ShowMode(kind);
    }

    // The music follows the lines of a walk only; an equal number plays on.
    if (walking)
        ApplyMusicRule(host, line->bgmNo, currentBgmNo);
}

void CTalkWalker::PlayPendingLine()
{
    if (host.IsClipPlaying()) {
        host.StopVoiceClip();
        return;
    }
    CVeyQelTalkElm* line = pendingLine;
    pendingLine = nullptr;
    PlayTalkLine(line);
}

int CTalkWalker::NextMarkedRow(int row) const
{
    // The row count is read afresh: the list may change between steps.
    for (std::size_t i = static_cast<std::size_t>(row + 1); i < list.RowCount(); ++i) {
        if (list.IsChecked(i))
            return static_cast<int>(i);
    }
    return -1;
}

void CTalkWalker::SelectRow(int row)
{
    list.SetCurrentRow(row);
}

void CTalkWalker::OnStartClicked()
{
    if (walking) {
        walking = false;
        host.ShowStartText(StartText_T::kPlayAgain);
        host.StopVoiceClip();
        currentBgmNo = 0;
        host.StopBgm();
        return;
    }
    // A walk always starts at the first marked row.
    const int row = NextMarkedRow(-1);
    if (row < 0)
        return;
    walking = true;
    pendingLine = list.RecordAt(static_cast<std::size_t>(row));
    PlayPendingLine();
    SelectRow(row);
    host.ShowStartText(StartText_T::kStop);
}

void CTalkWalker::OnVoiceDone()
{
    host.CloseVoiceClip();
    if (walking && !pendingLine)
        host.ArmNextLineTimer(kPauseAfterClipMs);
    if (pendingLine)
        PlayPendingLine();
}

void CTalkWalker::OnMusicWatchTimer()
{
    if (currentBgmNo != 0)
        host.PollBgm(currentBgmNo);
}

void CTalkWalker::OnNextLineTimer()
{
    host.StopNextLineTimer();
    if (walking && !pendingLine) {
        // The walk goes on after the list's selection, so a row the user
        // selects redirects it and a cleared selection ends it.
        const int selected = list.CurrentRow();
        const int next = selected >= 0 ? NextMarkedRow(selected) : -1;
        if (next >= 0) {
            pendingLine = list.RecordAt(static_cast<std::size_t>(next));
            SelectRow(next);
        } else {
            walking = false;
            host.ShowStartText(StartText_T::kPlayAgain);
        }
    }
    if (pendingLine) {
        PlayPendingLine();
    } else {
        host.StopBgm();
        currentBgmNo = 0;
    }
}

void CTalkWalker::OnListDoubleClick(int row)
{
    if (row >= 0 && static_cast<std::size_t>(row) < list.RowCount())
        pendingLine = list.RecordAt(static_cast<std::size_t>(row));
    if (host.IsClipPlaying())
        host.StopVoiceClip();
    else if (pendingLine)
        PlayPendingLine();
}

int CTalkWalker::PreviousMarkedRow(int row) const
{
    for (int i = std::min(row, static_cast<int>(list.RowCount())) - 1; i >= 0; --i) {
        if (list.IsChecked(static_cast<std::size_t>(i)))
            return i;
    }
    return -1;
}

void CTalkWalker::JumpToRow(int row)
{
    SelectRow(row);
    if (!walking) {
        OnListDoubleClick(row);
        return;
    }
    // Neither the pause after a clip nor a silent line's wait runs on.
    host.StopNextLineTimer();
    pendingLine = list.RecordAt(static_cast<std::size_t>(row));
    PlayPendingLine();
}

void CTalkWalker::EndWalk()
{
    walking = false;
    pendingLine = nullptr;
    host.StopNextLineTimer();
    host.ShowStartText(StartText_T::kPlayAgain);
    if (host.IsClipPlaying())
        host.StopVoiceClip();
    host.StopBgm();
    currentBgmNo = 0;
}

void CTalkWalker::OnNext()
{
    const int selected = list.CurrentRow();
    // A walk whose selection was cleared is at its end; outside one, no
    // selection starts from the top.
    const int next = walking && selected < 0 ? -1 : NextMarkedRow(selected);
    if (next >= 0)
        JumpToRow(next);
    else if (walking)
        EndWalk();
}

void CTalkWalker::OnPrevious()
{
    const int selected = list.CurrentRow();
    int row = PreviousMarkedRow(selected);
    if (row < 0)
        row = selected >= 0 && static_cast<std::size_t>(selected) < list.RowCount() && list.IsChecked(static_cast<std::size_t>(selected))
                  ? selected
                  : NextMarkedRow(-1);
    if (row >= 0)
        JumpToRow(row);
}

void CTalkWalker::OnReplay()
{
    const int selected = list.CurrentRow();
    if (selected >= 0 && static_cast<std::size_t>(selected) < list.RowCount())
        JumpToRow(selected);
}

void CTalkWalker::OnStop()
{
    if (walking) {
        pendingLine = nullptr;
        OnStartClicked();
        return;
    }
    pendingLine = nullptr;
    host.StopNextLineTimer();
    if (host.IsClipPlaying())
        host.StopVoiceClip();
}

void CTalkWalker::OnDestroy()
{
    walking = false;
    pendingLine = nullptr;
    host.StopBgm();
    // No end event will reach a closed window: the clip is closed at once.
    if (host.IsClipPlaying()) {
        host.StopVoiceClip();
        host.CloseVoiceClip();
    }
}

}  // namespace tarnwick
