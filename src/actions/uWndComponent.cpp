#include "uWndComponent.h"

#include "uScriptAction.h"
#include "uScriptEngine.h"

#include <QCoreApplication>

#include <exception>

TCustomQXActionList::TCustomQXActionList(QObject* owner) : QObject(owner) {}

TCustomQXActionList::~TCustomQXActionList()
{
    setPascalScript(nullptr);
    // The actions leave the list before it goes, so none of them reaches back into it.
    const QList<TCustomAbstractAction*> actions = std::exchange(FActions, {});
    qDeleteAll(actions);
}

void TCustomQXActionList::addAction(TCustomAbstractAction* action)
{
    if (!FActions.contains(action))
        FActions.append(action);
}

void TCustomQXActionList::removeAction(TCustomAbstractAction* action)
{
    FActions.removeOne(action);
}

bool TCustomQXActionList::loadfromprefs(TOrvanePreferences& prefs)
{
    bool result = true;
    try {
        for (TCustomAbstractAction* action : FActions) {
            if (action->IncludePrefs)
                result = action->loadfromprefs(prefs) && result;
        }
        if (OnLoadFromPrefs)
            result = OnLoadFromPrefs(prefs) && result;
    } catch (const std::exception&) {
        // An error outside the actions' own handling ends the walk as it stands.
    }
    return result;
}

bool TCustomQXActionList::savetoprefs(TOrvanePreferences& prefs)
{
    bool result = true;
    try {
        for (TCustomAbstractAction* action : FActions) {
            if (action->IncludePrefs)
                result = action->savetoprefs(prefs) && result;
        }
        if (OnSaveToPrefs)
            result = OnSaveToPrefs(prefs) && result;
    } catch (const std::exception&) {
    }
    return result;
}

TCustomAbstractAction* TCustomQXActionList::recuperer(const QString& aInternalID) const
{
    for (TCustomAbstractAction* action : FActions) {
        if (action->InternalId == aInternalID)
            return action;
    }
    return nullptr;
}

TCustomAbstractAction* TCustomQXActionList::findShortcut(const QKeyCombination& key) const
{
    for (TCustomAbstractAction* action : FActions) {
        if (action->isEnabled() && action->hasShortcut(key))
            return action;
    }
    return nullptr;
}

void TCustomQXActionList::setPascalScript(TScriptEngine* engine)
{
    if (FPascalScript == engine)
        return;
    QObject::disconnect(FEngineWatch);
    if (FPascalScript)
        FPascalScript->OnCompile = std::exchange(FSavedCompile, nullptr);
    FPascalScript = engine;
    if (!engine)
        return;
    FSavedCompile = engine->OnCompile;
    engine->OnCompile = [this](TScriptEngine& e) { compile(e); };
    FEngineWatch = connect(engine, &QObject::destroyed, this, [this] {
        FPascalScript = nullptr;
        FSavedCompile = nullptr;
    });
}

void TCustomQXActionList::compile(TScriptEngine& engine)
{
    if (FSavedCompile)
        FSavedCompile(engine);
    for (TCustomAbstractAction* action : FActions)
        action->registerInScript(engine);
}

// ---------------------------------------------------------------------------

TMessageEvent::TMessageEvent(uint msg_, qintptr wParam_, qintptr lParam_)
    : QEvent(eventType()), msg(msg_), wParam(wParam_), lParam(lParam_)
{
}

TMessageEvent::TMessageEvent(uint msg_, qintptr wParam_, std::shared_ptr<const void> payload_)
    : QEvent(eventType()), msg(msg_), wParam(wParam_), lParam(reinterpret_cast<qintptr>(payload_.get())),
      payload(std::move(payload_))
{
}

QEvent::Type TMessageEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TMessageTarget::TMessageTarget(TQXActionComponent* component) : QObject(component), FComponent(component) {}

bool TMessageTarget::event(QEvent* event)
{
    if (event->type() != TMessageEvent::eventType())
        return QObject::event(event);
    const auto* message = static_cast<TMessageEvent*>(event);
    FComponent->windowProc(message->msg, message->wParam, message->lParam);
    return true;
}

void postMessage(QObject* handle, uint msg, qintptr wParam, qintptr lParam)
{
    QCoreApplication::postEvent(handle, new TMessageEvent(msg, wParam, lParam));
}

void postMessage(QObject* handle, uint msg, qintptr wParam, std::shared_ptr<const void> payload)
{
    QCoreApplication::postEvent(handle, new TMessageEvent(msg, wParam, std::move(payload)));
}

TQXActionComponent::TQXActionComponent(QObject* owner) : TCustomQXActionList(owner), FHandle(new TMessageTarget(this)) {}

TQXActionComponent::~TQXActionComponent()
{
    delete FHandle;
    FHandle = nullptr;
}

qintptr TQXActionComponent::windowProc(uint, qintptr, qintptr)
{
    return 0;
}

void TQXActionComponent::initialize()
{
    createActions();
    initActions();
    connectActions();
}
