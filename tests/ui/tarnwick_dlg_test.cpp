#include "ui/tarnwick_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QCheckBox>
#include <QCompleter>
#include <QInputDialog>
#include <QMessageBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QTimer>
#include <QtTest/QTest>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "app/line_export.h"
#include "app/tarnwick_app.h"
#include "app/walk_file_export.h"
#include "archive/archive_set.h"
#include "support/demo_game.h"
#include "support/export_files.h"
#include "support/program_window.h"
#include "support/temp_folder.h"
#include "talk/selection_lists.h"
#include "ui/about_dlg.h"
#include "ui/dialog_units.h"
#include "ui/export_progress.h"
#include "ui/qt_startup_ui.h"
#include "ui/quit_signals.h"
#include "ui/res/resources.h"
#include "ui/search_field.h"
#include "ui/speaker_combo.h"
#include "ui/game_text.h"
#include "ui/talk_list_view.h"

namespace tarnwick {
namespace {

using test::TempFolder;

class DialogTest : public ::testing::Test {
protected:
    void Run(const test::WindowTest& test, bool withCaptures = true, bool freshSettings = true)
    {
        test::RunProgramWindow(
            program,
            {.settings = settings, .withCaptures = withCaptures, .withMusic = false, .freshSettings = freshSettings},
            test);
    }
    std::string Settings() const { return test::ReadFileText(program / "tarnwick.ini"); }

    template <typename W>
    static W* Child(CTarnwickDlg& dlg, const char* name)
    {
        W* w = dlg.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static int CheckedRows(CTarnwickDlg& dlg)
    {
        int n = 0;
        for (std::size_t i = 0; i < dlg.TalkRows().RowCount(); ++i)
            n += dlg.TalkRows().IsChecked(i) ? 1 : 0;
        return n;
    }

    // Types text as an input method would hand it over, a character a key.
    static void Type(QWidget* w, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }

    TempFolder program;
    std::string settings;
};

// Every visible control of the window at its own place: none covers
// another, and no label, button or drop-down is narrower than its text.
void ExpectEveryTextFitsAndNothingOverlaps(CTarnwickDlg& dlg, const std::string& where)
{
    std::vector<QWidget*> shown;
    for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !w->isWindow())
            shown.push_back(w);
    ASSERT_GE(shown.size(), 19u) << where;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QWidget* w = shown[i];
        EXPECT_TRUE(dlg.rect().contains(w->geometry())) << where << ": " << w->objectName().toStdString();
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            EXPECT_FALSE(w->geometry().intersects(shown[j]->geometry()))
                << where << ": " << w->objectName().toStdString() << " and " << shown[j]->objectName().toStdString();
        }
        if (qobject_cast<const QLabel*>(w) || qobject_cast<const QPushButton*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << where << ": " << w->objectName().toStdString();
        }
        if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, combo);
            EXPECT_GE(field.width(), combo->fontMetrics().horizontalAdvance(combo->currentText()))
                << where << ": " << combo->objectName().toStdString();
        }
    }
}

// The window at its default size, at 1400x900 and at its smallest: the
// face keeps its size, the list and text box take the rest, the talk column
// the list's width beyond the first two.
void ExpectTheLayoutFits(CTarnwickDlg& dlg, const std::string& language)
{
    ASSERT_FLOAT_EQ(dlg.ScaleX(), 1.0f) << "the offscreen screen should be 96 dpi";
    const CDialogUnits du(dlg.font());
    // The default size is the layout's drawn one unless the texts need more.
    EXPECT_EQ(dlg.size(), QSize(du.X(kMainDialogWidth), du.Y(kMainDialogHeight)).expandedTo(dlg.minimumSize()));
    EXPECT_LE(dlg.minimumSize().width(), du.X(kMainDialogWidth)) << language;
    auto* face = dlg.findChild<QFrame*>(QStringLiteral("faceFrame"));
    auto* list = dlg.findChild<CTalkListView*>(QStringLiteral("talkList"));
    auto* text = dlg.findChild<QWidget*>(QStringLiteral("talkTextBox"));
    ASSERT_TRUE(face && list && text);
    QDir().mkpath(QString::fromStdString(test::ArtifactsFolder()));
    struct Size_T {
        const char* name;
        QSize size;
    };
    QSize listBefore;
    QSize textBefore;
    for (const Size_T& size : {Size_T{"default", dlg.size()}, Size_T{"large", QSize(1400, 900)},
                               Size_T{"smallest", QSize(1, 1)}}) {
        dlg.resize(size.size);
        const std::string where = language + " " + size.name;
        ExpectEveryTextFitsAndNothingOverlaps(dlg, where);
        EXPECT_EQ(face->size(), QSize(96, 96)) << where;
        EXPECT_EQ(list->header()->sectionSize(0), 80) << where;
        EXPECT_EQ(list->header()->sectionSize(1), 160) << where;
        EXPECT_EQ(list->header()->sectionSize(2), list->viewport()->width() - 240) << where;
        if (listBefore.isValid() && dlg.width() > 1000) {
            EXPECT_GT(list->width(), listBefore.width() + 600) << where;
            EXPECT_GT(list->height(), listBefore.height() + 200) << where;
            EXPECT_GT(text->width(), textBefore.width() + 600) << where;
            EXPECT_GT(text->height(), textBefore.height()) << where;
        }
        listBefore = list->size();
        textBefore = text->size();
        const QString shot = QString::fromStdString(test::ArtifactsFolder() + "/tarnwick-window-" + language + "-" +
                                                    size.name + ".png");
        EXPECT_TRUE(dlg.grab().save(shot));
    }
}

