#include "ui/tarnwick_dlg.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include "app/tarnwick_app.h"
#include "host/cp932_text.h"
#include "talk/mark_ranges.h"
#include "talk/selection_lists.h"
#include "ui/about_dlg.h"
#include "ui/dialog_units.h"
#include "ui/export_progress.h"
#include "ui/face_frame.h"
#include "ui/game_text.h"
#include "ui/qt_startup_ui.h"
#include "ui/qt_wave_device.h"
#include "ui/res/resources.h"
#include "ui/search_field.h"
#include "ui/selector_combo.h"
#include "ui/talk_list_view.h"
#include "ui/talk_table_model.h"

namespace tarnwick {

CTarnwickDlg::CTarnwickDlg(CTarnwickApp& application, QWidget* parent)
    : CTarnwickDlg(application, ControlsOnly_T{}, parent)
{
    OnInitDialog();
}

CTarnwickDlg::CTarnwickDlg(CTarnwickApp& application, ControlsOnly_T, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      app(application), appIcon(AppIcon()), waveDevice(std::make_unique<CQtWaveDevice>()),
      // Playback takes the device's end of a clip, which comes queued from
      // the event loop, never from inside a device call, so it may close
      // the clip and start the next.
      playback(talkRows, {*waveDevice, application.Voice(), application.Archives(), application.Faces(),
                          application.Music(), nextLineTimer})
{
    playback.AddView(*this);
    setObjectName(QStringLiteral("CTarnwickDlg"));
    setWindowTitle(QString::fromUtf8(kMainDialogCaption));
    setFont(DialogFont());
    CreateControls();
}

CTarnwickDlg::~CTarnwickDlg()
{
    // The clip's device goes with the window: nothing may play from it after.
    tarnwick::CloseVoiceClip(app.Voice());
}

const QAbstractItemModel* CTarnwickDlg::TalkTable() const
{
    return talkModel.get();
}

void CTarnwickDlg::CreateControls()
{
    const CDialogUnits du(font());
    layoutSize = QSize(du.X(kMainDialogWidth), du.Y(kMainDialogHeight));
    resize(layoutSize);
    // Created in layout order, which Qt takes as the tab order.
    for (const DialogControl_T& c : kMainDialogControls) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.id) {
        case kIdCastCaption: w = castCaption = new QLabel(text, this); break;
        case kIdModeCaption: w = modeCaption = new QLabel(text, this); break;
        case kIdWaitCaption: w = waitCaption = new QLabel(text, this); break;
        case kIdFaceFrame: w = faceFrame = new CFaceFrameWidget(this); break;
        case kIdTalkTextBox:
            talkTextBox = new QPlainTextEdit(this);
            talkTextBox->setReadOnly(true);
            talkTextBox->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines scroll sideways
            talkTextBox->setTabChangesFocus(true);
            w = talkTextBox;
            break;
        case kIdPlayModeCombo: w = playModeCombo = new QComboBox(this); break;
        case kIdVolumeSlider: w = volumeSlider = new QSlider(Qt::Horizontal, this); break;
        case kIdStart:
            startButton = new QPushButton(text, this);
            startButton->setAutoDefault(false);
            w = startButton;
            break;
        case kIdCaptureCombo: w = captureCombo = new QComboBox(this); break;
        case kIdItemCombo: w = itemCombo = new QComboBox(this); break;
        case kIdTalkList: w = talkList = new CTalkListView(this); break;
        default: w = new QLabel(text, this); break;
        }
        QRect r = du.Rect(c);
        // A drop-down's layout height is that of its open list; the
        // closed control is as tall as its font needs.
        if (c.kind == ControlKind_T::kCombo)
            r.setHeight(w->sizeHint().height());
        // A fixed label whose text is wider in this font than in the one the
        // layout was drawn with may use the free room to its right.
        if (c.id < 0)
            r.setWidth(std::min(std::max(r.width(), w->sizeHint().width()), layoutSize.width() - r.x()));
        w->setGeometry(r);
    }
    CreatePlayerButtons(du);
    // The search field takes the Start row's free width; its count sits at
    // the row's right end.
    searchField = new CSearchField(this);
    searchField->setPlaceholderText(QString::fromUtf8(kSearchPlaceholder));
    searchLayout = du.Rect(kSearchFieldLayout);
    searchLayout.setHeight(std::max(searchLayout.height(), searchField->sizeHint().height()));
    searchField->setGeometry(searchLayout);
    searchCount = new QLabel(this);
    searchCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    countLayout = du.Rect(kSearchCountLayout);
    countLayout.moveTop(searchLayout.top());
    countLayout.setHeight(searchLayout.height());
    searchCount->setGeometry(countLayout);
    listLayout = talkList->geometry();
    searchField->setObjectName(QStringLiteral("searchField"));
    searchCount->setObjectName(QStringLiteral("searchCount"));
    faceFrame->setObjectName(QStringLiteral("faceFrame"));
    talkTextBox->setObjectName(QStringLiteral("talkTextBox"));
    castCaption->setObjectName(QStringLiteral("castCaption"));
    waitCaption->setObjectName(QStringLiteral("waitCaption"));
    modeCaption->setObjectName(QStringLiteral("modeCaption"));
    talkList->setObjectName(QStringLiteral("talkList"));
    captureCombo->setObjectName(QStringLiteral("captureCombo"));
    itemCombo->setObjectName(QStringLiteral("itemCombo"));
    playModeCombo->setObjectName(QStringLiteral("playModeCombo"));
    volumeSlider->setObjectName(QStringLiteral("volumeSlider"));
    startButton->setObjectName(QStringLiteral("startButton"));

