// The next-line timer over a single-shot QTimer; its timeout is the
// owner's to connect.
#pragma once

#include <QTimer>

#include "walk/playback.h"

namespace tarnwick {

class CQtLineTimer : public INextLineTimer {
public:
    CQtLineTimer() { timer.setSingleShot(true); }

    void Start(int milliseconds) override { timer.start(milliseconds); }
    void Stop() override { timer.stop(); }
    int Remaining() const override;

    QTimer& Timer() { return timer; }

private:
    QTimer timer;
};

}  // namespace tarnwick
