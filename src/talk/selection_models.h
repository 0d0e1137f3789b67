// The state behind the window's talk list and drop-down selectors, kept
// apart from any widget so the selection rules run (and are tested) on their
// own. A front end shows these models and hears of their changes through a
// listener; it never keeps copies of its own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class CVeyQelTalkElm;
class CCaptureElm;

class CTalkListModel {
public:
    class IListener {
    public:
        virtual ~IListener() = default;
        virtual void OnRowsAboutToReset() = 0;
        virtual void OnRowsReset() = 0;
        // Check marks of rows first..last (inclusive) changed.
        virtual void OnChecksChanged(std::size_t first, std::size_t last) = 0;
        virtual void OnCurrentRowChanged(int row) = 0;
    };

    void SetListener(IListener* l) { listener = l; }

    // Filling happens between BeginFill and EndFill with the row count
    // announced up front; the listener hears of it once, at the end. A
    // filled list shows every row.
    void BeginFill(std::size_t rowCount);
    void AppendRow(CVeyQelTalkElm* record);  // unchecked
    void EndFill();

    // Shows only the rows whose record keep(record) accepts, in list order;
    // hidden rows keep their marks. The selected row stays selected when it
    // is still shown. From here on rows are numbered among the shown ones.
    template <typename Keep>
    void Filter(Keep keep);
    void ShowAll() { Filter([](const CVeyQelTalkElm*) { return true; }); }
    // Every row of the list, shown or not, by list index.
    std::size_t TotalRowCount() const { return rows.size(); }
    CVeyQelTalkElm* ListRecordAt(std::size_t index) const { return rows[index].record; }

    // The shown rows.
    std::size_t RowCount() const { return shown.size(); }
    CVeyQelTalkElm* RecordAt(std::size_t row) const { return rows[shown[row]].record; }
    bool IsChecked(std::size_t row) const { return rows[shown[row]].checked; }
    void SetChecked(std::size_t row, bool checked);
    // Sets every row's mark, shown or not.
    void SetAllChecked(bool checked);
    // Sets each row's mark (shown or not, or only the shown rows with
    // shownOnly) from mark(record), or leaves it where mark gives neither (a
    // value other than 0 or 1).
    template <typename Mark>
    void UpdateChecks(Mark mark, bool shownOnly = false);
    // Sets the marks of the shown rows given (shown row numbers), as one
    // change for the listener.
    void SetRowsChecked(const std::vector<std::size_t>& shownRows, bool checked);
    // Whether the list shows fewer rows than it holds.
    bool IsFiltered() const { return shown.size() != rows.size(); }

    // Every row's mark in list order, shown or not: what a step of undo
    // keeps. SetMarks takes such a vector back; one of another length (the
    // list was refilled since) changes nothing.
    std::vector<bool> Marks() const;
    void SetMarks(const std::vector<bool>& marks);
    // How many of the shown rows are marked: what Start plays.
    std::size_t MarkedShownCount() const;

    // The selected row, -1 for none. A row a filter hides stays the list's
    // current line: it is selected again when a filter shows it. A refill
    // forgets it.
    int CurrentRow() const { return currentRow; }
    void SetCurrentRow(int row);

    // The shown row of the line at list index `index` (TotalRowCount
    // numbering), or, when it is hidden, the first shown row after it, else
    // the last shown row; -1 when nothing is shown.
    int ShownRowNear(std::size_t index) const;
    // The list index of shown row `row`.
    std::size_t ListIndexOf(std::size_t row) const { return shown[row]; }

    // Where shown row `row` stands among the marked shown rows (1-based, 0
    // when it is not marked), and how many of those there are.
    struct MarkedPlace_T {
        std::size_t position = 0;
        std::size_t count = 0;
    };
    MarkedPlace_T MarkedPlace(int row) const;

private:
    struct Row_T {
        CVeyQelTalkElm* record;
        bool checked;
    };
    void ResetShown(std::vector<std::uint32_t> indices);
    void ReportChecks(std::size_t first, std::size_t last);

    std::vector<Row_T> rows;
    std::vector<std::uint32_t> shown;  // indices into rows, in list order
    int currentRow = -1;
    // The current line by list index, kept while a filter hides it.
    std::optional<std::uint32_t> currentLine;
    bool filling = false;
    IListener* listener = nullptr;
};

// The records of the marked rows the list shows, in list order: what an
// export of the marked lines takes. A row hidden by a filter is left out,
// however it is marked.
std::vector<const CVeyQelTalkElm*> MarkedRows(const CTalkListModel& list);

// Lines as text to paste elsewhere: one per line, "ID<TAB>cast<TAB>text"
// with each "$R" of the text as a line break; code page 932, as the lines.
std::string LinesAsText(const std::vector<const CVeyQelTalkElm*>& lines);

// What an entry of a drop-down list is: the game's (a group or an item), one
// of the program's own, or a collection of the user's. A front end shows
// each kind its own way; it never tells them by their text.
enum class SelectorEntry_T { kData, kAllTalks, kMarkAll, kUnmarkAll, kCollection };

// A drop-down list: entries in the order added, texts kept as the bytes they
// were given (compared as bytes, converted only for display), each with an
// optional capture item.
class CSelectorModel {
public:
    class IListener {
    public:
        virtual ~IListener() = default;
        virtual void OnCleared() = 0;
        virtual void OnAdded(int index) = 0;
        virtual void OnSelectionChanged(int index) = 0;
    };

    void SetListener(IListener* l) { listener = l; }

    void Clear();
    // Room for count entries, so that a long list grows once.
    void Reserve(std::size_t count) { entries.reserve(count); }
    int Add(std::string_view text, CCaptureElm* data = nullptr, SelectorEntry_T kind = SelectorEntry_T::kData);
    // An entry that stands for the user's collection number `collection`:
    // its text is the collection's name as the user wrote it, UTF-8.
    int AddCollection(std::string_view utf8Name, int collection);
    void Select(int index);  // -1 for none

    int Count() const { return static_cast<int>(entries.size()); }
    int SelectedIndex() const { return selected; }
    const std::string& TextAt(int index) const { return entries[index].text; }
    CCaptureElm* DataAt(int index) const { return entries[index].data; }
    // The collection an entry stands for, -1 for the others.
    int CollectionAt(int index) const { return entries[index].collection; }
    SelectorEntry_T KindAt(int index) const { return entries[index].kind; }

private:
    struct Entry_T {
        std::string text;
        CCaptureElm* data;
        int collection = -1;
        SelectorEntry_T kind = SelectorEntry_T::kData;
    };
    std::vector<Entry_T> entries;
    int selected = -1;
    IListener* listener = nullptr;
};

template <typename Keep>
void CTalkListModel::Filter(Keep keep)
{
    std::vector<std::uint32_t> indices;
    indices.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (keep(static_cast<const CVeyQelTalkElm*>(rows[i].record)))
            indices.push_back(static_cast<std::uint32_t>(i));
    }
    ResetShown(std::move(indices));
}

template <typename Mark>
void CTalkListModel::UpdateChecks(Mark mark, bool shownOnly)
{
    std::size_t first = rows.size();
    std::size_t last = 0;
    const std::size_t count = shownOnly ? shown.size() : rows.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = shownOnly ? shown[k] : k;
        const int m = mark(rows[i].record);
        if (m != 0 && m != 1)
            continue;
        if (rows[i].checked != (m == 1)) {
            rows[i].checked = m == 1;
            first = std::min(first, i);
            last = i;
        }
    }
    if (first <= last && first < rows.size())
        ReportChecks(first, last);
}

}  // namespace tarnwick