    talkModel = std::make_unique<CTalkTableModel>(talkRows);
    talkList->setModel(talkModel.get());
    captureAdapter = std::make_unique<CSelectorCombo>(captureChoices, captureCombo);
    itemAdapter = std::make_unique<CSelectorCombo>(itemChoices, itemCombo);
}

void CTarnwickDlg::CreatePlayerButtons(const CDialogUnits& du)
{
    const auto make = [&](int index, QStyle::StandardPixmap icon, const QString& tip, const char* name) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(du.Rect(kPlayerButtonLayout).translated(du.X(index * kPlayerButtonStep), 0));
        return b;
    };
    previousButton = make(0, QStyle::SP_MediaSkipBackward, tr("Previous line (Alt+Left)"), "previousButton");
    pauseButton = make(1, QStyle::SP_MediaPause, tr("Pause (Ctrl+P)"), "pauseButton");
    nextButton = make(2, QStyle::SP_MediaSkipForward, tr("Next line (Alt+Right)"), "nextButton");
    replayButton = make(3, QStyle::SP_BrowserReload, tr("Replay the line (Ctrl+R)"), "replayButton");
    pauseButton->setEnabled(false);  // until something plays
}

void CTarnwickDlg::CreatePlayerShortcuts()
{
    const auto bind = [this](const QKeySequence& keys, auto command) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, command);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { TogglePause(); });
    bind(QKeySequence(Qt::Key_MediaTogglePlayPause), [this] { playback.PlayPause(); });
    bind(QKeySequence(Qt::Key_MediaPlay), [this] { playback.Play(); });
    bind(QKeySequence(Qt::Key_MediaPause), [this] { playback.Pause(); });
    bind(QKeySequence(Qt::Key_MediaStop), [this] { playback.Stop(); });
    bind(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { playback.Next(); });
    bind(QKeySequence(Qt::Key_MediaNext), [this] { playback.Next(); });
    bind(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { playback.Previous(); });
    bind(QKeySequence(Qt::Key_MediaPrevious), [this] { playback.Previous(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { playback.Replay(); });
    connect(previousButton, &QToolButton::clicked, this, [this] { playback.Previous(); });
    connect(pauseButton, &QToolButton::clicked, this, &CTarnwickDlg::TogglePause);
    connect(nextButton, &QToolButton::clicked, this, [this] { playback.Next(); });
    connect(replayButton, &QToolButton::clicked, this, [this] { playback.Replay(); });
}

void CTarnwickDlg::TogglePause()
{
    if (playback.State() == PlaybackState_T::kPaused)
        playback.Resume();
    else
        playback.Pause();
}

void CTarnwickDlg::OnInitDialog()
{
    // The About item where a Linux user finds it: the window's context menu
    // and F1 (the window manager's own menu cannot take items).
    auto* about = new QShortcut(QKeySequence::HelpContents, this);
    connect(about, &QShortcut::activated, this, &CTarnwickDlg::OnAbout);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        searchField->setFocus(Qt::ShortcutFocusReason);
        searchField->selectAll();
    });
    auto* exportMarked = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(exportMarked, &QShortcut::activated, this, &CTarnwickDlg::OnExportMarked);
    CreatePlayerShortcuts();
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, &CTarnwickDlg::UndoMarks);
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(redo, &QShortcut::activated, this, &CTarnwickDlg::RedoMarks);
    setWindowIcon(appIcon);

    sx = static_cast<float>(logicalDpiX()) / 96.0f;
    sy = static_cast<float>(logicalDpiY()) / 96.0f;
    faceFrame->resize(6 + static_cast<int>(90 * sx), 6 + static_cast<int>(90 * sy));
    playback.SetFaceFrameSize(faceFrame->width(), faceFrame->height());

    QHeaderView* header = talkList->header();
    header->setMinimumSectionSize(1);
    header->resizeSection(0, static_cast<int>(sx * 80));
    header->resizeSection(1, static_cast<int>(sx * 160));
    header->resizeSection(2, static_cast<int>(sx * 400));

    // Drop-down heights: the whole control, edit part and list together.
    const auto setDropHeight = [](QComboBox* combo, int height) {
        const int row = std::max(1, combo->fontMetrics().height() + 4);
        combo->setMaxVisibleItems(std::max(1, (height - combo->height()) / row));
    };
    setDropHeight(captureCombo, static_cast<int>(sy * 300));
    FillCaptureCombo(captureChoices, app.Talk());
    RefreshTalkList(captureChoices, talkRows, itemChoices, app.Talk());
    setDropHeight(itemCombo, static_cast<int>(sy * 300));

    setDropHeight(playModeCombo, static_cast<int>(sy * 100));
    playModeCombo->clear();
    playModeCombo->addItems({QStringLiteral("Default"), QStringLiteral("Short"), QStringLiteral("Long")});
    playModeCombo->setCurrentIndex(static_cast<int>(app.Settings().playMode));
    playback.SetPlayMode(PlayMode());
    playback.SetMusicEnabled(app.Settings().enableBgm);

    volumeSlider->setRange(-10000, 0);
    volumeSlider->setTickInterval(1000);
    volumeSlider->setTickPosition(QSlider::TicksBothSides);
    volumeSlider->setPageStep(1000);
    volumeSlider->setValue(app.Settings().volumeBgm);

    connect(captureAdapter.get(), &CSelectorCombo::Chosen, this, &CTarnwickDlg::OnCaptureChanged);
    connect(itemAdapter.get(), &CSelectorCombo::Chosen, this, &CTarnwickDlg::OnItemChanged);
    connect(playModeCombo, &QComboBox::activated, this, &CTarnwickDlg::OnPlayModeChanged);
    connect(volumeSlider, &QSlider::valueChanged, this, &CTarnwickDlg::OnHScroll);
    connect(talkList, &CTalkListView::SelectedRowChanged, this, [this](int row) { talkRows.SetCurrentRow(row); });
    connect(talkModel.get(), &CTalkTableModel::CurrentRowChanged, talkList, &CTalkListView::SelectRow);
    connect(startButton, &QPushButton::clicked, this, [this] { playback.Start(); });
    connect(talkList, &CTalkListView::RowDoubleClicked, this, [this](int row) { playback.PlayRow(row); });
    connect(talkModel.get(), &CTalkTableModel::CurrentRowChanged, this, &CTarnwickDlg::UpdateTitle);
    connect(talkModel.get(), &CTalkTableModel::MarksEdited, this, &CTarnwickDlg::CommitMarks);
    connect(talkModel.get(), &QAbstractItemModel::dataChanged, this, &CTarnwickDlg::UpdateCount);
    connect(talkModel.get(), &QAbstractItemModel::modelReset, this, &CTarnwickDlg::UpdateCount);
    connect(talkList, &CTalkListView::CopyRequested, this, &CTarnwickDlg::CopyRows);
    connect(searchField, &QLineEdit::textChanged, this, &CTarnwickDlg::OnSearchChanged);
    // Folding every line for the search takes a few tens of milliseconds on
    // a full game: done when the field is entered, so typing never waits.
    connect(searchField, &CSearchField::Entered, this, [this] {
        const CVeyQelTalk& talk = app.Talk();
        for (std::size_t i = 0; i < talk.GetCount(); ++i)
            search.Prepare(*talk.GetAt(i));
    });

    RestorePlace();
    FitToScreen();

    connect(&nextLineTimer.Timer(), &QTimer::timeout, this, [this] { playback.OnNextLineTimer(); });
    connect(&musicWatchTimer, &QTimer::timeout, this, [this] { playback.OnMusicWatchTimer(); });
    musicWatchTimer.start(1000);
}

void CTarnwickDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* exportAction =
        menu.addAction(QString::fromUtf8(kExportMarkedMenu), this, &CTarnwickDlg::OnExportMarked);
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    menu.addAction(QString::fromUtf8(kChooseGameMenu), this, &CTarnwickDlg::OnChooseGameFolder);
    menu.addSeparator();
    QAction* undo = menu.addAction(tr("Undo marks"), this, &CTarnwickDlg::UndoMarks);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setEnabled(markHistory.CanUndo());
    QAction* redo = menu.addAction(tr("Redo marks"), this, &CTarnwickDlg::RedoMarks);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redo->setEnabled(markHistory.CanRedo());
    QAction* copy = menu.addAction(tr("Copy the line"), this, &CTarnwickDlg::CopyRows);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(talkList->SelectedRow() >= 0);
    menu.addSeparator();
    const bool paused = playback.State() == PlaybackState_T::kPaused;
    QAction* pause = menu.addAction(paused ? tr("Resume") : tr("Pause"), this, &CTarnwickDlg::TogglePause);
    pause->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    pause->setEnabled(playback.State() != PlaybackState_T::kStopped);
    menu.addAction(tr("Next line"), this, [this] { playback.Next(); })
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    menu.addAction(tr("Previous line"), this, [this] { playback.Previous(); })
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    menu.addAction(tr("Replay the line"), this, [this] { playback.Replay(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    menu.addSeparator();
    menu.addAction(QString::fromUtf8(kStringAboutMenu), this, &CTarnwickDlg::OnAbout);
    menu.exec(event->globalPos());
}

void CTarnwickDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CTarnwickDlg::OnExportMarked()
{
    // The marked lines the search leaves shown.
    RunLineExport(this, app, MarkedRows(talkRows), PlayMode());
}

void CTarnwickDlg::OnChooseGameFolder()
{
    CQtStartupUi picker;
    const std::optional<std::string> chosen = picker.AskForFile(app.GameFolderPickerRequest());
    if (!chosen)
        return;
    Failure_T why;
    if (!app.ChooseGameFolder(*chosen, why)) {
        QMessageBox::warning(this, QString::fromUtf8(kMainDialogCaption),
                             QStringLiteral("The game does not open there:\n%1")
                                 .arg(QString::fromLocal8Bit(why.Describe())));
        return;
    }
    // The running archives stay as they are: the program starts again on
    // the new folder once this window has closed and written its settings.
    app.RequestRestart();
    accept();
}

void CTarnwickDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!talkList)
        return;
    const int dw = width() - layoutSize.width();
    const int dh = height() - layoutSize.height();
    // On a screen smaller than the layout the list gives up its height
    // first, down to a few rows.
    const int minListHeight = std::min(listLayout.height(), 4 * talkList->fontMetrics().height());
    talkList->setGeometry(listLayout.x(), listLayout.y(), std::max(1, listLayout.width() + dw),
                          std::max(minListHeight, listLayout.height() + dh));
    searchField->setGeometry(searchLayout.adjusted(0, 0, dw, 0));
    searchCount->setGeometry(countLayout.translated(dw, 0));
}

