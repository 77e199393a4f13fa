#pragma once

#include "uMacroRecorder.h"
#include "uValueTypes.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QStringList>

#include <functional>

class TCustomQXActionList;
class TOrvanePreferences;
class TScriptEngine;

// Base of every typed action: a command or setting with a two-letter type
// prefix in its name, a script name that is also its preferences key, and the
// operations that apply, load, save, declare and record it.
//
// Shortcuts are kept here rather than in QAction's own shortcut, which would
// put them in Qt's shortcut map: the program dispatches keys itself so that
// the first enabled action of a list wins (see uShortcutDispatch.h).
class TCustomAbstractAction : public QAction {
    Q_OBJECT
public:
    // Creates the action in code for the component that owns it: the action joins
    // the list, its internal id is aName and its category "internal".
    TCustomAbstractAction(const QString& aName, TCustomQXActionList* list);
    ~TCustomAbstractAction() override;

    bool IncludePrefs = true;
    QString InternalId;
    QString Variables;
    QStringList Comments;
    bool ApplyWhenLoad = false;
    QString Category;

    QString Name() const { return objectName(); }
    // Renames the action, made unique within its owner: the name itself, else the
    // name followed by 2, 3...; a candidate is taken when it or it followed by "_"
    // already names an object of the owner.
    void setName(const QString& name);

    QString ScriptName() const { return FScriptName; }
    void setScriptName(const QString& name) { FScriptName = name; }

    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
    QString Hint() const { return toolTip(); }
    void setHint(const QString& hint);

    QKeySequence ShortCut() const { return FShortCut; }
    void setShortCut(const QKeySequence& key) { FShortCut = key; }
    QList<QKeySequence> SecondaryShortcuts;
    bool hasShortcut(const QKeyCombination& key) const;

    int ImageIndex = -1;
    TCustomQXActionList* ActionList() const { return FList; }

    // The user's trigger: buttons, menus and shortcuts end here.
    virtual void doExecute() = 0;
    virtual void apply() = 0;
    virtual bool loadfromprefs(TOrvanePreferences& prefs) = 0;
    virtual bool savetoprefs(TOrvanePreferences& prefs) = 0;
    virtual bool registerInScript(TScriptEngine& script) = 0;
    virtual QString ScriptHeader() = 0;
    // The line a recorded change writes, without its four leading blanks.
    virtual QString macroLine() const = 0;

protected:
    // "procedure " + ScriptName + parameters + ";", Variables defaulting to defaultName.
    QString header(const QString& defaultName, const QString& parameters);

private:
    void triggeredByQt();

    TCustomQXActionList* FList;
    QString FScriptName;
    QKeySequence FShortCut;
};

// The published form of the base; value-bearing actions and commands derive from it.
class TAbstractAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    using TCustomAbstractAction::TCustomAbstractAction;
};

template <typename T>
using TPrepareEvent = std::function<bool(T&)>;
template <typename T>
using TApplyEvent = std::function<void(const T&)>;

using TPrepareNopeEvent = std::function<bool()>;
using TApplyNopeEvent = std::function<void()>;
using TPrepareStringEvent = TPrepareEvent<QString>;
using TApplyStringEvent = TApplyEvent<QString>;
using TPrepareStringsEvent = TPrepareEvent<QStringList>;
using TApplyStringsEvent = TApplyEvent<QStringList>;
using TPrepareFontEvent = TPrepareEvent<TFontValue>;
using TApplyFontEvent = TApplyEvent<TFontValue>;
using TPrepareIntegerEvent = TPrepareEvent<qint32>;
using TApplyIntegerEvent = TApplyEvent<qint32>;
using TPrepareColorEvent = TPrepareEvent<TColor>;
using TApplyColorEvent = TApplyEvent<TColor>;
using TPrepareDoubleEvent = TPrepareEvent<double>;
using TApplyDoubleEvent = TApplyEvent<double>;
using TPreparePointEvent = TPrepareEvent<TPoint>;
using TApplyPointEvent = TApplyEvent<TPoint>;
using TPrepareBooleanEvent = TPrepareEvent<bool>;
using TApplyBooleanEvent = TApplyEvent<bool>;
using TPrepareRectEvent = TPrepareEvent<TRect>;
using TApplyRectEvent = TApplyEvent<TRect>;
using TInputStringsEvent = std::function<void(const QStringList& ws)>;
using TInputFontEvent = std::function<void(const QString& aName, qint32 aSize, TColor aColor, bool isBold,
                                           bool isItalic, bool isUnderline, bool isStrikeOut)>;
