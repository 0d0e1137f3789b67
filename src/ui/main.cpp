#include <QApplication>

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
    tarnwick::CTarnwickApp app(tarnwick::ProgramPathsFor(tarnwick::RunningExecutablePath()));
    app.bgmPlayer.SetMediaPlayer(std::make_unique<tarnwick::CQtMediaPlayer>());
    tarnwick::CQtStartupUi ui;
    app.InitInstance(ui);
    return 0;
}