void CTarnwickDlg::FitToScreen()
{
    const QScreen* s = screen();
    if (!s)
        return;
    // Room for the window manager's frame around the client area.
    const QSize room = s->availableGeometry().size() - QSize(16, 48);
    setMinimumSize(layoutSize.boundedTo(room).expandedTo(QSize(1, 1)));
    QSize wanted = layoutSize;
    const WindowPlace_T& place = app.Settings().place;
    if (place.width > 0 && place.height > 0)
        wanted = QSize(place.width, place.height).expandedTo(layoutSize);
    resize(wanted.boundedTo(room).expandedTo(minimumSize()));
    openedSize = size();
    if (!place.hasPosition)
        return;
    std::vector<ScreenArea_T> screens;
    for (const QScreen* each : QGuiApplication::screens()) {
        const QRect a = each->availableGeometry();
        screens.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    if (FitsOnScreens(place.x, place.y, width(), height(), screens))
        move(place.x, place.y);
}

void CTarnwickDlg::RestorePlace()
{
    const WindowPlace_T& place = app.Settings().place;
    RestoreSelection(place, captureChoices, itemChoices, talkRows, app.Talk());
    if (const std::optional<std::string>& marks = app.Settings().keptMarks)
        ApplyMarkRanges(*marks, talkRows);
    markHistory.Reset(CurrentMarkState(captureChoices, itemChoices, talkRows));
    searchField->setText(QString::fromUtf8(place.search));
    ApplySearch();
    RestoreRow(place, talkRows);
}

void CTarnwickDlg::OnSearchChanged()
{
    ApplySearch();
}

void CTarnwickDlg::ApplySearch()
{
    search.SetQuery(searchField->text().toStdString());
    // The line at the top of the list, to stay in sight when the search
    // hides the selected one.
    std::optional<std::size_t> topLine;
    if (const QModelIndex top = talkList->indexAt(QPoint(0, 0)); top.isValid())
        topLine = talkRows.ListIndexOf(static_cast<std::size_t>(top.row()));
    if (search.IsEmpty()) {
        // A list just filled shows every row already: no second reset.
        if (talkRows.RowCount() != talkRows.TotalRowCount())
            talkRows.ShowAll();
    } else
        talkRows.Filter([this](const CVeyQelTalkElm* r) { return search.Matches(*r); });
    // A shown selected row has been scrolled into view already.
    if (talkRows.CurrentRow() < 0 && topLine) {
        if (const int row = talkRows.ShownRowNear(*topLine); row >= 0)
            talkList->scrollTo(talkModel->index(row, 0), QAbstractItemView::PositionAtTop);
    }
    UpdateCount();
}

void CTarnwickDlg::UpdateCount()
{
    const QLocale numbers(QLocale::English);  // "4,301" in either language
    searchCount->setText(tr("%1 / %2 · %3 marked")
                             .arg(numbers.toString(static_cast<qulonglong>(talkRows.RowCount())),
                                  numbers.toString(static_cast<qulonglong>(talkRows.TotalRowCount())),
                                  numbers.toString(static_cast<qulonglong>(talkRows.MarkedShownCount()))));
}

void CTarnwickDlg::CommitMarks()
{
    markHistory.Commit(CurrentMarkState(captureChoices, itemChoices, talkRows));
}

void CTarnwickDlg::ApplyMarks(const MarkState_T& state)
{
    const int group = captureChoices.SelectedIndex();
    ApplyMarkState(state, captureChoices, itemChoices, talkRows, app.Talk());
    if (captureChoices.SelectedIndex() != group)
        ApplySearch();
}

bool CTarnwickDlg::UndoMarks()
{
    const std::optional<MarkState_T> state = markHistory.Undo();
    if (state)
        ApplyMarks(*state);
    return state.has_value();
}

bool CTarnwickDlg::RedoMarks()
{
    const std::optional<MarkState_T> state = markHistory.Redo();
    if (state)
        ApplyMarks(*state);
    return state.has_value();
}

void CTarnwickDlg::CopyRows()
{
    std::vector<const CVeyQelTalkElm*> lines;
    if (const int row = talkList->SelectedRow(); row >= 0 && static_cast<std::size_t>(row) < talkRows.RowCount())
        lines.push_back(talkRows.RecordAt(static_cast<std::size_t>(row)));
    if (lines.empty())
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(Cp932ToUtf8(LinesAsText(lines))));
}

