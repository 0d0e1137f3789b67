#include "ui/player_controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>

namespace tarnwick {

CClipPositionBar::CClipPositionBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setRange(0, 0);
    setValue(0);
    setFocusPolicy(Qt::NoFocus);  // its keys are the window's, Shift+Left and Right
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

QSize CClipPositionBar::sizeHint() const
{
    return {QProgressBar::sizeHint().width(), std::max(4, fontMetrics().height() / 3)};
}

QSize CClipPositionBar::minimumSizeHint() const
{
    return {8, sizeHint().height()};
}

void CClipPositionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || maximum() <= 0 || width() <= 0) {
        QProgressBar::mousePressEvent(event);
        return;
    }
    const double at = std::clamp(event->position().x() / width(), 0.0, 1.0);
    emit SeekRequested(static_cast<int>(at * maximum()));
    event->accept();
}

void CClipPositionBar::paintEvent(QPaintEvent*)
{
    // The style's bar would be as tall as a text line; this one is a rule.
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, palette().color(QPalette::Midlight));
    if (maximum() > 0) {
        const double done = std::clamp(static_cast<double>(value()) / maximum(), 0.0, 1.0);
        painter.fillRect(QRect(all.left(), all.top(), static_cast<int>(done * all.width()), all.height()),
                         palette().color(isEnabled() ? QPalette::Highlight : QPalette::Mid));
    }
}

namespace {

// Draws on a 16-unit square in the widget's text colour.
template <typename Draw>
QIcon PaintedIcon(const QWidget& widget, Draw draw)
{
    const qreal ratio = widget.devicePixelRatioF();
    const int side = widget.style() ? std::max(16, widget.fontMetrics().height()) : 16;
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 16.0, side / 16.0);
    QPen pen(widget.palette().color(QPalette::ButtonText), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    draw(painter);
    return QIcon(pixmap);
}

void ArrowHead(QPainter& painter, QPointF tip, QPointF back)
{
    const QPointF d = tip - back;
    const QPointF n(-d.y(), d.x());
    painter.drawLine(tip, back + n * 0.8);
    painter.drawLine(tip, back - n * 0.8);
}

}  // namespace

QIcon ShuffleIcon(const QWidget& widget)
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("media-playlist-shuffle"));
    if (!themed.isNull())
        return themed;
    return PaintedIcon(widget, [](QPainter& p) {
        QPainterPath down(QPointF(2, 4));
        down.cubicTo(QPointF(8, 4), QPointF(8, 12), QPointF(13, 12));
        QPainterPath up(QPointF(2, 12));
        up.cubicTo(QPointF(8, 12), QPointF(8, 4), QPointF(13, 4));
        p.drawPath(down);
        p.drawPath(up);
        ArrowHead(p, QPointF(14, 4), QPointF(11.5, 4));
        ArrowHead(p, QPointF(14, 12), QPointF(11.5, 12));
    });
}

QIcon RepeatIcon(const QWidget& widget, Repeat_T repeat)
{
    const QIcon themed = QIcon::fromTheme(repeat == Repeat_T::kLine ? QStringLiteral("media-playlist-repeat-song")
                                                                    : QStringLiteral("media-playlist-repeat"));
    if (!themed.isNull())
        return themed;
    return PaintedIcon(widget, [repeat](QPainter& p) {
        QPainterPath loop(QPointF(11, 4));
        loop.lineTo(4.5, 4);
        loop.arcTo(QRectF(2, 4, 5, 8), 90, 180);
        loop.lineTo(11.5, 12);
        loop.arcTo(QRectF(9, 4, 5, 8), -90, 150);
        p.drawPath(loop);
        ArrowHead(p, QPointF(12.5, 4), QPointF(10.5, 4));
        if (repeat == Repeat_T::kLine) {
            QFont font = p.font();
            font.setPixelSize(7);
            font.setBold(true);
            p.setFont(font);
            p.drawText(QRectF(5, 4.5, 6, 7), Qt::AlignCenter, QStringLiteral("1"));
        }
    });
}

}  // namespace tarnwick
