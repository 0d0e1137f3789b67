#include "ui/qt_startup_ui.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>
#include <QVBoxLayout>

namespace tarnwick {

QString QtNameFilters(const std::string& filter)
{
    // Pairs of "description|pattern", ended by an empty pair.
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        filters << parts[i];
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<std::string> CQtStartupUi::AskForFile(const FileDialogRequest_T& request)
{
    QFileDialog dialog(nullptr, QString::fromUtf8(request.title),
                       QString::fromStdString(request.initialFolder), QtNameFilters(request.filter));
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

void CQtStartupUi::RunMainDialog(CTarnwickApp& app)
{
    // The window that shows what start-up found, until the talk list has
    // its own.
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Tarnwick"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        QStringLiteral("All %1 archives are open from\n%2")
            .arg(kArchiveCount)
            .arg(QFile::decodeName(app.archiveSet.GameFolder().c_str())),
        &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.exec();
}

}  // namespace tarnwick
