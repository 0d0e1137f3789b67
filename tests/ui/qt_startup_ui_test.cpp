#include "ui/qt_startup_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>

#include <gtest/gtest.h>

#include "host/host_path.h"
#include "support/demo_game.h"
#include "support/program_window.h"
#include "support/temp_folder.h"
#include "ui/tarnwick_dlg.h"

namespace tarnwick {
namespace {

// Runs check on the next modal dialog that opens, then lets it close.
template <typename Dialog, typename Check>
void OnNextDialog(Check check)
{
    QTimer::singleShot(0, [check] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<Dialog*>(w); d && d->isVisible()) {
                check(d);
                return;
            }
        }
        ADD_FAILURE() << "no dialog opened";
    });
}

TEST(QtStartupUiTest, FilterTextBecomesQtNameFilters)
{
    EXPECT_EQ(QtNameFilters({{"Exe File", {"*.exe"}}}), QStringLiteral("Exe File (*.exe)"));
    EXPECT_EQ(QtNameFilters({{"A", {"*.a"}}, {"B", {"*.b", "*.bb"}}}), QStringLiteral("A (*.a);;B (*.b *.bb)"));
    EXPECT_EQ(QtNameFilters({}), QString());
}

TEST(QtStartupUiTest, FileDialogProposesTheGameExecutableAndReturnsTheChoice)
{
    test::TempFolder dir;
    const FileDialogRequest_T request = GameFolderRequest(dir.Path());
    CQtStartupUi ui;

    QString title;
    OnNextDialog<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        EXPECT_EQ(d->directory().absolutePath(), QString::fromStdString(dir.Path()));
        EXPECT_EQ(d->defaultSuffix(), QStringLiteral("exe"));
        EXPECT_EQ(d->nameFilters(), (QStringList{QStringLiteral("Exe File (*.exe)"), QStringLiteral("All files (*)")}));
        EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("Exe File (*.exe)"));
        QMetaObject::invokeMethod(d, "accept");  // the proposed name, which need not exist
    });
    const std::optional<std::string> chosen = ui.AskForFile(request);
    EXPECT_EQ(title, QStringLiteral("Select application install folder."));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir / "vey.exe");

    OnNextDialog<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_FALSE(ui.AskForFile(request).has_value());
}

TEST(QtStartupUiTest, MessageBoxShowsTheTextWithAnOkButton)
{
    CQtStartupUi ui;
    QString text;
    OnNextDialog<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
        box->button(QMessageBox::Ok)->click();
    });
    ui.ShowMessage("Failed to read another_aa_talk.csv");
    EXPECT_EQ(text, QStringLiteral("Failed to read another_aa_talk.csv"));
}

TEST(QtStartupUiTest, AGameInAProtonPrefixOpensTheWindowWithoutAnyDialog)
{
    test::TempFolder program;
    const std::string home = program / "home";
    const std::string installed =
        home + "/.steam/steam/steamapps/compatdata/2424/pfx/drive_c/Program Files/Tembrook/Sorvalia";
    std::filesystem::create_directories(ParentFolder(installed));
    std::filesystem::create_directory_symlink(test::DemoGameFolder(), installed);
    bool shown = false;
    test::RunProgramWindow(program, {.withMusic = false, .home = home}, [&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        shown = dlg.isVisible();
        EXPECT_EQ(app.Archives().GameFolder(), installed);
        EXPECT_GT(dlg.TalkRows().RowCount(), 0u);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(CProfileFile(program / "tarnwick.ini").GetProfileString("SYSTEM", "VeyAppPath", ""), installed);
}

}  // namespace
}  // namespace tarnwick
