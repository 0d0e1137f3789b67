#include <QApplication>

#include "app/program_folder.h"
#include "app/tarnwick_app.h"
#include "ui/qt_startup_ui.h"

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));

    tarnwick::CTarnwickApp app(tarnwick::RunningExecutablePath());
    tarnwick::CQtStartupUi ui;
    app.InitInstance(ui);
    return 0;
}
