#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QProcess>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "host/host_environment.h"
#include "host/program_folder.h"
#include "app/tarnwick_app.h"
#include "ui/mpris_player.h"
#include "ui/qt_startup_ui.h"
#include "ui/quit_signals.h"

namespace {

void PrintHelp()
{
    std::printf(
        "Usage: tarnwick [--help] [--version] [QT_OPTION...]\n"
        "Browse and hear an installed game's voiced talk lines.\n\n"
        "Tarnwick opens the game folder named in its settings file, or asks for the\n"
        "game's executable (any file in the game folder will do).\n\n"
        "Options:\n"
        "  --help      show this help and exit\n"
        "  --version   show the version and exit\n"
        "Qt's own options (-platform, -style, ...) are passed to Qt.\n\n"
        "Files: tarnwick.ini (settings), CaptureList.xml (capture groups) and the\n"
        "unpack folder (loose files used instead of archived ones) lie beside the\n"
        "executable in a portable copy, else in $XDG_CONFIG_HOME/tarnwick\n"
        "(~/.config/tarnwick).\n\n"
        "See tarnwick(1) and tarnwick-cli(1).\n");
}

// With no session bus address, libdbus tries the runtime folder's socket
// and then starts a bus of its own, whose helper may never answer: start-up
// (the accessibility bridge asks for the bus with the first text) would
// wait for good. With neither there is no bus, and the window runs without
// one; an address no transport takes makes every ask fail at once.
void ForgoStartingABus(const tarnwick::HostEnvironment_T& environment)
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return;
    struct stat st;
    if (environment.xdgRuntimeDir.starts_with('/') &&
        ::stat((environment.xdgRuntimeDir + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        return;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarnwick %s\n", TARNWICK_VERSION);
            return 0;
        }
    }

    // The one place that asks where the program is and whose home it runs in.
    const tarnwick::HostEnvironment_T environment = tarnwick::HostEnvironment_T::FromProcess();
    // Before Qt or any thread asks for the bus.
    ForgoStartingABus(environment);
    auto app = std::make_unique<tarnwick::CTarnwickApp>(
        tarnwick::ProgramPathsFor(tarnwick::RunningExecutablePath(), environment), environment);
    // The settings may name the window's language; read before the game
    // starts opening on its own thread.
    const std::string languageSetting = app->LanguageSetting();
    // The game opens while Qt starts.
    app->BeginOpeningStoredGame();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    // Lets a Wayland compositor match the window to the menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    // What the window's first controls wait for is readied on threads of
    // their own while the translations load and the window is built: the
    // font list its font is chosen from, and the session bus that the
    // accessibility bridge asks for with the first text (and the media
    // controls after it), whose handshake takes a while.
    const std::jthread fontList([] { QFontDatabase::families(); });
    const std::jthread sessionBus([] { QDBusConnection::sessionBus(); });

    // Before any window or dialog: they take their texts as they are built.
    const tarnwick::CUiTranslation translation(
        tarnwick::ChooseUiLanguage(QLocale::system().uiLanguages(), languageSetting));
    {
        // Both go here, before the application they refer to: a window
        // built ahead and never shown, and the signals' handling.
        const tarnwick::CQuitSignals quitSignals(*app);
        tarnwick::CQtStartupUi ui;
        const QString artFolder = QFile::decodeName(tarnwick::ScratchFolder(environment).c_str());
        // What a killed run left there is shown by nobody now.
        tarnwick::RemoveStaleFacePictures(artFolder);
        ui.OfferMediaControls(artFolder);
        app->InitInstance(ui);
    }
    const bool restart = app->RestartRequested();
    // Its media player goes while Qt is still there.
    app.reset();
    // A new game folder was chosen in the window and its settings are
    // written: the program starts again on it.
    if (restart && !QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                                         QCoreApplication::arguments().mid(1)))
        std::fprintf(stderr, "tarnwick: cannot start again: %s\n",
                     QCoreApplication::applicationFilePath().toLocal8Bit().constData());
    return 0;
}
