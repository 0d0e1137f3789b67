// Ending the program from any state. A session that ends (logout, Ctrl+C in
// a terminal, kill), Ctrl+Q in any of its windows and the desktop's Quit
// close whatever dialog is open, stop an export as its Cancel does, and
// close the window the normal way, so the settings are written as on any
// close.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tarnwick {

class CTarnwickApp;

// Asks app to end and closes the open dialogs from the top, a menu first
// and the main window last, and any that opens while they close.
void QuitFromAnyState(CTarnwickApp& app);

class CQuitSignals : public QObject {
    Q_OBJECT
public:
    // Catches SIGTERM, SIGINT and SIGHUP, and Ctrl+Q in the program's
    // dialogs, from now on; each quits app from any state.
    explicit CQuitSignals(CTarnwickApp& app, QObject* parent = nullptr);
    ~CQuitSignals() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSignal();

    CTarnwickApp& app;
    QSocketNotifier* notifier = nullptr;
};

}  // namespace tarnwick
