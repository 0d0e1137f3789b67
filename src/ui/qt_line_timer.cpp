#include "ui/qt_line_timer.h"

#include <algorithm>

namespace tarnwick {

int CQtLineTimer::Remaining() const
{
    // A timer already due but not yet delivered still has its timeout to come.
    return timer.isActive() ? std::max(0, timer.remainingTime()) : -1;
}

}  // namespace tarnwick
