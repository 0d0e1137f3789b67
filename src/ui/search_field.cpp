#include "ui/search_field.h"

#include <QKeyEvent>
#include <QToolButton>

namespace tarnwick {

CSearchField::CSearchField(QWidget* parent) : QLineEdit(parent)
{
    setClearButtonEnabled(true);
    // The clear button Qt adds is a control of its own to screen readers.
    for (QToolButton* clear : findChildren<QToolButton*>()) {
        clear->setAccessibleName(tr("Clear the search"));
        clear->setToolTip(tr("Clear the search (Escape)"));
    }
}

bool CSearchField::event(QEvent* event)
{
    // Ctrl+E would move the cursor to the end of the line; the window's
    // export shortcut comes first.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_E && key->modifiers() == Qt::ControlModifier) {
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CSearchField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit Entered();
}

void CSearchField::keyPressEvent(QKeyEvent* event)
{
    // Escape empties the field first; an empty field leaves it to the
    // window (stop what plays, or close).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !text().isEmpty()) {
        clear();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace tarnwick
