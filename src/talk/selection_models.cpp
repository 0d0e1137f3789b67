#include "talk/selection_models.h"

#include "talk/veyqel_talk.h"

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
    currentLine.reset();
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
    if (listener)
        listener->OnRowsAboutToReset();
    shown = std::move(indices);
    currentRow = -1;
    if (currentLine) {
        const auto at = std::lower_bound(shown.begin(), shown.end(), *currentLine);
        if (at != shown.end() && *at == *currentLine)
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

void CTalkListModel::SetRowsChecked(const std::vector<std::size_t>& shownRows, bool checked)
{
    std::size_t first = rows.size();
    std::size_t last = 0;
    for (const std::size_t row : shownRows) {
        if (row >= shown.size() || rows[shown[row]].checked == checked)
            continue;
        rows[shown[row]].checked = checked;
        first = std::min<std::size_t>(first, shown[row]);
        last = std::max<std::size_t>(last, shown[row]);
    }
    if (first <= last && first < rows.size())
        ReportChecks(first, last);
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
    // Losing the selection to a filter or a click beside the rows keeps the
    // line; choosing another row replaces it.
    if (row >= 0)
        currentLine = shown[static_cast<std::size_t>(row)];
    if (listener && !filling)
        listener->OnCurrentRowChanged(row);
}

int CTalkListModel::ShownRowNear(std::size_t index) const
{
    if (shown.empty())
        return -1;
    const auto at = std::lower_bound(shown.begin(), shown.end(), index);
    return static_cast<int>(at == shown.end() ? shown.size() - 1 : static_cast<std::size_t>(at - shown.begin()));
}

std::vector<bool> CTalkListModel::Marks() const
{
    std::vector<bool> marks(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        marks[i] = rows[i].checked;
    return marks;
}

void CTalkListModel::SetMarks(const std::vector<bool>& marks)
{
    if (marks.size() != rows.size())
        return;
    std::size_t first = rows.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].checked != marks[i]) {
            rows[i].checked = marks[i];
            first = std::min(first, i);
            last = i;
        }
    }
    if (first <= last && first < rows.size())
        ReportChecks(first, last);
}

std::size_t CTalkListModel::MarkedShownCount() const
{
    std::size_t count = 0;
    for (const std::uint32_t i : shown)
        count += rows[i].checked ? 1 : 0;
    return count;
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

std::string LinesAsText(const std::vector<const CVeyQelTalkElm*>& lines)
{
    std::string text;
    for (const CVeyQelTalkElm* line : lines) {
        if (!text.empty())
            text += '\n';
        text.append(line->IdText());
        text += '\t';
        text.append(line->castName());
        text += '\t';
        text += LineMarksReplaced(line->talkText(), "\n");
    }
    return text;
}

void CSelectorModel::Clear()
{
    std::vector<Entry_T>().swap(entries);  // a long list's room goes with it
    selected = -1;
    if (listener)
        listener->OnCleared();
}

int CSelectorModel::Add(std::string_view text, CCaptureElm* data, SelectorEntry_T kind)
{
    entries.push_back({std::string(text), data, -1, kind});
    if (listener)
        listener->OnAdded(Count() - 1);
    return Count() - 1;
}

int CSelectorModel::AddCollection(std::string_view utf8Name, int collection)
{
    entries.push_back({std::string(utf8Name), nullptr, collection, SelectorEntry_T::kCollection});
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
