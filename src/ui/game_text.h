// Game texts are code page 932 bytes everywhere but on screen: this is the
// one place they become Qt strings, for display only.
#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

namespace tarnwick {

QString GameText(std::string_view cp932);

// How much of a talk text a list cell and its tooltip show: enough for any
// real line, and a 10 MB one cannot stall the list.
inline constexpr std::size_t kTalkCellBytes = 4000;
inline constexpr std::size_t kTalkTooltipBytes = 20000;

// A talk text for the list: its first maxBytes bytes (ending on a whole
// character, with "…" when cut), each "$R" shown as lineBreak.
QString TalkTextShown(std::string_view talkText, const QString& lineBreak, std::size_t maxBytes);

}  // namespace tarnwick
