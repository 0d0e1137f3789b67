// The start-up questions asked with Qt's own dialogs.
#pragma once

#include <QString>

#include <memory>

#include "app/tarnwick_app.h"

namespace tarnwick {

class CTarnwickDlg;

class CQtStartupUi : public IStartupUi {
public:
    CQtStartupUi();
    ~CQtStartupUi() override;
    CQtStartupUi(const CQtStartupUi&) = delete;
    CQtStartupUi& operator=(const CQtStartupUi&) = delete;

    std::optional<std::string> AskForFile(const FileDialogRequest_T& request) override;
    void ShowMessage(const std::string& text) override;
    void PrepareMainDialog(CTarnwickApp& app) override;
    void RunMainDialog(CTarnwickApp& app) override;
    // The window built ahead, or a new one, filled with the game's data and
    // not yet shown.
    std::unique_ptr<CTarnwickDlg> TakeMainDialog(CTarnwickApp& app);
    // The window RunMainDialog shows is offered to the desktop's media
    // controls, with its face pictures as files in artFolder.
    void OfferMediaControls(const QString& artFolder) { mediaArtFolder = artFolder; }

private:
    // Built ahead by PrepareMainDialog; it refers to the application, so
    // this object must go before the application does.
    std::unique_ptr<CTarnwickDlg> prepared;
    QString mediaArtFolder;  // empty: no media controls
};

// {"Exe File", {"*.exe"}} becomes Qt's "Exe File (*.exe)"; several are
// joined by ";;".
QString QtNameFilters(const std::vector<FileFilter_T>& filters);

}  // namespace tarnwick
