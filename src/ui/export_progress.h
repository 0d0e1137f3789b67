// The window's export of the marked lines: a folder asked for, the lines
// written on a thread of their own under a progress dialog with Cancel, and
// one message at the end. The window answers throughout.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "app/tarnwick_app.h"
#include "walk/play_mode.h"

class QWidget;

namespace tarnwick {

class CTarnwickApp;
class CVeyQelTalkElm;

// Exports rows (in this order) in playMode as the window plays them, after
// asking for the folder.
// The album names the clips' collection in their tags.
void RunLineExport(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                   PlayMode_T playMode, const std::string& album);

// What an export ends with: the message for the user, a warning when
// nothing could be written, the export stopped or a file failed.
struct LineExportOutcome_T {
    QString message;
    bool warning = false;
};

// The export once folder (absolute, existing, agreed to) is chosen, under
// a progress dialog with Cancel; RunLineExport's own, and the bench's.
LineExportOutcome_T ExportLinesInto(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                                    PlayMode_T playMode, const QString& folder, const ExportChoices_T& choices,
                                    const std::string& album);

}  // namespace tarnwick
