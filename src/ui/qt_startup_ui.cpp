#include "ui/qt_startup_ui.h"

#include "ui/mpris_player.h"
#include "ui/tarnwick_dlg.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace tarnwick {

QString QtNameFilters(const std::vector<FileFilter_T>& filters)
{
    QStringList shown;
    for (const FileFilter_T& f : filters) {
        QStringList patterns;
        for (const std::string& p : f.patterns)
            patterns << QString::fromUtf8(p);
        shown << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(f.name), patterns.join(QLatin1Char(' ')));
    }
    return shown.join(QStringLiteral(";;"));
}

std::optional<std::string> CQtStartupUi::AskForFile(const FileDialogRequest_T& request)
{
    QFileDialog dialog(nullptr, QString::fromUtf8(request.title),
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

void CQtStartupUi::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarnwick"), QString::fromUtf8(text),
                    QMessageBox::Ok);
    box.exec();
}

CQtStartupUi::CQtStartupUi() = default;
CQtStartupUi::~CQtStartupUi() = default;

void CQtStartupUi::PrepareMainDialog(CTarnwickApp& app)
{
    if (!prepared)
        prepared = std::make_unique<CTarnwickDlg>(app, CTarnwickDlg::ControlsOnly_T{});
}

std::unique_ptr<CTarnwickDlg> CQtStartupUi::TakeMainDialog(CTarnwickApp& app)
{
    std::unique_ptr<CTarnwickDlg> dialog = std::move(prepared);
    if (!dialog || &dialog->App() != &app)
        dialog = std::make_unique<CTarnwickDlg>(app, CTarnwickDlg::ControlsOnly_T{});
    dialog->InitDialog();
    return dialog;
}

void CQtStartupUi::RunMainDialog(CTarnwickApp& app)
{
    const std::unique_ptr<CTarnwickDlg> dialog = TakeMainDialog(app);
    // The controls go before the window they drive, their picture files with them.
    std::unique_ptr<CMprisPlayer> controls;
    if (!mediaArtFolder.isEmpty())
        controls = std::make_unique<CMprisPlayer>(*dialog, mediaArtFolder);
    dialog->exec();
}

}  // namespace tarnwick
