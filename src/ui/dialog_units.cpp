#include "ui/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace tarnwick {

QFont DialogFont()
{
    QFont font;
    for (const char* family : {kDialogFontFamily, "IPAGothic", "Noto Sans CJK JP"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setPointSize(kDialogFontPoints);
    return font;
}

CDialogUnits::CDialogUnits(const QFont& font)
{
    // The average width is taken over the Latin letters, rounded, as the
    // dialog unit was defined.
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = (width / 26 + 1) / 2;
    baseY = fm.height();
    if (baseX <= 0)
        baseX = 1;
    if (baseY <= 0)
        baseY = 1;
}

}  // namespace tarnwick