TEST_F(DialogTest, LayoutFitsItsTextsInEitherLanguageAndGivesTheListAndTextTheRoom)
{
    // Japanese, as the program runs on the demo game.
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) { ExpectTheLayoutFits(dlg, "ja"); });
    // English, on a window with no game: the same controls, the list empty.
    const CUiTranslation english(UiLanguage_T::kEnglish);
    ASSERT_TRUE(english.Loaded());
    const HostEnvironment_T env{.home = program.Path()};
    CTarnwickApp app(ProgramPathsFor(program / "tarnwick", env), env);
    CTarnwickDlg dlg(app, app.Player(QtPlayerFactory(false)));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(Child<QPushButton>(dlg, "startButton")->text(), QStringLiteral("Start"));
    ExpectTheLayoutFits(dlg, "en");
    dlg.close();
}

TEST_F(DialogTest, OpensWithEveryLineListedAndMarked)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp& app) {
        EXPECT_EQ(dlg.TalkRows().RowCount(), app.Talk().GetCount());
        EXPECT_GT(dlg.TalkRows().RowCount(), 100u);
        EXPECT_EQ(CheckedRows(dlg), static_cast<int>(dlg.TalkRows().RowCount()));
        auto* capture = Child<QComboBox>(dlg, "captureCombo");
        EXPECT_EQ(capture->count(), 1 + static_cast<int>(app.Talk().CaptureNameCount()));
        EXPECT_EQ(capture->itemText(0), QStringLiteral("(すべて)"));
        auto* item = Child<QComboBox>(dlg, "itemCombo");
        EXPECT_EQ(item->itemText(0), QStringLiteral("(すべて選択)"));
        EXPECT_EQ(item->itemText(1), QStringLiteral("(すべて解除)"));
        // Game texts are decoded from code page 932 for display.
        auto* list = Child<CTalkListView>(dlg, "talkList");
        const QString cast = list->model()->index(0, 1).data().toString();
        EXPECT_FALSE(cast.isEmpty());
        EXPECT_FALSE(cast.contains(QChar::ReplacementCharacter));
    });
}

TEST_F(DialogTest, ChoosingAGroupAnItemAndClearAll)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp& app) {
        auto* capture = Child<QComboBox>(dlg, "captureCombo");
        auto* item = Child<QComboBox>(dlg, "itemCombo");
        const std::size_t all = dlg.TalkRows().RowCount();
        capture->setFocus();
        QTest::keyClick(capture, Qt::Key_Down);  // the first capture group
        ASSERT_EQ(capture->currentIndex(), 1);
        const std::size_t inGroup = dlg.TalkRows().RowCount();
        EXPECT_LT(inGroup, all);
        EXPECT_GT(inGroup, 0u);
        EXPECT_EQ(CheckedRows(dlg), static_cast<int>(inGroup));
        EXPECT_EQ(item->count(), 2 + [&] {
            int n = 0;
            for (std::size_t i = 0; i < app.Talk().CaptureItemCount(); ++i)
                n += app.Talk().CaptureItemAt(i)->captureName == app.Talk().CaptureNameAt(0);
            return n;
        }());

        item->setFocus();
        QTest::keyClick(item, Qt::Key_Down);  // (すべて解除)
        EXPECT_EQ(CheckedRows(dlg), 0);
        QTest::keyClick(item, Qt::Key_Down);  // the group's first item
        const CCaptureElm* chosen = dlg.ItemChoices().DataAt(2);
        ASSERT_NE(chosen, nullptr);
        for (std::size_t i = 0; i < dlg.TalkRows().RowCount(); ++i) {
            const std::int32_t id = dlg.TalkRows().RecordAt(i)->talkId;
            bool covered = false;
            for (const TalkRange_T& r : chosen->ranges)
                covered = covered || (r.firstId <= id && id <= r.lastId);
            EXPECT_EQ(dlg.TalkRows().IsChecked(i), covered) << id;
        }
    });
}

TEST_F(DialogTest, SpaceTogglesTheCurrentRowsMark)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        auto* list = Child<CTalkListView>(dlg, "talkList");
        list->setFocus();
        list->SelectRow(3);
        ASSERT_TRUE(dlg.TalkRows().IsChecked(3));
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_FALSE(dlg.TalkRows().IsChecked(3));
        EXPECT_EQ(list->model()->index(3, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_TRUE(dlg.TalkRows().IsChecked(3));
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), 4);

        // Shift+arrows select more rows; Space gives them all the mark the
        // current row lacks, as one step to undo.
        dlg.TalkRows().SetChecked(5, false);
        dlg.Selection().CommitMarks();
        QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
        EXPECT_EQ(list->SelectedRows(), (std::vector<std::size_t>{4, 5, 6}));
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), 6);
        QTest::keyClick(list, Qt::Key_Space);
        for (const std::size_t row : {4, 5, 6})
            EXPECT_FALSE(dlg.TalkRows().IsChecked(row)) << row;
        EXPECT_TRUE(dlg.TalkRows().IsChecked(3));
        EXPECT_EQ(list->SelectedRows().size(), 3u);
        ASSERT_TRUE(dlg.UndoMarks());
        for (const std::size_t row : {4, 6})
            EXPECT_TRUE(dlg.TalkRows().IsChecked(row)) << row;
        EXPECT_FALSE(dlg.TalkRows().IsChecked(5));
    });
}

// Runs the entry of the window's context menu that has the text, as a
// click on it would; false when the menu has none.
bool ChooseMenuEntry(CTarnwickDlg& dlg, const QString& text)
{
    bool found = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        look.stop();
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == text)
                chosen = action;
        found = chosen != nullptr;
        menu->close();
        if (chosen)
            chosen->trigger();
    });
    look.start(10);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dlg, &event);
    look.stop();
    return found;
}

