#include "talk/selection_models.h"

namespace tarnwick {

void CTalkListModel::BeginFill(std::size_t rowCount)
{
    if (listener)
        listener->OnRowsAboutToReset();
    filling = true;
    rows.clear();
    rows.reserve(rowCount);
    currentRow = -1;
}

void CTalkListModel::AppendRow(CVeyQelTalkElm* record)
{
    rows.push_back({record, false});
}

void CTalkListModel::EndFill()
{
    filling = false;
    if (listener) {
        listener->OnRowsReset();
        listener->OnCurrentRowChanged(currentRow);
    }
}

void CTalkListModel::SetChecked(std::size_t row, bool checked)
{
    if (row >= rows.size() || rows[row].checked == checked)
        return;
    rows[row].checked = checked;
    if (listener && !filling)
        listener->OnChecksChanged(row, row);
}

void CTalkListModel::SetAllChecked(bool checked)
{
    UpdateChecks([checked](const CVeyQelTalkElm*) { return checked ? 1 : 0; });
}

void CTalkListModel::SetCurrentRow(int row)
{
    if (row < -1 || row >= static_cast<int>(rows.size()) || row == currentRow)
        return;
    currentRow = row;
    if (listener && !filling)
        listener->OnCurrentRowChanged(row);
}

void CSelectorModel::Clear()
{
    std::vector<Entry_T>().swap(entries);  // a long list's room goes with it
    selected = -1;
    if (listener)
        listener->OnCleared();
}

int CSelectorModel::Add(std::string_view text, CCaptureElm* data)
{
    entries.push_back({std::string(text), data});
    if (listener)
        listener->OnAdded(Count() - 1);
    return Count() - 1;
}

void CSelectorModel::Select(int index)
{
    if (index < -1 || index >= Count())
        return;
    selected = index;
    if (listener)
        listener->OnSelectionChanged(index);
}

}  // namespace tarnwick
