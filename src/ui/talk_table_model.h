// The talk list as a Qt model: three columns ("ID", "Cast", "Talk") over the
// core's list model, with the row's check mark in the first column.
#pragma once

#include <QAbstractTableModel>

#include "talk/selection_models.h"

namespace tarnwick {

class CTalkTableModel : public QAbstractTableModel, private CTalkListModel::IListener {
    Q_OBJECT
public:
    explicit CTalkTableModel(CTalkListModel& rows, QObject* parent = nullptr);
    ~CTalkTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    CTalkListModel& Rows() { return rows; }

signals:
    // The core moved its current row (a walk, or a refill that cleared it).
    void CurrentRowChanged(int row);
    // The user toggled a mark in the list (a click on a box, Space).
    void MarksEdited();

private:
    void OnRowsAboutToReset() override;
    void OnRowsReset() override;
    void OnChecksChanged(std::size_t first, std::size_t last) override;
    void OnCurrentRowChanged(int row) override;

    CTalkListModel& rows;
};

}  // namespace tarnwick
