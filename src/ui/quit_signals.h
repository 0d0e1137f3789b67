// A session that ends (logout, Ctrl+C in a terminal, kill) closes the
// window the normal way, so the settings are written as on any close.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarnwick {

class CQuitSignals : public QObject {
    Q_OBJECT
public:
    // Catches SIGTERM, SIGINT and SIGHUP from now on.
    explicit CQuitSignals(QObject* parent = nullptr);
    ~CQuitSignals() override;

    // Whether one of them has come: the session is ending, and nobody is
    // there to answer a question.
    static bool Received();

private:
    void OnSignal();

    QSocketNotifier* notifier = nullptr;
};

}  // namespace tarnwick
