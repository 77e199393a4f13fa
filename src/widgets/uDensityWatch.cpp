#include "uDensityWatch.h"

#include <QScreen>
#include <QWindow>

TDensityWatch::TDensityWatch(QWidget* widget, std::function<void()> changed)
    : QObject(widget), FWidget(widget), FChanged(std::move(changed))
{
}

void TDensityWatch::watch()
{
    if (FWindowScreen || !FWidget)
        return;
    QWidget* top = FWidget->window();
    QWindow* handle = top ? top->windowHandle() : nullptr;
    if (!handle)
        return;
    FWindowScreen = connect(handle, &QWindow::screenChanged, this, [this](QScreen* screen) {
        followScreen(screen);
        if (FChanged)
            FChanged();
    });
    followScreen(handle->screen());
}

void TDensityWatch::followScreen(QScreen* screen)
{
    disconnect(FScreenDpi);
    if (screen)
        FScreenDpi = connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] {
            if (FChanged)
                FChanged();
        });
}
