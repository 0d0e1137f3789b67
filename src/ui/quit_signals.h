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

private:
    void OnSignal();

    QSocketNotifier* notifier = nullptr;
};

}  // namespace tarnwick
