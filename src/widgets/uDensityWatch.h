#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// Tells a widget when the pixel density of its screen may have changed: its
// window moved to another screen, or the screen's own density changed. The
// widget then scales itself as a change of the system's setting would.
class TDensityWatch : public QObject {
    Q_OBJECT
public:
    TDensityWatch(QWidget* widget, std::function<void()> changed);

    // Starts following the widget's window; its native window exists only once
    // shown, so call this from showEvent. Later calls do nothing.
    void watch();
    bool watching() const { return FWindowScreen; }

private:
    void followScreen(QScreen* screen);

    QPointer<QWidget> FWidget;
    std::function<void()> FChanged;
    QMetaObject::Connection FWindowScreen;
    QMetaObject::Connection FScreenDpi;
};
