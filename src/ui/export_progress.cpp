#include "ui/export_progress.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "app/game_folder.h"
#include "app/line_export.h"
#include "app/walk_file_export.h"
#include "app/tarnwick_app.h"
#include "archive/archive_table.h"

namespace tarnwick {

namespace {

// A reader of its own over the game the window has open: the window's set
// keeps serving the walk, whose clip may still be reading its buffer, and
// nothing is opened a second time.
std::unique_ptr<CArchiveSet> ExportArchives(const CTarnwickApp& app, Failure_T& why)
{
    for (const int n : {kFaceArchive, kLongVoiceArchive, kShortVoiceArchive}) {
        if (!app.Archives().IsOpen(n)) {
            why = Failure_T::NotFound("archive " + std::to_string(n), app.Archives().GameFolder());
            return nullptr;
        }
    }
    auto set = std::make_unique<CArchiveSet>();
    set->ReadThrough(app.Archives());
    return set;
}

// The texts of the export's dialogs, under a translation context of their own.
struct ExportTexts_T {
    Q_DECLARE_TR_FUNCTIONS(ExportTexts_T)
};

QString HostText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Where the folder dialog starts: the last export's folder while it is
// still there, else home; never the process's working folder, which a
// desktop launcher leaves at the root.
QString StartFolder(const CTarnwickApp& app)
{
    const QString last = HostText(app.Settings().exportFolder);
    if (QDir::isAbsolutePath(last) && QFileInfo(last).isDir())
        return last;
    return HostText(app.HomeFolder());
}

// The path of the name typed into the widget-based dialog, absolute; empty
// when nothing is typed.
QString TypedPath(const QFileDialog& dialog)
{
    const auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QString typed = edit ? edit->text().trimmed() : QString();
    if (typed.isEmpty())
        return {};
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    return QDir::cleanPath(dialog.directory().absoluteFilePath(typed));
}

// Whether the widget-based dialog answered with the folder it shows for a
// name typed that matches nothing there: it does, rather than saying so,
// and a dialog started in the working folder would then give the root.
bool IsShownFolderForTypedName(const QFileDialog& dialog, const QString& folder)
{
    const QString typed = TypedPath(dialog);
    const QString shown = QDir::cleanPath(dialog.directory().absolutePath());
    return !typed.isEmpty() && QDir::cleanPath(folder) == shown && typed != shown;
}

// The folder dialog, which also takes the name of a new folder typed beside
// existing ones: the export makes it, after the checks a chosen folder gets
// (it never lands in the game folder). Qt's own would only say that the
// folder is not found.
class CExportFolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    const QString& NewFolder() const { return newFolder; }
    void accept() override
    {
        const QString typed = TypedPath(*this);
        const QFileInfo info(typed);
        if (!typed.isEmpty() && !info.exists() && !info.isSymLink() && QFileInfo(info.absolutePath()).isDir()) {
            newFolder = typed;
            QDialog::accept();
            return;
        }
        newFolder.clear();
        QFileDialog::accept();
    }

private:
    QString newFolder;
};

// What the export writes, under the folder list of its dialog: the clips
// (tagged, as stored, WAV), the playlist, the walk as one file.
class CExportChoicesRow {
public:
    CExportChoicesRow(QFileDialog& dialog, const ExportChoices_T& choices)
    {
        auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
        if (!grid)
            return;
        auto* row = new QHBoxLayout;
        clips = new QComboBox(&dialog);
        clips->setObjectName(QStringLiteral("exportClips"));
        clips->addItems({ExportTexts_T::tr("Clips tagged with their line"), ExportTexts_T::tr("Clips as stored"),
                         ExportTexts_T::tr("Clips as WAV")});
        clips->setCurrentIndex(static_cast<int>(choices.clips));
        clips->setAccessibleName(ExportTexts_T::tr("Clip files"));
        playlist = new QCheckBox(ExportTexts_T::tr("Playlist"), &dialog);
        playlist->setObjectName(QStringLiteral("exportPlaylist"));
        playlist->setChecked(choices.playlist);
        playlist->setToolTip(ExportTexts_T::tr("playlist.m3u8: the clips in the order of the list"));
        oneFile = new QCheckBox(ExportTexts_T::tr("One file"), &dialog);
        oneFile->setObjectName(QStringLiteral("exportOneFile"));
        oneFile->setToolTip(ExportTexts_T::tr("The walk as one sound file with a chapter per line, and its "
                                              "subtitles (walk.srt, walk.lrc)"));
        oneFile->setChecked(!choices.oneFile.empty());
        format = new QComboBox(&dialog);
        format->setObjectName(QStringLiteral("exportOneFileFormat"));
        format->setAccessibleName(ExportTexts_T::tr("Format of the one file"));
        for (const char* extension : kFormats)
            format->addItem(QStringLiteral("walk.%1").arg(QLatin1String(extension)));
        for (int i = 0; i < static_cast<int>(std::size(kFormats)); ++i)
            if (choices.oneFile == kFormats[i])
                format->setCurrentIndex(i);
        format->setEnabled(oneFile->isChecked());
        QObject::connect(oneFile, &QCheckBox::toggled, format, &QWidget::setEnabled);
        row->addWidget(clips);
        row->addWidget(playlist);
        row->addWidget(oneFile);
        row->addWidget(format);
        row->addStretch(1);
        auto* label = new QLabel(ExportTexts_T::tr("Write:"), &dialog);
        label->setBuddy(clips);
        const int at = grid->rowCount();
        grid->addWidget(label, at, 0);
        grid->addLayout(row, at, 1, 1, grid->columnCount() - 1);
    }