// Chooses the speaker by typing its name into the selector and Enter.
void TypeSpeaker(CSpeakerCombo* combo, const QString& name)
{
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo, Qt::Key_Backspace);
    for (const QChar c : name) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(combo->lineEdit(), &press);
    }
    if (QWidget* popup = combo->completer()->popup(); popup->isVisible())
        popup->hide();
    QTest::keyClick(combo, Qt::Key_Return);
}

// Sara's lines plus Teo's, built filter by filter as the issue's user
// does, kept as a collection that comes back at the next start.
TEST_F(DialogTest, TwoSpeakersMarkedByFiltersBecomeACollectionKeptForTheNextStart)
{
    std::multiset<std::pair<int, int>> wanted;
    Run([&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        auto* speaker = Child<CSpeakerCombo>(dlg, "speakerCombo");
        auto* field = Child<CSearchField>(dlg, "searchField");
        const std::vector<Speaker_T> speakers = dlg.Selection().Speakers(SpeakerOrder_T::kFirstAppearance);
        ASSERT_GE(speakers.size(), 3u);
        ASSERT_EQ(speaker->count(), static_cast<int>(speakers.size()) + 1);
        EXPECT_EQ(speaker->itemText(0), QStringLiteral("(すべての話者)"));
        EXPECT_EQ(speaker->itemText(1), QStringLiteral("%1 (%2)").arg(GameText(speakers[0].cast)).arg(speakers[0].lines));
        EXPECT_EQ(speaker->accessibleName(), QStringLiteral("話者"));
        EXPECT_TRUE(speaker->toolTip().contains(QStringLiteral("Ctrl+Shift+F")));
        std::size_t sum = 0;
        for (const Speaker_T& s : speakers)
            sum += s.lines;
        EXPECT_EQ(sum, app.Talk().GetCount());

        const Speaker_T& a = speakers[0];
        const Speaker_T& b = speakers[1];
        const QString aName = GameText(a.cast);
        Type(field, aName);  // her lines and those that name her
        const std::size_t found = dlg.TalkRows().RowCount();
        ASSERT_GE(found, a.lines);
        auto* item = Child<QComboBox>(dlg, "itemCombo");
        item->setFocus();
        QTest::keyClick(item, Qt::Key_Down);  // (すべて解除): the lines shown only
        EXPECT_EQ(dlg.TalkRows().MarkedShownCount(), 0u);
        field->clear();
        EXPECT_EQ(dlg.TalkRows().MarkedShownCount(), app.Talk().GetCount() - found);
        dlg.TalkRows().SetAllChecked(false);

        // By name, Enter: exactly her lines; typing a part narrows the names.
        TypeSpeaker(speaker, aName);
        EXPECT_EQ(dlg.Selection().Speaker(), a.cast);
        EXPECT_EQ(dlg.TalkRows().RowCount(), a.lines);
        EXPECT_TRUE(ChooseMenuEntry(dlg, QStringLiteral("表示中の行に印を付ける")));
        TypeSpeaker(speaker, GameText(b.cast));
        EXPECT_EQ(dlg.TalkRows().RowCount(), b.lines);
        EXPECT_TRUE(ChooseMenuEntry(dlg, QStringLiteral("表示中の行に印を付ける")));
        EXPECT_EQ(dlg.SearchCount()->text().section(QChar(0xB7), 1).trimmed(), QStringLiteral("\u5370 %1 \u4EF6").arg(b.lines));
        TypeSpeaker(speaker, QString());
        EXPECT_EQ(dlg.Selection().Speaker(), std::nullopt);
        EXPECT_EQ(dlg.TalkRows().RowCount(), app.Talk().GetCount());
        for (const CVeyQelTalkElm* line : MarkedRows(dlg.TalkRows())) {
            EXPECT_TRUE(line->castName() == a.cast || line->castName() == b.cast);
            wanted.insert({line->talkId, line->lineNo});
        }
        EXPECT_EQ(wanted.size(), a.lines + b.lines);

        // Ctrl+D, a new collection by name. One timer takes the menu entry,
        // another answers the question that comes while the first runs it.
        bool named = false;
        QTimer take;
        QObject::connect(&take, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    if (action->text() == QStringLiteral("新しいコレクション…")) {
                        menu->close();
                        action->trigger();
                        return;
                    }
            }
        });
        take.start(10);
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* ask = qobject_cast<QInputDialog*>(w); ask && ask->isVisible() && !named) {
                    named = true;
                    ask->setTextValue(QStringLiteral("Sara and Teo"));
                    ask->accept();
                }
        });
        answer.start(10);
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(Child<CTalkListView>(dlg, "talkList"), Qt::Key_D, Qt::ControlModifier);
        take.stop();
        answer.stop();
        EXPECT_TRUE(named);
        ASSERT_EQ(app.Collections().Find("Sara and Teo"), 0);
        TypeSpeaker(speaker, GameText(b.cast));  // kept for the next start
    });
    // A damaged collection is told of once, and stays as it is.
    program.Write("collections/broken.txt", "broken\nnot a line\n");
    Run([&](CTarnwickDlg& dlg, CTarnwickApp&) {
        QMessageBox* told = nullptr;
        QTRY_VERIFY((told = dlg.findChild<QMessageBox*>(QStringLiteral("collectionProblems"))) && told->isVisible());
        EXPECT_TRUE(told->text().contains(QStringLiteral("broken.txt"))) << told->text().toStdString();
        told->accept();
        auto* capture = Child<QComboBox>(dlg, "captureCombo");
        EXPECT_EQ(capture->itemText(capture->count() - 1), QStringLiteral("\u2605 Sara and Teo"));
        EXPECT_TRUE(dlg.Selection().Speaker().has_value());
        capture->setFocus();
        QTest::keyClick(capture, Qt::Key_End);
        ASSERT_EQ(dlg.Selection().ChosenCollection(), "Sara and Teo");
        // The speaker of the last run is among them: still chosen.
        TypeSpeaker(Child<CSpeakerCombo>(dlg, "speakerCombo"), QString());
        std::multiset<std::pair<int, int>> listed;
        for (std::size_t i = 0; i < dlg.TalkRows().RowCount(); ++i) {
            listed.insert({dlg.TalkRows().RecordAt(i)->talkId, dlg.TalkRows().RecordAt(i)->lineNo});
            EXPECT_TRUE(dlg.TalkRows().IsChecked(i));
        }
        EXPECT_EQ(listed, wanted);

        // Deleting asks; the list goes back to every line.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                    box->button(QMessageBox::Yes)->click();
        });
        answer.start(10);
        EXPECT_TRUE(ChooseMenuEntry(dlg, QStringLiteral("このコレクションを削除…")));
        answer.stop();
        EXPECT_EQ(capture->currentIndex(), 0);
        EXPECT_FALSE(capture->itemText(capture->count() - 1).startsWith(QChar(0x2605)));
        EXPECT_EQ(test::ReadFileText(program / "collections/broken.txt"), "broken\nnot a line\n");
        std::filesystem::remove(program / "collections/broken.txt");
        EXPECT_TRUE(std::filesystem::is_empty(program / "collections"));
    }, true, false);
}

