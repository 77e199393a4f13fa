#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>

#include "uScriptEngine.h"

#include <functional>
#include <memory>

class TCustomAbstractAction;
class TOrvanePreferences;

using TListLoadEvent = std::function<bool(TOrvanePreferences& prefs)>;
using TListSaveEvent = std::function<bool(TOrvanePreferences& prefs)>;

// An ordered list of typed actions that loads and saves them together, finds
// one again by its internal id, declares them to the script engine and answers
// the keyboard for them. The actions are children of the list.
class TCustomQXActionList : public QObject {
    Q_OBJECT
public:
    explicit TCustomQXActionList(QObject* owner = nullptr);
    ~TCustomQXActionList() override;

    const QList<TCustomAbstractAction*>& actions() const { return FActions; }
    void addAction(TCustomAbstractAction* action);
    void removeAction(TCustomAbstractAction* action);

    bool loadfromprefs(TOrvanePreferences& prefs);
    bool savetoprefs(TOrvanePreferences& prefs);
    TListLoadEvent OnLoadFromPrefs;
    TListSaveEvent OnSaveToPrefs;

    // The first action with that internal id (case-sensitive), or none.
    TCustomAbstractAction* recuperer(const QString& aInternalID) const;
    template <typename A>
    A* recuperer(const QString& aInternalID) const
    {
        return qobject_cast<A*>(recuperer(aInternalID));
    }

    TScriptEngine* PascalScript() const { return FPascalScript; }
    void setPascalScript(TScriptEngine* engine);

    // The first enabled action of the list bound to this key, or none: of two
    // actions sharing a key, disabling the earlier passes the key to the later.
    TCustomAbstractAction* findShortcut(const QKeyCombination& key) const;

private:
    void compile(TScriptEngine& engine);

    QList<TCustomAbstractAction*> FActions;
    QPointer<TScriptEngine> FPascalScript;
    std::function<void(TScriptEngine&)> FSavedCompile;
    QMetaObject::Connection FEngineWatch;
};

class TQXActionList : public TCustomQXActionList {
    Q_OBJECT
public:
    using TCustomQXActionList::TCustomQXActionList;
};

// A message posted to a component's message target: the number and two
// parameters. A message may own what lParam points to (payload), which then
// lives until the message has been handled.
class TMessageEvent : public QEvent {
public:
    TMessageEvent(uint msg, qintptr wParam, qintptr lParam);
    TMessageEvent(uint msg, qintptr wParam, std::shared_ptr<const void> payload);
    static QEvent::Type eventType();

    uint msg;
    qintptr wParam;
    qintptr lParam;
    std::shared_ptr<const void> payload;
};

class TQXActionComponent;

// The component's hidden message window: receives posted messages and hands
// them, on the user-interface thread and in posting order, to windowProc.
class TMessageTarget : public QObject {
    Q_OBJECT
public:
    explicit TMessageTarget(TQXActionComponent* component);
    bool event(QEvent* event) override;

private:
    TQXActionComponent* FComponent;
};

// Posts a message to a component's target; safe from any thread.
void postMessage(QObject* handle, uint msg, qintptr wParam = 0, qintptr lParam = 0);
// The same with a payload the message owns; lParam is its address.
void postMessage(QObject* handle, uint msg, qintptr wParam, std::shared_ptr<const void> payload);

// An action list with a message target: the base of every manager.
// A derived class calls initialize() at the end of its constructor, which runs
// createActions, initActions and connectActions in that order.
class TQXActionComponent : public TCustomQXActionList {
    Q_OBJECT
public:
    explicit TQXActionComponent(QObject* owner = nullptr);
    ~TQXActionComponent() override;

    QObject* Handle() const { return FHandle; }

    virtual qintptr windowProc(uint msg, qintptr wParam, qintptr lParam);
    virtual void connectActions() {}
    virtual void createActions() {}
    virtual void findActions() {}
    virtual void initActions() {}

protected:
    void initialize();

private:
    TMessageTarget* FHandle;
};