void CTarnwickDlg::UpdateTitle()
{
    QString title = QString::fromUtf8(kMainDialogCaption);
    {
        const CTalkListModel::MarkedPlace_T at = playback.Position();
        if (at.position > 0)
            title += QStringLiteral(" \u2014 %1 / %2").arg(at.position).arg(at.count);
    }
    if (windowTitle() != title)
        setWindowTitle(title);
}

void CTarnwickDlg::OnCaptureChanged()
{
    RefreshTalkList(captureChoices, talkRows, itemChoices, app.Talk());
    ApplySearch();
    CommitMarks();
}

void CTarnwickDlg::OnItemChanged()
{
    ApplyItemChoice(itemChoices, talkRows);
    CommitMarks();
}

void CTarnwickDlg::OnPlayModeChanged(int index)
{
    app.SetPlayMode(PlayModeOfNumber(index));
    playback.SetPlayMode(PlayModeOfNumber(index));
}

void CTarnwickDlg::OnHScroll(int position)
{
    app.SetMusicVolume(position);
}

void CTarnwickDlg::done(int result)
{
    nextLineTimer.Stop();
    musicWatchTimer.stop();
    playback.OnDestroy();
    WindowPlace_T place = CurrentPlace(captureChoices, itemChoices, talkRows);
    place.search = searchField->text().toStdString();
    app.KeepMarks(MarkRangesText(talkRows));
    const WindowPlace_T& stored = app.Settings().place;
    const WindowSize_T kept = SizeToStore({stored.width, stored.height}, {openedSize.width(), openedSize.height()},
                                          {width(), height()});
    place.width = kept.width;
    place.height = kept.height;
    // Wayland keeps a window's place to itself: pos() says nothing there.
    place.hasPosition = QGuiApplication::platformName() != QLatin1String("wayland");
    place.x = pos().x();
    place.y = pos().y();
    app.KeepPlace(place);
    QDialog::done(result);
}

