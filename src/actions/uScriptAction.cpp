#include "uScriptAction.h"

#include "uPreferences.h"
#include "uScriptEngine.h"
#include "uWndComponent.h"

#include <QLocale>

#include <exception>

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A quoted script literal; a quote inside is doubled so that the line replays.
QString quoted(const QString& text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString colorHex(TColor color)
{
    return QStringLiteral("$") + QString::number(static_cast<quint32>(color), 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

// Runs one load or save step; an error raised inside counts as a failure.
template <typename Step>
bool guarded(Step step)
{
    try {
        return step();
    } catch (const std::exception&) {
        return false;
    }
}

qint32 intArg(const QVariantList& a, int i)
{
    return static_cast<qint32>(a.value(i).toLongLong());
}

} // namespace

// ---------------------------------------------------------------------------

TCustomAbstractAction::TCustomAbstractAction(const QString& aName, TCustomQXActionList* list)
    : QAction(list), InternalId(aName), Category(QStringLiteral("internal")), FList(list)
{
    setName(aName);
    FScriptName = aName.mid(2);
    setText(FScriptName);
    if (FList)
        FList->addAction(this);
    connect(this, &QAction::triggered, this, &TCustomAbstractAction::triggeredByQt);
}

TCustomAbstractAction::~TCustomAbstractAction()
{
    if (FList)
        FList->removeAction(this);
}

void TCustomAbstractAction::setName(const QString& name)
{
    const QObject* owner = FList && FList->parent() ? FList->parent() : parent();
    const auto taken = [this, owner](const QString& candidate) {
        if (!owner)
            return false;
        const QString trailing = candidate + QLatin1Char('_');
        for (const QObject* other : owner->findChildren<QObject*>()) {
            if (other != this && (other->objectName() == candidate || other->objectName() == trailing))
                return true;
        }
        return false;
    };
    QString unique = name;
    for (int n = 2; !name.isEmpty() && taken(unique); ++n)
        unique = name + QString::number(n);
    setObjectName(unique);
}

void TCustomAbstractAction::setCaption(const QString& caption)
{
    setText(caption);
    setIconText(caption);
}

void TCustomAbstractAction::setHint(const QString& hint)
{
    setToolTip(hint);
    setStatusTip(hint);
}

bool TCustomAbstractAction::hasShortcut(const QKeyCombination& key) const
{
    if (!FShortCut.isEmpty() && FShortCut[0] == key)
        return true;
    for (const QKeySequence& secondary : SecondaryShortcuts) {
        if (!secondary.isEmpty() && secondary[0] == key)
            return true;
    }
    return false;
}

QString TCustomAbstractAction::header(const QString& defaultName, const QString& parameters)
{
    if (Variables.isEmpty())
        Variables = defaultName;
    QString text = parameters;
    text.replace(QStringLiteral("%V"), Variables);
    return QStringLiteral("procedure ") + FScriptName + text + QLatin1Char(';');
}

void TCustomAbstractAction::triggeredByQt()
{
    // Qt flips a checkable action before it says it was triggered; the action's
    // own logic decides its state, so the flip is undone first.
    if (auto* check = qobject_cast<TCheckAction*>(this))
        check->QAction::setChecked(check->Checked());
    doExecute();
}

// ---------------------------------------------------------------------------

void TNopeAction::doExecute()
{
    if (OnPrepare && !OnPrepare())
        return;
    if (internalPrepare && !internalPrepare())
        return;
    apply();
}

void TNopeAction::apply()
{
    const TMacroRecorder::TRecordScope recording([this] { return macroLine(); }, !ScriptName().isEmpty());
    if (OnBeforeApply)
        OnBeforeApply();
    if (internalApply)
        internalApply();
    if (OnAfterApply)
        OnAfterApply();
}

bool TNopeAction::loadfromprefs(TOrvanePreferences&)
{
    return guarded([this] {
        if (ApplyWhenLoad)
            apply();
        return true;
    });
}

bool TNopeAction::savetoprefs(TOrvanePreferences&)
{
    return guarded([this] {
        if (BeforeSave)
            BeforeSave();
        if (InternalBeforeSave)
            InternalBeforeSave();
        return true;
    });
}

bool TNopeAction::registerInScript(TScriptEngine& script)
{
    if (ScriptName().isEmpty())
        return false;
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList&) { apply(); });
}

QString TNopeAction::ScriptHeader()
{
    return QStringLiteral("procedure ") + ScriptName() + QLatin1Char(';');
}

QString TNopeAction::macroLine() const
{
    return ScriptName() + QLatin1Char(';');
}

// ---------------------------------------------------------------------------

TCheckAction::TCheckAction(const QString& aName, TCustomQXActionList* list) : TCustomAbstractAction(aName, list)
{
    setCheckable(true);
}

