#include "uBloc.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QWheelEvent>

int scalePixels(int pixels, int dpi)
{
    return (pixels * dpi + 48) / 96;
}

TBloc::TBloc(QWidget* parent) : QWidget(parent) {}

void TBloc::setSelected(bool value)
{
    if (Fselected == value)
        return;
    Fselected = value;
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void TBloc::mousePressEvent(QMouseEvent* event)
{
    if (!FonMouseDown) {
        event->ignore();
        return;
    }
    FonMouseDown(this, event);
    event->accept();
}

void TBloc::mouseMoveEvent(QMouseEvent* event)
{
    if (!FonMouseMove) {
        event->ignore();
        return;
    }
    FonMouseMove(this, event);
    event->accept();
}

void TBloc::wheelEvent(QWheelEvent* event)
{
    if (!FonWheel) {
        event->ignore();
        return;
    }
    FonWheel(event);
}

void TBloc::passMouseThrough(QWidget* part)
{
    part->setAttribute(Qt::WA_TransparentForMouseEvents);
}