    ExportChoices_T Choices() const
    {
        ExportChoices_T c;
        if (!clips)
            return c;
        c.clips = static_cast<ExportChoices_T::Clips_T>(std::clamp(clips->currentIndex(), 0, 2));
        c.playlist = playlist->isChecked();
        if (oneFile->isChecked())
            c.oneFile = kFormats[std::clamp(format->currentIndex(), 0, static_cast<int>(std::size(kFormats)) - 1)];
        return c;
    }

private:
    static constexpr const char* kFormats[] = {"ogg", "opus", "flac", "wav"};
    QComboBox* clips = nullptr;
    QCheckBox* playlist = nullptr;
    QCheckBox* oneFile = nullptr;
    QComboBox* format = nullptr;
};

// The folder the user chose, absolute and existing or to be made, and what
// to write there; an empty folder when the dialog was cancelled or gave
// anything else (said so first).
QString AskForFolder(QWidget* parent, const CTarnwickApp& app, const QString& title, ExportChoices_T& choices)
{
    CExportFolderDialog dialog(parent, title, StartFolder(app));
    // The widget dialog: it takes the choices below its list, and a new
    // folder's name typed.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const CExportChoicesRow row(dialog, app.Settings().exportChoices);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    choices = row.Choices();
    if (!dialog.NewFolder().isEmpty())
        return dialog.NewFolder();
    const QStringList chosen = dialog.selectedFiles();
    const QString folder = chosen.size() == 1 ? chosen.front() : QString();
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir() || IsShownFolderForTypedName(dialog, folder)) {
        QMessageBox::warning(parent, title,
                             ExportTexts_T::tr("Nothing was written: no existing folder was chosen.\nThe folder "
                                               "dialog gave:\n%1\nPick a folder in the list, or type the path "
                                               "of one that exists.")
                                 .arg(chosen.join(QLatin1Char('\n'))));
        return {};
    }
    return QDir::cleanPath(folder);
}

