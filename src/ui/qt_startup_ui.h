// The start-up questions asked with Qt's own dialogs.
#pragma once

#include <QString>

#include "app/tarnwick_app.h"

namespace tarnwick {

class CQtStartupUi : public IStartupUi {
public:
    std::optional<std::string> AskForFile(const FileDialogRequest_T& request) override;
    void ShowMessage(const std::string& text) override;
    void RunMainDialog(CTarnwickApp& app) override;
};

// "Exe File (*.exe)|*.exe||" becomes Qt's "Exe File (*.exe)".
QString QtNameFilters(const std::string& filter);

}  // namespace tarnwick
