#include "support/program_window.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QtTest/QTest>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/tarnwick_app.h"
#include "support/demo_game.h"
#include "ui/qt_player_factory.h"
#include "ui/qt_startup_ui.h"
#include "ui/tarnwick_dlg.h"

namespace tarnwick::test {

namespace {

// The program's own start-up window handling, with the test run in place of
// the window's event loop.
class WindowUi : public IStartupUi {
public:
    WindowUi(const WindowTest& t, bool withMusic) : test(t), startup(QtPlayerFactory(withMusic)) {}
    std::optional<std::string> AskForFile(const FileDialogRequest_T&) override
    {
        ADD_FAILURE() << "the demo game should open without asking";
        return std::nullopt;
    }
    void ShowMessage(const StartupMessage_T& message) override { ADD_FAILURE() << message.Text(); }
    void PrepareMainDialog(CTarnwickApp& app) override { startup.PrepareMainDialog(app); }
    void RunMainDialog(CTarnwickApp& app) override
    {
        const std::unique_ptr<CTarnwickDlg> dlg = startup.TakeMainDialog(app);
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        test(*dlg, app);
        dlg->close();
    }

private:
    const WindowTest& test;
    CQtStartupUi startup;
};

}  // namespace

void RunProgramWindow(const TempFolder& program, const ProgramWindowOptions_T& options, const WindowTest& test)
{
    const std::string stored = options.home.empty() ? "VeyAppPath=" + DemoGameFolder() + "\n" : "";
    if (options.freshSettings)
        program.Write("tarnwick.ini", "[SYSTEM]\n" + stored + options.settings);
    if (options.withCaptures)
        std::filesystem::copy_file(DemoGameFolder() + "/CaptureList.xml", program / "CaptureList.xml",
                                   std::filesystem::copy_options::overwrite_existing);
    // The window's texts as the tests check them, whatever the machine's locale.
    const CUiTranslation translation(UiLanguage_T::kJapanese);
    const HostEnvironment_T env{.home = options.home.empty() ? program.Path() : options.home};
    CTarnwickApp app(ProgramPathsFor(program / "tarnwick", env), env);
    // As the program starts: the game opens while the window is built.
    app.BeginOpeningStoredGame();
    WindowUi ui(test, options.withMusic);
    app.InitInstance(ui);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return done();
}

bool HaveAudioOutput()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

}  // namespace tarnwick::test
