#include "ui/tarnwick_dlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/tarnwick_app.h"
#include "host/cp932_text.h"
#include "talk/mark_ranges.h"
#include "talk/selection_lists.h"
#include "ui/about_dlg.h"
#include "ui/dialog_units.h"
#include "ui/export_progress.h"
#include "ui/face_frame.h"
#include "ui/game_text.h"
#include "ui/player_controls.h"
#include "ui/qt_startup_ui.h"
#include "ui/quit_signals.h"
#include "ui/res/resources.h"
#include "ui/search_field.h"
#include "ui/speaker_combo.h"
#include "ui/selector_combo.h"
#include "ui/talk_list_view.h"
#include "ui/talk_table_model.h"

namespace tarnwick {

CTarnwickDlg::CTarnwickDlg(CTarnwickApp& application, CPlayer& shown, QWidget* parent)
    : CTarnwickDlg(application, shown, ControlsOnly_T{}, parent)
{
    OnInitDialog();
}

CTarnwickDlg::CTarnwickDlg(CTarnwickApp& application, CPlayer& shown, ControlsOnly_T, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      app(application), selection(application.Selection()), player(shown),
      playback(player.Playback())
{
    playback.AddView(*this);
    selection.SetListener(this);
    setObjectName(QStringLiteral("CTarnwickDlg"));
    setWindowTitle(QString::fromUtf8(kMainDialogCaption));
    setFont(DialogFont());
    CreateControls();
}

CTarnwickDlg::~CTarnwickDlg()
{
    // The player and the selection outlive the window: it stops showing
    // them, and nothing of a closed window plays.
    player.Close();
    playback.RemoveView(*this);
    selection.SetListener(nullptr);
}

const QAbstractItemModel* CTarnwickDlg::TalkTable() const
{
    return talkModel.get();
}

namespace {

// The music volume: a slider that shows its focus, which the styles leave
// out for sliders.
class CVolumeSlider : public QSlider {
public:
    explicit CVolumeSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QSlider::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::SolidLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// A clip's length as minutes and seconds, "10:00".
QString PlayTimeText(std::uint64_t microseconds)
{
    const std::uint64_t seconds = microseconds / 1000000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The width the label needs for the widest of the texts: a caption that
// shows each in turn keeps the room of the longest.
int WidestText(QLabel* label, std::initializer_list<QString> texts)
{
    const QString shown = label->text();
    int widest = 0;
    for (const QString& text : texts) {
        label->setText(text);
        widest = std::max(widest, label->sizeHint().width());
    }
    label->setText(shown);
    return widest;
}

template <typename W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

void CTarnwickDlg::CreateControls()
{
    const CDialogUnits du(font());
    layoutSize = QSize(du.X(kMainDialogWidth), du.Y(kMainDialogHeight));
    sx = static_cast<float>(logicalDpiX()) / 96.0f;
    sy = static_cast<float>(logicalDpiY()) / 96.0f;
    CreateCommands();

    QGridLayout* line = CreateLineControls(du);
    QHBoxLayout* startRow = CreateStartRow(du);
    auto* selectors = new QHBoxLayout;
    selectors->setSpacing(du.X(7));
    captureCombo = Named(new QComboBox(this), "captureCombo");
    itemCombo = Named(new QComboBox(this), "itemCombo");
    for (QComboBox* combo : {captureCombo, itemCombo}) {
        // A long group or item name widens the open list, not the window.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumWidth(du.X(80));
        selectors->addWidget(combo, 1);
    }
    // The speaker narrows the list as the search above it does; its label
    // names it for a screen reader.
    auto* speakerLabel = Named(new QLabel(tr("Speaker"), this), "speakerLabel");
    speakerCombo = Named(new CSpeakerCombo(this), "speakerCombo");
    speakerLabel->setBuddy(speakerCombo);
    speakerCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    speakerCombo->setMinimumWidth(speakerCombo->WidthFor(tr("(all speakers)")));
    auto* speaker = new QHBoxLayout;
    speaker->setSpacing(du.X(2));
    speaker->addWidget(speakerLabel);
    speaker->addWidget(speakerCombo, 1);
    selectors->addLayout(speaker, 1);
    talkList = Named(new CTalkListView(this), "talkList");
    talkList->setMinimumHeight(6 * talkList->fontMetrics().height());
    // Delete in the list, not in the fields.
    commands.removeLines->setShortcutContext(Qt::WidgetShortcut);
    talkList->addAction(commands.removeLines);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(du.X(7), du.Y(7), du.X(7), du.Y(7));
    window->setSpacing(du.Y(4));
    // Beyond its default size the window gives a quarter of its new height
    // to the face and text, the rest to the list.
    window->addLayout(line, 1);
    window->addSpacing(du.Y(5));
    window->addLayout(startRow);
    window->addLayout(selectors);
    window->addWidget(talkList, 3);
    DescribeControls();

    talkModel = std::make_unique<CTalkTableModel>(selection.Rows());
    talkList->setModel(talkModel.get());
    captureAdapter = std::make_unique<CSelectorCombo>(selection.CaptureChoices(), captureCombo);
    itemAdapter = std::make_unique<CSelectorCombo>(selection.ItemChoices(), itemCombo);
    resize(layoutSize.expandedTo(minimumSizeHint()));
}

QGridLayout* CTarnwickDlg::CreateLineControls(const CDialogUnits& du)
{
    castCaption = Named(new QLabel(tr("(Cast)"), this), "castCaption");
    modeCaption = Named(new QLabel(tr("(Play mode)"), this), "modeCaption");
    auto* waitLabel = Named(new QLabel(tr("Wait"), this), "waitLabel");
    waitCaption = Named(new QLabel(this), "waitCaption");
    auto* waitUnit = Named(new QLabel(tr("x0.1s"), this), "waitUnitLabel");
    faceFrame = Named(new CFaceFrameWidget(this), "faceFrame");
    faceFrame->setFixedSize(6 + static_cast<int>(90 * sx), 6 + static_cast<int>(90 * sy));
    talkTextBox = Named(new QPlainTextEdit(this), "talkTextBox");
    talkTextBox->setReadOnly(true);
    talkTextBox->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines scroll sideways
    talkTextBox->setTabChangesFocus(true);
    // The text box takes what the window has; it asks for no more room than
    // the face beside it.
    talkTextBox->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    talkTextBox->setMinimumSize(du.X(60), faceFrame->height());
    auto* playModeLabel = Named(new QLabel(tr("Play mode"), this), "playModeLabel");
    playModeCombo = Named(new QComboBox(this), "playModeCombo");
    auto* volumeLabel = Named(new QLabel(tr("Music volume"), this), "volumeLabel");
    volumeSlider = Named(new CVolumeSlider(this), "volumeSlider");
    volumeSlider->setMinimumWidth(du.X(40));
    auto* voiceLabel = Named(new QLabel(tr("Voice volume"), this), "voiceVolumeLabel");
    voiceSlider = Named(new CVolumeSlider(this), "voiceVolumeSlider");
    voiceSlider->setMinimumWidth(du.X(40));
    evenLoudnessBox = Named(new QCheckBox(tr("Even loudness"), this), "evenLoudnessBox");
    positionBar = Named(new CClipPositionBar(this), "positionBar");
    playModeLabel->setBuddy(playModeCombo);
    volumeLabel->setBuddy(volumeSlider);
    voiceLabel->setBuddy(voiceSlider);
    // The captions change with every line: they keep the room of their
    // longest text rather than resize the window.
    waitCaption->setFixedWidth(std::max(du.X(23), WidestText(waitCaption, {QStringLiteral("0000")})));
    modeCaption->setFixedWidth(WidestText(modeCaption, {modeCaption->text(), tr("Silent"), tr("Short"), tr("Long"),
                                                        CutModeText(tr("Short"), kMaxVoiceSeconds * 1000000ull),
                                                        CutModeText(tr("Long"), kMaxVoiceSeconds * 1000000ull)}));
    castCaption->setMinimumWidth(castCaption->sizeHint().width());

    // Face, text and the right-hand column of settings, under their captions.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.X(4));
    grid->setVerticalSpacing(du.Y(2));
    auto* captions = new QHBoxLayout;
    captions->addWidget(castCaption, 1);
    captions->addWidget(modeCaption);
    grid->addLayout(captions, 0, 0, 1, 2);
    grid->addWidget(waitLabel, 0, 2);
    auto* wait = new QHBoxLayout;
    wait->addWidget(waitCaption);
    wait->addWidget(waitUnit);
    wait->addStretch(1);
    grid->addLayout(wait, 0, 3);
    grid->addWidget(faceFrame, 1, 0, 5, 1, Qt::AlignTop);
    // The clip's position, under its text.
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(talkTextBox, 1);
    text->addWidget(positionBar);
    grid->addLayout(text, 1, 1, 5, 1);
    grid->addWidget(playModeLabel, 1, 2);
    grid->addWidget(playModeCombo, 1, 3);
    grid->addWidget(volumeLabel, 2, 2);
    grid->addWidget(voiceLabel, 2, 3);
    grid->addWidget(volumeSlider, 3, 2);
    grid->addWidget(voiceSlider, 3, 3);
    grid->addWidget(evenLoudnessBox, 4, 2, 1, 2);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);
    return grid;
}

QHBoxLayout* CTarnwickDlg::CreateStartRow(const CDialogUnits& du)
{
    // Start, the player's buttons, and the search over the row's free width
    // with its count at the end.
    auto* row = new QHBoxLayout;
    row->setSpacing(du.X(1));
    startButton = Named(new QPushButton(tr("Start"), this), "startButton");
    startButton->setAutoDefault(false);
    startButton->setMinimumSize(du.X(50), du.Y(14));
    row->addWidget(startButton);
    row->addSpacing(du.X(3));
    CreatePlayerButtons(du, row);
    row->addSpacing(du.X(1));
    searchField = Named(new CSearchField(this), "searchField");
    searchField->setPlaceholderText(tr("Search (Ctrl+F)"));
    searchField->setMinimumWidth(
        std::max(du.X(40), searchField->fontMetrics().horizontalAdvance(searchField->placeholderText()) + du.X(12)));
    row->addWidget(searchField, 1);
    row->addSpacing(du.X(2));
    searchCount = Named(new QLabel(this), "searchCount");
    searchCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(searchCount);
    return row;
}

void CTarnwickDlg::CreatePlayerButtons(const CDialogUnits& du, QLayout* row)
{
    const QSize side(du.X(kPlayerButtonSide), du.Y(kPlayerButtonSide));
    const auto make = [&](QAction* command, QStyle::StandardPixmap icon, const char* objectName) {
        auto* b = Named(new QToolButton(this), objectName);
        command->setIcon(style()->standardIcon(icon));
        b->setDefaultAction(command);
        b->setFixedSize(side.expandedTo(b->sizeHint()));
        row->addWidget(b);
        return b;
    };
    previousButton = make(commands.previous, QStyle::SP_MediaSkipBackward, "previousButton");
    pauseButton = make(commands.pause, QStyle::SP_MediaPause, "pauseButton");
    nextButton = make(commands.next, QStyle::SP_MediaSkipForward, "nextButton");
    replayButton = make(commands.replay, QStyle::SP_BrowserReload, "replayButton");
    const auto toggle = [&](QAction* command, const QIcon& icon, const char* objectName) {
        auto* b = Named(new QToolButton(this), objectName);
        command->setIcon(icon);
        b->setDefaultAction(command);
        b->setFixedSize(side.expandedTo(b->sizeHint()));
        row->addWidget(b);
        return b;
    };
    shuffleButton = toggle(commands.shuffle, ShuffleIcon(*this), "shuffleButton");
    repeatButton = toggle(commands.repeat, RepeatIcon(*this, Repeat_T::kWalk), "repeatButton");
    commands.pause->setEnabled(false);  // until something plays
}

void CTarnwickDlg::DescribeControls()
{
    // Keyboard order: what the list shows, the list, then what plays it.
    QWidget* const order[] = {captureCombo,  itemCombo,      searchField,   speakerCombo, talkList,
                              startButton,   previousButton, pauseButton,   nextButton,   replayButton,
                              shuffleButton, repeatButton,   playModeCombo, volumeSlider, voiceSlider,
                              evenLoudnessBox, talkTextBox};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    faceFrame->setAccessibleName(tr("Face picture"));
    faceFrame->setToolTip(tr("Face of the speaker"));
    talkTextBox->setAccessibleName(tr("Talk text"));
    talkTextBox->setToolTip(tr("Text of the line shown"));
    castCaption->setAccessibleName(tr("Cast"));
    castCaption->setToolTip(tr("Speaker of the line shown"));
    waitCaption->setAccessibleName(tr("Wait after the line"));
    waitCaption->setToolTip(tr("Wait after the line, in tenths of a second"));
    modeCaption->setAccessibleName(tr("Line's play mode"));
    modeCaption->setToolTip(tr("How the line shown plays"));
    playModeCombo->setAccessibleName(tr("Play mode"));
    playModeCombo->setToolTip(tr("How the lines play: Default, Short or Long"));
    volumeSlider->setAccessibleName(tr("Music volume"));
    volumeSlider->setToolTip(tr("Music volume (arrow keys; Page Up and Page Down by 10 dB)"));
    voiceSlider->setAccessibleName(tr("Voice volume"));
    voiceSlider->setToolTip(tr("Voice volume (%1; arrow keys by 1 %, Page Up and Page Down by 10 %)")
                                .arg(commands.voiceVolume->shortcut().toString(QKeySequence::NativeText)));
    evenLoudnessBox->setToolTip(commands.evenLoudness->toolTip() + QLatin1Char('\n') +
                                tr("Plays every clip at one loudness, never louder than the clip allows"));
    positionBar->setAccessibleName(tr("Position in the clip"));
    positionBar->setToolTip(tr("Position in the clip: click to move there (Shift+Left, Shift+Right)"));
    captureCombo->setAccessibleName(tr("Capture group"));
    captureCombo->setToolTip(tr("The capture group whose lines the list shows"));
    itemCombo->setAccessibleName(tr("Capture item"));
    itemCombo->setToolTip(tr("Marks the lines of a capture item, or marks or clears them all"));
    searchField->setAccessibleName(tr("Search"));
    searchField->setToolTip(tr("Shows the lines whose ID, cast or text holds every word (Ctrl+F; Escape empties it)"));
    speakerCombo->setAccessibleName(tr("Speaker"));
    speakerCombo->setToolTip(tr("Shows only the lines of one speaker; type to narrow the names (Ctrl+Shift+F)"));
    searchCount->setToolTip(tr("Lines shown / lines in the list \u00B7 marked lines shown"));
    startButton->setToolTip(tr("Start or stop the walk through the marked lines (Space on the button)"));
    startButton->setAccessibleDescription(tr("Starts or stops the walk through the marked lines"));
    talkList->setAccessibleName(tr("Talk lines"));
    talkList->setAccessibleDescription(tr("Space marks or unmarks the selected lines, Enter plays the line"));
    talkList->setToolTip(tr("Talk lines: Space marks or unmarks the selected lines, Enter plays, Ctrl+C copies, "
                            "Ctrl+D adds to a collection (Shift+F10 for more)"));
}

QAction* CTarnwickDlg::MakeCommand(const QString& text, const QList<QKeySequence>& keys,
                                   const std::function<void()>& run)
{
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setToolTip(keys.isEmpty() ? text
                                      : QStringLiteral("%1 (%2)").arg(text, keys.front().toString(QKeySequence::NativeText)));
    connect(action, &QAction::triggered, this, run);
    // Its keys work wherever the window has the focus.
    addAction(action);
    return action;
}

void CTarnwickDlg::CreateCommands()
{
    using K = QKeySequence;
    Commands_T& c = commands;
    c.previous = MakeCommand(tr("Previous line"), {K(Qt::ALT | Qt::Key_Left), K(Qt::Key_MediaPrevious)},
                             [this] { playback.Previous(); });
    c.pause = MakeCommand(tr("Pause"), {K(Qt::CTRL | Qt::Key_P)}, [this] { TogglePause(); });
    c.next = MakeCommand(tr("Next line"), {K(Qt::ALT | Qt::Key_Right), K(Qt::Key_MediaNext)}, [this] { playback.Next(); });
    c.replay = MakeCommand(tr("Replay the line"), {K(Qt::CTRL | Qt::Key_R)}, [this] { playback.Replay(); });
    // Alt with a letter: the window has no menu bar to take those keys,
    // and no field types with Alt.
    c.shuffle = MakeCommand(tr("Shuffle"), {K(Qt::ALT | Qt::Key_S)}, [this] { player.SetShuffle(!player.Options().shuffle); });
    c.shuffle->setCheckable(true);
    c.repeat = MakeCommand(tr("Repeat: off"), {K(Qt::ALT | Qt::Key_R)},
                           [this] { player.SetRepeat(NextRepeat(player.Options().repeat)); });
    c.repeat->setCheckable(true);
    c.evenLoudness = MakeCommand(tr("Even loudness"), {K(Qt::ALT | Qt::Key_L)},
                                 [this] { player.SetEvenLoudness(!player.Options().evenLoudness); });
    c.evenLoudness->setCheckable(true);
    c.voiceVolume = MakeCommand(tr("Voice volume"), {K(Qt::ALT | Qt::Key_V)},
                                [this] { voiceSlider->setFocus(Qt::ShortcutFocusReason); });
    c.seekBack = MakeCommand(tr("Back in the clip"), {K(Qt::SHIFT | Qt::Key_Left)}, [this] { SeekBy(-kSeekStepMs); });
    c.seekForward = MakeCommand(tr("On in the clip"), {K(Qt::SHIFT | Qt::Key_Right)}, [this] { SeekBy(kSeekStepMs); });
    // The Play key of most keyboards is their Play/Pause key.
    c.playPause = MakeCommand(tr("Play or pause"), {K(Qt::Key_MediaTogglePlayPause), K(Qt::Key_MediaPlay)},
                              [this] { playback.PlayPause(); });
    c.pauseOnly = MakeCommand(tr("Pause"), {K(Qt::Key_MediaPause)}, [this] { playback.Pause(); });
    c.stop = MakeCommand(tr("Stop"), {K(Qt::Key_MediaStop)}, [this] { playback.Stop(); });
    c.exportMarked = MakeCommand(tr("Export marked lines…"), {K(Qt::CTRL | Qt::Key_E)}, [this] { OnExportMarked(); });
    c.chooseFolder = MakeCommand(tr("Choose game folder…"), {}, [this] { OnChooseGameFolder(); });
    c.undo = MakeCommand(tr("Undo marks"), {K(Qt::CTRL | Qt::Key_Z)}, [this] { UndoMarks(); });
    c.redo = MakeCommand(tr("Redo marks"), {K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, [this] { RedoMarks(); });
    // The list takes its copy keys itself: the fields keep theirs.
    c.copy = MakeCommand(tr("Copy the line"), K::keyBindings(K::Copy), [this] { CopyRows(); });
    c.copy->setShortcutContext(Qt::WidgetShortcut);
    c.markShown = MakeCommand(tr("Mark the lines shown"), {}, [this] { MarkShown(true); });
    c.unmarkShown = MakeCommand(tr("Unmark the lines shown"), {}, [this] { MarkShown(false); });
    c.find = MakeCommand(tr("Search"), K::keyBindings(K::Find), [this] {
        searchField->setFocus(Qt::ShortcutFocusReason);
        searchField->selectAll();
    });
    c.findSpeaker = MakeCommand(tr("Speaker"), {K(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, [this] {
        speakerCombo->setFocus(Qt::ShortcutFocusReason);
        speakerCombo->lineEdit()->selectAll();
    });
    // The collection menu at the list, where the lines it takes are.
    c.collect = MakeCommand(tr("Add to collection"), {K(Qt::CTRL | Qt::Key_D)}, [this] {
        QMenu menu(this);
        AddCollectionMenu(menu);
        const QList<QAction*> entries = menu.actions();
        if (entries.isEmpty() || !entries.front()->menu())
            return;
        QPoint at = talkList->rect().center();
        if (talkList->currentIndex().isValid())
            at = talkList->viewport()->mapTo(talkList, talkList->visualRect(talkList->currentIndex()).bottomLeft());
        entries.front()->menu()->exec(talkList->mapToGlobal(at));
    });
    c.removeLines = MakeCommand(tr("Remove from this collection"), K::keyBindings(K::Delete),
                                [this] { OnRemoveFromCollection(); });
    c.about = MakeCommand(tr("&About Tarnwick..."), K::keyBindings(K::HelpContents), [this] { OnAbout(); });
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
    // The commands' keys come with their actions (About is the context
    // menu's and F1: the window manager's own menu cannot take items).
    // Closing by keys goes the close button's way, through done(); Quit
    // also ends an export or a dialog on its way.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            [this] { QuitFromAnyState(app); });
    for (const QKeySequence& keys : {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &CTarnwickDlg::OpenContextMenuFromKeys);
    playback.SetFaceFrameSize(faceFrame->width(), faceFrame->height());

    // The talk column takes the width the first two leave.
    QHeaderView* header = talkList->header();
    header->setMinimumSectionSize(1);
    header->resizeSection(0, static_cast<int>(sx * 80));
    header->resizeSection(1, static_cast<int>(sx * 160));

    // Drop-down heights: the whole control, edit part and list together.
    const auto setDropHeight = [](QComboBox* combo, int height) {
        const int row = std::max(1, combo->fontMetrics().height() + 4);
        combo->setMaxVisibleItems(std::max(1, (height - combo->height()) / row));
    };
    setDropHeight(captureCombo, static_cast<int>(sy * 300));
    selection.Fill();
    setDropHeight(itemCombo, static_cast<int>(sy * 300));

    setDropHeight(playModeCombo, static_cast<int>(sy * 100));
    playModeCombo->clear();
    playModeCombo->addItems({tr("Default"), tr("Short"), tr("Long")});
    volumeSlider->setRange(kMinBgmVolume, kMaxBgmVolume);
    volumeSlider->setTickInterval(1000);
    volumeSlider->setTickPosition(QSlider::TicksBothSides);
    volumeSlider->setPageStep(1000);
    voiceSlider->setRange(0, kMaxVoiceVolume);
    voiceSlider->setTickInterval(10);
    voiceSlider->setTickPosition(QSlider::TicksBothSides);
    voiceSlider->setSingleStep(1);
    voiceSlider->setPageStep(10);
    ShowOptions(player.Options());
    positionTimer.setInterval(kPositionRefreshMs);
    connect(&positionTimer, &QTimer::timeout, this, &CTarnwickDlg::UpdatePosition);

    connect(captureAdapter.get(), &CSelectorCombo::Chosen, this, &CTarnwickDlg::OnCaptureChanged);
    connect(itemAdapter.get(), &CSelectorCombo::Chosen, this, &CTarnwickDlg::OnItemChanged);
    connect(playModeCombo, &QComboBox::activated, this, &CTarnwickDlg::OnPlayModeChanged);
    connect(volumeSlider, &QSlider::valueChanged, this, &CTarnwickDlg::OnHScroll);
    connect(voiceSlider, &QSlider::valueChanged, this, [this](int percent) { player.SetVoiceVolume(percent); });
    connect(evenLoudnessBox, &QCheckBox::clicked, this, [this](bool on) { player.SetEvenLoudness(on); });
    connect(positionBar, &CClipPositionBar::SeekRequested, this,
            [this](int ms) { playback.SeekClip(std::uint64_t(std::max(ms, 0)) * 1000); });
    connect(talkList, &CTalkListView::SelectedRowChanged, this,
            [this](int row) { selection.Rows().SetCurrentRow(row); });
    connect(talkList, &CTalkListView::ToggleRequested, this,
            [this](const std::vector<std::size_t>& rows, std::size_t current) { selection.ToggleRows(rows, current); });
    connect(speakerCombo, &CSpeakerCombo::Chosen, this, &CTarnwickDlg::OnSpeakerChosen);
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
    connect(searchField, &CSearchField::Entered, this, [this] { selection.PrepareSearch(); });

    RestorePlace();
    FitToScreen();

    player.StartMusicWatch();
    // The keys go to the list first: Space marks, Enter plays.
    talkList->setFocus(Qt::OtherFocusReason);
}

void CTarnwickDlg::contextMenuEvent(QContextMenuEvent* event)
{
    const Commands_T& c = commands;
    c.undo->setEnabled(selection.CanUndo());
    c.redo->setEnabled(selection.CanRedo());
    c.copy->setText(talkList->SelectedRows().size() > 1 ? tr("Copy the lines") : tr("Copy the line"));
    c.copy->setEnabled(talkList->SelectedRow() >= 0);
    QMenu menu(this);
    menu.addActions({c.exportMarked, c.chooseFolder});
    menu.addSeparator();
    menu.addActions({c.undo, c.redo, c.copy, c.markShown, c.unmarkShown});
    menu.addSeparator();
    AddCollectionMenu(menu);
    QMenu* speakers = menu.addMenu(tr("Speakers"));
    QAction* byAppearance = speakers->addAction(tr("In order of appearance"), this, [this] { SetSpeakersByName(false); });
    QAction* byName = speakers->addAction(tr("By name"), this, [this] { SetSpeakersByName(true); });
    for (QAction* order : {byAppearance, byName})
        order->setCheckable(true);
    (speakersByName ? byName : byAppearance)->setChecked(true);
    menu.addSeparator();
    menu.addActions({c.pause, c.next, c.previous, c.replay});
    menu.addActions({c.shuffle, c.repeat, c.evenLoudness});
    menu.addSeparator();
    menu.addAction(c.about);
    // Each entry's tooltip names its keys, as the controls' do.
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            continue;
        QString tip = action->text().remove(QLatin1Char('&'));
        if (!action->shortcut().isEmpty())
            tip += QStringLiteral(" (%1)").arg(action->shortcut().toString(QKeySequence::NativeText));
        action->setToolTip(tip);
    }
    menu.setToolTipsVisible(true);
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
    RunLineExport(this, app, MarkedRows(selection.Rows()), player.Options().playMode, selection.AlbumName());
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
                             tr("The game does not open there:\n%1")
                                 .arg(QString::fromLocal8Bit(why.Describe())));
        return;
    }
    // The running archives stay as they are: the program starts again on
    // the new folder once this window has closed and written its settings.
    app.RequestRestart();
    accept();
}

void CTarnwickDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel) && playback.State() != PlaybackState_T::kStopped) {
        playback.Stop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTarnwickDlg::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!std::exchange(iconPending, false))
        return;
    // After this paint has reached the screen.
    QTimer::singleShot(0, this, [this] { setWindowIcon(AppIcon()); });
}

void CTarnwickDlg::OpenContextMenuFromKeys()
{
    QWidget* target = focusWidget() ? focusWidget() : this;
    QPoint at = target->rect().center();
    if (target == talkList && talkList->currentIndex().isValid()) {
        const QRect row = talkList->visualRect(talkList->currentIndex());
        at = talkList->viewport()->mapTo(talkList, row.bottomLeft() + QPoint(row.height(), 0));
    } else if (target == talkTextBox) {
        at = talkTextBox->viewport()->mapTo(talkTextBox, talkTextBox->cursorRect().bottomRight());
    }
    // A control without a menu of its own passes the event on to the window.
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QCoreApplication::sendEvent(target, &event);
}

void CTarnwickDlg::FitToScreen()
{
    const QScreen* s = screen();
    if (!s)
        return;
    // Room for the window manager's frame around the client area.
    const QSize room = s->availableGeometry().size() - QSize(16, 48);
    // The layout keeps the window at least as large as its texts need; only
    // a screen smaller than that sets a smaller minimum.
    const QSize least = minimumSizeHint();
    layoutSize = layoutSize.expandedTo(least);
    if (!room.expandedTo(least).boundedTo(room).isValid() || least.width() > room.width() ||
        least.height() > room.height())
        setMinimumSize(least.boundedTo(room).expandedTo(QSize(1, 1)));
    QSize wanted = layoutSize;
    const WindowPlace_T& place = app.Settings().place;
    if (place.width > 0 && place.height > 0)
        wanted = QSize(place.width, place.height);
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
    speakersByName = place.speakersByName;
    {
        // Typing in the field is the user's search; the stored one is not.
        const QSignalBlocker block(searchField);
        searchField->setText(QString::fromUtf8(place.search));
    }
    RestoreSelection(place, selection);
    if (const std::optional<std::string>& marks = app.Settings().keptMarks)
        ApplyMarkRanges(*marks, selection.Rows());
    selection.StartHistory();
    OnSpeakersChanged();
    UpdateCount();
    RestoreRow(place, selection.Rows());
    if (!app.Collections().Problems().empty())
        QTimer::singleShot(0, this, &CTarnwickDlg::ShowCollectionProblems);
}

void CTarnwickDlg::OnSearchChanged()
{
    ApplySearch();
}

void CTarnwickDlg::ApplySearch()
{
    ApplyFilter([this] { selection.SetSearch(searchField->text().toStdString()); });
}

void CTarnwickDlg::ApplyFilter(const std::function<void()>& change)
{
    CTalkListModel& rows = selection.Rows();
    // The line at the top of the list, to stay in sight when the filter
    // hides the selected one. A list not shown yet has none: asking would
    // lay out its rows ahead of their first paint.
    std::optional<std::size_t> topLine;
    if (const QModelIndex top = talkList->isVisible() ? talkList->indexAt(QPoint(0, 0)) : QModelIndex(); top.isValid())
        topLine = rows.ListIndexOf(static_cast<std::size_t>(top.row()));
    change();
    // A shown selected row has been scrolled into view already.
    if (rows.CurrentRow() < 0 && topLine) {
        if (const int row = rows.ShownRowNear(*topLine); row >= 0)
            talkList->scrollTo(talkModel->index(row, 0), QAbstractItemView::PositionAtTop);
    }
    UpdateCount();
}

void CTarnwickDlg::OnSpeakerChosen(int index)
{
    ApplyFilter([this, index] { selection.ChooseSpeaker(speakerCombo->SpeakerAt(index)); });
}

void CTarnwickDlg::OnSpeakersChanged()
{
    speakerCombo->SetSpeakers(
        selection.Speakers(speakersByName ? SpeakerOrder_T::kByName : SpeakerOrder_T::kFirstAppearance),
        selection.Speaker());
}

void CTarnwickDlg::SetSpeakersByName(bool byName)
{
    if (byName == speakersByName)
        return;
    speakersByName = byName;
    OnSpeakersChanged();
}

void CTarnwickDlg::UpdateCount()
{
    const CTalkListModel& rows = selection.Rows();
    const QLocale numbers(QLocale::English);  // "4,301" in either language
    // Room for the count's longest text in this list, so that typing never
    // resizes the row.
    const QString total = numbers.toString(static_cast<qulonglong>(rows.TotalRowCount()));
    const QString count = tr("%1 / %2 · %3 marked")
                              .arg(numbers.toString(static_cast<qulonglong>(rows.RowCount())), total,
                                   numbers.toString(static_cast<qulonglong>(rows.MarkedShownCount())));
    searchCount->setMinimumWidth(WidestText(searchCount, {tr("%1 / %2 · %3 marked").arg(total, total, total), count}));
    searchCount->setText(count);
}

void CTarnwickDlg::CommitMarks()
{
    selection.CommitMarks();
}

bool CTarnwickDlg::UndoMarks()
{
    bool undone = false;
    ApplyFilter([this, &undone] { undone = selection.Undo(); });
    return undone;
}

bool CTarnwickDlg::RedoMarks()
{
    bool redone = false;
    ApplyFilter([this, &redone] { redone = selection.Redo(); });
    return redone;
}

void CTarnwickDlg::MarkShown(bool marked)
{
    selection.MarkShown(marked);
}

std::vector<const CVeyQelTalkElm*> CTarnwickDlg::SelectedLines() const
{
    std::vector<const CVeyQelTalkElm*> lines;
    for (const std::size_t row : talkList->SelectedRows()) {
        if (row < selection.Rows().RowCount())
            lines.push_back(selection.Rows().RecordAt(row));
    }
    return lines;
}

void CTarnwickDlg::CopyRows()
{
    const std::vector<const CVeyQelTalkElm*> lines = SelectedLines();
    if (lines.empty())
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(Cp932ToUtf8(LinesAsText(lines))));
}

std::vector<const CVeyQelTalkElm*> CTarnwickDlg::LinesToCollect() const
{
    std::vector<const CVeyQelTalkElm*> lines = SelectedLines();
    return lines.size() <= 1 ? MarkedRows(selection.Rows()) : lines;
}

void CTarnwickDlg::AddCollectionMenu(QMenu& menu)
{
    const std::size_t selected = talkList->SelectedRows().size();
    const std::size_t taken = selected > 1 ? selected : selection.Rows().MarkedShownCount();
    QMenu* add = menu.addMenu(tr("Add to collection"));
    add->setToolTip(selected > 1 ? tr("Adds the %n selected lines (Ctrl+D)", "", static_cast<int>(taken))
                                 : tr("Adds the %n marked lines shown (Ctrl+D)", "", static_cast<int>(taken)));
    add->setToolTipsVisible(true);
    const std::optional<std::string> shown = selection.ChosenCollection();
    for (const LineCollection_T& c : app.Collections().Collections()) {
        // The lines of the collection shown are in it already.
        if (c.name == shown)
            continue;
        const QString name = QString::fromStdString(c.name);
        QAction* into = add->addAction(QStringLiteral("\u2605 ") + name, this, [this, name] { AddToCollection(name, false); });
        into->setEnabled(taken > 0);
    }
    if (!add->isEmpty())
        add->addSeparator();
    add->addAction(tr("New collection…"), this, &CTarnwickDlg::OnNewCollection)->setEnabled(taken > 0);
    if (!shown)
        return;
    commands.removeLines->setEnabled(talkList->SelectedRow() >= 0);
    menu.addAction(commands.removeLines);
    menu.addAction(tr("Rename this collection…"), this, &CTarnwickDlg::OnRenameCollection);
    menu.addAction(tr("Delete this collection…"), this, &CTarnwickDlg::OnDeleteCollection);
}

bool CTarnwickDlg::AddToCollection(const QString& name, bool create)
{
    const std::vector<const CVeyQelTalkElm*> lines = LinesToCollect();
    Failure_T why;
    if (!selection.AddToCollection(name.toStdString(), create, lines, why)) {
        ShowFailure(tr("The lines were not added to the collection %1.").arg(name), why);
        return false;
    }
    return true;
}

void CTarnwickDlg::OnNewCollection()
{
    if (LinesToCollect().empty())
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("New collection"), tr("Name of the new collection:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || app.QuitRequested())
        return;
    AddToCollection(name.trimmed(), true);
}

void CTarnwickDlg::OnRemoveFromCollection()
{
    if (!selection.ChosenCollection())
        return;
    const std::vector<const CVeyQelTalkElm*> lines = SelectedLines();
    if (lines.empty())
        return;
    Failure_T why;
    bool removed = false;
    ApplyFilter([&] { removed = selection.RemoveFromChosenCollection(lines, why); });
    if (!removed)
        ShowFailure(tr("The lines were not removed from the collection."), why);
}

void CTarnwickDlg::OnRenameCollection()
{
    const std::optional<std::string> chosen = selection.ChosenCollection();
    if (!chosen)
        return;
    const QString old = QString::fromStdString(*chosen);
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("Rename collection"), tr("New name of the collection %1:").arg(old),
                                               QLineEdit::Normal, old, &ok)
                             .trimmed();
    if (!ok || name == old || app.QuitRequested())
        return;
    Failure_T why;
    if (!selection.RenameCollection(*chosen, name.toStdString(), why))
        ShowFailure(tr("The collection %1 was not renamed.").arg(old), why);
}

void CTarnwickDlg::OnDeleteCollection()
{
    const std::optional<std::string> chosen = selection.ChosenCollection();
    if (!chosen)
        return;
    const QString name = QString::fromStdString(*chosen);
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, QString::fromUtf8(kMainDialogCaption),
                              tr("Delete the collection %1? Its lines stay in the game.").arg(name),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes || app.QuitRequested())
        return;
    Failure_T why;
    bool deleted = false;
    ApplyFilter([&] { deleted = selection.DeleteCollection(*chosen, why); });
    if (!deleted)
        ShowFailure(tr("The collection %1 was not deleted.").arg(name), why);
}

