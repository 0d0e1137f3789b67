#include "ui/talk_list_view.h"

#include <QHeaderView>

#include <algorithm>
#include <QKeyEvent>
#include <QMouseEvent>

namespace tarnwick {

CTalkListView::CTalkListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // long lists stay fast
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAllColumnsShowFocus(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(true);  // the talk column takes the rest
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

int CTalkListView::SelectedRow() const
{
    if (!selectionModel())
        return -1;
    if (const QModelIndex current = currentIndex();
        current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const std::vector<std::size_t> rows = SelectedRows();
    return rows.empty() ? -1 : static_cast<int>(rows.front());
}

std::vector<std::size_t> CTalkListView::SelectedRows() const
{
    std::vector<std::size_t> rows;
    if (!selectionModel())
        return rows;
    // By ranges: a selection of every row of a long list stays quick.
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(static_cast<std::size_t>(row));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CTalkListView::SelectRow(int row)
{
    if (!model() || !selectionModel())
        return;
    if (row < 0 || row >= model()->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    // The row the user's own selection stands at already: a wider
    // selection around it stays.
    if (currentIndex().row() != row || !selectionModel()->isRowSelected(row, QModelIndex()))
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index, QAbstractItemView::EnsureVisible);
}

void CTalkListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    emit RowDoubleClicked(index.isValid() ? index.row() : -1);
}

void CTalkListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && current.isValid()) {
        emit RowDoubleClicked(current.row());
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        emit CopyRequested();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && current.isValid() && model()) {
        std::vector<std::size_t> rows = SelectedRows();
        const auto at = static_cast<std::size_t>(current.row());
        if (!std::binary_search(rows.begin(), rows.end(), at))
            rows = {at};
        emit ToggleRequested(rows, at);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CTalkListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    emit SelectedRowChanged(SelectedRow());
}

}  // namespace tarnwick
