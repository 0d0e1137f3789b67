#include "ui/speaker_combo.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "ui/game_text.h"

namespace tarnwick {

CSpeakerCombo::CSpeakerCombo(QWidget* parent) : QComboBox(parent), entries(new QStandardItemModel(this))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setModel(entries);
    // The names a typed part occurs in, not only those it starts.
    auto* completer = new QCompleter(entries, this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    setCompleter(completer);
    connect(completer, qOverload<const QModelIndex&>(&QCompleter::activated), this, [this](const QModelIndex& index) {
        ChooseEntry(EntryTyped(index.data().toString()));
    });
    connect(this, &QComboBox::activated, this, &CSpeakerCombo::ChooseEntry);
}

void CSpeakerCombo::SetSpeakers(const std::vector<Speaker_T>& speakers, const std::optional<std::string>& chosen)
{
    const QSignalBlocker block(this);
    entries->clear();
    casts.clear();
    casts.reserve(speakers.size());
    entries->appendRow(new QStandardItem(tr("(all speakers)")));
    for (const Speaker_T& s : speakers) {
        const QString name = s.cast.empty() ? tr("(no name)") : GameText(s.cast);
        entries->appendRow(new QStandardItem(tr("%1 (%2)").arg(name).arg(s.lines)));
        casts.push_back(s.cast);
    }
    setCurrentIndex(EntryOf(chosen));
}

std::optional<std::string> CSpeakerCombo::SpeakerAt(int index) const
{
    if (index <= 0 || static_cast<std::size_t>(index) > casts.size())
        return std::nullopt;
    return casts[static_cast<std::size_t>(index) - 1];
}

int CSpeakerCombo::EntryOf(const std::optional<std::string>& cast) const
{
    if (!cast)
        return 0;
    for (std::size_t i = 0; i < casts.size(); ++i) {
        if (casts[i] == *cast)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

int CSpeakerCombo::WidthFor(const QString& text) const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QSize contents(fontMetrics().horizontalAdvance(text) + fontMetrics().averageCharWidth(),
                         fontMetrics().height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this).width();
}

int CSpeakerCombo::EntryTyped(const QString& typed) const
{
    const QString wanted = typed.trimmed();
    if (wanted.isEmpty())
        return 0;
    int holding = -1;
    int holders = 0;
    for (int i = 0; i < count(); ++i) {
        const QString text = itemText(i);
        if (text == wanted)
            return i;
        // The name without its count: "司祭サラ" for "司祭サラ (161)".
        if (i > 0 && text.startsWith(wanted + QStringLiteral(" (")) && text.endsWith(QLatin1Char(')')) &&
            !text.mid(wanted.size() + 2).contains(QStringLiteral(" (")))
            return i;
        if (text.contains(wanted, Qt::CaseInsensitive)) {
            holding = i;
            ++holders;
        }
    }
    return holders == 1 ? holding : -1;
}

void CSpeakerCombo::Take()
{
    const int entry = EntryTyped(lineEdit()->text());
    if (entry < 0) {
        // Nothing, or more than one: the choice stays as it was.
        const QSignalBlocker block(this);
        lineEdit()->setText(itemText(currentIndex()));
        return;
    }
    ChooseEntry(entry);
}

void CSpeakerCombo::ChooseEntry(int index)
{
    if (index < 0 || index >= count())
        return;
    {
        const QSignalBlocker block(this);
        setCurrentIndex(index);
        lineEdit()->setText(itemText(index));
    }
    emit Chosen(index);
}

void CSpeakerCombo::focusOutEvent(QFocusEvent* event)
{
    // The completer's list takes the focus while it is open.
    if (!completer()->popup()->isVisible() && lineEdit()->text() != itemText(currentIndex()))
        Take();
    QComboBox::focusOutEvent(event);
}

void CSpeakerCombo::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !completer()->popup()->isVisible()) {
        Take();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && lineEdit()->text() != itemText(currentIndex())) {
        const QSignalBlocker block(this);
        lineEdit()->setText(itemText(currentIndex()));
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

}  // namespace tarnwick
