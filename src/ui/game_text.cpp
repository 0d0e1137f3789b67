#include "ui/game_text.h"

#include <QStringDecoder>

namespace tarnwick {

QString GameText(std::string_view cp932)
{
    // Plain ASCII needs no table.
    bool ascii = true;
    for (const char c : cp932) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(cp932.data(), static_cast<qsizetype>(cp932.size()));
    QStringDecoder decoder("CP932");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(cp932.data(), static_cast<qsizetype>(cp932.size()));
    return decoder.decode(QByteArrayView(cp932.data(), static_cast<qsizetype>(cp932.size())));
}

}  // namespace tarnwick
