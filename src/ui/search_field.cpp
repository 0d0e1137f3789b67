#include "ui/search_field.h"

#include <QKeyEvent>

namespace tarnwick {

CSearchField::CSearchField(QWidget* parent) : QLineEdit(parent)
{
    setClearButtonEnabled(true);
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
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        clear();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace tarnwick