TEST_F(DialogTest, PlayModeAndVolumeAreKeptAndWrittenWhenTheWindowCloses)
{
    settings = "PlayMode=7\nVolumeBGM=-300\n";
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        auto* mode = Child<QComboBox>(dlg, "playModeCombo");
        EXPECT_EQ(mode->currentIndex(), 0);  // 7 is out of range
        EXPECT_EQ(mode->itemText(2), QStringLiteral("Long"));
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Down);
        EXPECT_EQ(dlg.Player().Options().playMode, PlayMode_T::kShort);
        auto* slider = Child<QSlider>(dlg, "volumeSlider");
        EXPECT_EQ(slider->value(), -300);
        EXPECT_EQ(slider->pageStep(), 1000);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_PageDown);
        EXPECT_EQ(dlg.Player().Options().musicVolume, -1300);
        // The player's own controls, each with its keys, seen by the window
        // whoever changes them.
        auto* voice = Child<QSlider>(dlg, "voiceVolumeSlider");
        EXPECT_EQ(voice->value(), 100);
        voice->setFocus();
        QTest::keyClick(voice, Qt::Key_PageDown);
        QTest::keyClick(&dlg, Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(&dlg, Qt::Key_R, Qt::AltModifier);
        QTest::keyClick(&dlg, Qt::Key_R, Qt::AltModifier);
        dlg.Player().SetEvenLoudness(true);
        const PlayerOptions_T& o = dlg.Player().Options();
        EXPECT_EQ(o.voiceVolume, 90);
        EXPECT_TRUE(o.shuffle);
        EXPECT_EQ(o.repeat, Repeat_T::kWalk);
        EXPECT_TRUE(Child<QCheckBox>(dlg, "evenLoudnessBox")->isChecked());
        EXPECT_TRUE(Child<QToolButton>(dlg, "shuffleButton")->isChecked());
        EXPECT_EQ(Child<QToolButton>(dlg, "repeatButton")->text(), CTarnwickDlg::tr("Repeat the walk"));
    });
    CProfileFile written(program / "tarnwick.ini");
    EXPECT_EQ(written.GetProfileInt("SYSTEM", "PlayMode", 9), 1);
    EXPECT_EQ(written.GetProfileInt("SYSTEM", "VolumeBGM", 9), -1300);
    const struct {
        const char* key;
        int value;
    } kept[] = {{"VoiceVolume", 90}, {"Shuffle", 1}, {"Repeat", 2}, {"EvenLoudness", 1}};
    for (const auto& k : kept)
        EXPECT_EQ(written.GetProfileInt(kPlaceSection, k.key, -1), k.value) << k.key;
}

TEST_F(DialogTest, ASearchNarrowsTheListTheWalkAndComesBackNextTime)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        const std::size_t all = dlg.TalkRows().RowCount();
        QTest::keyClick(&dlg, Qt::Key_F, Qt::ControlModifier);
        auto* field = Child<CSearchField>(dlg, "searchField");
        EXPECT_TRUE(field->hasFocus());
        Type(field, QStringLiteral("ｶｲﾙ"));  // half-width: matches the cast カイル
        const std::size_t shown = dlg.TalkRows().RowCount();
        ASSERT_GT(shown, 1u);
        ASSERT_LT(shown, all);
        EXPECT_EQ(dlg.SearchCount()->text(),
                  QStringLiteral("%1 / %2 \u00B7 \u5370 %1 \u4EF6").arg(shown).arg(QLocale(QLocale::English).toString(qulonglong(all))));
        // The cells show breaks as arrows, the tooltip the whole text.
        auto* list = Child<CTalkListView>(dlg, "talkList");
        EXPECT_FALSE(list->model()->index(0, 2).data().toString().contains(QStringLiteral("$R")));

        // A walk plays the marked rows that are shown; the title counts them.
        dlg.TalkRows().SetChecked(0, false);
        Child<QPushButton>(dlg, "startButton")->click();
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), 1);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tarnwick \u2014 1 / %1").arg(shown - 1));
        Child<QPushButton>(dlg, "startButton")->click();
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tarnwick"));

        // Escape empties the field and leaves the window open.
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_TRUE(field->text().isEmpty());
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.TalkRows().RowCount(), all);
        EXPECT_FALSE(dlg.TalkRows().IsChecked(0));  // hidden rows kept their marks

        Type(field, QStringLiteral("ｶｲﾙ"));
        dlg.TalkRows().SetCurrentRow(2);
    });
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        EXPECT_EQ(Child<CSearchField>(dlg, "searchField")->text(), QStringLiteral("ｶｲﾙ"));
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), 2);
    }, true, false);
}

