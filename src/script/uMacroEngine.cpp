#include "uMacroEngine.h"

#include "uLog.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

bool paramOf(const QString& type, TMacroEngine::TParam& param)
{
    const QString t = type.simplified().toLower();
    if (t == QLatin1String("string"))
        param = TMacroEngine::TParam::String;
    else if (t == QLatin1String("integer") || t == QLatin1String("tcolor"))
        param = TMacroEngine::TParam::Integer;
    else if (t == QLatin1String("double"))
        param = TMacroEngine::TParam::Double;
    else if (t == QLatin1String("boolean"))
        param = TMacroEngine::TParam::Boolean;
    else if (t == QLatin1String("array of string"))
        param = TMacroEngine::TParam::StringArray;
    else
        return false;
    return true;
}

QString paramName(TMacroEngine::TParam param)
{
    switch (param) {
    case TMacroEngine::TParam::String:
        return QStringLiteral("a string");
    case TMacroEngine::TParam::Integer:
        return QStringLiteral("an integer");
    case TMacroEngine::TParam::Double:
        return QStringLiteral("a number");
    case TMacroEngine::TParam::Boolean:
        return QStringLiteral("True or False");
    case TMacroEngine::TParam::StringArray:
        return QStringLiteral("an array of strings");
    }
    return {};
}

// A literal as written in a macro line.
struct TToken {
    enum Kind { String, Integer, Float, Boolean, Array } kind;
    QVariant value;
};

// Reads one line's statement: Name, Name; or Name(arg, ...);
class TLineParser {
public:
    explicit TLineParser(const QString& text) : s(text) {}

    bool statement(QString& name, QList<TToken>& args, QString& error)
    {
        skipBlanks();
        const qsizetype start = i;
        while (i < s.size() && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('_')))
            ++i;
        name = s.mid(start, i - start);
        if (name.isEmpty() || name.at(0).isDigit()) {
            error = QStringLiteral("A routine name is expected");
            return false;
        }
        skipBlanks();
        if (peek() == QLatin1Char('(')) {
            ++i;
            skipBlanks();
            if (peek() == QLatin1Char(')')) {
                ++i;
            } else {
                for (;;) {
                    TToken token;
                    if (!literal(token, error, true))
                        return false;
                    args.append(token);
                    skipBlanks();
                    if (peek() == QLatin1Char(',')) {
                        ++i;
                        continue;
                    }
                    if (peek() == QLatin1Char(')')) {
                        ++i;
                        break;
                    }
                    error = QStringLiteral("',' or ')' expected");
                    return false;
                }
            }
        }
        skipBlanks();
        if (peek() == QLatin1Char(';'))
            ++i;
        skipBlanks();
        if (i < s.size()) {
            error = QStringLiteral("';' expected");
            return false;
        }
        return true;
    }

