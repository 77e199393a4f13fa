#include "uBorderBloc.h"

#include <QResizeEvent>

void fillWith(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TBorderBloc::TBorderBloc(QWidget* parent)
    : TBloc(parent), BorderShape(new QWidget(this)), InnerPanel(new QWidget(this))
{
    passMouseThrough(BorderShape);
    passMouseThrough(InnerPanel);
    fillWith(InnerPanel, palette().color(QPalette::Button));
    paintBorder(false);
}

void TBorderBloc::setSelected(bool value)
{
    // A page refill sets every tile: only a change is worth a restyle.
    if (value == selected())
        return;
    TBloc::setSelected(value);
    paintBorder(value);
}

void TBorderBloc::paintBorder(bool selected)
{
    // The application-workspace colour: what Qt paints an MDI area's background with.
    fillWith(BorderShape, selected ? QColor(Qt::yellow) : palette().color(QPalette::Dark));
}

void TBorderBloc::resizeEvent(QResizeEvent* event)
{
    TBloc::resizeEvent(event);
    BorderShape->setGeometry(rect());
    const int inset = scaled(4);
    InnerPanel->setGeometry(rect().adjusted(inset, inset, -inset, -inset));
}
