#include "uShortcutDispatch.h"

#include "uScriptAction.h"
#include "uWndComponent.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

TShortcutDispatcher* theDispatcher = nullptr;

QKeyCombination keyOf(const QKeyEvent* event, bool keypad)
{
    const Qt::KeyboardModifiers modifiers = keypad ? event->modifiers() : event->modifiers() & ~Qt::KeypadModifier;
    return QKeyCombination(modifiers, static_cast<Qt::Key>(event->key()));
}

// A keypad key matches first an action bound to the keypad key itself, then one
// bound to its main-keyboard twin; a main-keyboard key never matches a keypad binding.
TCustomAbstractAction* dispatchKey(TShortcutDispatcher& dispatcher, QWidget* widget, const QKeyEvent* event,
                                   bool execute)
{
    if (event->modifiers() & Qt::KeypadModifier) {
        if (TCustomAbstractAction* action = dispatcher.dispatch(widget, keyOf(event, true), execute))
            return action;
    }
    return dispatcher.dispatch(widget, keyOf(event, false), execute);
}

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
        || key == Qt::Key_AltGr || key == 0 || key == Qt::Key_unknown;
}

} // namespace

TShortcutDispatcher& TShortcutDispatcher::install(QWidget* mainWindow)
{
    if (!theDispatcher) {
        theDispatcher = new TShortcutDispatcher(qApp);
        qApp->installEventFilter(theDispatcher);
        QObject::connect(theDispatcher, &QObject::destroyed, [] { theDispatcher = nullptr; });
    }
    theDispatcher->setMainWindow(mainWindow);
    return *theDispatcher;
}

TShortcutDispatcher* TShortcutDispatcher::instance()
{
    return theDispatcher;
}

TCustomAbstractAction* TShortcutDispatcher::dispatchIn(QWidget* window, const QKeyCombination& key, bool execute)
{
    for (TCustomQXActionList* list : window->findChildren<TCustomQXActionList*>()) {
        TCustomAbstractAction* action = list->findShortcut(key);
        if (!action)
            continue;
        if (execute)
            action->doExecute();
        return action;
    }
    return nullptr;
}

TCustomAbstractAction* TShortcutDispatcher::dispatch(QWidget* focus, const QKeyCombination& key, bool execute)
{
    QWidget* window = focus ? focus->window() : nullptr;
    if (window) {
        if (TCustomAbstractAction* action = dispatchIn(window, key, execute))
            return action;
    }
    if (FMainWindow && FMainWindow != window && FMainWindow->isEnabled())
        return dispatchIn(FMainWindow, key, execute);
    return nullptr;
}

bool TShortcutDispatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (!widget || isModifierKey(keyEvent->key()))
        return false;
    // A key the program binds is claimed before the focused control or Qt's own
    // shortcuts see it, and runs once, on the press.
    if (event->type() == QEvent::ShortcutOverride) {
        if (dispatchKey(*this, widget, keyEvent, false)) {
            event->accept();
            return true;
        }
        return false;
    }
    return dispatchKey(*this, widget, keyEvent, true) != nullptr;
}
