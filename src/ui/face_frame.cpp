#include "ui/face_frame.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QPalette>

#include <cstdint>
#include <utility>

namespace tarnwick {

namespace {

// Screen readers take the frame for the picture it is, not a border.
QAccessibleInterface* FacePictureAccessible(const QString& key, QObject* object)
{
    if (key != QLatin1String(CFaceFrameWidget::staticMetaObject.className()) || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
}

}  // namespace

CFaceFrameWidget::CFaceFrameWidget(QWidget* parent) : QFrame(parent)
{
    static const bool accessibleAsPicture = [] {
        QAccessible::installFactory(FacePictureAccessible);
        return true;
    }();
    (void)accessibleAsPicture;
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);
}

QImage FaceFrameImage(const FaceFrame_T& frame)
{
    if (frame.IsEmpty())
        return {};
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* p = frame.Row(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < frame.width; ++x, p += 4)
            line[x] = qRgb(p[2], p[1], p[0]);
    }
    return image;
}

void CFaceFrameWidget::ShowFrame(const FaceFrame_T& frame)
{
    QImage image = FaceFrameImage(frame);
    if (image.isNull())
        return;
    shown = std::move(image);
    update();
}

bool CFaceFrameWidget::ShowFace(int frameStyle, const FacePicture_T& picture)
{
    const FaceFrame_T frame = DrawFaceImage(frameStyle, width(), height(), picture);
    if (frame.IsEmpty())
        return false;
    ShowFrame(frame);
    return true;
}

void CFaceFrameWidget::paintEvent(QPaintEvent* event)
{
    if (shown.isNull()) {
        QFrame::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), shown);
}

}  // namespace tarnwick
