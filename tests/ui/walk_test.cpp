// Walks through the demo game in the real window with the real timers,
// faces, clips and music; what came out of the sound server's null sink is
// checked where a server runs (scripts/sound-server), and the walk itself
// everywhere (without a server every line is silent and moves on after its
// wait).
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <vector>

#include <gtest/gtest.h>

#include "app/tarnwick_app.h"
#include "support/demo_game.h"
#include "support/program_window.h"
#include "support/sink_recording.h"
#include "ui/face_frame.h"
#include "ui/game_text.h"
#include "ui/talk_list_view.h"
#include "ui/tarnwick_dlg.h"

namespace tarnwick {
namespace {

using namespace test;

// What the window showed for each line the walk played.
struct Shown_T {
    int row;
    QString cast;
    QString mode;
    QString wait;
    QString text;
};

class WalkTest : public ::testing::Test {
protected:
    // Marks exactly these rows of the list.
    static void MarkOnly(CTarnwickDlg& dlg, const std::vector<int>& rows)
    {
        dlg.TalkRows().SetAllChecked(false);
        for (const int r : rows)
            dlg.TalkRows().SetChecked(static_cast<std::size_t>(r), true);
    }
    // Rows of the list: the first `count` whose line has (or lacks) a clip
    // in the short archive and whose voice kind is (or is not) 0.
    static std::vector<int> FindRows(CTarnwickDlg& dlg, CTarnwickApp& app, bool voiced, std::size_t count,
                                     int after = -1)
    {
        std::vector<int> rows;
        for (std::size_t i = static_cast<std::size_t>(after + 1); i < dlg.TalkRows().RowCount(); ++i) {
            const CVeyQelTalkElm& r = *dlg.TalkRows().RecordAt(i);
            const bool hasClip = app.Archives().FindEntry(kShortVoiceArchive, r.VoiceEntryName()) != 0;
            if ((r.voiceKind != 0 && hasClip) == voiced && (voiced || r.voiceKind == 0)) {
                rows.push_back(static_cast<int>(i));
                if (rows.size() == count)
                    break;
            }
        }
        return rows;
    }
    // Records what the window shows whenever the walk moves to a new line.
    static std::vector<Shown_T> Walk(CTarnwickDlg& dlg, int timeoutMs)
    {
        std::vector<Shown_T> shown;
        QTimer sampler;
        int lastRow = -2;
        QString lastMode;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            auto* mode = dlg.findChild<QLabel*>(QStringLiteral("modeCaption"));
            const int row = dlg.TalkRows().CurrentRow();
            if (row != lastRow || mode->text() != lastMode) {
                lastRow = row;
                lastMode = mode->text();
                if (!shown.empty() && shown.back().row == row)
                    shown.pop_back();  // the same line, its captions now complete
                shown.push_back({row, dlg.findChild<QLabel*>(QStringLiteral("castCaption"))->text(), mode->text(),
                                 dlg.findChild<QLabel*>(QStringLiteral("waitCaption"))->text(),
                                 dlg.findChild<QPlainTextEdit*>(QStringLiteral("talkTextBox"))->toPlainText()});
            }
        });
        sampler.start(5);
        dlg.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
        EXPECT_TRUE(WaitUntil([&] { return !dlg.Walker().walking; }, timeoutMs)) << "the walk did not end";
        return shown;
    }

    TempFolder program;
};

TEST_F(WalkTest, StartWalksTheMarkedLinesInOrderWithTheirCaptions)
{
    std::optional<SinkRecording> recording = SinkRecording::Find();
    const bool sound = HaveAudioOutput() && recording.has_value();
    RunProgramWindow(program, {.settings = "PlayMode=1\n"}, [&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        const std::vector<int> voiced = FindRows(dlg, app, true, 2);
        const std::vector<int> silent = FindRows(dlg, app, false, 1, voiced[0]);
        ASSERT_EQ(voiced.size(), 2u);
        ASSERT_EQ(silent.size(), 1u);
        std::vector<int> rows = {voiced[0], silent[0], voiced[1]};
        std::sort(rows.begin(), rows.end());
        MarkOnly(dlg, rows);
        if (recording)
            recording->Mark();

        const std::vector<Shown_T> shown = Walk(dlg, 20000);
        ASSERT_EQ(shown.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            const CVeyQelTalkElm& line = *dlg.TalkRows().RecordAt(static_cast<std::size_t>(rows[i]));
            EXPECT_EQ(shown[i].row, rows[i]);
            EXPECT_EQ(shown[i].cast, GameText(line.castName()));
            EXPECT_EQ(shown[i].wait, QString::number(line.waitTenths));
            EXPECT_FALSE(shown[i].text.contains(QStringLiteral("$R")));
            const bool isVoiced = rows[i] != silent[0];
            EXPECT_EQ(shown[i].mode, isVoiced && sound ? QStringLiteral("Short") : QStringLiteral("Silent"))
                << "row " << rows[i];
        }
        EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("startButton"))->text(), QStringLiteral("再生"));
        EXPECT_TRUE(dlg.findChild<CFaceFrameWidget*>(QStringLiteral("faceFrame"))->HasFrame());
        QDir().mkpath(QString::fromStdString(ArtifactsFolder()));
        dlg.grab().save(QString::fromStdString(ArtifactsFolder() + "/tarnwick-after-walk.png"));

        if (sound) {
            // One sound per voiced line: exactly one long quiet stretch (the
            // pause after the first clip and the silent line's wait) parts
            // the sound of the first clip from the second's.
            const auto runs = LoudRuns(WindowPeaks(recording->Since(), 2, 44100), 0.3);
            ASSERT_GE(runs.size(), 2u);
            int longGaps = 0;
            for (std::size_t i = 1; i < runs.size(); ++i)
                longGaps += runs[i].first - runs[i - 1].second > 1.0 ? 1 : 0;
            EXPECT_EQ(longGaps, 1);
        }
    });
}

