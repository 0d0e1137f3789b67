// The program's one window: the talk list with its selectors, the current
// line's face, speaker and text, the play mode, the music volume, Start and
// the player's buttons. Its handlers turn widget signals into calls of the
// core (the playback's commands) and show what the core reports.
#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "app/talk_selection.h"
#include "talk/selection_models.h"
#include "walk/player.h"

class QAbstractItemModel;
class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QKeyEvent;
class QMenu;
class QLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace tarnwick {

class CTarnwickApp;
class CDialogUnits;
class CFaceFrameWidget;
class CTalkListView;
class CTalkTableModel;
class CSelectorCombo;
class CSearchField;
class CSpeakerCombo;
class CClipPositionBar;

class CTarnwickDlg : public QDialog, private IPlaybackView, private CTalkSelection::IListener {
    Q_OBJECT
public:
    // A view of the application's selection and of player.
    CTarnwickDlg(CTarnwickApp& app, CPlayer& player, QWidget* parent = nullptr);
    // The controls only, which need nothing of the game, for building the
    // window while the game loads; InitDialog fills them once it is there.
    struct ControlsOnly_T {};
    CTarnwickDlg(CTarnwickApp& app, CPlayer& player, ControlsOnly_T, QWidget* parent = nullptr);
    void InitDialog() { OnInitDialog(); }
    CTarnwickApp& App() const { return app; }
    ~CTarnwickDlg() override;

    // Closing: timers, walk, music and clip stop before the window goes.
    void done(int result) override;

    // Logical dots per inch over 96, as the window was scaled with.
    float ScaleX() const { return sx; }
    float ScaleY() const { return sy; }

    // The list's choices: group, item, search, speaker, marks.
    CTalkSelection& Selection() { return selection; }
    CTalkListModel& TalkRows() { return selection.Rows(); }
    CPlayer& Player() { return player; }
    CPlayback& Playback() { return playback; }
    const CTalkWalker& Walker() const { return playback.Walker(); }
    CSelectorModel& CaptureChoices() { return selection.CaptureChoices(); }
    CSelectorModel& ItemChoices() { return selection.ItemChoices(); }
    // The list as Qt shows it: its signals tell of marks that change.
    const QAbstractItemModel* TalkTable() const;

    CSearchField* SearchField() const { return searchField; }
    QLabel* SearchCount() const { return searchCount; }
    CSpeakerCombo* SpeakerCombo() const { return speakerCombo; }
    CTalkListView* TalkList() const { return talkList; }

    // Undo and redo of the marks (Ctrl+Z, Ctrl+Shift+Z); false when there
    // was no step.
    bool UndoMarks();
    bool RedoMarks();
    // The selected rows as text on the clipboard (Ctrl+C in the list).
    void CopyRows();
    // The speakers in the order of their first line, or by name.
    void SetSpeakersByName(bool byName);
    bool SpeakersByName() const { return speakersByName; }
    // The menu entries on the lines shown, and on collections.
    void MarkShown(bool marked);
    // Adds the lines taken (the selected rows when more than one is
    // selected, else the marked rows shown) to the named collection,
    // making it when create is set; a failure is shown.
    bool AddToCollection(const QString& name, bool create);
    std::vector<const CVeyQelTalkElm*> LinesToCollect() const;
    // The records of the selected rows, in list order.
    std::vector<const CVeyQelTalkElm*> SelectedLines() const;

public slots:
    void OnAbout();
    void OnChooseGameFolder();
    void OnExportMarked();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Escape stops what plays; with nothing playing it closes the window.
    void keyPressEvent(QKeyEvent* event) override;
    // The window's icon comes once the window has been painted: its
    // pictures take milliseconds to decode that its first look need not
    // wait for.
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateControls();
    // The line's face, text and captions with the settings beside them.
    QGridLayout* CreateLineControls(const CDialogUnits& du);
    // Start, the player's buttons, the search and its count.
    QHBoxLayout* CreateStartRow(const CDialogUnits& du);
    // Tab order, tooltips and accessible names of the controls.
    void DescribeControls();
    void OnInitDialog();
    // The window opens at its layout size or the stored one, never larger
    // than the screen; it may shrink to its layout's minimum, or below it
    // on a screen too small for that.
    void FitToScreen();
    // The menu key and Shift+F10: the focused control's context menu, or
    // the window's, at the control.
    void OpenContextMenuFromKeys();
    void RestorePlace();
    void OnSearchChanged();
    // The search field's text and the speaker chosen, with the list kept
    // in view where the selected row went.
    void ApplySearch();
    void ApplyFilter(const std::function<void()>& change);
    void OnSpeakerChosen(int index);
    void OnSpeakersChanged() override;
    // The collections' entries of the context menu.
    void AddCollectionMenu(QMenu& menu);
    void OnNewCollection();
    void OnRemoveFromCollection();
    void OnRenameCollection();
    void OnDeleteCollection();
    // The collection files that could not be used, once, after the window
    // has shown.
    void ShowCollectionProblems();
    void ShowFailure(const QString& what, const Failure_T& why);
    // "shown / in list · marked" beside the search.
    void UpdateCount();
    // A user action changed the marks: one step to undo.
    void CommitMarks();
    void UpdateTitle();
    void OnCaptureChanged();
    void OnItemChanged();
    void OnPlayModeChanged(int index);
    void OnHScroll(int position);
    // The volumes as a screen reader tells them.
    void ShowVolume(int hundredthsOfDb);
    void ShowVoiceVolume(int percent);
    // The clip's position on its bar, while a clip plays.
    void UpdatePosition();
    // Moves the clip by milliseconds (Shift+Left and Right).
    void SeekBy(int milliseconds);
    // One action per command, holding its text, keys and tooltip ("text
    // (keys)"), shared by its button, its keys and the context menu.
    void CreateCommands();
    QAction* MakeCommand(const QString& text, const QList<QKeySequence>& keys, const std::function<void()>& run);
    // The player's buttons beside Start, each showing its command.
    void CreatePlayerButtons(const CDialogUnits& du, QLayout* row);
    void TogglePause();

