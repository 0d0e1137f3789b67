#include "talk/mark_history.h"

#include <utility>

#include "talk/selection_lists.h"
#include "talk/selection_models.h"

namespace tarnwick {

MarkState_T CurrentMarkState(const CSelectorModel& captureCombo, const CSelectorModel& itemCombo,
                             const CTalkListModel& list)
{
    return {.captureIndex = captureCombo.SelectedIndex(), .itemIndex = itemCombo.SelectedIndex(), .marks = list.Marks()};
}

void ApplyMarkState(const MarkState_T& state, CSelectorModel& captureCombo, CSelectorModel& itemCombo,
                    CTalkListModel& list, CVeyQelTalk& talk)
{
    if (state.captureIndex != captureCombo.SelectedIndex() && state.captureIndex >= 0 &&
        state.captureIndex < captureCombo.Count()) {
        captureCombo.Select(state.captureIndex);
        RefreshTalkList(captureCombo, list, itemCombo, talk);
    }
    if (state.itemIndex < itemCombo.Count())
        itemCombo.Select(state.itemIndex);
    list.SetMarks(state.marks);
}

void CMarkHistory::Reset(MarkState_T now)
{
    current = std::move(now);
    undoSteps.clear();
    redoSteps.clear();
}

void CMarkHistory::Commit(MarkState_T now)
{
    if (now == current)
        return;
    undoSteps.push_back(std::move(current));
    if (undoSteps.size() > depth)
        undoSteps.pop_front();
    current = std::move(now);
    redoSteps.clear();
}

std::optional<MarkState_T> CMarkHistory::Undo()
{
    if (undoSteps.empty())
        return std::nullopt;
    redoSteps.push_back(std::move(current));
    current = std::move(undoSteps.back());
    undoSteps.pop_back();
    return current;
}

std::optional<MarkState_T> CMarkHistory::Redo()
{
    if (redoSteps.empty())
        return std::nullopt;
    undoSteps.push_back(std::move(current));
    current = std::move(redoSteps.back());
    redoSteps.pop_back();
    return current;
}

}  // namespace tarnwick
