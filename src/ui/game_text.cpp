#include "ui/game_text.h"

#include <string>

#include "host/cp932_text.h"
#include "talk/veyqel_talk.h"

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
    // The core's conversion, so the window shows what exports and searches see.
    const std::string utf8 = Cp932ToUtf8(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString TalkTextShown(std::string_view talkText, const QString& lineBreak, std::size_t maxBytes)
{
    bool cut = false;
    if (talkText.size() > maxBytes) {
        // Step whole characters: a lead byte takes its trail byte with it.
        std::size_t end = 0;
        while (end < maxBytes) {
            const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(talkText[end])) ? 2 : 1;
            if (end + width > maxBytes)
                break;
            end += width;
        }
        talkText = talkText.substr(0, end);
        cut = true;
    }
    // Marks become LF bytes, which code page 932 keeps as they are.
    QString shown = GameText(LineMarksReplaced(talkText, "\n"));
    shown.replace(QLatin1Char('\n'), lineBreak);
    if (cut)
        shown += QChar(0x2026);
    return shown;
}

}  // namespace tarnwick
