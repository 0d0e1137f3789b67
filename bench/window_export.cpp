// The window's export of every line it shows, driven without a user: the
// program's own start-up builds the window on the game named by the
// settings in PROGRAM_FOLDER, then the export runs as Ctrl+E runs it once
// OUT_FOLDER is chosen. Prints the lines marked and the export's time in
// milliseconds, from the choice to the closing message.
//
//   tarnwick-window-export PROGRAM_FOLDER OUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#include "app/tarnwick_app.h"
#include "host/host_environment.h"
#include "host/program_folder.h"
#include "talk/selection_models.h"
#include "ui/export_progress.h"
#include "ui/qt_startup_ui.h"
#include "ui/tarnwick_dlg.h"

namespace {

class CExportUi : public tarnwick::IStartupUi {
public:
    explicit CExportUi(QString out) : outFolder(std::move(out)) {}
    std::optional<std::string> AskForFile(const tarnwick::FileDialogRequest_T&) override
    {
        std::fprintf(stderr, "tarnwick-window-export: the game does not open\n");
        return std::nullopt;
    }
    void ShowMessage(const tarnwick::StartupMessage_T& message) override
    {
        std::fprintf(stderr, "%s\n", message.Text().c_str());
    }
    void PrepareMainDialog(tarnwick::CTarnwickApp& app) override { startup.PrepareMainDialog(app); }
    void RunMainDialog(tarnwick::CTarnwickApp& app) override
    {
        const std::unique_ptr<tarnwick::CTarnwickDlg> dialog = startup.TakeMainDialog(app);
        dialog->show();
        std::vector<const tarnwick::CVeyQelTalkElm*> rows = tarnwick::MarkedRows(dialog->TalkRows());
        const std::size_t lines = rows.size();
        QElapsedTimer clock;
        clock.start();
        const tarnwick::LineExportOutcome_T outcome =
            tarnwick::ExportLinesInto(dialog.get(), app, std::move(rows), app.Settings().player.playMode, outFolder,
                                      app.Settings().exportChoices, "Tarnwick");
        const qint64 ms = clock.elapsed();
        std::printf("%zu lines in %lld ms\n", lines, static_cast<long long>(ms));
        std::fprintf(stderr, "%s\n", outcome.message.toLocal8Bit().constData());
        failed = outcome.warning;
    }
    bool failed = true;

private:
    QString outFolder;
    tarnwick::CQtStartupUi startup;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarnwick-window-export PROGRAM_FOLDER OUT_FOLDER\n");
        return 2;
    }
    const std::string programFolder = argv[1];
    const tarnwick::HostEnvironment_T environment = tarnwick::HostEnvironment_T::FromProcess();
    auto app = std::make_unique<tarnwick::CTarnwickApp>(
        tarnwick::ProgramPathsFor(programFolder + "/tarnwick", environment), environment);
    app->BeginOpeningStoredGame();
    QApplication qapp(argc, argv);
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(out);
    bool failed = true;
    {
        CExportUi ui(out);
        app->InitInstance(ui);
        failed = ui.failed;
    }
    app.reset();
    return failed ? 1 : 0;
}
