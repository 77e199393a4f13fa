#pragma once

#include <QByteArray>
#include <QObject>
#include <QVariantList>

#include <functional>

// What the typed actions need of a script engine: a routine declared by its
// header text, bound to a call that receives the routine's arguments in order
// (QString, qint64, double, bool, QStringList for an array of string).
// The engine itself lives above the actions; lists only see this face of it.
class TScriptEngine : public QObject {
    Q_OBJECT
public:
    using TRoutine = std::function<void(const QVariantList& arguments)>;
    using TCompileEvent = std::function<void(TScriptEngine& engine)>;

    explicit TScriptEngine(QObject* parent = nullptr) : QObject(parent) {}

    // Declares a routine from its header ("procedure Name(const aInteger:integer);");
    // false when the header is not understood or the name is taken.
    virtual bool addRoutine(const QByteArray& declaration, TRoutine routine) = 0;

    // Called when the engine compiles, so that lists can declare their actions.
    TCompileEvent OnCompile;
};