void TCheckAction::store(bool value)
{
    FChecked = value;
    QAction::setChecked(value);
}

void TCheckAction::showState()
{
    setCaption(FChecked ? FTrueCaption : FFalseCaption);
    setHint(FChecked ? FTrueHint : FFalseHint);
    ImageIndex = FChecked ? FTrueImageIndex : FFalseImageIndex;
}

void TCheckAction::setChecked(bool value)
{
    store(value);
    // The page that records macros writes no line for being shown or hidden.
    const TMacroRecorder::TRecordScope recording([this] { return macroLine(); },
                                                 ScriptName() != QLatin1String("Script"));
    apply();
}

void TCheckAction::toggle()
{
    setChecked(!FChecked);
}

void TCheckAction::_setcheck(bool aCheck)
{
    store(aCheck);
    apply();
}

void TCheckAction::setDefaultValue(bool value)
{
    FDefaultValue = value;
    store(value);
    showState();
}

void TCheckAction::setTrueCaption(const QString& caption)
{
    FTrueCaption = caption;
    if (FChecked)
        setCaption(caption);
}

void TCheckAction::setFalseCaption(const QString& caption)
{
    FFalseCaption = caption;
    if (!FChecked)
        setCaption(caption);
}

void TCheckAction::setTrueHint(const QString& hint)
{
    FTrueHint = hint;
    if (FChecked)
        setHint(hint);
}

void TCheckAction::setFalseHint(const QString& hint)
{
    FFalseHint = hint;
    if (!FChecked)
        setHint(hint);
}

void TCheckAction::setTrueImageIndex(int index)
{
    FTrueImageIndex = index;
    if (FChecked)
        ImageIndex = index;
}

void TCheckAction::setFalseImageIndex(int index)
{
    FFalseImageIndex = index;
    if (!FChecked)
        ImageIndex = index;
}

void TCheckAction::doExecute()
{
    if (OnPrepare && !OnPrepare())
        return;
    if (internalPrepare && !internalPrepare())
        return;
    toggle();
}

void TCheckAction::apply()
{
    if (FChecked) {
        if (OnBeforeTrueApply)
            OnBeforeTrueApply();
        if (internalTrueApply)
            internalTrueApply();
        if (OnAfterTrueApply)
            OnAfterTrueApply();
    } else {
        if (OnBeforeFalseApply)
            OnBeforeFalseApply();
        if (internalFalseApply)
            internalFalseApply();
        if (OnAfterFalseApply)
            OnAfterFalseApply();
    }
    showState();
}

bool TCheckAction::loadfromprefs(TOrvanePreferences& prefs)
{
    return guarded([this, &prefs] {
        if (OnDefault)
            OnDefault(FDefaultValue);
        if (internalDefault)
            internalDefault(FDefaultValue);
        store(prefs.readBool(ScriptName(), FDefaultValue));
        showState();
        if (ApplyWhenLoad)
            apply();
        return true;
    });
}

bool TCheckAction::savetoprefs(TOrvanePreferences& prefs)
{
    return guarded([this, &prefs] {
        bool saved = FChecked;
        if (BeforeSave)
            BeforeSave(saved);
        if (internalBeforeSave)
            internalBeforeSave(saved);
        return prefs.writeBool(ScriptName(), saved);
    });
}

bool TCheckAction::registerInScript(TScriptEngine& script)
{
    const QString setter = QStringLiteral("procedure set") + ScriptName() + QStringLiteral("(const aBoolean:Boolean);");
    if (!script.addRoutine(setter.toUtf8(), [this](const QVariantList& a) { setChecked(a.value(0).toBool()); }))
        return false;
    return script.addRoutine((QStringLiteral("procedure ") + ScriptName() + QLatin1Char(';')).toUtf8(),
                             [this](const QVariantList&) { toggle(); });
}

QString TCheckAction::ScriptHeader()
{
    if (Variables.isEmpty())
        Variables = QStringLiteral("fisTrue");
    return QStringLiteral("procedure set") + ScriptName() + QStringLiteral("(const ") + Variables
        + QStringLiteral(":Boolean);\r\nprocedure ") + ScriptName() + QLatin1Char(';');
}

QString TCheckAction::macroLine() const
{
    return QStringLiteral("set") + ScriptName() + QLatin1Char('(') + boolText(FChecked) + QStringLiteral(");");
}

// ---------------------------------------------------------------------------

template <typename T>
bool TValueAction<T>::loadfromprefs(TOrvanePreferences& prefs)
{
    return guarded([this, &prefs] {
        if (OnDefault)
            OnDefault(DefaultValue);
        if (internalDefault)
            internalDefault(DefaultValue);
        Value = readValue(prefs, DefaultValue);
        if (ApplyWhenLoad)
            apply();
        return true;
    });
}

