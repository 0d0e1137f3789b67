// The program's one window: the talk list with its selectors, the current
// line's face, speaker and text, the play mode, the music volume and Start.
// Its handlers turn widget signals into calls of the core and show what the
// core reports.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include <memory>

#include "talk/line_search.h"
#include "talk/selection_models.h"
#include "walk/talk_walker.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace tarnwick {

class CTarnwickApp;
class CFaceFrameWidget;
class CQtWaveDevice;
class CTalkListView;
class CTalkTableModel;
class CSelectorCombo;
class CSearchField;

class CTarnwickDlg : public QDialog, private IWalkerHost {
    Q_OBJECT
public:
    explicit CTarnwickDlg(CTarnwickApp& app, QWidget* parent = nullptr);
    // The controls only, which need nothing of the game, for building the
    // window while the game loads; InitDialog fills them once it is there.
    struct ControlsOnly_T {};
    CTarnwickDlg(CTarnwickApp& app, ControlsOnly_T, QWidget* parent = nullptr);
    void InitDialog() { OnInitDialog(); }
    CTarnwickApp& App() const { return app; }
    ~CTarnwickDlg() override;

    // Closing: timers, walk, music and clip stop before the window goes.
    void done(int result) override;

    // Logical dots per inch over 96, as the window was scaled with.
    float ScaleX() const { return sx; }
    float ScaleY() const { return sy; }

    CTalkListModel& TalkRows() { return talkRows; }
    CTalkWalker& Walker() { return walker; }
    CSelectorModel& CaptureChoices() { return captureChoices; }
    CSelectorModel& ItemChoices() { return itemChoices; }

    CSearchField* SearchField() const { return searchField; }
    QLabel* SearchCount() const { return searchCount; }

public slots:
    void OnAbout();
    void OnChooseGameFolder();
    void OnExportMarked();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog();
    // The window opens at its layout size or the stored one, never larger
    // than the screen; it may grow, and shrink only below the layout on a
    // screen too small for it.
    void FitToScreen();
    void RestorePlace();
    void OnSearchChanged();
    void ApplySearch();
    void UpdateTitle();
    void OnCaptureChanged();
    void OnItemChanged();
    void OnPlayModeChanged(int index);
    void OnHScroll(int position);

    // What the walker does through the window, the sound and the pictures.
    bool DrawFace(const std::string& faceEntryName, int frameStyle) override;
    void ShowTalkText(const std::string& text) override;
    void ShowCast(std::string_view castName) override;
    void ShowWait(const std::string& wait) override;
    void ShowMode(const char* mode) override;
    void ShowStartText(StartText_T text) override;
    PlayMode_T PlayMode() const override;
    void ArmNextLineTimer(int milliseconds) override;
    void StopNextLineTimer() override;
    bool PlayVoiceClip(const std::string& voiceEntryName, ClipKind_T kind) override;
    bool IsClipPlaying() const override;
    void StopVoiceClip() override;
    void CloseVoiceClip() override;
    void PlayBgm(int number) override;
    void StopBgm() override;
    void PollBgm(int number) override;

    CTarnwickApp& app;

    // The selection state the list and selectors show; declared before the
    // adapters that listen to it, so it outlives them.
    CTalkListModel talkRows;
    CSelectorModel captureChoices;
    CSelectorModel itemChoices;
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
    QPushButton* startButton = nullptr;
    CSearchField* searchField = nullptr;
    QLabel* searchCount = nullptr;
    QIcon appIcon;
    CLineSearch search;

    // Where the list and the search field lie at the layout's size: they
    // take whatever the window has beyond it.
    QSize layoutSize;
    QRect listLayout;
    QRect searchLayout;
    QRect countLayout;

    QTimer nextLineTimer;
    QTimer musicWatchTimer;
    std::unique_ptr<CQtWaveDevice> waveDevice;
    CTalkWalker walker;
    float sx = 1.0f;
    float sy = 1.0f;
};

}  // namespace tarnwick