    // What playback shows in the window.
    void ShowFace(const FaceFrame_T& frame) override;
    void ShowTalkText(const std::string& text) override;
    void ShowCast(std::string_view castName) override;
    void ShowWait(std::int32_t waitTenths) override;
    void ShowMode(ClipKind_T kind) override;
    void ShowClipCut(std::uint64_t keptMicroseconds) override;
    // The mode caption of a clip that plays only its first keptMicroseconds.
    static QString CutModeText(const QString& mode, std::uint64_t keptMicroseconds);
    void ShowStartText(StartText_T text) override;
    void ShowState(PlaybackState_T state) override;
    void ShowOptions(const PlayerOptions_T& options) override;
    void ShowSeeked(std::uint64_t microseconds) override;

    CTarnwickApp& app;

    // The application's selection and player, which the window shows and
    // drives; it holds none of their state.
    CTalkSelection& selection;
    CPlayer& player;
    CPlayback& playback;

    struct Commands_T {
        QAction* previous = nullptr;
        QAction* pause = nullptr;  // Pause, or Resume while paused
        QAction* next = nullptr;
        QAction* replay = nullptr;
        QAction* shuffle = nullptr;       // checkable
        QAction* repeat = nullptr;        // cycles off, the line, the walk
        QAction* evenLoudness = nullptr;  // checkable
        QAction* voiceVolume = nullptr;   // to the voice volume slider
        QAction* seekBack = nullptr;
        QAction* seekForward = nullptr;
        // Keys only: the keyboard's media keys.
        QAction* playPause = nullptr;
        QAction* pauseOnly = nullptr;
        QAction* stop = nullptr;
        QAction* exportMarked = nullptr;
        QAction* chooseFolder = nullptr;
        QAction* undo = nullptr;
        QAction* redo = nullptr;
        QAction* copy = nullptr;  // the list's own copy keys, shown in the menu
        QAction* markShown = nullptr;
        QAction* unmarkShown = nullptr;
        QAction* find = nullptr;
        QAction* findSpeaker = nullptr;
        QAction* collect = nullptr;
        QAction* removeLines = nullptr;  // the list's Delete
        QAction* about = nullptr;
    };
    Commands_T commands;
    std::unique_ptr<CTalkTableModel> talkModel;
    std::unique_ptr<CSelectorCombo> captureAdapter;
    std::unique_ptr<CSelectorCombo> itemAdapter;

    CFaceFrameWidget* faceFrame = nullptr;
    QPlainTextEdit* talkTextBox = nullptr;
    QLabel* castCaption = nullptr;
    QLabel* waitCaption = nullptr;
    QLabel* modeCaption = nullptr;
    CTalkListView* talkList = nullptr;
    QComboBox* captureCombo = nullptr;
    QComboBox* itemCombo = nullptr;
    QComboBox* playModeCombo = nullptr;
    QSlider* volumeSlider = nullptr;
    QSlider* voiceSlider = nullptr;
    QCheckBox* evenLoudnessBox = nullptr;
    CClipPositionBar* positionBar = nullptr;
    QTimer positionTimer;
    QPushButton* startButton = nullptr;
    QToolButton* previousButton = nullptr;
    QToolButton* pauseButton = nullptr;
    QToolButton* nextButton = nullptr;
    QToolButton* replayButton = nullptr;
    QToolButton* shuffleButton = nullptr;
    QToolButton* repeatButton = nullptr;
    CSearchField* searchField = nullptr;
    CSpeakerCombo* speakerCombo = nullptr;
    QLabel* searchCount = nullptr;
    bool iconPending = true;
    bool speakersByName = false;

    // The window's default size: the layout's drawn size, or its minimum
    // where the texts need more.
    QSize layoutSize;
    // The size the window opened at, the stored one as the screen allowed:
    // kept in the settings in place of the stored one only once the user
    // has resized the window.
    QSize openedSize;

    float sx = 1.0f;
    float sy = 1.0f;
};

}  // namespace tarnwick
