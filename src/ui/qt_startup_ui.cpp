#include "ui/qt_startup_ui.h"

#include "ui/mpris_player.h"
#include "ui/qt_player_factory.h"
#include "ui/tarnwick_dlg.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>

#include "app/game_folder.h"

namespace tarnwick {

namespace {

constexpr const char* kStartupContext = "tarnwick::CQtStartupUi";

// The core's fixed texts, by their kinds' order, marked for translation.
constexpr const char* kNoticeTexts[] = {
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "Failed to read another_aa_talk.csv"),
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "settings file too large, not used, and nothing will be saved: "),
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "settings not saved: "),
};
static_assert(std::string_view(kNoticeTexts[int(StartupNotice_T::kTalkTableUnread)]) == kTalkTableMissing);
static_assert(std::string_view(kNoticeTexts[int(StartupNotice_T::kSettingsFileTooLarge)]) == kSettingsTooLarge);
static_assert(std::string_view(kNoticeTexts[int(StartupNotice_T::kSettingsUnsaved)]) == kSettingsNotSaved);
constexpr const char* kDialogTexts[] = {
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "Select application install folder."),
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "Exe File"),
    QT_TRANSLATE_NOOP("tarnwick::CQtStartupUi", "All files"),
};
static_assert(std::string_view(kDialogTexts[int(DialogText_T::kSelectInstallFolder)]) ==
              DialogTextEnglish(DialogText_T::kSelectInstallFolder));
static_assert(std::string_view(kDialogTexts[int(DialogText_T::kExeFile)]) == DialogTextEnglish(DialogText_T::kExeFile));
static_assert(std::string_view(kDialogTexts[int(DialogText_T::kAllFiles)]) ==
              DialogTextEnglish(DialogText_T::kAllFiles));

// The leading letters of a locale name: "ja" of "ja_JP.UTF-8" or "ja-JP".
QString LanguageCode(const QString& name)
{
    qsizetype end = 0;
    while (end < name.size() && name.at(end).isLetter())
        ++end;
    return name.left(end);
}

}  // namespace

UiLanguage_T ChooseUiLanguage(const QStringList& uiLanguages, std::string_view setting)
{
    if (setting == "ja")
        return UiLanguage_T::kJapanese;
    if (setting == "en")
        return UiLanguage_T::kEnglish;
    for (const QString& name : uiLanguages) {
        const QString code = LanguageCode(name);
        if (code.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0 ||
            code.compare(QLatin1String("POSIX"), Qt::CaseInsensitive) == 0)
            return UiLanguage_T::kEnglish;
        const QLocale::Language language = code.isEmpty() ? QLocale::AnyLanguage : QLocale::codeToLanguage(code);
        if (language == QLocale::AnyLanguage)
            continue;  // not a language: the next entry says
        return language == QLocale::Japanese ? UiLanguage_T::kJapanese : UiLanguage_T::kEnglish;
    }
    return UiLanguage_T::kEnglish;
}

CUiTranslation::CUiTranslation(UiLanguage_T language)
{
    const bool japanese = language == UiLanguage_T::kJapanese;
    // English has its own file too: it gives the plural forms.
    loaded = program.load(japanese ? QStringLiteral(":/i18n/tarnwick_ja.qm") : QStringLiteral(":/i18n/tarnwick_en.qm"));
    if (loaded)
        QCoreApplication::installTranslator(&program);
    // Qt's own texts are English as they are.
    if (japanese && qtBase.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtBase);
}

CUiTranslation::~CUiTranslation()
{
    QCoreApplication::removeTranslator(&qtBase);
    QCoreApplication::removeTranslator(&program);
}

QString DialogText(DialogText_T text)
{
    return QCoreApplication::translate(kStartupContext, kDialogTexts[static_cast<int>(text)]);
}

QString QtNameFilters(const std::vector<FileFilter_T>& filters)
{
    QStringList shown;
    for (const FileFilter_T& f : filters) {
        QStringList patterns;
        for (const std::string& p : f.patterns)
            patterns << QString::fromUtf8(p);
        shown << QStringLiteral("%1 (%2)").arg(DialogText(f.name), patterns.join(QLatin1Char(' ')));
    }
    return shown.join(QStringLiteral(";;"));
}

std::optional<std::string> CQtStartupUi::AskForFile(const FileDialogRequest_T& request)
{
    QFileDialog dialog(nullptr, DialogText(request.title),
                       QString::fromStdString(request.initialFolder), QtNameFilters(request.filters));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // the file itself need not exist
    QString suffix = QString::fromUtf8(request.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(QString::fromUtf8(request.initialFileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::string(QFile::encodeName(dialog.selectedFiles().front()).constData());
}

QString StartupMessageText(const StartupMessage_T& message)
{
    // The fixed text by its kind, the path after it as it is.
    return QCoreApplication::translate(kStartupContext, kNoticeTexts[static_cast<int>(message.kind)]) +
           QString::fromUtf8(message.detail);
}

void CQtStartupUi::ShowMessage(const StartupMessage_T& message)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarnwick"), StartupMessageText(message), QMessageBox::Ok);
    box.exec();
}

void CQtStartupUi::ShowSettingsNotSaved(const StartupMessage_T& message, bool ending)
{
    std::fprintf(stderr, "tarnwick: %s\n", message.Text().c_str());
    if (!ending)
        ShowMessage(message);
}

CQtStartupUi::CQtStartupUi(IPlayerFactory& factory) : players(factory) {}
CQtStartupUi::~CQtStartupUi() = default;

void CQtStartupUi::PrepareMainDialog(CTarnwickApp& app)
{
    if (!prepared)
        prepared = std::make_unique<CTarnwickDlg>(app, app.Player(players), CTarnwickDlg::ControlsOnly_T{});
}

std::unique_ptr<CTarnwickDlg> CQtStartupUi::TakeMainDialog(CTarnwickApp& app)
{
    std::unique_ptr<CTarnwickDlg> dialog = std::move(prepared);
    if (!dialog || &dialog->App() != &app)
        dialog = std::make_unique<CTarnwickDlg>(app, app.Player(players), CTarnwickDlg::ControlsOnly_T{});
    dialog->InitDialog();
    return dialog;
}

void CQtStartupUi::RunMainDialog(CTarnwickApp& app)
{
    const std::unique_ptr<CTarnwickDlg> dialog = TakeMainDialog(app);
    // The controls go before the window they drive, their picture files with them.
    std::unique_ptr<CMprisPlayer> controls;
    if (!mediaArtFolder.isEmpty())
        controls = std::make_unique<CMprisPlayer>(
            CMprisPlayer::Parts_T{app, app.Player(players), app.Selection(), *dialog->TalkTable(),
                                  *dialog},
            mediaArtFolder);
    // Quit during start-up: the window closes as soon as it would open.
    if (!app.QuitRequested())
        dialog->exec();
}

}  // namespace tarnwick