void CTarnwickDlg::ShowCollectionProblems()
{
    QStringList files;
    for (const Failure_T& why : app.Collections().Problems())
        files << QString::fromStdString(why.Describe());
    // Not modal to the program: the window stays usable behind it.
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kMainDialogCaption),
                                tr("These collection files could not be read and are left as they are:\n%1")
                                    .arg(files.join(QLatin1Char('\n'))),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("collectionProblems"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CTarnwickDlg::ShowFailure(const QString& what, const Failure_T& why)
{
    QMessageBox::warning(this, QString::fromUtf8(kMainDialogCaption),
                         QStringLiteral("%1\n%2").arg(what, QString::fromStdString(why.Describe())));
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
    ApplyFilter([this] { selection.ChooseCapture(selection.CaptureChoices().SelectedIndex()); });
}

void CTarnwickDlg::OnItemChanged()
{
    selection.ChooseItem(selection.ItemChoices().SelectedIndex());
}

void CTarnwickDlg::OnPlayModeChanged(int index)
{
    player.SetPlayMode(PlayModeOfNumber(index));
}

void CTarnwickDlg::OnHScroll(int position)
{
    player.SetMusicVolume(position);
}

void CTarnwickDlg::ShowVoiceVolume(int percent)
{
    voiceSlider->setAccessibleDescription(tr("%1 %").arg(percent));
}

void CTarnwickDlg::ShowOptions(const PlayerOptions_T& o)
{
    const QSignalBlocker blockMode(playModeCombo), blockMusic(volumeSlider), blockVoice(voiceSlider);
    playModeCombo->setCurrentIndex(static_cast<int>(o.playMode));
    volumeSlider->setValue(o.musicVolume);
    ShowVolume(o.musicVolume);
    voiceSlider->setValue(o.voiceVolume);
    ShowVoiceVolume(o.voiceVolume);
    commands.shuffle->setChecked(o.shuffle);
    commands.evenLoudness->setChecked(o.evenLoudness);
    evenLoudnessBox->setChecked(o.evenLoudness);
    QAction* repeat = commands.repeat;
    repeat->setChecked(o.repeat != Repeat_T::kOff);
    repeat->setText(o.repeat == Repeat_T::kLine   ? tr("Repeat the line")
                    : o.repeat == Repeat_T::kWalk ? tr("Repeat the walk")
                                                  : tr("Repeat: off"));
    repeat->setToolTip(QStringLiteral("%1 (%2)").arg(repeat->text(), repeat->shortcut().toString(QKeySequence::NativeText)));
    repeat->setIcon(RepeatIcon(*this, o.repeat == Repeat_T::kLine ? Repeat_T::kLine : Repeat_T::kWalk));
}

void CTarnwickDlg::UpdatePosition()
{
    const std::uint64_t length = playback.ClipMicroseconds();
    const int lengthMs = static_cast<int>(std::min<std::uint64_t>(length / 1000, INT_MAX));
    const int atMs = static_cast<int>(std::min<std::uint64_t>(playback.ClipPosition() / 1000, lengthMs));
    if (positionBar->maximum() != lengthMs)
        positionBar->setRange(0, lengthMs);
    positionBar->setValue(atMs);
    positionBar->setEnabled(lengthMs > 0);
    positionBar->setAccessibleDescription(
        lengthMs > 0 ? tr("%1 of %2").arg(PlayTimeText(std::uint64_t(atMs) * 1000), PlayTimeText(length)) : QString());
    if (lengthMs == 0 && playback.State() == PlaybackState_T::kStopped)
        positionTimer.stop();
}

void CTarnwickDlg::SeekBy(int milliseconds)
{
    if (playback.ClipMicroseconds() == 0)
        return;
    const std::int64_t at = static_cast<std::int64_t>(playback.ClipPosition()) + std::int64_t{milliseconds} * 1000;
    playback.SeekClip(static_cast<std::uint64_t>(std::max<std::int64_t>(at, 0)));
}

void CTarnwickDlg::ShowSeeked(std::uint64_t)
{
    UpdatePosition();
}

void CTarnwickDlg::ShowVolume(int hundredthsOfDb)
{
    volumeSlider->setAccessibleDescription(tr("%1 dB").arg(hundredthsOfDb / 100.0, 0, 'f', 1));
}

void CTarnwickDlg::done(int result)
{
    player.Close();
    WindowPlace_T place = CurrentPlace(selection);
    place.speakersByName = speakersByName;
    app.KeepMarks(MarkRangesText(selection.Rows()));
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
    const QString cast = GameText(castName);
    castCaption->setText(cast);
    castCaption->setAccessibleName(tr("Cast: %1").arg(cast));
    faceFrame->setAccessibleName(cast.isEmpty() ? tr("Face picture") : tr("Face of %1").arg(cast));
}

void CTarnwickDlg::ShowWait(std::int32_t waitTenths)
{
    waitCaption->setText(QString::number(waitTenths));
    waitCaption->setAccessibleName(tr("Wait: %1 tenths of a second").arg(waitCaption->text()));
}

void CTarnwickDlg::ShowMode(ClipKind_T kind)
{
    modeCaption->setText(kind == ClipKind_T::kSilent ? tr("Silent") : kind == ClipKind_T::kShort ? tr("Short") : tr("Long"));
    modeCaption->setAccessibleName(tr("Line's play mode: %1").arg(modeCaption->text()));
}

QString CTarnwickDlg::CutModeText(const QString& mode, std::uint64_t keptMicroseconds)
{
    return tr("%1 (cut at %2)").arg(mode, PlayTimeText(keptMicroseconds));
}

void CTarnwickDlg::ShowClipCut(std::uint64_t keptMicroseconds)
{
    // Follows ShowMode, so the caption holds the line's mode alone.
    if (keptMicroseconds == 0) {
        modeCaption->setToolTip(tr("How the line shown plays"));
        return;
    }
    modeCaption->setText(CutModeText(modeCaption->text(), keptMicroseconds));
    modeCaption->setAccessibleName(tr("Line's play mode: %1").arg(modeCaption->text()));
    modeCaption->setToolTip(tr("The clip lasts longer than %1: only its first %1 plays")
                                .arg(PlayTimeText(keptMicroseconds)));
}

void CTarnwickDlg::ShowStartText(StartText_T text)
{
    startButton->setText(text == StartText_T::kStop        ? tr("Stop")
                         : text == StartText_T::kPlayAgain ? tr("Play again")
                                                           : tr("Start"));
    UpdateTitle();
}

void CTarnwickDlg::ShowState(PlaybackState_T state)
{
    const bool paused = state == PlaybackState_T::kPaused;
    QAction* pause = commands.pause;
    pause->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    pause->setText(paused ? tr("Resume") : tr("Pause"));
    pause->setToolTip(QStringLiteral("%1 (%2)").arg(pause->text(), pause->shortcut().toString(QKeySequence::NativeText)));
    pause->setEnabled(state != PlaybackState_T::kStopped);
    if (state != PlaybackState_T::kStopped && !positionTimer.isActive())
        positionTimer.start();
    UpdatePosition();
    UpdateTitle();
}

}  // namespace tarnwick
