#include <QApplication>

#include "host/host_environment.h"
#include "host/program_folder.h"
#include "app/tarnwick_app.h"
#include "ui/qt_media_player.h"
#include "ui/qt_startup_ui.h"
#include "ui/quit_signals.h"

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));

    tarnwick::CQuitSignals quitSignals;
    // The one place that asks where the program is and whose home it runs in.
    const tarnwick::HostEnvironment_T environment = tarnwick::HostEnvironment_T::FromProcess();
    tarnwick::CTarnwickApp app(tarnwick::ProgramPathsFor(tarnwick::RunningExecutablePath(), environment),
                               environment);
    app.bgmPlayer.SetMediaPlayer(std::make_unique<tarnwick::CQtMediaPlayer>());
    tarnwick::CQtStartupUi ui;
    app.InitInstance(ui);
    return 0;
}
