#include "uStatusBar.h"

#include <QAccessible>
#include <QPainter>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kMoneyGreen(192, 220, 192);

} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Status"));
    setAutoFillBackground(true);
}

void TStatusBar::setText(int panel, const QString& text)
{
    if (FText[panel] == text)
        return;
    FText[panel] = text;
    announce();
    update();
}

void TStatusBar::setPanelWidth(int panel, int width)
{
    FWidth[panel] = width;
    update();
}

void TStatusBar::setCountPanel(int panel)
{
    if (panel == FCountPanel)
        return;
    // The texts move with their roles.
    std::swap(FText[0], FText[1]);
    FCountPanel = panel;
    announce();
    update();
}

void TStatusBar::setState(TPanelState state)
{
    FState = state;
    update();
}

void TStatusBar::announce()
{
    // Screen readers read the bar as the count, then the message.
    setAccessibleDescription(FText[FCountPanel] + QStringLiteral(" - ") + FText[1 - FCountPanel]);
    QAccessibleValueChangeEvent event(this, accessibleDescription());
    QAccessible::updateAccessibility(&event);
}

void TStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);
    int left = 0;
    for (int panel = 0; panel < 2; ++panel) {
        const int width = panel == 1 ? this->width() - left : FWidth[panel];
        const QRect area(left, 0, width, height());
        QFont font = this->font();
        QColor ink = Qt::black;
        if (panel == FCountPanel) {
            font.setItalic(true);
        } else {
            if (FState == psLoading)
                painter.fillRect(area.adjusted(1, 1, -1, -1), kMoneyGreen);
            if (FState == psLecture)
                ink = kNavy;
        }
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, FText[panel]);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(area.right(), 2, area.right(), height() - 3);
        left += width;
    }
}