TEST_F(DialogTest, MarksAreUndoneCopiedCountedAndKeptForTheNextStart)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        auto* list = Child<CTalkListView>(dlg, "talkList");
        const std::size_t all = dlg.TalkRows().RowCount();
        const auto count = [&] { return dlg.SearchCount()->text().section(QChar(0xB7), 1).trimmed(); };
        dlg.activateWindow();  // the undo keys are the window's
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        list->setFocus();
        list->SelectRow(3);
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(count(), QStringLiteral("\u5370 %1 \u4EF6").arg(all - 1));
        QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(dlg.TalkRows().IsChecked(3));
        QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_FALSE(dlg.TalkRows().IsChecked(3));

        // "(すべて解除)" is one step, and so is undoing it.
        auto* items = Child<QComboBox>(dlg, "itemCombo");
        items->setFocus();
        QTest::keyClick(items, Qt::Key_Down);
        EXPECT_EQ(CheckedRows(dlg), 0);
        EXPECT_EQ(count(), QStringLiteral("\u5370 0 \u4EF6"));
        QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(CheckedRows(dlg), static_cast<int>(all) - 1);
        EXPECT_FALSE(dlg.TalkRows().IsChecked(3));

        // Ctrl+C in the list: the row as UTF-8 text, "$R" as a line break.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        const CVeyQelTalkElm& line = *dlg.TalkRows().RecordAt(3);
        const QStringList fields = QGuiApplication::clipboard()->text().split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 3);
        EXPECT_EQ(fields[0], QString::fromLatin1(line.IdText()));
        EXPECT_FALSE(fields[2].contains(QStringLiteral("$R")));
    });
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        EXPECT_FALSE(dlg.TalkRows().IsChecked(3));
        EXPECT_EQ(CheckedRows(dlg), static_cast<int>(dlg.TalkRows().RowCount()) - 1);
        EXPECT_FALSE(dlg.UndoMarks());  // the kept marks are where steps start
    }, true, false);
    // Another game folder starts with the item's marks.
    std::string text = Settings();
    const std::size_t at = text.find("MarksGame=");
    ASSERT_NE(at, std::string::npos);
    text.insert(at + 10, "/elsewhere");
    program.Write("tarnwick.ini", text);
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        EXPECT_EQ(CheckedRows(dlg), static_cast<int>(dlg.TalkRows().RowCount()));
    }, true, false);
}

TEST_F(DialogTest, ASearchThatHidesTheSelectedLineKeepsTheListWhereItWas)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        auto* list = Child<CTalkListView>(dlg, "talkList");
        auto* field = Child<CSearchField>(dlg, "searchField");
        const QString query = QStringLiteral("2");
        Type(field, query);
        std::vector<const CVeyQelTalkElm*> matching;
        for (std::size_t i = 0; i < dlg.TalkRows().RowCount(); ++i)
            matching.push_back(dlg.TalkRows().RecordAt(i));
        field->clear();
        ASSERT_GE(matching.size(), 40u);
        // A line the search hides, far down the list but with many results
        // after it: the list must not keep the old row number at the top.
        int hidden = -1;
        std::size_t above = 0;
        for (std::size_t i = 0; i < dlg.TalkRows().RowCount() && hidden < 0; ++i) {
            if (std::find(matching.begin(), matching.end(), dlg.TalkRows().RecordAt(i)) != matching.end())
                ++above;
            else if (i >= 60 && above + 30 <= matching.size())
                hidden = static_cast<int>(i);
        }
        ASSERT_GT(hidden, 0);
        list->SelectRow(hidden);
        list->scrollTo(list->model()->index(hidden, 0), QAbstractItemView::PositionAtTop);

        Type(field, query);
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), -1);
        // The first line shown after the hidden one is in sight, at the top
        // unless the list ends first.
        const int near = dlg.TalkRows().ShownRowNear(static_cast<std::size_t>(hidden));
        ASSERT_GE(near, 0);
        EXPECT_GT(dlg.TalkRows().ListIndexOf(static_cast<std::size_t>(near)), static_cast<std::size_t>(hidden));
        const QRect nearRect = list->visualRect(list->model()->index(near, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(nearRect.topLeft())) << near;
        EXPECT_TRUE(nearRect.top() <= 0 || list->verticalScrollBar()->value() == list->verticalScrollBar()->maximum());

        field->clear();
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), hidden);
        EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->model()->index(hidden, 0))));
    });
}

TEST_F(DialogTest, PlayerKeysAndButtonsReachThePlaybackAndThePauseKeepsTheTitle)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        const std::size_t marked = dlg.TalkRows().RowCount();
        auto* pause = Child<QToolButton>(dlg, "pauseButton");
        EXPECT_FALSE(pause->isEnabled()) << "nothing to pause yet";
        Child<QPushButton>(dlg, "startButton")->click();
        const QString first = QStringLiteral("Tarnwick \u2014 1 / %1").arg(marked);
        ASSERT_EQ(dlg.windowTitle(), first);

        dlg.activateWindow();
        QTest::keyClick(&dlg, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPaused);
        EXPECT_EQ(dlg.windowTitle(), first);
        EXPECT_TRUE(pause->toolTip().contains(QStringLiteral("再開"))) << pause->toolTip().toStdString();

        // Next leaves the pause and goes on at the next row; Alt+Left back.
        Child<QToolButton>(dlg, "nextButton")->click();
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPlaying);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tarnwick \u2014 2 / %1").arg(marked));
        QTest::keyClick(&dlg, Qt::Key_Left, Qt::AltModifier);
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), 0);
        pause->click();
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPaused);
        QTest::keyClick(&dlg, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPlaying);
        EXPECT_TRUE(pause->toolTip().contains(QStringLiteral("一時停止")));
        // The keyboard's Play key pauses what plays and resumes it.
        QTest::keyClick(&dlg, Qt::Key_MediaPlay);
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPaused);
        QTest::keyClick(&dlg, Qt::Key_MediaPlay);
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kPlaying);
        EXPECT_TRUE(dlg.Walker().walking);
    });
}

