// The talk list: one row per talk line, full-row selection of one row or
// many (Shift, Ctrl) that stays visible, a check box per row. Double-clicks
// report the row under the pointer, or -1 below the last row; Enter plays
// the current row as a double-click would, Space asks to toggle the marks
// of the selected rows and the copy keys ask for them as text.
#pragma once

#include <QTreeView>

#include <cstddef>
#include <vector>

namespace tarnwick {

class CTalkListView : public QTreeView {
    Q_OBJECT
public:
    explicit CTalkListView(QWidget* parent = nullptr);

    // The selected row: the current one when it is selected, else the
    // first selected; -1 for none.
    int SelectedRow() const;
    // Every selected row, in list order.
    std::vector<std::size_t> SelectedRows() const;
    // Makes the row selected and current and scrolls it fully into view;
    // -1 clears the selection.
    void SelectRow(int row);

signals:
    void RowDoubleClicked(int row);
    void SelectedRowChanged(int row);
    // Ctrl+C (the platform's copy keys) in the list.
    void CopyRequested();
    // Space: the selected rows' marks, the current row's deciding.
    void ToggleRequested(const std::vector<std::size_t>& rows, std::size_t current);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
};

}  // namespace tarnwick
