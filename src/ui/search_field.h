// The talk list's search field: Escape empties it before it reaches the
// window, and the window's own shortcuts (Ctrl+E) reach the window even
// while typing.
#pragma once

#include <QLineEdit>

namespace tarnwick {

class CSearchField : public QLineEdit {
    Q_OBJECT
public:
    explicit CSearchField(QWidget* parent = nullptr);

signals:
    // The field got the focus: a search may follow.
    void Entered();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tarnwick