template <typename T>
bool TValueAction<T>::savetoprefs(TOrvanePreferences& prefs)
{
    return guarded([this, &prefs] {
        if (BeforeSave)
            BeforeSave(Value);
        if (internalBeforeSave)
            internalBeforeSave(Value);
        return writeValue(prefs, Value);
    });
}

template class TValueAction<QString>;
template class TValueAction<QStringList>;
template class TValueAction<TFontValue>;
template class TValueAction<qint32>;
template class TValueAction<double>;
template class TValueAction<TPoint>;
template class TValueAction<TRect>;
template class TValueAction<bool>;

// ---------------------------------------------------------------------------

bool TStringAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { setValue(a.value(0).toString()); });
}

QString TStringAction::ScriptHeader()
{
    return header(QStringLiteral("aString"), QStringLiteral("(const %V:string)"));
}

QString TStringAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + quoted(Value) + QStringLiteral(");");
}

QString TStringAction::readValue(TOrvanePreferences& prefs, const QString& fallback)
{
    return prefs.readString(ScriptName(), fallback);
}

bool TStringAction::writeValue(TOrvanePreferences& prefs, const QString& value)
{
    return prefs.writeString(ScriptName(), value);
}

// ---------------------------------------------------------------------------

void TStringsAction::input(const QStringList& ws)
{
    setValue(ws);
}

bool TStringsAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { input(a.value(0).toStringList()); });
}

QString TStringsAction::ScriptHeader()
{
    return QStringLiteral("procedure ") + ScriptName() + QStringLiteral("(ws:array of string);");
}

QString TStringsAction::macroLine() const
{
    QStringList items;
    for (const QString& item : Value)
        items << quoted(item);
    return ScriptName() + QStringLiteral("([") + items.join(QStringLiteral(", ")) + QStringLiteral("]);");
}

QStringList TStringsAction::readValue(TOrvanePreferences& prefs, const QStringList& fallback)
{
    QStringList result;
    prefs.readWStrings(ScriptName(), fallback, result);
    return result;
}

bool TStringsAction::writeValue(TOrvanePreferences& prefs, const QStringList& value)
{
    return prefs.writeWStrings(ScriptName(), value);
}

// ---------------------------------------------------------------------------

void TFontAction::input(const QString& aName, qint32 aSize, TColor aColor, bool isBold, bool isItalic,
                        bool isUnderline, bool isStrikeOut)
{
    TFontValue font;
    font.Name = aName;
    font.Size = aSize;
    font.Color = aColor;
    font.Bold = isBold;
    font.Italic = isItalic;
    font.Underline = isUnderline;
    font.StrikeOut = isStrikeOut;
    setValue(font);
}

bool TFontAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) {
        input(a.value(0).toString(), intArg(a, 1), intArg(a, 2), a.value(3).toBool(), a.value(4).toBool(),
              a.value(5).toBool(), a.value(6).toBool());
    });
}

QString TFontAction::ScriptHeader()
{
    return QStringLiteral("procedure ") + ScriptName()
        + QStringLiteral("(aName:string;aSize:integer;aColor:TColor;isBold:Boolean;isItalic:Boolean;"
                         "isUnderline:Boolean;isStrikeOut:Boolean);");
}

QString TFontAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + quoted(Value.Name) + QStringLiteral(", ") + QString::number(Value.Size)
        + QStringLiteral(", ") + colorHex(Value.Color) + QStringLiteral(", ") + boolText(Value.Bold)
        + QStringLiteral(", ") + boolText(Value.Italic) + QStringLiteral(", ") + boolText(Value.Underline)
        + QStringLiteral(", ") + boolText(Value.StrikeOut) + QStringLiteral(");");
}

TFontValue TFontAction::readValue(TOrvanePreferences& prefs, const TFontValue& fallback)
{
    TFontValue result;
    prefs.readFont(ScriptName(), fallback, result);
    return result;
}

bool TFontAction::writeValue(TOrvanePreferences& prefs, const TFontValue& value)
{
    return prefs.writeFont(ScriptName(), value);
}

// ---------------------------------------------------------------------------

bool TIntegerAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { setValue(intArg(a, 0)); });
}

QString TIntegerAction::ScriptHeader()
{
    return header(QStringLiteral("aInteger"), QStringLiteral("(const %V:integer)"));
}

QString TIntegerAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + QString::number(Value) + QStringLiteral(");");
}

qint32 TIntegerAction::readValue(TOrvanePreferences& prefs, const qint32& fallback)
{
    return prefs.readInteger(ScriptName(), fallback);
}

