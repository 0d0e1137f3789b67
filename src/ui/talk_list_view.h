// The talk list: one row per talk line, full-row single selection that stays
// visible, a check box per row. Double-clicks report the row under the
// pointer, or -1 below the last row; Enter plays the current row as a
// double-click would, Space toggles its mark and the copy keys ask for the
// row as text.
#pragma once

#include <QTreeView>

namespace tarnwick {

class CTalkListView : public QTreeView {
    Q_OBJECT
public:
    explicit CTalkListView(QWidget* parent = nullptr);

    // The selected row, -1 for none.
    int SelectedRow() const;
    // Makes the row selected and current and scrolls it fully into view;
    // -1 clears the selection.
    void SelectRow(int row);

signals:
    void RowDoubleClicked(int row);
    void SelectedRowChanged(int row);
    // Ctrl+C (the platform's copy keys) in the list.
    void CopyRequested();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
};

}  // namespace tarnwick