private:
    QChar peek() const { return i < s.size() ? s.at(i) : QChar(); }
    void skipBlanks()
    {
        while (i < s.size() && s.at(i).isSpace())
            ++i;
    }

    bool literal(TToken& token, QString& error, bool arrayAllowed)
    {
        skipBlanks();
        const QChar c = peek();
        if (c == QLatin1Char('\''))
            return stringLiteral(token, error);
        if (c == QLatin1Char('[') && arrayAllowed)
            return arrayLiteral(token, error);
        if (c == QLatin1Char('$'))
            return hexLiteral(token, error);
        if (c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+'))
            return numberLiteral(token, error);
        const qsizetype start = i;
        while (i < s.size() && s.at(i).isLetter())
            ++i;
        const QString word = s.mid(start, i - start).toLower();
        if (word == QLatin1String("true") || word == QLatin1String("false")) {
            token = {TToken::Boolean, word == QLatin1String("true")};
            return true;
        }
        error = word.isEmpty() ? QStringLiteral("A value is expected") : QStringLiteral("Unknown value '%1'").arg(word);
        return false;
    }

    bool stringLiteral(TToken& token, QString& error)
    {
        QString text;
        ++i;
        for (;;) {
            if (i >= s.size()) {
                error = QStringLiteral("Unterminated string");
                return false;
            }
            if (s.at(i) == QLatin1Char('\'')) {
                if (i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\'')) {
                    text += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            text += s.at(i++);
        }
        token = {TToken::String, text};
        return true;
    }

    bool arrayLiteral(TToken& token, QString& error)
    {
        ++i;
        QStringList items;
        skipBlanks();
        if (peek() == QLatin1Char(']')) {
            ++i;
            token = {TToken::Array, items};
            return true;
        }
        for (;;) {
            TToken item;
            if (!literal(item, error, false))
                return false;
            if (item.kind != TToken::String) {
                error = QStringLiteral("Array items must be strings");
                return false;
            }
            items << item.value.toString();
            skipBlanks();
            if (peek() == QLatin1Char(',')) {
                ++i;
                continue;
            }
            if (peek() == QLatin1Char(']')) {
                ++i;
                break;
            }
            error = QStringLiteral("',' or ']' expected");
            return false;
        }
        token = {TToken::Array, items};
        return true;
    }

    bool hexLiteral(TToken& token, QString& error)
    {
        ++i;
        const qsizetype start = i;
        while (i < s.size() && isHexDigit(s.at(i)))
            ++i;
        bool ok = false;
        const quint64 value = s.mid(start, i - start).toULongLong(&ok, 16);
        if (!ok || value > 0xFFFFFFFFull) {
            error = QStringLiteral("Broken hexadecimal number");
            return false;
        }
        // Colours above $7FFFFFFF are system colours: the same 32 bits, signed.
        token = {TToken::Integer, static_cast<qint64>(static_cast<qint32>(static_cast<quint32>(value)))};
        return true;
    }

    static bool isHexDigit(QChar c)
    {
        return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
    }

    bool numberLiteral(TToken& token, QString& error)
    {
        const qsizetype start = i;
        if (peek() == QLatin1Char('-') || peek() == QLatin1Char('+'))
            ++i;
        while (i < s.size() && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('.')
                                || ((s.at(i) == QLatin1Char('-') || s.at(i) == QLatin1Char('+'))
                                    && s.at(i - 1).toLower() == QLatin1Char('e'))))
            ++i;
        const QString text = s.mid(start, i - start);
        bool ok = false;
        const qint64 integer = text.toLongLong(&ok);
        if (ok) {
            token = {TToken::Integer, integer};
            return true;
        }
        const double number = QLocale::c().toDouble(text, &ok);
        if (ok) {
            token = {TToken::Float, number};
            return true;
        }
        error = QStringLiteral("Broken number '%1'").arg(text);
        return false;
    }

    const QString& s;
    qsizetype i = 0;
};

// The line without its "//" comment; a "//" inside a string is text.
QString withoutComment(const QString& line)
{
    bool inString = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('\''))
            inString = !inString;
        else if (!inString && line.at(i) == QLatin1Char('/') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('/'))
            return line.left(i);
    }
    return line;
}

// One statement or keyword of a macro and the line it starts on. Statements end
// at a ";" or at the end of their line, so a macro may be written one statement
// a line, as the recorder does, or several on a line ("begin a; b; end.").
struct TPiece {
    QString text;
    int line;
};

QList<TPiece> piecesOf(const QString& macro)
{
    QList<TPiece> pieces;
    // Not split by a regular expression, which matches nothing in a text
    // holding half of a UTF-16 pair.
    const QStringList lines = splitLines(macro);
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = withoutComment(lines.at(n));
        bool inString = false;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= line.size(); ++i) {
            const bool atEnd = i == line.size();
            if (!atEnd && line.at(i) == QLatin1Char('\''))
                inString = !inString;
            if (atEnd || (!inString && line.at(i) == QLatin1Char(';'))) {
                const QString text = line.mid(start, i - start).trimmed();
                if (!text.isEmpty())
                    pieces.append({text, n + 1});
                start = i + 1;
            }
        }
    }
    return pieces;
}

// Takes a leading keyword ("begin") written as a whole word, in any case.
bool takeKeyword(QString& text, const QString& keyword)
{
    if (!text.startsWith(keyword, Qt::CaseInsensitive))
        return false;
    if (text.size() > keyword.size()) {
        const QChar next = text.at(keyword.size());
        if (next.isLetterOrNumber() || next == QLatin1Char('_'))
            return false;
    }
    text = text.mid(keyword.size()).trimmed();
    return true;
}

// "end." (blanks allowed before the full stop) leading the text.
bool takeEnd(QString& text)
{
    QString rest = text;
    if (!takeKeyword(rest, QStringLiteral("end")) || !rest.startsWith(QLatin1Char('.')))
        return false;
    text = rest.mid(1).trimmed();
    return true;
}

