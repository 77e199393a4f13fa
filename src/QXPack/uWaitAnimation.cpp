#include "uWaitAnimation.h"

#include "uDensity.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

// A ring of eight dots, every other one dark; the two frames swap the dark ones,
// so the ring seems to turn.
QPixmap ringPicture(int side, qreal ratio, int frame)
{
    QPixmap picture(QSize(side, side) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal dot = side / 10.0;
    const qreal radius = side / 2.0 - dot;
    const QPointF centre(side / 2.0, side / 2.0);
    for (int i = 0; i < 8; ++i) {
        const double angle = std::numbers::pi * i / 4;
        painter.setBrush(i % 2 == frame ? QColor(0x40, 0x40, 0x40) : QColor(0xC0, 0xC0, 0xC0));
        painter.drawEllipse(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)), dot, dot);
    }
    return picture;
}

} // namespace

TWaitAnimation::TWaitAnimation(QWidget* parent) : QLabel(parent)
{
    setAccessibleName(QStringLiteral("Loading"));
    FTimer.setInterval(FrameInterval);
    connect(&FTimer, &QTimer::timeout, this, &TWaitAnimation::nextFrame);
    setDpi(logicalDpiY());
}

void TWaitAnimation::setDpi(int dpi)
{
    const int side = scaleToDpi(32, dpi);
    for (int frame = 0; frame < FrameCount; ++frame)
        FFrames[frame] = ringPicture(side, devicePixelRatioF(), frame);
    resize(side, side);
    setPixmap(FFrames[FFrame]);
}

void TWaitAnimation::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    FTimer.start();
}

// Hidden, it would only wake the program for nothing.
void TWaitAnimation::hideEvent(QHideEvent* event)
{
    QLabel::hideEvent(event);
    FTimer.stop();
}

void TWaitAnimation::nextFrame()
{
    FFrame = (FFrame + 1) % FrameCount;
    setPixmap(FFrames[FFrame]);
}
