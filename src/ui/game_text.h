// Game texts are code page 932 bytes everywhere but on screen: this is the
// one place they become Qt strings, for display only.
#pragma once

#include <QString>

#include <string_view>

namespace tarnwick {

QString GameText(std::string_view cp932);

}  // namespace tarnwick