bool convert(const TToken& token, TMacroEngine::TParam param, QVariant& out)
{
    using P = TMacroEngine::TParam;
    switch (param) {
    case P::String:
        if (token.kind != TToken::String)
            return false;
        break;
    case P::Integer:
        if (token.kind != TToken::Integer || token.value.toLongLong() < std::numeric_limits<qint32>::min()
            || token.value.toLongLong() > std::numeric_limits<qint32>::max())
            return false;
        break;
    case P::Double:
        if (token.kind != TToken::Integer && token.kind != TToken::Float)
            return false;
        out = token.value.toDouble();
        return true;
    case P::Boolean:
        if (token.kind != TToken::Boolean)
            return false;
        break;
    case P::StringArray:
        if (token.kind != TToken::Array)
            return false;
        break;
    }
    out = token.value;
    return true;
}

} // namespace

bool TMacroEngine::addRoutine(const QByteArray& declaration, TRoutine routine)
{
    static const QRegularExpression shape(
        QStringLiteral("^\\s*procedure\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(?:\\((.*)\\))?\\s*;\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = shape.match(QString::fromUtf8(declaration));
    if (!m.hasMatch() || FRoutines.contains(m.captured(1).toLower()))
        return false;
    TRoutineEntry entry{m.captured(1), {}, std::move(routine)};
    const QString params = m.captured(2).trimmed();
    if (!params.isEmpty()) {
        for (QString group : params.split(QLatin1Char(';'))) {
            group = group.trimmed();
            if (group.startsWith(QLatin1String("const "), Qt::CaseInsensitive))
                group = group.mid(6);
            const qsizetype colon = group.indexOf(QLatin1Char(':'));
            TParam param;
            if (colon < 0 || !paramOf(group.mid(colon + 1), param))
                return false;
            const QStringList names = group.left(colon).split(QLatin1Char(','), Qt::SkipEmptyParts);
            if (names.isEmpty())
                return false;
            for (qsizetype n = 0; n < names.size(); ++n)
                entry.params.append(param);
        }
    }
    FRoutines.insert(entry.name.toLower(), std::move(entry));
    return true;
}

void TMacroEngine::compile()
{
    FRoutines.clear();
    if (OnCompile)
        OnCompile(*this);
}

TMacroEngine::TResult TMacroEngine::run(const QString& macro)
{
    QList<TCall> calls;
    enum { BeforeBegin, Body, AfterEnd } state = BeforeBegin;
    int lastLine = 0;
    for (const TPiece& piece : piecesOf(macro)) {
        lastLine = piece.line;
        const auto fail = [&](const QString& reason) { return TResult{false, piece.line, reason}; };
        QString text = piece.text;
        if (state == BeforeBegin) {
            if (!takeKeyword(text, QStringLiteral("begin")))
                return fail(QStringLiteral("'begin' expected"));
            state = Body;
            if (text.isEmpty())
                continue;
        }
        if (state == AfterEnd)
            return fail(QStringLiteral("Text after 'end.'"));
        if (takeEnd(text)) {
            state = AfterEnd;
            if (!text.isEmpty())
                return fail(QStringLiteral("Text after 'end.'"));
            continue;
        }
        QString name;
        QList<TToken> tokens;
        QString error;
        if (!TLineParser(text).statement(name, tokens, error))
            return fail(error);
        const auto it = FRoutines.constFind(name.toLower());
        if (it == FRoutines.constEnd())
            return fail(QStringLiteral("Unknown routine '%1'").arg(name));
        const TRoutineEntry& routine = it.value();
        if (tokens.size() != routine.params.size())
            return fail(QStringLiteral("'%1' takes %2 argument(s), %3 given")
                            .arg(routine.name)
                            .arg(routine.params.size())
                            .arg(tokens.size()));
        TCall call{&routine, {}};
        for (qsizetype k = 0; k < tokens.size(); ++k) {
            QVariant value;
            if (!convert(tokens.at(k), routine.params.at(k), value))
                return fail(QStringLiteral("Argument %1 of '%2' must be %3")
                                .arg(k + 1)
                                .arg(routine.name, paramName(routine.params.at(k))));
            call.arguments.append(value);
        }
        calls.append(call);
    }
    if (state != AfterEnd)
        return TResult{false, qMax(lastLine, 1), state == BeforeBegin ? QStringLiteral("'begin' expected")
                                                                      : QStringLiteral("'end.' expected")};
    for (const TCall& call : calls)
        call.routine->call(call.arguments);
    return {};
}
