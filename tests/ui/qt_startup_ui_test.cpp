#include "ui/qt_startup_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <QtTest/QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "host/host_path.h"
#include "support/demo_game.h"
#include "support/program_window.h"
#include "support/temp_folder.h"
#include "talk/capture_list.h"
#include "talk/selection_lists.h"
#include "ui/about_dlg.h"
#include "ui/mpris_player.h"
#include "ui/res/resources.h"
#include "ui/selector_combo.h"
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
    EXPECT_EQ(QtNameFilters({{DialogText_T::kExeFile, {"*.exe"}}}), QStringLiteral("Exe File (*.exe)"));
    EXPECT_EQ(QtNameFilters({{DialogText_T::kExeFile, {"*.a"}}, {DialogText_T::kAllFiles, {"*.b", "*.bb"}}}),
              QStringLiteral("Exe File (*.a);;All files (*.b *.bb)"));
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
    ui.ShowMessage({StartupNotice_T::kTalkTableUnread, {}});
    EXPECT_EQ(text, QStringLiteral("Failed to read another_aa_talk.csv"));
}

TEST(QtStartupUiTest, LanguageFollowsTheSettingThenTheFirstUsableUiLanguage)
{
    using enum UiLanguage_T;
    const struct {
        QStringList uiLanguages;
        const char* setting;
        UiLanguage_T expected;
    } cases[] = {
        {{"ja-JP", "ja"}, "", kJapanese},
        {{"ja_JP.UTF-8"}, "", kJapanese},
        {{"en-US", "ja"}, "", kEnglish},
        {{"de-DE", "ja-JP"}, "", kEnglish},
        {{"C"}, "", kEnglish},
        {{"POSIX", "ja"}, "", kEnglish},
        {{}, "", kEnglish},
        {{"", "@x", "ja"}, "", kJapanese},  // nothing of a language: the next says
        {{"C"}, "ja", kJapanese},
        {{"ja-JP"}, "en", kEnglish},
        {{"ja-JP"}, "JA", kJapanese},  // not a value the key takes: the locale says
        {{"en-GB"}, "fr", kEnglish},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseUiLanguage(c.uiLanguages, c.setting), c.expected)
            << c.uiLanguages.join(QLatin1Char(',')).toStdString() << " / " << c.setting;
}

TEST(QtStartupUiTest, EachTranslationGivesTheWindowItsTexts)
{
    // The program's own entry as the core adds it, in the selector's widget.
    CSelectorModel captures;
    QComboBox box;
    const CSelectorCombo adapter(captures, &box);
    captures.Add(kAllTalksText, nullptr, SelectorEntry_T::kAllTalks);
    captures.Select(0);
    const struct {
        UiLanguage_T language;
        const char* start;
        const char* all;
        const char* languageLine;
    } cases[] = {
        {UiLanguage_T::kJapanese, "開始", "(すべて)", "言語: 日本語"},
        {UiLanguage_T::kEnglish, "Start", "(all)", "Language: English"},
    };
    for (const auto& c : cases) {
        const CUiTranslation translation(c.language);
        ASSERT_TRUE(translation.Loaded());
        EXPECT_EQ(CTarnwickDlg::tr("Start"), QString::fromUtf8(c.start));
        EXPECT_EQ(box.itemText(0), QString::fromUtf8(c.all));
        const CAboutDlg about;
        const auto* line = about.findChild<QLabel*>(QStringLiteral("about%1").arg(kIdAboutLanguage));
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->text(), QString::fromUtf8(c.languageLine));
    }
}

