// The player's own small controls: the clip's position bar, and the
// pictures of the shuffle and repeat buttons, drawn in the palette's text
// colour where the icon theme has none.
#pragma once

#include <QIcon>
#include <QProgressBar>

#include "walk/player_options.h"

namespace tarnwick {

// A thin bar of the clip's position, in milliseconds of its length; a
// click asks to move there.
class CClipPositionBar : public QProgressBar {
    Q_OBJECT
public:
    explicit CClipPositionBar(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void SeekRequested(int milliseconds);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

QIcon ShuffleIcon(const QWidget& widget);
QIcon RepeatIcon(const QWidget& widget, Repeat_T repeat);

}  // namespace tarnwick
