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
    // A walk always starts at the first marked row, or at the first of a
    // new shuffled order.
    const int row = FirstWalkRow();
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
        int next = -1;
        if (selected >= 0 && repeat == Repeat_T::kLine)
            next = static_cast<std::size_t>(selected) < list.RowCount() ? selected : -1;
        else if (selected >= 0)
            next = WalkRowAfter(selected);
        if (next < 0 && selected >= 0 && repeat == Repeat_T::kWalk)
            next = FirstWalkRow();
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
    order.clear();
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
    int next = -1;
    if (!walking)
        next = NextMarkedRow(selected);
    else if (selected >= 0)
        next = WalkRowAfter(selected);
    if (next < 0 && walking && selected >= 0 && repeat == Repeat_T::kWalk)
        next = FirstWalkRow();
    if (next >= 0)
        JumpToRow(next);
    else if (walking)
        EndWalk();
}

void CTalkWalker::OnPrevious()
{
    const int selected = list.CurrentRow();
    const bool inOrder = walking && shuffle;
    int row = inOrder ? WalkRowBefore(selected) : PreviousMarkedRow(selected);
    if (row < 0)
        row = selected >= 0 && static_cast<std::size_t>(selected) < list.RowCount() && list.IsChecked(static_cast<std::size_t>(selected))
                  ? selected
                  : inOrder ? FirstOrderRow() : NextMarkedRow(-1);
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
    order.clear();
    pendingLine = nullptr;
    host.StopBgm();
    // No end event will reach a closed window: the clip is closed at once.
    if (host.IsClipPlaying()) {
        host.StopVoiceClip();
        host.CloseVoiceClip();
    }
}

void CTalkWalker::SetShuffle(bool on)
{
    if (on == shuffle)
        return;
    shuffle = on;
    order.clear();
    orderAt = -1;
    if (on && walking)
        OrderFrom(list.CurrentRow());
}

void CTalkWalker::OrderFrom(int selected)
{
    const bool leads = selected >= 0 && static_cast<std::size_t>(selected) < list.RowCount() &&
                       list.IsChecked(static_cast<std::size_t>(selected));
    MakeOrder(leads ? selected : -1);
    orderAt = leads ? 0 : -1;
}

void CTalkWalker::MakeOrder(int lead)
{
    order.clear();
    orderAt = -1;
    const std::size_t count = list.RowCount();
    const bool hasLead = lead >= 0 && static_cast<std::size_t>(lead) < count;
    for (std::size_t i = 0; i < count; ++i) {
        if (list.IsChecked(i) && !(hasLead && i == static_cast<std::size_t>(lead)))
            order.push_back({list.ListIndexOf(i), list.RecordAt(i)});
    }
    std::shuffle(order.begin(), order.end(), random);
    if (hasLead) {
        const std::size_t row = static_cast<std::size_t>(lead);
        order.insert(order.begin(), OrderEntry_T{list.ListIndexOf(row), list.RecordAt(row)});
    }
}

int CTalkWalker::OrderRow(std::size_t at) const
{
    const OrderEntry_T& entry = order[at];
    if (entry.listIndex >= list.TotalRowCount() || list.ListRecordAt(entry.listIndex) != entry.record)
        return -1;
    const int row = list.ShownRowNear(entry.listIndex);
    if (row < 0 || list.ListIndexOf(static_cast<std::size_t>(row)) != entry.listIndex ||
        !list.IsChecked(static_cast<std::size_t>(row)))
        return -1;
    return row;
}

void CTalkWalker::FollowSelection(int selected)
{
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    if (orderAt >= 0 && orderAt < count && OrderRow(static_cast<std::size_t>(orderAt)) == selected)
        return;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        if (OrderRow(static_cast<std::size_t>(i)) == selected) {
            orderAt = i;
            return;
        }
    }
}

int CTalkWalker::WalkRowAfter(int selected)
{
    if (!shuffle)
        return NextMarkedRow(selected);
    if (order.empty())
        OrderFrom(selected);
    FollowSelection(selected);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    for (std::ptrdiff_t i = orderAt + 1; i < count; ++i) {
        if (const int row = OrderRow(static_cast<std::size_t>(i)); row >= 0) {
            orderAt = i;
            return row;
        }
    }
    return -1;
}

int CTalkWalker::WalkRowBefore(int selected)
{
    FollowSelection(selected);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    for (std::ptrdiff_t i = std::min(orderAt, count) - 1; i >= 0; --i) {
        if (const int row = OrderRow(static_cast<std::size_t>(i)); row >= 0) {
            orderAt = i;
            return row;
        }
    }
    return -1;
}

int CTalkWalker::FirstOrderRow()
{
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (const int row = OrderRow(i); row >= 0) {
            orderAt = static_cast<std::ptrdiff_t>(i);
            return row;
        }
    }
    return -1;
}

int CTalkWalker::FirstWalkRow()
{
    if (!shuffle)
        return NextMarkedRow(-1);
    const bool hadOrder = orderAt >= 0 && static_cast<std::size_t>(orderAt) < order.size();
    const CVeyQelTalkElm* last = hadOrder ? order[static_cast<std::size_t>(orderAt)].record : nullptr;
    MakeOrder(-1);
    // A new round does not open with the line that closed the last one.
    if (order.size() > 1 && order.front().record == last)
        std::swap(order.front(), order[1 + random() % (order.size() - 1)]);
    return FirstOrderRow();
}

}  // namespace tarnwick