TEST_F(DialogTest, KeysStopTheWalkCloseTheWindowMoveInOrderAndOpenTheMenu)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        auto* slider = Child<QSlider>(dlg, "volumeSlider");
        const QImage unfocused = slider->grab().toImage();
        // Tab walks from the selectors through the list to what plays it;
        // the pause button waits until something plays.
        Child<QComboBox>(dlg, "captureCombo")->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 17; ++i) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            visited << focus->objectName();
            if (focus == slider) {
                EXPECT_NE(slider->grab().toImage(), unfocused) << "the slider shows no focus";
            }
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        EXPECT_EQ(visited.join(QLatin1Char(' ')).toStdString(),
                  "captureCombo itemCombo searchField speakerCombo talkList startButton previousButton nextButton "
                  "replayButton shuffleButton repeatButton playModeCombo volumeSlider voiceVolumeSlider "
                  "evenLoudnessBox talkTextBox captureCombo");

        // Shift+F10 or the menu key in the list: the window's menu, at the
        // current row.
        auto* list = Child<CTalkListView>(dlg, "talkList");
        list->setFocus();
        list->SelectRow(2);
        for (const QKeyCombination keys : {Qt::SHIFT | Qt::Key_F10, QKeyCombination(Qt::Key_Menu)}) {
            // Closing a menu leaves no window active on some platforms.
            dlg.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
            list->setFocus();
            QStringList entries;
            QPoint menuAt;
            bool seen = false;
            // Looked for until it is there: a loaded machine may take a while
            // to show it.
            QTimer look;
            QObject::connect(&look, &QTimer::timeout, [&] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu && !seen) {
                    for (const QAction* action : menu->actions())
                        entries << action->toolTip();
                    menuAt = menu->pos();
                    seen = true;
                    menu->close();
                }
            });
            look.start(20);
            QTest::keyClick(list, keys.key(), keys.keyboardModifiers());
            EXPECT_TRUE(QTest::qWaitFor([&] { return seen; }, 10000));
            look.stop();
            // Its entries' tooltips name their keys: export and About among them.
            const QString tips = entries.join(QLatin1Char('|'));
            EXPECT_TRUE(tips.contains(QStringLiteral(" (Ctrl+E)|")) && tips.endsWith(QStringLiteral(" (F1)")))
                << tips.toStdString();
            EXPECT_TRUE(list->rect().contains(list->mapFromGlobal(menuAt))) << "the menu opens at the list";
        }

        // Escape stops a walk and the window stays; with nothing playing it
        // closes the window.
        Child<QPushButton>(dlg, "startButton")->click();
        ASSERT_NE(dlg.Playback().State(), PlaybackState_T::kStopped);
        QTest::keyClick(list, Qt::Key_Escape);
        // A device that really played the clip tells of its end from the
        // event loop.
        for (int i = 0; i < 400 && dlg.Playback().State() != PlaybackState_T::kStopped; ++i)
            QTest::qWait(5);
        EXPECT_EQ(dlg.Playback().State(), PlaybackState_T::kStopped);
        EXPECT_TRUE(dlg.isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
    });
    // Ctrl+W and Ctrl+Q close it as its close button does: the place kept.
    for (const Qt::Key key : {Qt::Key_W, Qt::Key_Q}) {
        std::string kept;
        Run([&](CTarnwickDlg& dlg, CTarnwickApp&) {
            dlg.TalkRows().SetCurrentRow(5);
            kept = "\nTalkID=" + std::to_string(dlg.TalkRows().RecordAt(5)->talkId);
            dlg.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
            QTest::keyClick(&dlg, key, Qt::ControlModifier);
            EXPECT_FALSE(dlg.isVisible()) << QKeySequence(key).toString().toStdString();
        });
        EXPECT_NE(Settings().find(kept), std::string::npos) << Settings();
    }
}

TEST_F(DialogTest, AFreshSettingsFileOpensInLongMode)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        EXPECT_EQ(Child<QComboBox>(dlg, "playModeCombo")->currentText(), QStringLiteral("Long"));
    }, false);
}

TEST_F(DialogTest, F1OpensTheAboutBoxWithTheIcon)
{
    Run([](CTarnwickDlg& dlg, CTarnwickApp&) {
        // It comes once the window has been painted.
        QTRY_COMPARE(dlg.windowIcon().availableSizes().size(), 6);
        QString name;
        QString rights;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* about = qobject_cast<CAboutDlg*>(w); about && about->isVisible()) {
                    name = about->findChild<QLabel*>(QStringLiteral("about101"))->text();
                    rights = about->findChild<QLabel*>(QStringLiteral("about102"))->text();
                    about->accept();
                }
            }
        });
        dlg.activateWindow();
        QTest::keyClick(&dlg, Qt::Key_F1);
        EXPECT_EQ(name, QStringLiteral("Tarnwick, Version " TARNWICK_VERSION));
        EXPECT_TRUE(rights.contains(QStringLiteral("MIT ライセンス"))) << rights.toStdString();
    });
}

