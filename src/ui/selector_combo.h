// Keeps a drop-down list showing a selector model. The model is the truth:
// entries and selections made by the program go to the widget without a
// signal, and only the user's own choices come back as Chosen. The widget
// reads the entries in place through a list model, converting only the
// texts it shows, so a capture list of a million names costs the widget
// nothing per entry.
#pragma once

#include <QAbstractListModel>
#include <QComboBox>
#include <QObject>
#include <QPointer>

#include "talk/selection_models.h"

namespace tarnwick {

// The English source text of an entry the program adds itself ("(all)" for
// the capture selector's first entry, "(mark all)", "(unmark all)" for the
// item selector's first two), or null for an entry of the game's data or a
// collection: by the kind the core gives the entry, never by its text (the
// model keeps the program's own in their code page 932 form, which the
// settings store).
const char* ProgramEntrySource(const CSelectorModel& model, int index);

// The entries of a selector model as a Qt list model. Entries added one by
// one are announced together, before the next selection or at the next
// turn of the event loop, so that filling stays one step for the widget.
class CSelectorListModel : public QAbstractListModel {
public:
    explicit CSelectorListModel(const CSelectorModel& selector) : model(selector) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Reset();
    void Added();
    void Announce();

private:
    const CSelectorModel& model;
    int shown = 0;  // rows the widget has been told of
    bool announcing = false;
};

class CSelectorCombo : public QObject, private CSelectorModel::IListener {
    Q_OBJECT
public:
    CSelectorCombo(CSelectorModel& model, QComboBox* combo);
    ~CSelectorCombo() override;

    CSelectorModel& Model() { return model; }
    QComboBox* Combo() { return combo.data(); }

signals:
    void Chosen(int index);

private:
    void OnCleared() override;
    void OnAdded(int index) override;
    void OnSelectionChanged(int index) override;

    CSelectorModel& model;
    QPointer<QComboBox> combo;
    CSelectorListModel rows;
};

}  // namespace tarnwick
