#include "ui/selector_combo.h"

#include <QListView>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "talk/selection_lists.h"
#include "ui/game_text.h"

namespace tarnwick {

const char* ProgramEntrySource(const CSelectorModel& model, int index)
{
    if (index < 0 || index >= model.Count())
        return nullptr;
    switch (model.KindAt(index)) {
    case SelectorEntry_T::kAllTalks: return QT_TRANSLATE_NOOP("tarnwick::CSelectorCombo", "(all)");
    case SelectorEntry_T::kMarkAll: return QT_TRANSLATE_NOOP("tarnwick::CSelectorCombo", "(mark all)");
    case SelectorEntry_T::kUnmarkAll: return QT_TRANSLATE_NOOP("tarnwick::CSelectorCombo", "(unmark all)");
    case SelectorEntry_T::kData:
    case SelectorEntry_T::kCollection: break;
    }
    return nullptr;
}

int CSelectorListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown;
}

QVariant CSelectorListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown || index.row() >= model.Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (const char* source = ProgramEntrySource(model, index.row()))
            return CSelectorCombo::tr(source);
        // The user's own name, UTF-8, marked apart from the game's groups.
        if (model.KindAt(index.row()) == SelectorEntry_T::kCollection)
            return QStringLiteral("\u2605 ") + QString::fromStdString(model.TextAt(index.row()));
        return GameText(model.TextAt(index.row()));
    }
    return {};
}

void CSelectorListModel::Reset()
{
    beginResetModel();
    shown = 0;
    endResetModel();
}

void CSelectorListModel::Added()
{
    if (announcing)
        return;
    announcing = true;
    QMetaObject::invokeMethod(this, [this] { Announce(); }, Qt::QueuedConnection);
}

void CSelectorListModel::Announce()
{
    announcing = false;
    const int count = model.Count();
    if (count <= shown)
        return;
    beginInsertRows(QModelIndex(), shown, count - 1);
    shown = count;
    endInsertRows();
}

CSelectorCombo::CSelectorCombo(CSelectorModel& m, QComboBox* c) : model(m), combo(c), rows(m)
{
    {
        const QSignalBlocker block(combo);
        combo->setModel(&rows);
    }
    // Measuring every entry for the widget's size, or laying out every row
    // of the open list, would take seconds with a long capture list; the
    // rows all have one height anyway.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* list = qobject_cast<QListView*>(combo->view()))
        list->setUniformItemSizes(true);
    model.SetListener(this);
    connect(combo, &QComboBox::activated, this, [this](int index) {
        model.Select(index);
        emit Chosen(index);
    });
}

CSelectorCombo::~CSelectorCombo()
{
    model.SetListener(nullptr);
    // The widget may outlive the rows it was shown.
    if (combo) {
        const QSignalBlocker block(combo.data());
        combo->setModel(new QStandardItemModel(combo.data()));
    }
}

void CSelectorCombo::OnCleared()
{
    const QSignalBlocker block(combo);
    rows.Reset();
}

void CSelectorCombo::OnAdded(int)
{
    rows.Added();
}

void CSelectorCombo::OnSelectionChanged(int index)
{
    const QSignalBlocker block(combo);
    rows.Announce();
    combo->setCurrentIndex(index);
}

}  // namespace tarnwick
