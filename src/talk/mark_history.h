// Undo and redo of the list's marks. A step is whatever one user action
// changed: a mark toggled, an item chosen, a group chosen that refilled the
// list; it keeps the selectors' choice with the marks, so undoing a group
// choice brings the earlier list back with its marks.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

class CSelectorModel;
class CTalkListModel;
class CVeyQelTalk;

struct MarkState_T {
    int captureIndex = -1;
    // The name of the collection chosen, UTF-8; empty when a capture group
    // (or all talks) is: collections come and go, so they are kept by name.
    std::string collection;
    int itemIndex = -1;
    std::vector<bool> marks;  // every row's, in list order
    bool operator==(const MarkState_T&) const = default;
};

MarkState_T CurrentMarkState(const CSelectorModel& captureCombo, const CSelectorModel& itemCombo,
                             const CTalkListModel& list);
// Brings the selectors and the list back to `state`: the group's list is
// filled again when another group is chosen now, then the item and the
// marks are set as they were, without applying the item's ranges again.
void ApplyMarkState(const MarkState_T& state, CSelectorModel& captureCombo, CSelectorModel& itemCombo,
                    CTalkListModel& list, CVeyQelTalk& talk);

class CMarkHistory {
public:
    static constexpr std::size_t kDefaultDepth = 200;
    explicit CMarkHistory(std::size_t steps = kDefaultDepth) : depth(steps == 0 ? 1 : steps) {}

    // Where the steps start: nothing to undo or redo.
    void Reset(MarkState_T now);
    // After a user action: the state before it becomes a step to undo when
    // `now` differs from it, and what was undone can no longer be redone.
    void Commit(MarkState_T now);
    // The state to bring back, or nothing when there is no step.
    std::optional<MarkState_T> Undo();
    std::optional<MarkState_T> Redo();

    bool CanUndo() const { return !undoSteps.empty(); }
    bool CanRedo() const { return !redoSteps.empty(); }

private:
    std::size_t depth;
    MarkState_T current;
    std::deque<MarkState_T> undoSteps;  // oldest first
    std::vector<MarkState_T> redoSteps;
};

}  // namespace tarnwick
