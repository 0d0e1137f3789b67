// The start-up questions asked with Qt's own dialogs.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <string_view>

#include "app/tarnwick_app.h"
#include "ui/qt_player_factory.h"

namespace tarnwick {

class CTarnwickDlg;

// The languages the window speaks; its source texts are English.
enum class UiLanguage_T { kEnglish, kJapanese };

// The settings' Language value ("ja" or "en") decides; any other value
// leaves it to the first usable entry of the locale's ui languages (as
// QLocale::uiLanguages gives them): Japanese for Japanese, English for
// every other language and for the C locale.
UiLanguage_T ChooseUiLanguage(const QStringList& uiLanguages, std::string_view setting);

// The window's texts, and Qt's own (standard buttons, file dialogs), in
// language for as long as this lives. Needs the application object, and
// must be made before any window is.
class CUiTranslation {
public:
    explicit CUiTranslation(UiLanguage_T language);
    ~CUiTranslation();
    CUiTranslation(const CUiTranslation&) = delete;
    CUiTranslation& operator=(const CUiTranslation&) = delete;

    // False when the program's own translation was not found.
    bool Loaded() const { return loaded; }

private:
    QTranslator program;
    QTranslator qtBase;
    bool loaded = false;
};

class CQtStartupUi : public IStartupUi {
public:
    // The window's player is made with players (the program's own: the
    // Qt side's devices and GStreamer's music).
    explicit CQtStartupUi(IPlayerFactory& players = QtPlayerFactory());
    ~CQtStartupUi() override;
    CQtStartupUi(const CQtStartupUi&) = delete;
    CQtStartupUi& operator=(const CQtStartupUi&) = delete;

    std::optional<std::string> AskForFile(const FileDialogRequest_T& request) override;
    void ShowMessage(const StartupMessage_T& message) override;
    // On standard error too, and in a message box unless the session is
    // ending, when nobody could close it.
    void ShowSettingsNotSaved(const StartupMessage_T& message, bool ending) override;
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
    IPlayerFactory& players;
};

// {kExeFile, {"*.exe"}} becomes Qt's "Exe File (*.exe)", translated; several
// are joined by ";;".
QString QtNameFilters(const std::vector<FileFilter_T>& filters);

// A file dialog's fixed text in the window's language.
QString DialogText(DialogText_T text);
// A start-up message in the user's language.
QString StartupMessageText(const StartupMessage_T& message);

}  // namespace tarnwick
