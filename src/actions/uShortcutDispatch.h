#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class TCustomAbstractAction;

// The program's own keyboard shortcuts. A key pressed anywhere goes first to
// the action lists of the window that has it, then to those of the main
// window (when it is enabled). Each window walks its lists depth first in the
// order it owns them; a list answers with its first enabled action bound to
// the key, which runs and takes the key; with none, the key goes on.
class TShortcutDispatcher : public QObject {
    Q_OBJECT
public:
    // Installs the dispatcher on the application; one per process.
    static TShortcutDispatcher& install(QWidget* mainWindow);
    static TShortcutDispatcher* instance();

    void setMainWindow(QWidget* mainWindow) { FMainWindow = mainWindow; }
    // The action the key would run from this widget, or none.
    TCustomAbstractAction* dispatch(QWidget* focus, const QKeyCombination& key, bool execute);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TShortcutDispatcher(QObject* parent) : QObject(parent) {}
    TCustomAbstractAction* dispatchIn(QWidget* window, const QKeyCombination& key, bool execute);

    QPointer<QWidget> FMainWindow;
};
