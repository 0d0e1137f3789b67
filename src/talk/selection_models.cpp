#include "talk/selection_models.h"

namespace tarnwick {

void CTalkListModel::BeginFill(std::size_t rowCount)
{
    if (listener)
        listener->OnRowsAboutToReset();
    filling = true;
    rows.clear();
    rows.reserve(rowCount);
    shown.clear();
    shown.reserve(rowCount);
    currentRow = -1;
}

void CTalkListModel::AppendRow(CVeyQelTalkElm* record)
{
    shown.push_back(static_cast<std::uint32_t>(rows.size()));
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

void CTalkListModel::ResetShown(std::vector<std::uint32_t> indices)
{
    const std::uint32_t selected = currentRow >= 0 ? shown[static_cast<std::size_t>(currentRow)] : 0;
    const bool hadSelection = currentRow >= 0;
    if (listener)
        listener->OnRowsAboutToReset();
    shown = std::move(indices);
    currentRow = -1;
    if (hadSelection) {
        const auto at = std::lower_bound(shown.begin(), shown.end(), selected);
        if (at != shown.end() && *at == selected)
            currentRow = static_cast<int>(at - shown.begin());
    }
    if (listener) {
        listener->OnRowsReset();
        listener->OnCurrentRowChanged(currentRow);
    }
}

void CTalkListModel::ReportChecks(std::size_t first, std::size_t last)
{
    if (!listener || filling)
        return;
    // From list rows to the shown rows between them.
    const auto from = std::lower_bound(shown.begin(), shown.end(), static_cast<std::uint32_t>(first));
    const auto to = std::upper_bound(from, shown.end(), static_cast<std::uint32_t>(last));
    if (from != to)
        listener->OnChecksChanged(static_cast<std::size_t>(from - shown.begin()),
                                  static_cast<std::size_t>(to - shown.begin()) - 1);
}

void CTalkListModel::SetChecked(std::size_t row, bool checked)
{
    if (row >= shown.size() || rows[shown[row]].checked == checked)
        return;
    rows[shown[row]].checked = checked;
    ReportChecks(shown[row], shown[row]);
}

void CTalkListModel::SetAllChecked(bool checked)
{
    UpdateChecks([checked](const CVeyQelTalkElm*) { return checked ? 1 : 0; });
}

void CTalkListModel::SetCurrentRow(int row)
{
    if (row < -1 || row >= static_cast<int>(shown.size()) || row == currentRow)
        return;
    currentRow = row;
    if (listener && !filling)
        listener->OnCurrentRowChanged(row);
}

CTalkListModel::MarkedPlace_T CTalkListModel::MarkedPlace(int row) const
{
    MarkedPlace_T place;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (!rows[shown[i]].checked)
            continue;
        ++place.count;
        if (static_cast<int>(i) == row)
            place.position = place.count;
    }
    return place;
}

std::vector<const CVeyQelTalkElm*> MarkedRows(const CTalkListModel& list)
{
    std::vector<const CVeyQelTalkElm*> marked;
    for (std::size_t i = 0; i < list.RowCount(); ++i) {
        if (list.IsChecked(i))
            marked.push_back(list.RecordAt(i));
    }
    return marked;
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
