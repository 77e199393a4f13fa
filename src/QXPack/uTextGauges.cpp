#include "uTextGauges.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

QColor colorFromBGR(quint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

const QColor TTextGauge::AlertColor = colorFromBGR(0xA2A2EE);

namespace {

// The gauge is drawn by the program, so assistive tools read its text from here.
class TTextGaugeAccessible : public QAccessibleWidget {
public:
    explicit TTextGaugeAccessible(TTextGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* gauge = static_cast<const TTextGauge*>(widget());
        switch (t) {
        case QAccessible::Name:
        case QAccessible::Value:
            return gauge->text();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* gaugeFactory(const QString&, QObject* object)
{
    if (auto* gauge = qobject_cast<TTextGauge*>(object))
        return new TTextGaugeAccessible(gauge); // Qt's accessibility cache owns it
    return nullptr;
}

} // namespace

TTextGauge::TTextGauge(QWidget* parent) : QWidget(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(gaugeFactory); });
}

void TTextGauge::setMinValue(int value)
{
    if (value == FMinValue)
        return;
    FMinValue = value;
    FMaxValue = std::max(FMaxValue, value);
    FCurValue = std::clamp(FCurValue, FMinValue, FMaxValue);
    changed();
}

void TTextGauge::setMaxValue(int value)
{
    if (value == FMaxValue)
        return;
    FMaxValue = value;
    FMinValue = std::min(FMinValue, value);
    FCurValue = std::clamp(FCurValue, FMinValue, FMaxValue);
    changed();
}

void TTextGauge::setProgress(int value)
{
    const int before = PercentDone();
    FCurValue = std::clamp(value, FMinValue, FMaxValue);
    if (PercentDone() != before)
        changed();
}

void TTextGauge::setAlertValue(int value)
{
    FAlertValue = value;
    update();
}

int TTextGauge::PercentDone() const
{
    const qint64 range = qint64(FMaxValue) - FMinValue;
    if (range == 0)
        return 0;
    return int(100 * (qint64(FCurValue) - FMinValue) / range);
}

void TTextGauge::setShowText(bool show)
{
    FShowText = show;
    update();
}

void TTextGauge::setCaption(const QString& caption)
{
    FCaption = caption;
    changed();
}

void TTextGauge::setCustomText(bool custom)
{
    FCustomText = custom;
    changed();
}

void TTextGauge::setBorderStyle(TGaugeBorderStyle style)
{
    FBorderStyle = style;
    update();
}

void TTextGauge::setForeColor(const QColor& color)
{
    FForeColor = color;
    update();
}

void TTextGauge::setBackColor(const QColor& color)
{
    FBackColor = color;
    update();
}

QString TTextGauge::text() const
{
    return FCustomText ? FCaption : QString::number(PercentDone()) + QLatin1Char('%');
}

void TTextGauge::changed()
{
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
        QAccessibleValueChangeEvent valueChanged(this, text());
        QAccessible::updateAccessibility(&valueChanged);
    }
}

void TTextGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, paintGauge());
}

// Drawn whole off screen first, so the text layer can be combined with the finished dial.
QImage TTextGauge::paintGauge() const
{
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(backgroundRole()));

    QPainter painter(&image);
    QRect area = rect();
    if (FBorderStyle == bsSingle) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        area.adjust(1, 1, -1, -1);
    }
    const QColor fore = FCurValue > FAlertValue ? AlertColor : FForeColor;
    const int last = area.bottom();

    // The disc's centre lies on the bottom row, so only its upper half shows.
    painter.setPen(fore);
    painter.setBrush(FBackColor);
    painter.drawPie(QRect(area.left(), area.top(), area.width() - 1, 2 * (area.height() - 1)), 0, 180 * 16);
    painter.drawLine(area.left(), last, area.right(), last);

    if (PercentDone() > 0) {
        const int middle = width() / 2;
        const double angle = std::numbers::pi * PercentDone() / 100.0;
        painter.drawLine(middle, last, int(std::lround(middle * (1 - std::cos(angle)))),
                         int(std::lround(last * (1 - std::sin(angle)))));
    }

    if (FShowText) {
        // White on black: the exclusive-or inverts the dial under the letters and leaves the rest.
        QImage layer(image.size(), QImage::Format_RGB32);
        layer.setDevicePixelRatio(ratio);
        layer.fill(Qt::black);
        QPainter textPainter(&layer);
        QFont crisp = font();
        crisp.setStyleStrategy(QFont::NoAntialias);
        textPainter.setFont(crisp);
        textPainter.setPen(Qt::white);
        textPainter.drawText(area, Qt::AlignCenter, text());
        textPainter.end();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawImage(0, 0, layer);
    }
    return image;
}