using TInputPointEvent = std::function<void(qint32 x, qint32 y)>;
using TInputRectEvent = std::function<void(qint32 left, qint32 right, qint32 top, qint32 bottom)>;

// A command: no value.
class TNopeAction : public TAbstractAction {
    Q_OBJECT
public:
    using TAbstractAction::TAbstractAction;

    TPrepareNopeEvent OnPrepare;
    TApplyNopeEvent OnBeforeApply;
    TApplyNopeEvent OnAfterApply;
    TPrepareNopeEvent BeforeSave;
    TPrepareNopeEvent internalPrepare;
    TApplyNopeEvent internalApply;
    TPrepareNopeEvent InternalBeforeSave;

    void doExecute() override;
    void apply() override;
    bool loadfromprefs(TOrvanePreferences& prefs) override;
    bool savetoprefs(TOrvanePreferences& prefs) override;
    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;
};

// A Boolean shown as a checked state, with a caption, hint and image per state.
class TCheckAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    TCheckAction(const QString& aName, TCustomQXActionList* list);

    bool Checked() const { return FChecked; }
    // Stores the state, records it, then applies.
    void setChecked(bool value);
    void toggle();
    // Stores the state and applies; never records.
    void _setcheck(bool aCheck);

    bool DefaultValue() const { return FDefaultValue; }
    void setDefaultValue(bool value);
    void setTrueCaption(const QString& caption);
    void setFalseCaption(const QString& caption);
    void setTrueHint(const QString& hint);
    void setFalseHint(const QString& hint);
    void setTrueImageIndex(int index);
    void setFalseImageIndex(int index);
    QString TrueCaption() const { return FTrueCaption; }
    QString FalseCaption() const { return FFalseCaption; }
    QString TrueHint() const { return FTrueHint; }
    QString FalseHint() const { return FFalseHint; }
    int TrueImageIndex() const { return FTrueImageIndex; }
    int FalseImageIndex() const { return FFalseImageIndex; }

    TApplyNopeEvent OnBeforeTrueApply, OnAfterTrueApply, OnBeforeFalseApply, OnAfterFalseApply;
    TApplyNopeEvent internalTrueApply, internalFalseApply;
    TPrepareNopeEvent OnPrepare, internalPrepare;
    TPrepareBooleanEvent OnDefault, internalDefault;
    TPrepareBooleanEvent BeforeSave, internalBeforeSave;

    void doExecute() override;
    void apply() override;
    bool loadfromprefs(TOrvanePreferences& prefs) override;
    bool savetoprefs(TOrvanePreferences& prefs) override;
    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

private:
    void store(bool value);
    void showState();

    bool FChecked = false;
    bool FDefaultValue = false;
    QString FTrueCaption, FFalseCaption, FTrueHint, FFalseHint;
    int FTrueImageIndex = -1;
    int FFalseImageIndex = -1;
};

// The shared behaviour of every action that holds a value of type T.
template <typename T>
class TValueAction : public TAbstractAction {
public:
    using TAbstractAction::TAbstractAction;

    T Value{};
    T DefaultValue{};

    TPrepareEvent<T> OnPrepare, OnDefault, BeforeSave;
    TApplyEvent<T> OnBeforeApply, OnAfterApply;
    TPrepareEvent<T> internalPrepare, internalDefault, internalBeforeSave;
    TApplyEvent<T> internalApply;