TEST_F(WalkTest, StopEndsTheWalkAndTheMusic)
{
    RunProgramWindow(program, {}, [&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        // The first capture group gives its lines music numbers.
        auto* capture = dlg.findChild<QComboBox*>(QStringLiteral("captureCombo"));
        capture->setFocus();
        QTest::keyClick(capture, Qt::Key_Down);
        ASSERT_GT(dlg.TalkRows().RowCount(), 0u);
        auto* start = dlg.findChild<QPushButton*>(QStringLiteral("startButton"));
        start->click();
        ASSERT_TRUE(dlg.Walker().walking);
        EXPECT_EQ(start->text(), QStringLiteral("停止"));
        const int firstMusic = dlg.TalkRows().RecordAt(0)->bgmNo;
        EXPECT_EQ(dlg.Walker().currentBgmNo, firstMusic);
        if (firstMusic != 0 && HaveAudioOutput()) {
            EXPECT_TRUE(app.BgmPlayer().IsOpen());
        }
        QTest::qWait(300);
        start->click();
        EXPECT_FALSE(dlg.Walker().walking);
        EXPECT_EQ(start->text(), QStringLiteral("再生"));
        EXPECT_EQ(dlg.Walker().currentBgmNo, 0);
        if (app.BgmPlayer().IsOpen()) {
            EXPECT_NE(app.BgmPlayer().Media()->Poll(), MediaPoll::kRunning);
        }
        // Nothing more plays after a stop.
        const int row = dlg.TalkRows().CurrentRow();
        QTest::qWait(1500);
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), row);
    });
}

TEST_F(WalkTest, ChoosingAnotherGroupEndsTheWalkAtItsNextStep)
{
    RunProgramWindow(program, {.settings = "PlayMode=0\n"}, [&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        const std::vector<int> silent = FindRows(dlg, app, false, 3);
        ASSERT_EQ(silent.size(), 3u);
        MarkOnly(dlg, silent);
        dlg.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
        ASSERT_TRUE(dlg.Walker().walking);
        auto* capture = dlg.findChild<QComboBox*>(QStringLiteral("captureCombo"));
        capture->setFocus();
        QTest::keyClick(capture, Qt::Key_Down);
        EXPECT_EQ(dlg.TalkRows().CurrentRow(), -1);
        EXPECT_TRUE(WaitUntil([&] { return !dlg.Walker().walking; }, 10000));
    });
}

TEST_F(WalkTest, DoubleClickDuringAClipPlaysTheClickedLine)
{
    std::optional<SinkRecording> recording = SinkRecording::Find();
    if (!HaveAudioOutput() || !recording)
        GTEST_SKIP() << "no sound server: eval \"$(scripts/sound-server start)\"";
    RunProgramWindow(program, {.settings = "PlayMode=2\n"}, [&](CTarnwickDlg& dlg, CTarnwickApp& app) {
        const std::vector<int> voiced = FindRows(dlg, app, true, 2);
        ASSERT_EQ(voiced.size(), 2u);
        auto* list = dlg.findChild<CTalkListView*>(QStringLiteral("talkList"));
        const auto doubleClick = [&](int row) {
            list->scrollTo(list->model()->index(row, 1));
            const QPoint at = list->visualRect(list->model()->index(row, 1)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick(voiced[0]);
        ASSERT_TRUE(WaitUntil([&] { return app.Voice().IsPlaying(); }, 2000));
        QTest::qWait(300);
        doubleClick(voiced[1]);
        // The first clip is cut and the clicked line plays from its end.
        EXPECT_TRUE(WaitUntil([&] { return dlg.findChild<QLabel*>(QStringLiteral("castCaption"))->text() ==
                                           GameText(dlg.TalkRows().RecordAt(voiced[1])->castName()); },
                              2000));
        EXPECT_TRUE(app.Voice().IsPlaying());
        EXPECT_FALSE(dlg.Walker().walking);
        EXPECT_EQ(dlg.Walker().currentBgmNo, 0);  // a single line starts no music
    });
}

}  // namespace
}  // namespace tarnwick
