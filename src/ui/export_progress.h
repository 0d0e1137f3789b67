// The window's export of the marked lines: a folder asked for, the lines
// written one at a time from the event loop under a progress dialog with
// Cancel, and one message at the end. The window answers throughout.
#pragma once

#include <string>
#include <vector>

#include "walk/talk_walker.h"

class QWidget;

namespace tarnwick {

class CTarnwickApp;
class CVeyQelTalkElm;

// Exports rows (in this order) in playMode as the window plays them.
void RunLineExport(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                   PlayMode_T playMode);

}  // namespace tarnwick
