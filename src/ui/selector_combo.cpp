#include "ui/selector_combo.h"

#include <QSignalBlocker>

#include "ui/game_text.h"

namespace tarnwick {

CSelectorCombo::CSelectorCombo(CSelectorModel& m, QComboBox* c) : model(m), combo(c)
{
    model.SetListener(this);
    connect(combo, &QComboBox::activated, this, [this](int index) {
        model.Select(index);
        emit Chosen(index);
    });
}

CSelectorCombo::~CSelectorCombo()
{
    model.SetListener(nullptr);
}

void CSelectorCombo::OnCleared()
{
    const QSignalBlocker block(combo);
    combo->clear();
}

void CSelectorCombo::OnAdded(int index)
{
    const QSignalBlocker block(combo);
    combo->addItem(GameText(model.TextAt(index)));
}

void CSelectorCombo::OnSelectionChanged(int index)
{
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index);
}

}  // namespace tarnwick
