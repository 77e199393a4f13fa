#pragma once

#include "uScriptEngine.h"

#include <QHash>
#include <QList>
#include <QString>

// The macro engine: takes the routines the action lists declare, and runs a
// macro in the form the recorder writes:
//
//   // comment
//   begin
//       Volume(80);
//       setMute(True);
//       Fichiers(['a.mp4', 'b.mov']);
//   end.
//
// or with several statements on a line ("begin Volume(80); setMute(True); end.").
// Arguments are strings ('it''s'), integers, $hex, floats, True/False and
// arrays of strings. A macro is checked whole before it runs, so one with an
// error changes nothing and reports its line and the reason.
class TMacroEngine : public TScriptEngine {
    Q_OBJECT
public:
    enum class TParam { String, Integer, Double, Boolean, StringArray };

    struct TResult {
        bool ok = true;
        int line = 0; // 1-based line of the error
        QString reason;
    };

    explicit TMacroEngine(QObject* parent = nullptr) : TScriptEngine(parent) {}

    bool addRoutine(const QByteArray& declaration, TRoutine routine) override;
    // Forgets every routine, then asks the lists to declare theirs again.
    void compile();
    TResult run(const QString& macro);

    bool hasRoutine(const QString& name) const { return FRoutines.contains(name.toLower()); }

private:
    struct TRoutineEntry {
        QString name;
        QList<TParam> params;
        TRoutine call;
    };
    struct TCall {
        const TRoutineEntry* routine;
        QVariantList arguments;
    };

    QHash<QString, TRoutineEntry> FRoutines; // by lower-case name
};
