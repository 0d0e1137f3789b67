// The window's face frame: a thin black frame until the first face is shown,
// then the last composed face frame, painted again whenever the window
// system asks, so the picture survives being covered, hidden or restored.
#pragma once

#include <QFrame>
#include <QImage>

#include "face/face_draw.h"

namespace tarnwick {

// The composed frame as an image; a null image for an empty frame.
QImage FaceFrameImage(const FaceFrame_T& frame);

class CFaceFrameWidget : public QFrame {
    Q_OBJECT

public:
    explicit CFaceFrameWidget(QWidget* parent = nullptr);

    // Keeps a copy of the composed frame and shows it from now on, scaled
    // to the widget should its size change later. An empty frame changes
    // nothing.
    void ShowFrame(const FaceFrame_T& frame);
    // Composes the picture in a frame of the widget's current size and shows
    // it. False, with nothing changed, when it cannot be composed.
    bool ShowFace(int frameStyle, const FacePicture_T& picture);

    bool HasFrame() const { return !shown.isNull(); }
    const QImage& ShownFrame() const { return shown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage shown;
};

}  // namespace tarnwick