// Marks every text it translates, so that what went through translation shows.
class CMarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return QStringLiteral("<%1|%2>").arg(QLatin1String(context), QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

TEST(QtStartupUiTest, StartupTranslatesTheCoresFixedTextsOnly)
{
    CMarkingTranslator marking;
    QCoreApplication::installTranslator(&marking);
    const FileDialogRequest_T request = GameFolderRequest("/g");
    const auto marked = [](const char* text) { return QStringLiteral("<tarnwick::CQtStartupUi|%1>").arg(text); };
    EXPECT_EQ(DialogText(request.title), marked("Select application install folder."));
    EXPECT_EQ(QtNameFilters(request.filters),
              marked("Exe File") + QStringLiteral(" (*.exe);;") + marked("All files") + QStringLiteral(" (*)"));
    // The kind's text translated; the path after it stays as it is.
    EXPECT_EQ(StartupMessageText({StartupNotice_T::kTalkTableUnread, {}}), marked(kTalkTableMissing));
    EXPECT_EQ(StartupMessageText({StartupNotice_T::kSettingsFileTooLarge, "/home/a b/tarnwick.ini"}),
              marked(kSettingsTooLarge) + QStringLiteral("/home/a b/tarnwick.ini"));
    EXPECT_EQ(StartupMessageText({StartupNotice_T::kSettingsUnsaved, "/h/tarnwick.ini.lock: locked by another process"}),
              marked(kSettingsNotSaved) + QStringLiteral("/h/tarnwick.ini.lock: locked by another process"));
    QCoreApplication::removeTranslator(&marking);
}

TEST(QtStartupUiTest, OnlyTheProgramsOwnSelectorEntriesAreTranslated)
{
    CVeyQelTalk talk;
    talk.LoadCaptureListText("<CaptureList>\n<Capture Name=\"(\x82\xb7\x82\xd7\x82\xc4)\">\n"
                         "<Item Name=\"(\x82\xb7\x82\xd7\x82\xc4\x91\x49\x91\xf0)\">\n</Item>\n");
    CSelectorModel captures;
    FillCaptureCombo(captures, talk);
    CSelectorModel items;
    FillItemCombo(items, talk, kAllTalksText);
    captures.AddCollection("\u2605 (all)", 0);
    // The program's own entries by their kind; a group or an item named
    // like them, or a collection, is not one of them.
    const struct {
        const CSelectorModel& model;
        std::vector<const char*> expected;  // source text per entry, null for data
    } cases[] = {
        {captures, {"(all)", nullptr, nullptr}},
        {items, {"(mark all)", "(unmark all)", nullptr}},
    };
    for (const auto& c : cases) {
        const CSelectorModel& model = c.model;
        for (int i = 0; i < model.Count(); ++i) {
            const char* source = ProgramEntrySource(model, i);
            EXPECT_STREQ(source, c.expected[static_cast<std::size_t>(i)]) << "entry " << i;
        }
        EXPECT_EQ(ProgramEntrySource(model, model.Count()), nullptr);
        EXPECT_EQ(ProgramEntrySource(model, -1), nullptr);
    }
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

// Face pictures that a killed window left behind go at the next start;
// those of a window still running, and anything else there, stay.
TEST(QtStartupUiTest, StaleFacePicturesAreRemovedAtStart)
{
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = "face-" + std::to_string(gone) + "-3.png";
    const std::string live = "face-" + std::to_string(::getppid()) + "-1.png";
    long pid = 0;
    EXPECT_TRUE(IsFacePictureName(stale, &pid));
    EXPECT_EQ(pid, gone);
    test::TempFolder scratch;
    const std::string kept[] = {live, "face-" + std::to_string(gone) + ".png", "face-" + std::to_string(gone) + "-3.jpg",
                                "face--3.png", "notes.txt"};
    for (const std::string& name : kept) {
        EXPECT_EQ(IsFacePictureName(name), name == live) << name;
        scratch.Write(name, "png");
    }
    scratch.Write(stale, "png");
    scratch.Write("target", "mine");
    const std::string linked = "face-" + std::to_string(gone) + "-4.png";
    std::filesystem::create_symlink(scratch / "target", scratch / linked);
    std::filesystem::create_directories(scratch / ("face-" + std::to_string(gone) + "-5.png"));

    RemoveStaleFacePictures(QString::fromStdString(scratch.Path()));
    EXPECT_FALSE(std::filesystem::exists(scratch / stale));
    for (const std::string& name : kept)
        EXPECT_TRUE(std::filesystem::exists(scratch / name)) << name;
    EXPECT_TRUE(std::filesystem::is_symlink(scratch / linked));
    EXPECT_EQ(test::ReadFileText(scratch / "target"), "mine");
    EXPECT_TRUE(std::filesystem::is_directory(scratch / ("face-" + std::to_string(gone) + "-5.png")));
}

}  // namespace
}  // namespace tarnwick