// Whether the lines may go into folder: asked when it holds other files
// and no earlier export, No being the answer Enter gives.
bool MayWriteInto(QWidget* parent, const QString& title, const QString& folder, const std::string& hostPath)
{
    Failure_T why;
    switch (InspectExportFolder(hostPath, why)) {
    case ExportFolderState_T::kEmpty:
    case ExportFolderState_T::kEarlierExport:
        return true;
    case ExportFolderState_T::kOtherFiles: {
        const QString question = ExportTexts_T::tr("The folder is not empty:\n%1\nIt holds other files and no "
                                                   "earlier export. Write the lines into it anyway?");
        return QMessageBox::question(parent, title, question.arg(folder), QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    case ExportFolderState_T::kFailed:
        break;
    }
    QMessageBox::warning(parent, title,
                         ExportTexts_T::tr("The lines cannot go into this folder:\n%1")
                             .arg(QString::fromLocal8Bit(why.Describe())));
    return false;
}

QString Summary(const CLineExport& exporter, bool cancelled, const QString& folder)
{
    const LineExportCounts_T& c = exporter.Counts();
    QString text;
    if (exporter.IsStopped())
        text = ExportTexts_T::tr("Stopped: the folder %1 cannot take more files (%2 of %3 lines were done).")
                   .arg(folder)
                   .arg(c.linesDone)
                   .arg(exporter.LineCount());
    else if (cancelled)
        text = ExportTexts_T::tr("Cancelled: %1 of %2 lines were written to %3.")
                   .arg(c.linesDone)
                   .arg(exporter.LineCount())
                   .arg(folder);
    else
        text = ExportTexts_T::tr("%1 lines were written to %2.").arg(c.linesDone).arg(folder);
    text += ExportTexts_T::tr("\n%1 had no voice clip, %2 had no face picture.")
                .arg(c.linesWithoutClip)
                .arg(c.linesWithoutPicture);
    if (!exporter.Failures().empty())
        text += ExportTexts_T::tr("\n%1 files could not be written, the first: %2")
                    .arg(exporter.Failures().size())
                    .arg(QString::fromLocal8Bit(exporter.Failures().front().Describe()));
    if (!exporter.RemovalFailures().empty())
        text += ExportTexts_T::tr("\n%1 files of the earlier export could not be removed, the first: %2")
                    .arg(exporter.RemovalFailures().size())
                    .arg(QString::fromLocal8Bit(exporter.RemovalFailures().front().Describe()));
    return text;
}

}  // namespace

LineExportOutcome_T ExportLinesInto(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                                    PlayMode_T playMode, const QString& folder, const ExportChoices_T& choices,
                                    const std::string& album)
{
    const QString title = ExportTexts_T::tr("Export marked lines");
    const std::string hostPath = QFile::encodeName(folder).toStdString();
    Failure_T why;
    std::unique_ptr<CArchiveSet> archives = ExportArchives(app, why);
    if (!archives)
        return {QString::fromLocal8Bit(why.Describe()), true};
    archives->KeepDataFileOpen(true);  // the export's own reader, read from end to end
    using Clips = ExportChoices_T::Clips_T;
    LineExportOptions_T options{.format = choices.clips == Clips::kWav ? VoiceFileFormat::kWav : VoiceFileFormat::kOgg,
                                .tagged = choices.clips != Clips::kStored,
                                .playlist = choices.playlist,
                                .album = album};
    const std::string oneFile = choices.oneFile.empty() ? std::string() : "walk." + choices.oneFile;
    CLineExport exporter(*archives, hostPath, std::move(rows), playMode, std::move(options));
    // The walk as one file: an output of the export, rendered once every
    // line is written, under the same progress and Cancel.
    CWalkFileExport render(*archives, {}, playMode, album);
    std::atomic<bool> rendering{false};
    const int lineCount = static_cast<int>(exporter.LineCount());

    QProgressDialog progress(ExportTexts_T::tr("Writing lines to %1").arg(folder), ExportTexts_T::tr("Cancel"), 0,
                             lineCount, parent);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    // Cancel only asks the worker to stop, and the last line done does not
    // close the dialog: it stays up, keeping the window modal, until the
    // worker has ended and written the list. (Qt joins these by name.)
    QObject::disconnect(&progress, SIGNAL(canceled()), &progress, SLOT(cancel()));
    progress.setAutoReset(false);

    // The lines are read and written on a thread of their own; the window's
    // thread only shows how far it got, so the window answers throughout.
    QEventLoop loop;
    std::atomic<std::size_t> linesDone{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> ended{false};
    bool begun = false;
    bool finished = false;
    const unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    if (!oneFile.empty()) {
        render.RenderAs(oneFile, jobs, [&](std::size_t done) {
            rendering.store(true);
            linesDone.store(done, std::memory_order_relaxed);
            return !cancel.load(std::memory_order_relaxed);
        });
        exporter.AddOutput(render);
    }
    std::thread worker([&] {
        begun = exporter.Begin(why);
        if (begun) {
            exporter.Run(jobs, [&](std::size_t done) {
                linesDone.store(done, std::memory_order_relaxed);
                return !cancel.load(std::memory_order_relaxed);
            });
            finished = exporter.Finish();
        }
        ended.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (app.QuitRequested())
            cancel.store(true);
        const std::size_t done = linesDone.load(std::memory_order_relaxed);
        progress.setValue(static_cast<int>(done));
        progress.setLabelText(rendering.load() ? ExportTexts_T::tr("Writing %1 in %2: %3 / %4")
                                                     .arg(QString::fromStdString(oneFile), folder)
                                                     .arg(done)
                                                     .arg(lineCount)
                                               : ExportTexts_T::tr("Writing lines to %1: %2 / %3")
                                                     .arg(folder)
                                                     .arg(done)
                                                     .arg(lineCount));
    });
    // The worker stops after the lines in hand; Escape counts as Cancel.
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { cancel.store(true); });
    QObject::connect(&progress, &QDialog::rejected, &loop, [&] { cancel.store(true); });
    poll.start(50);
    // The loop also ends when the application quits: the worker is then
    // cancelled and awaited, so nothing it uses goes before it.
    while (!ended.load())
        if (loop.exec() != 0 || QCoreApplication::closingDown())
            break;
    poll.stop();
    if (!ended.load())
        cancel.store(true);
    worker.join();
    progress.close();
    if (!begun)
        return {QString::fromLocal8Bit(why.Describe()), true};
    if (finished)
        app.KeepExportFolder(hostPath);
    // What was done is kept: lines.csv lists exactly the lines written.
    // A render cancelled is a cancelled export; one that failed is among
    // the failures.
    const bool cancelled = !exporter.IsDone() || (!oneFile.empty() && !render.Rendered() && cancel.load());
    QString message = Summary(exporter, cancelled, folder);
    if (render.Rendered())
        message += ExportTexts_T::tr("\nThe walk is in %1, with its subtitles.").arg(QString::fromStdString(oneFile));
    return {message, exporter.IsStopped() || !exporter.Failures().empty()};
}

void RunLineExport(QWidget* parent, CTarnwickApp& app, std::vector<const CVeyQelTalkElm*> rows,
                   PlayMode_T playMode, const std::string& album)
{
    const QString title = ExportTexts_T::tr("Export marked lines");
    if (rows.empty()) {
        QMessageBox::information(parent, title, ExportTexts_T::tr("No marked lines are shown in the list."));
        return;
    }
    // Each step asks only while the program is not ending.
    ExportChoices_T choices;
    const QString folder = AskForFolder(parent, app, title, choices);
    if (folder.isEmpty() || app.QuitRequested())
        return;
    app.KeepExportChoices(choices);
    if (!MayWriteInto(parent, title, folder, QFile::encodeName(folder).toStdString()) || app.QuitRequested())
        return;
    const LineExportOutcome_T outcome = ExportLinesInto(parent, app, std::move(rows), playMode, folder, choices, album);
    if (app.QuitRequested())
        return;
    if (outcome.warning)
        QMessageBox::warning(parent, title, outcome.message);
    else
        QMessageBox::information(parent, title, outcome.message);
}

}  // namespace tarnwick