void CTarnwickDlg::ShowFace(const FaceFrame_T& frame)
{
    faceFrame->ShowFrame(frame);
}

void CTarnwickDlg::ShowTalkText(const std::string& text)
{
    talkTextBox->setPlainText(GameText(text));
}

void CTarnwickDlg::ShowCast(std::string_view castName)
{
    castCaption->setText(GameText(castName));
}

void CTarnwickDlg::ShowWait(const std::string& wait)
{
    waitCaption->setText(QString::fromStdString(wait));
}

void CTarnwickDlg::ShowMode(const char* mode)
{
    modeCaption->setText(QString::fromLatin1(mode));
}

void CTarnwickDlg::ShowStartText(StartText_T text)
{
    const char* shown = text == StartText_T::kStop ? kStopText
                        : text == StartText_T::kPlayAgain ? kPlayAgainText : kStartText;
    startButton->setText(QString::fromUtf8(shown));
    UpdateTitle();
}

void CTarnwickDlg::ShowState(PlaybackState_T state)
{
    const bool paused = state == PlaybackState_T::kPaused;
    pauseButton->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    const QString tip = paused ? tr("Resume (Ctrl+P)") : tr("Pause (Ctrl+P)");
    pauseButton->setToolTip(tip);
    pauseButton->setAccessibleName(tip);
    pauseButton->setEnabled(state != PlaybackState_T::kStopped);
    UpdateTitle();
}

PlayMode_T CTarnwickDlg::PlayMode() const
{
    return PlayModeOfNumber(playModeCombo->currentIndex());
}

}  // namespace tarnwick