    // Stores the value, records it when a macro is being recorded, then applies.
    virtual void setValue(const T& value)
    {
        Value = value;
        const TMacroRecorder::TRecordScope recording([this] { return macroLine(); });
        apply();
    }

    void doExecute() override
    {
        if (!OnPrepare && !internalPrepare)
            return;
        T slot = Value;
        if (OnPrepare && !OnPrepare(slot))
            return;
        if (internalPrepare && !internalPrepare(slot))
            return;
        setValue(slot);
    }

    void apply() override
    {
        if (OnBeforeApply)
            OnBeforeApply(Value);
        if (internalApply)
            internalApply(Value);
        if (OnAfterApply)
            OnAfterApply(Value);
    }

    bool loadfromprefs(TOrvanePreferences& prefs) override;
    bool savetoprefs(TOrvanePreferences& prefs) override;

protected:
    virtual T readValue(TOrvanePreferences& prefs, const T& fallback) = 0;
    virtual bool writeValue(TOrvanePreferences& prefs, const T& value) = 0;
};

extern template class TValueAction<QString>;
extern template class TValueAction<QStringList>;
extern template class TValueAction<TFontValue>;
extern template class TValueAction<qint32>;
extern template class TValueAction<double>;
extern template class TValueAction<TPoint>;
extern template class TValueAction<TRect>;
extern template class TValueAction<bool>;

class TStringAction : public TValueAction<QString> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    // This class spells its internal callbacks with a capital letter.
    TPrepareStringEvent& InternalPrepare = internalPrepare;
    TPrepareStringEvent& InternalDefault = internalDefault;
    TPrepareStringEvent& InternalBeforeSave = internalBeforeSave;
    TApplyStringEvent& InternalApply = internalApply;

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    QString readValue(TOrvanePreferences& prefs, const QString& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const QString& value) override;
};

class TStringsAction : public TValueAction<QStringList> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    // Builds the list from the script's array items, in order, and sets it.
    void input(const QStringList& ws);

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    QStringList readValue(TOrvanePreferences& prefs, const QStringList& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const QStringList& value) override;
};

class TFontAction : public TValueAction<TFontValue> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    void input(const QString& aName, qint32 aSize, TColor aColor, bool isBold, bool isItalic, bool isUnderline,
               bool isStrikeOut);

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    TFontValue readValue(TOrvanePreferences& prefs, const TFontValue& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const TFontValue& value) override;
};

class TIntegerAction : public TValueAction<qint32> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    qint32 readValue(TOrvanePreferences& prefs, const qint32& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const qint32& value) override;
};

class TColorAction : public TValueAction<TColor> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    TColor readValue(TOrvanePreferences& prefs, const TColor& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const TColor& value) override;
};

class TDoubleAction : public TValueAction<double> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    double readValue(TOrvanePreferences& prefs, const double& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const double& value) override;
};

class TPointAction : public TValueAction<TPoint> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    void input(qint32 x, qint32 y);

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    TPoint readValue(TOrvanePreferences& prefs, const TPoint& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const TPoint& value) override;
};

class TRectAction : public TValueAction<TRect> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    // The script's order: left, right, top, bottom.
    void input(qint32 left, qint32 right, qint32 top, qint32 bottom);

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    TRect readValue(TOrvanePreferences& prefs, const TRect& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const TRect& value) override;
};

class TBooleanAction : public TValueAction<bool> {
    Q_OBJECT
public:
    using TValueAction::TValueAction;
    // An unchanged value does nothing at all: no recording, no apply.
    void setValue(const bool& value) override;

    bool registerInScript(TScriptEngine& script) override;
    QString ScriptHeader() override;
    QString macroLine() const override;

protected:
    bool readValue(TOrvanePreferences& prefs, const bool& fallback) override;
    bool writeValue(TOrvanePreferences& prefs, const bool& value) override;
};