bool TIntegerAction::writeValue(TOrvanePreferences& prefs, const qint32& value)
{
    return prefs.writeInteger(ScriptName(), value);
}

// ---------------------------------------------------------------------------

bool TColorAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { setValue(intArg(a, 0)); });
}

QString TColorAction::ScriptHeader()
{
    return header(QStringLiteral("aColor"), QStringLiteral("(const %V:TColor)"));
}

QString TColorAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + colorHex(Value) + QStringLiteral(");");
}

TColor TColorAction::readValue(TOrvanePreferences& prefs, const TColor& fallback)
{
    return prefs.readInteger(ScriptName(), fallback);
}

bool TColorAction::writeValue(TOrvanePreferences& prefs, const TColor& value)
{
    return prefs.writeInteger(ScriptName(), value);
}

// ---------------------------------------------------------------------------

bool TDoubleAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { setValue(a.value(0).toDouble()); });
}

QString TDoubleAction::ScriptHeader()
{
    return header(QStringLiteral("aDouble"), QStringLiteral("(const %V:Double)"));
}

QString TDoubleAction::macroLine() const
{
    // A decimal comma would split the argument in two: macros always use the point.
    return ScriptName() + QLatin1Char('(') + QLocale::c().toString(Value, 'g', QLocale::FloatingPointShortest)
        + QStringLiteral(");");
}

double TDoubleAction::readValue(TOrvanePreferences& prefs, const double& fallback)
{
    return prefs.readDouble(ScriptName(), fallback);
}

bool TDoubleAction::writeValue(TOrvanePreferences& prefs, const double& value)
{
    return prefs.writeDouble(ScriptName(), value);
}

// ---------------------------------------------------------------------------

void TPointAction::input(qint32 x, qint32 y)
{
    setValue(TPoint(x, y));
}

bool TPointAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { input(intArg(a, 0), intArg(a, 1)); });
}

QString TPointAction::ScriptHeader()
{
    return header(QStringLiteral("x,y"), QStringLiteral("(const %V:integer)"));
}

QString TPointAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + QString::number(Value.x()) + QLatin1Char(',') + QString::number(Value.y())
        + QStringLiteral(");");
}

TPoint TPointAction::readValue(TOrvanePreferences& prefs, const TPoint& fallback)
{
    return prefs.readPoint(ScriptName(), fallback);
}

bool TPointAction::writeValue(TOrvanePreferences& prefs, const TPoint& value)
{
    return prefs.writePoint(ScriptName(), value);
}

// ---------------------------------------------------------------------------

void TRectAction::input(qint32 left, qint32 right, qint32 top, qint32 bottom)
{
    setValue(TRect{left, top, right, bottom});
}

bool TRectAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) {
        input(intArg(a, 0), intArg(a, 1), intArg(a, 2), intArg(a, 3));
    });
}

QString TRectAction::ScriptHeader()
{
    return header(QStringLiteral("left,right,top,bottom"), QStringLiteral("(const %V:integer)"));
}

QString TRectAction::macroLine() const
{
    // In the order the routine takes them, so that the line replays to the same rectangle.
    return ScriptName() + QLatin1Char('(') + QString::number(Value.Left) + QLatin1Char(',') + QString::number(Value.Right)
        + QLatin1Char(',') + QString::number(Value.Top) + QLatin1Char(',') + QString::number(Value.Bottom)
        + QStringLiteral(");");
}

TRect TRectAction::readValue(TOrvanePreferences& prefs, const TRect& fallback)
{
    return prefs.readRect(ScriptName(), fallback);
}

bool TRectAction::writeValue(TOrvanePreferences& prefs, const TRect& value)
{
    return prefs.writeRect(ScriptName(), value);
}

// ---------------------------------------------------------------------------

void TBooleanAction::setValue(const bool& value)
{
    if (value == Value)
        return;
    TValueAction<bool>::setValue(value);
}

bool TBooleanAction::registerInScript(TScriptEngine& script)
{
    return script.addRoutine(ScriptHeader().toUtf8(), [this](const QVariantList& a) { setValue(a.value(0).toBool()); });
}

QString TBooleanAction::ScriptHeader()
{
    return header(QStringLiteral("aBoolean"), QStringLiteral("(const %V:Boolean)"));
}

QString TBooleanAction::macroLine() const
{
    return ScriptName() + QLatin1Char('(') + boolText(Value) + QStringLiteral(");");
}

bool TBooleanAction::readValue(TOrvanePreferences& prefs, const bool& fallback)
{
    return prefs.readBool(ScriptName(), fallback);
}

bool TBooleanAction::writeValue(TOrvanePreferences& prefs, const bool& value)
{
    return prefs.writeBool(ScriptName(), value);
}
