// Keeps a drop-down list showing a selector model. The model is the truth:
// entries and selections made by the program go to the widget without a
// signal, and only the user's own choices come back as Chosen.
#pragma once

#include <QComboBox>
#include <QObject>

#include "talk/selection_models.h"

namespace tarnwick {

class CSelectorCombo : public QObject, private CSelectorModel::IListener {
    Q_OBJECT
public:
    CSelectorCombo(CSelectorModel& model, QComboBox* combo);
    ~CSelectorCombo() override;

    CSelectorModel& Model() { return model; }
    QComboBox* Combo() { return combo; }

signals:
    void Chosen(int index);

private:
    void OnCleared() override;
    void OnAdded(int index) override;
    void OnSelectionChanged(int index) override;

    CSelectorModel& model;
    QComboBox* combo;
};

}  // namespace tarnwick
