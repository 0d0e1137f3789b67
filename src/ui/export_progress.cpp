#include "ui/export_progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <memory>

#include "app/game_folder.h"
#include "app/line_export.h"
#include "app/tarnwick_app.h"
#include "archive/archive_table.h"

namespace tarnwick {

namespace {

// A set of its own for the export: the window's set keeps serving the
// walk, whose clip may still be reading the shared buffer.
std::unique_ptr<CArchiveSet> ExportArchives(const CTarnwickApp& app, Failure_T& why)
{
    auto set = std::make_unique<CArchiveSet>();
    GameRequest_T request;
    request.folder = app.Archives().GameFolder();
    request.programFolder = app.Archives().ProgramFolder();
    request.archives = {kFaceArchive, kLongVoiceArchive, kShortVoiceArchive};
    request.talkTable = false;
    if (GameFailure_T failed; !OpenGameArchives(request, *set, failed)) {
        why = failed.why;
        return nullptr;
    }
    return set;
}

QString Summary(const CLineExport& exporter, bool cancelled, const QString& folder)
{
    const LineExportCounts_T& c = exporter.Counts();
    QString text;
    if (exporter.IsStopped())
        text = QStringLiteral("Stopped: the folder %1 cannot take more files (%2 of %3 lines were done).")
                   .arg(folder)
                   .arg(c.linesDone)
                   .arg(exporter.LineCount());
    else if (cancelled)
        text = QStringLiteral("Cancelled: %1 of %2 lines were written to %3.")
                   .arg(c.linesDone)
                   .arg(exporter.LineCount())
                   .arg(folder);
    else
        text = QStringLiteral("%1 lines were written to %2.").arg(c.linesDone).arg(folder);
    text += QStringLiteral("\n%1 had no voice clip, %2 had no face picture.")
                .arg(c.linesWithoutClip)
                .arg(c.linesWithoutPicture);
    if (!exporter.Failures().empty())
        text += QStringLiteral("\n%1 files could not be written, the first: %2")
                    .arg(exporter.Failures().size())
                    .arg(QString::fromLocal8Bit(exporter.Failures().front().Describe()));
    return text;
}

}  // namespace

void RunLineExport(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                   PlayMode_T playMode)
{
    const QString title = QStringLiteral("Export marked lines");
    if (rows.empty()) {
        QMessageBox::information(parent, title, QStringLiteral("No marked lines are shown in the list."));
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(parent, title);
    if (folder.isEmpty())
        return;
    Failure_T why;
    std::unique_ptr<CArchiveSet> archives = ExportArchives(app, why);
    if (!archives) {
        QMessageBox::warning(parent, title, QString::fromLocal8Bit(why.Describe()));
        return;
    }
    CLineExport exporter(*archives, QFile::encodeName(folder).toStdString(), std::move(rows), playMode,
                         VoiceFileFormat::kOgg);
    if (!exporter.Begin(why)) {
        QMessageBox::warning(parent, title, QString::fromLocal8Bit(why.Describe()));
        return;
    }

    QProgressDialog progress(QStringLiteral("Writing lines to %1").arg(folder), QStringLiteral("Cancel"), 0,
                             static_cast<int>(exporter.LineCount()), parent);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);

    // Lines are written in slices of about a frame, so the window repaints,
    // the walk goes on and Cancel is heard between them.
    QEventLoop loop;
    QTimer slice;
    QObject::connect(&slice, &QTimer::timeout, &loop, [&] {
        QElapsedTimer clock;
        clock.start();
        while (!progress.wasCanceled() && !exporter.IsDone() && !exporter.IsStopped() && clock.elapsed() < 15)
            exporter.Step();
        progress.setValue(static_cast<int>(exporter.Counts().linesDone));
        progress.setLabelText(QStringLiteral("Writing lines to %1: %2 / %3")
                                  .arg(folder)
                                  .arg(exporter.Counts().linesDone)
                                  .arg(exporter.LineCount()));
        if (progress.wasCanceled() || exporter.IsDone() || exporter.IsStopped())
            loop.quit();
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    slice.start(0);
    loop.exec();
    slice.stop();

    // What was done is kept: lines.csv lists exactly the lines written.
    const bool cancelled = !exporter.IsDone();
    exporter.Finish();
    progress.close();
    QMessageBox::information(parent, title, Summary(exporter, cancelled, folder));
}

}  // namespace tarnwick
