// The program's one window: the talk list with its selectors, the current
// line's face, speaker and text, the play mode, the music volume and Start.
// Its handlers turn widget signals into calls of the core and show what the
// core reports.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include <memory>

#include "talk/selection_models.h"

class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace tarnwick {

class CTarnwickApp;
class CTalkListView;
class CTalkTableModel;
class CSelectorCombo;

inline constexpr int kNextLineTimer = 100;
inline constexpr int kMusicWatchTimer = 101;

class CTarnwickDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTarnwickDlg(CTarnwickApp& app, QWidget* parent = nullptr);
    ~CTarnwickDlg() override;

    // Closing: timers, walk, music and clip stop before the window goes.
    void done(int result) override;

    // Logical dots per inch over 96, as the window was scaled with.
    float ScaleX() const { return sx; }
    float ScaleY() const { return sy; }

    CTalkListModel& TalkRows() { return talkRows; }
    CSelectorModel& CaptureChoices() { return captureChoices; }
    CSelectorModel& ItemChoices() { return itemChoices; }

public slots:
    void OnAbout();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog();
    void OnCaptureChanged();
    void OnItemChanged();
    void OnPlayModeChanged(int index);
    void OnHScroll(int position);
    void OnTimer(int id);

    CTarnwickApp& app;

    // The selection state the list and selectors show; declared before the
    // adapters that listen to it, so it outlives them.
    CTalkListModel talkRows;
    CSelectorModel captureChoices;
    CSelectorModel itemChoices;
    std::unique_ptr<CTalkTableModel> talkModel;
    std::unique_ptr<CSelectorCombo> captureAdapter;
    std::unique_ptr<CSelectorCombo> itemAdapter;

    QFrame* faceFrame = nullptr;
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
    QIcon appIcon;

    QTimer nextLineTimer;
    QTimer musicWatchTimer;
    float sx = 1.0f;
    float sy = 1.0f;
};

}  // namespace tarnwick
