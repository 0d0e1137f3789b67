// Window layouts are given in dialog units, so the windows look as
// designed and scale with their font: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

#include "ui/res/resources.h"

namespace tarnwick {

// The windows' font: a Japanese UI font where installed.
QFont DialogFont();

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
    QRect Rect(const DialogControl_T& c) const { return QRect(X(c.x), Y(c.y), X(c.w), Y(c.h)); }

    int BaseX() const { return baseX; }
    int BaseY() const { return baseY; }

private:
    int baseX;
    int baseY;
};

}  // namespace tarnwick