TEST_F(DialogTest, CtrlEExportsTheMarkedLinesShown)
{
    Run([this](CTarnwickDlg& dlg, CTarnwickApp&) {
        auto* field = Child<CSearchField>(dlg, "searchField");
        Type(field, QStringLiteral("1001"));
        const std::size_t shown = dlg.TalkRows().RowCount();
        ASSERT_GT(shown, 1u);
        dlg.TalkRows().SetChecked(0, false);

        // The folder dialog, then the closing message, answered as a user would.
        const std::string out = program / "export";
        std::filesystem::create_directory(out);
        QString message;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible())
                    continue;
                if (auto* files = qobject_cast<QFileDialog*>(w)) {
                    files->setDirectory(QString::fromStdString(out));
                    static_cast<QDialog*>(files)->accept();
                } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    message = box->text();
                    box->accept();
                }
            }
        });
        answer.start(20);
        QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);  // from inside the search field
        answer.stop();

        EXPECT_TRUE(message.startsWith(QStringLiteral("%1 行を %2 に書き出しました。").arg(shown - 1).arg(QString::fromStdString(out))))
            << message.toStdString();
        const std::string csv = test::ReadFileText(out + "/lines.csv");
        EXPECT_EQ(csv.find("\n1001,1,"), std::string::npos);  // unmarked
        EXPECT_NE(csv.find("\n1001,2,"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(out + "/voice/01001_0001.ogg"));
        EXPECT_FALSE(std::filesystem::is_empty(out + "/voice"));
    });
}

// Every file under folder with its bytes, by its path there.
std::map<std::string, std::string> FilesUnder(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = test::ReadFileText(entry.path().string());
    return files;
}

// The export dialog's choices (kept for the next time) give the very files
// that tarnwick-cli's export gives for the same lines.
TEST_F(DialogTest, TheExportsChoicesGiveWhatTheCommandLineGives)
{
    const std::string window = program / "window";
    const std::string line = program / "line";
    Run([&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        dlg.TalkRows().SetAllChecked(false);
        for (std::size_t i = 0; i < 6; ++i)
            dlg.TalkRows().SetChecked(i, true);
        QString message;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible())
                    continue;
                if (auto* files = qobject_cast<QFileDialog*>(w)) {
                    EXPECT_EQ(files->findChild<QComboBox*>(QStringLiteral("exportClips"))->currentIndex(), 0);
                    files->findChild<QCheckBox*>(QStringLiteral("exportOneFile"))->setChecked(true);
                    files->findChild<QComboBox*>(QStringLiteral("exportOneFileFormat"))->setCurrentIndex(2);  // flac
                    files->setDirectory(QString::fromStdString(program.Path()));
                    files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("window"));
                    static_cast<QDialog*>(files)->accept();
                } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    message = box->text();
                    box->accept();
                }
            }
        });
        answer.start(20);
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_E, Qt::ControlModifier);
        answer.stop();
        EXPECT_TRUE(message.contains(QStringLiteral("walk.flac"))) << message.toStdString();

        // What the command line does with the same lines and choices.
        CArchiveSet reader;
        reader.ReadThrough(app.Archives());
        const std::vector<const CVeyQelTalkElm*> rows = MarkedRows(dlg.TalkRows());
        CLineExport exporter(reader, line, rows, PlayMode_T::kLong, {.album = dlg.Selection().AlbumName()});
        Failure_T why;
        ASSERT_TRUE(exporter.Begin(why)) << why.Describe();
        ASSERT_TRUE(exporter.Run(2, {}));
        ASSERT_TRUE(exporter.Finish());
        CWalkFileExport walk(reader, rows, PlayMode_T::kLong, dlg.Selection().AlbumName());
        ASSERT_TRUE(walk.Write(line, reader.GameFolder(), "walk.flac", 2, {}, why)) << why.Describe();
    });
    EXPECT_EQ(FilesUnder(window), FilesUnder(line));
    EXPECT_TRUE(std::filesystem::exists(window + "/playlist.m3u8"));
    EXPECT_TRUE(std::filesystem::exists(window + "/walk.lrc"));
    EXPECT_NE(Settings().find("ExportOneFile=flac"), std::string::npos) << Settings();
    // The next export's dialog starts with them.
    Run([&](CTarnwickDlg&, CTarnwickApp& app) { EXPECT_EQ(app.Settings().exportChoices.oneFile, "flac"); }, true,
        false);
}

// A name typed in the folder dialog for a folder that does not exist yet
// makes it, beside folders that do; one in the game folder makes nothing.
TEST_F(DialogTest, AFolderNameTypedForTheExportIsMade)
{
    const struct {
        std::string typed;
        bool made;
    } cases[] = {
        {"new-export", true},
        {program / "absolute-export", true},
        {test::DemoGameFolder() + "/export", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Run([&](CTarnwickDlg& dlg, CTarnwickApp&) {
            QStringList messages;
            bool typed = false;
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (!w->isVisible())
                        continue;
                    if (auto* files = qobject_cast<QFileDialog*>(w); files && !std::exchange(typed, true)) {
                        files->setDirectory(QString::fromStdString(program.Path()));
                        files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                            ->setText(QString::fromStdString(c.typed));
                        static_cast<QDialog*>(files)->accept();
                    } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                        messages << box->text();
                        box->accept();
                    }
                }
            });
            answer.start(20);
            dlg.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
            QTest::keyClick(&dlg, Qt::Key_E, Qt::ControlModifier);
            answer.stop();
            const std::string folder = c.typed.starts_with('/') ? c.typed : program / c.typed;
            EXPECT_EQ(std::filesystem::exists(folder + "/lines.csv"), c.made);
            EXPECT_EQ(std::filesystem::exists(folder), c.made);
            ASSERT_EQ(messages.size(), 1);
            EXPECT_EQ(messages.front().contains(QStringLiteral("行を")), c.made) << messages.front().toStdString();
        });
    }
}

