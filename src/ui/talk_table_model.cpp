#include "ui/talk_table_model.h"

#include "talk/veyqel_talk.h"
#include "ui/game_text.h"

namespace tarnwick {

CTalkTableModel::CTalkTableModel(CTalkListModel& r, QObject* parent) : QAbstractTableModel(parent), rows(r)
{
    rows.SetListener(this);
}

CTalkTableModel::~CTalkTableModel()
{
    rows.SetListener(nullptr);
}

int CTalkTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.RowCount());
}

int CTalkTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CTalkTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::size_t row = static_cast<std::size_t>(index.row());
    if (role == Qt::CheckStateRole && index.column() == 0)
        return rows.IsChecked(row) ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    // Texts are decoded only for the rows on screen, so filling stays cheap.
    const CVeyQelTalkElm& r = *rows.RecordAt(row);
    if (role == Qt::AccessibleTextRole) {
        // A screen reader reads the row from its first cell: ID, cast, the
        // whole text and the mark.
        const QString text = TalkTextShown(r.talkText(), QStringLiteral(" "), kTalkTooltipBytes);
        switch (index.column()) {
        case 0:
            return tr("%1, %2, %3, %4")
                .arg(GameText(r.IdText()), GameText(r.castName()), text,
                     rows.IsChecked(row) ? tr("marked") : tr("unmarked"));
        case 1: return GameText(r.castName());
        case 2: return text;
        default: return {};
        }
    }
    switch (index.column()) {
    case 0: return GameText(r.IdText());
    case 1: return GameText(r.castName());
    case 2:
        // The cell shows a line's start with its breaks as arrows; the
        // tooltip the line as the text box would, breaks and all.
        if (role == Qt::ToolTipRole)
            return TalkTextShown(r.talkText(), QStringLiteral("\n"), kTalkTooltipBytes);
        return TalkTextShown(r.talkText(), QStringLiteral("\u21B5"), kTalkCellBytes);
    default: return {};
    }
}

bool CTalkTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    const auto row = static_cast<std::size_t>(index.row());
    const bool checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    if (row >= rows.RowCount() || rows.IsChecked(row) == checked)
        return false;
    rows.SetChecked(row, checked);
    emit MarksEdited();
    return true;
}

Qt::ItemFlags CTalkTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant CTalkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0: return tr("ID");
    case 1: return tr("Cast");
    case 2: return tr("Talk");
    default: return {};
    }
}

void CTalkTableModel::OnRowsAboutToReset()
{
    beginResetModel();
}

void CTalkTableModel::OnRowsReset()
{
    endResetModel();
}

void CTalkTableModel::OnChecksChanged(std::size_t first, std::size_t last)
{
    emit dataChanged(index(static_cast<int>(first), 0), index(static_cast<int>(last), 0),
                     {Qt::CheckStateRole});
}

void CTalkTableModel::OnCurrentRowChanged(int row)
{
    emit CurrentRowChanged(row);
}

}  // namespace tarnwick
