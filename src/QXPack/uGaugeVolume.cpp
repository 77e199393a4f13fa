#include "uGaugeVolume.h"

#include "uDensity.h"

#include <QEvent>

TGaugeVolume::TGaugeVolume(QWidget* parent) : TTextGauge(parent)
{
    setMaxValue(10000);
    setAlertValue(11000);
    setBorderStyle(bsNone);
    setBackColor(Qt::white);
    setForeColor(palette().color(QPalette::Dark));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(8);
    setFont(arial);
    setToolTip(QStringLiteral("Type + or - on the numeric keypad to change the volume"));
    setDpi(logicalDpiY());
}

void TGaugeVolume::setDpi(int dpi)
{
    resize(scaleToDpi(48, dpi), scaleToDpi(20, dpi));
}

void TGaugeVolume::changeEvent(QEvent* event)
{
    TTextGauge::changeEvent(event);
    // The needle keeps the theme's button-shadow colour when the theme changes.
    if (event->type() == QEvent::PaletteChange)
        setForeColor(palette().color(QPalette::Dark));
}