TEST_F(DialogTest, AnExportWhereAFileFailsEndsWithAWarning)
{
    Run([this](CTarnwickDlg& dlg, CTarnwickApp& app) {
        const std::vector<const CVeyQelTalkElm*> rows = MarkedRows(dlg.TalkRows());
        ASSERT_FALSE(rows.empty());
        const std::string out = program / "failing";
        const std::string clip = rows[0]->VoiceEntryName();
        // A folder where the first clip goes: that file fails, the rest go on.
        std::filesystem::create_directories(out + "/voice/" + clip.substr(0, clip.rfind('.')) + ".ogg");
        const LineExportOutcome_T outcome =
            ExportLinesInto(&dlg, app, rows, PlayMode_T::kLong, QString::fromStdString(out), {}, "Tarnwick");
        EXPECT_TRUE(outcome.warning);
        EXPECT_TRUE(outcome.message.contains(QStringLiteral("1 個のファイルを書き込めませんでした"))) << outcome.message.toStdString();
    });
}

// A signal, Ctrl+Q or the desktop's Quit ends the window from any dialog
// within a second: the dialog goes as by Escape (an export as by Cancel),
// nothing more is asked or shown, and the window closes as by its close
// button. An export cut short keeps the earlier one's files, listed.
TEST_F(DialogTest, QuitEndsTheWindowFromAnyDialog)
{
    const std::string other = program / "other";
    const std::string exported = program / "export";
    program.Write("other/notes.txt", "mine");
    const auto raise = [](int signal) { return [signal](CTarnwickApp&, QWidget*) { std::raise(signal); }; };
    const auto ctrlQ = [](CTarnwickApp&, QWidget* w) { QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier); };
    const auto quit = [](CTarnwickApp& app, QWidget*) { QuitFromAnyState(app); };
    const auto visible = [](auto* w) { return w && w->isVisible(); };
    const struct {
        const char* name;
        QKeyCombination keys;  // that open the dialog
        std::string folder;    // the folder dialog's answer, when it is not the one quit
        std::function<bool(QWidget*)> isTheDialog;
        std::function<void(CTarnwickApp&, QWidget*)> end;
    } cases[] = {
        {"SIGTERM in the About box", QKeyCombination(Qt::Key_F1), "",
         [&](QWidget* w) { return visible(qobject_cast<CAboutDlg*>(w)); }, raise(SIGTERM)},
        {"Ctrl+Q in the About box", QKeyCombination(Qt::Key_F1), "",
         [&](QWidget* w) { return visible(qobject_cast<CAboutDlg*>(w)); }, ctrlQ},
        {"SIGHUP in the folder dialog", Qt::CTRL | Qt::Key_E, "",
         [&](QWidget* w) { return visible(qobject_cast<QFileDialog*>(w)); }, raise(SIGHUP)},
        {"Quit in the folder dialog", Qt::CTRL | Qt::Key_E, "",
         [&](QWidget* w) { return visible(qobject_cast<QFileDialog*>(w)); }, quit},
        {"SIGINT at the question", Qt::CTRL | Qt::Key_E, other,
         [&](QWidget* w) { return visible(qobject_cast<QMessageBox*>(w)); }, raise(SIGINT)},
        // Before the progress is shown, or while it is.
        {"SIGTERM during an export", Qt::CTRL | Qt::Key_E, exported,
         [&](QWidget* w) { return qobject_cast<QProgressDialog*>(w) != nullptr; }, raise(SIGTERM)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool again = c.folder == exported;
        Run([&](CTarnwickDlg& dlg, CTarnwickApp& app) {
            const CQuitSignals quitSignals(app);
            // An earlier export the one cut short goes over, made first.
            std::set<std::string> earlier;
            bool armed = !again;
            QString message;
            bool ended = false;
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (!ended && armed && c.isTheDialog(w)) {
                        ended = true;
                        c.end(app, w);
                        return;
                    }
                    if (!w->isVisible())
                        continue;
                    if (auto* files = qobject_cast<QFileDialog*>(w); files && !c.folder.empty()) {
                        files->setDirectory(QString::fromStdString(c.folder));
                        static_cast<QDialog*>(files)->accept();
                    } else if (auto* box = qobject_cast<QMessageBox*>(w); box && !armed) {
                        box->accept();  // the earlier export's
                    } else if (box) {
                        message = box->text();
                    }
                }
            });
            answer.start(10);
            if (again) {
                std::filesystem::create_directory(exported);
                dlg.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
                QTest::keyClick(&dlg, Qt::Key_E, Qt::ControlModifier);
                earlier = test::PresentExportFiles(exported);
                ASSERT_FALSE(earlier.empty());
                armed = true;
            }
            dlg.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
            QTest::keyClick(&dlg, c.keys.key(), c.keys.keyboardModifiers());
            EXPECT_TRUE(test::WaitUntil([&] { return !dlg.isVisible(); }, 1000));
            answer.stop();
            EXPECT_TRUE(ended);
            EXPECT_TRUE(app.QuitRequested());
            EXPECT_EQ(message.toStdString(), "");
            EXPECT_EQ(test::ReadFileText(other + "/notes.txt"), "mine");
            if (again) {
                const std::set<std::string> present = test::PresentExportFiles(exported);
                EXPECT_TRUE(std::ranges::includes(present, earlier));
                EXPECT_EQ(test::ListedExportFiles(exported), present);
            } else {
                EXPECT_FALSE(std::filesystem::exists(exported + "/lines.csv"));
            }
        });
        std::filesystem::remove_all(exported);
    }
}

}  // namespace
}  // namespace tarnwick
