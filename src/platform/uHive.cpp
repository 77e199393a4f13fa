#include "uHive.h"

#include "uLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtEndian>

#include <functional>
#include <vector>

#include <sys/stat.h>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");
const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");
const QString kShortRoot = QStringLiteral("HKCU");
const QChar kSep = QLatin1Char('\\');

struct TValueRec {
    QString name;
    quint32 type = THive::rtNone;
    QByteArray data;
};

struct TKeyNode {
    QString name;
    QList<TValueRec> values;
    std::vector<TKeyNode> children;
};

bool sameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// A name ends at a line break in the file, so none may hold one.
bool validName(const QString& name)
{
    for (const QChar c : name)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.isNull())
            return false;
    return true;
}

QStringList keyParts(const QString& key)
{
    return key.split(kSep, Qt::SkipEmptyParts);
}

TKeyNode* childOf(TKeyNode& node, const QString& name)
{
    for (TKeyNode& child : node.children)
        if (sameName(child.name, name))
            return &child;
    return nullptr;
}

TKeyNode* findKey(TKeyNode& root, const QStringList& parts)
{
    TKeyNode* node = &root;
    for (const QString& part : parts) {
        node = childOf(*node, part);
        if (!node)
            return nullptr;
    }
    return node;
}

TKeyNode& makeKey(TKeyNode& root, const QStringList& parts)
{
    TKeyNode* node = &root;
    for (const QString& part : parts) {
        TKeyNode* child = childOf(*node, part);
        if (!child) {
            node->children.push_back(TKeyNode{part, {}, {}});
            child = &node->children.back();
        }
        node = child;
    }
    return *node;
}

bool removeKey(TKeyNode& root, const QStringList& parts)
{
    if (parts.isEmpty())
        return false;
    TKeyNode* parent = findKey(root, parts.mid(0, parts.size() - 1));
    if (!parent)
        return false;
    for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
        if (sameName(it->name, parts.last())) {
            parent->children.erase(it);
            return true;
        }
    }
    return false;
}

qsizetype valueIndex(const TKeyNode& node, const QString& name)
{
    for (qsizetype i = 0; i < node.values.size(); ++i)
        if (sameName(node.values.at(i).name, name))
            return i;
    return -1;
}

// An existing value keeps its place and the case of its name.
void putValue(TKeyNode& node, const QString& name, quint32 type, const QByteArray& data)
{
    const qsizetype i = valueIndex(node, name);
    if (i < 0) {
        node.values.append(TValueRec{name, type, data});
        return;
    }
    node.values[i].type = type;
    node.values[i].data = data;
}

bool removeValue(TKeyNode& node, const QString& name)
{
    const qsizetype i = valueIndex(node, name);
    if (i < 0)
        return false;
    node.values.removeAt(i);
    return true;
}

QByteArray textData(const QString& text)
{
    QByteArray data((text.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), data.data() + 2 * i);
    return data;
}

QString dataText(QByteArray data)
{
    if (data.size() % 2 != 0)
        data.chop(1);
    QString text(data.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i));
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// "HKEY_CURRENT_USER\A\B" (or "HKCU\..." where allowed) -> {"A", "B"}.
bool rootedParts(const QString& full, bool allowShort, QStringList& parts)
{
    const QString root = full.section(kSep, 0, 0);
    if (!sameName(root, kRoot) && !(allowShort && sameName(root, kShortRoot)))
        return false;
    parts = keyParts(full.mid(root.size()));
    for (const QString& part : parts)
        if (!validName(part))
            return false;
    return true;
}

// --- Writing ---------------------------------------------------------------

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += kSep;
        out += c;
    }
    return out + QLatin1Char('"');
}

// Text that the quoted form can carry exactly: whole characters, one ending zero,
// no other zero and no line break.
bool plainText(const TValueRec& value, QString& text)
{
    if (value.type != THive::rtSz || value.data.size() < 2 || value.data.size() % 2 != 0)
        return false;
    if (value.data.at(value.data.size() - 1) != '\0' || value.data.at(value.data.size() - 2) != '\0')
        return false;
    text = dataText(value.data);
    return validName(text);
}

void writeValue(QString& out, const TValueRec& value)
{
    const QString name = value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name);
    QString text;
    if (plainText(value, text)) {
        out += name + QLatin1Char('=') + quoted(text) + QLatin1Char('\n');
        return;
    }
    if (value.type == THive::rtDword && value.data.size() == 4) {
        out += name + QStringLiteral("=dword:")
            + QStringLiteral("%1").arg(qFromLittleEndian<quint32>(value.data.constData()), 8, 16, QLatin1Char('0'))
            + QLatin1Char('\n');
        return;
    }
    QString line = name + QLatin1Char('=')
        + (value.type == THive::rtBinary ? QStringLiteral("hex:") : QStringLiteral("hex(%1):").arg(value.type, 0, 16));
    // Wrapped as the registry editor does, so that long values stay readable.
    for (qsizetype i = 0; i < value.data.size(); ++i) {
        const QString byte = QStringLiteral("%1").arg(quint8(value.data.at(i)), 2, 16, QLatin1Char('0'));
        if (i > 0 && line.size() + 3 > 77) {
            out += line + QStringLiteral(",\\\n");
            line = QStringLiteral("  ") + byte;
            continue;
        }
        if (i > 0)
            line += QLatin1Char(',');
        line += byte;
    }
    out += line + QLatin1Char('\n');
}

void writeSection(QString& out, const QString& path, const TKeyNode& node)
{
    out += QLatin1Char('[') + path + QStringLiteral("]\n");
    for (const TValueRec& value : node.values)
        writeValue(out, value);
    out += QLatin1Char('\n');
}

void writeTree(QString& out, const QString& path, const TKeyNode& node)
{
    writeSection(out, path, node);
    for (const TKeyNode& child : node.children)
        writeTree(out, path + kSep + child.name, child);
}

QByteArray hiveText(const TKeyNode& root)
{
    QString out = kHeader + QStringLiteral("\n\n");
    if (!root.values.isEmpty())
        writeSection(out, kRoot, root);
    for (const TKeyNode& child : root.children)
        writeTree(out, kRoot + kSep + child.name, child);
    return out.toUtf8();
}

// --- Reading ---------------------------------------------------------------

bool decodeText(const QByteArray& bytes, QString& text)
{
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

// A quoted text starting at from; \\ and \" stand for \ and ", any other
// backslash stays as it is. end is the position after the closing quote.
bool unquote(const QString& line, qsizetype from, QString& text, qsizetype& end)
{
    if (from >= line.size() || line.at(from) != QLatin1Char('"'))
        return false;
    text.clear();
    for (qsizetype i = from + 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"')) {
            end = i + 1;
            return true;
        }
        if (c == kSep && i + 1 < line.size() && (line.at(i + 1) == kSep || line.at(i + 1) == QLatin1Char('"')))
            ++i;
        text += line.at(i);
    }
    return false;
}

bool hexBytes(const QString& text, QByteArray& data)
{
    data.clear();
    for (const QString& token : text.split(QLatin1Char(','))) {
        const QString byte = token.trimmed();
        if (byte.isEmpty())
            continue;
        bool ok = false;
        const uint value = byte.toUInt(&ok, 16);
        if (!ok || byte.size() > 2)
            return false;
        data.append(char(value));
    }
    return true;
}

// The data after "=": a quoted text, dword:, hex:, hex(N):.
bool parseData(const QString& text, quint32& type, QByteArray& data)
{
    if (text.startsWith(QLatin1Char('"'))) {
        QString value;
        qsizetype end = 0;
        if (!unquote(text, 0, value, end) || end != text.size())
            return false;
        type = THive::rtSz;
        data = textData(value);
        return true;
    }
    if (text.startsWith(QStringLiteral("dword:"), Qt::CaseInsensitive)) {
        const QString digits = text.mid(6);
        bool ok = false;
        const quint32 value = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return false;
        type = THive::rtDword;
        data.resize(4);
        qToLittleEndian(value, data.data());
        return true;
    }
    if (text.startsWith(QStringLiteral("hex:"), Qt::CaseInsensitive)) {
        type = THive::rtBinary;
        return hexBytes(text.mid(4), data);
    }
    if (text.startsWith(QStringLiteral("hex("), Qt::CaseInsensitive)) {
        const qsizetype close = text.indexOf(QStringLiteral("):"));
        bool ok = false;
        type = text.mid(4, close - 4).toUInt(&ok, 16);
        return close > 4 && ok && hexBytes(text.mid(close + 2), data);
    }
    return false;
}

// Applies a file in the export format to a tree; failLine tells where it stopped.
bool applyRegText(const QByteArray& bytes, TKeyNode& root, int& failLine)
{
    failLine = 0;
    QString text;
    if (!decodeText(bytes, text))
        return false;
    const QStringList lines = splitLines(text);
    qsizetype i = 0;
    while (i < lines.size() && lines.at(i).trimmed().isEmpty())
        ++i;
    failLine = int(i + 1);
    if (i == lines.size() || (lines.at(i).trimmed() != kHeader && lines.at(i).trimmed() != kOldHeader))
        return false;

    TKeyNode* current = nullptr;
    bool inDeletedKey = false;
    for (++i; i < lines.size(); ++i) {
        failLine = int(i + 1);
        QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return false;
            QString path = line.mid(1, line.size() - 2);
            inDeletedKey = path.startsWith(QLatin1Char('-'));
            if (inDeletedKey)
                path.remove(0, 1);
            QStringList parts;
            if (!rootedParts(path, false, parts))
                return false;
            if (inDeletedKey) {
                removeKey(root, parts);
                current = nullptr;
            } else {
                current = &makeKey(root, parts);
            }
            continue;
        }

        QString name;
        qsizetype pos = 1;
        if (!line.startsWith(QLatin1Char('@')) && !unquote(line, 0, name, pos))
            return false;
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            return false;
        QString dataPart = line.mid(pos + 1).trimmed();
        while (dataPart.endsWith(kSep) && !dataPart.startsWith(QLatin1Char('"'))) {
            dataPart.chop(1);
            if (++i == lines.size())
                return false;
            dataPart += lines.at(i).trimmed();
        }
        if (!current) {
            if (inDeletedKey)
                continue;
            return false;
        }
        if (dataPart == QStringLiteral("-")) {
            removeValue(*current, name);
            continue;
        }
        quint32 type = THive::rtNone;
        QByteArray data;
        if (!parseData(dataPart, type, data))
            return false;
        putValue(*current, name, type, data);
    }
    return true;
}

struct TFileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
    bool operator==(const TFileStamp&) const = default;
};

// The file is replaced by a rename on every write, so its inode changes too.
TFileStamp stampOf(const QString& fileName)
{
    struct stat st {};
    TFileStamp stamp;
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.seconds = st.st_mtim.tv_sec;
    stamp.nanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

QString asideName(const QString& fileName)
{
    const QString base = fileName + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

} // namespace

struct THive::State {
    QString fileName;
    TKeyNode root;
    TFileStamp stamp;
    bool loaded = false;
    // The file on disk could be neither read nor set aside: it must not be overwritten.
    bool blocked = false;
    int updateDepth = 0;
    bool dirty = false;

    void load(const TFileStamp& now)
    {
        root = TKeyNode{};
        loaded = true;
        blocked = false;
        stamp = now;
        if (!now.exists)
            return;
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            blocked = true;
            logLine(QStringLiteral("The user hive ") + fileName
                    + QStringLiteral(" cannot be read; the settings are neither read nor saved there."));
            return;
        }
        const QByteArray bytes = file.readAll();
        file.close();
        TKeyNode tree;
        int failLine = 0;
        if (applyRegText(bytes, tree, failLine)) {
            root = std::move(tree);
            return;
        }
        const QString aside = asideName(fileName);
        const QString where = QStringLiteral(" cannot be parsed (line ") + QString::number(failLine) + QLatin1Char(')');
        if (QFile::rename(fileName, aside)) {
            stamp = stampOf(fileName);
            logLine(QStringLiteral("The user hive ") + fileName + where + QStringLiteral("; it was kept as ") + aside
                    + QStringLiteral(" and an empty hive is used."));
            return;
        }
        blocked = true;
        logLine(QStringLiteral("The user hive ") + fileName + where
                + QStringLiteral(" and cannot be renamed; the settings are neither read nor saved there."));
    }

    void refresh()
    {
        if (loaded && updateDepth > 0)
            return;
        const TFileStamp now = stampOf(fileName);
        if (!loaded || !(now == stamp))
            load(now);
    }

    // The file is replaced whole or not at all: a failed write leaves the previous one.
    bool writeFile(const TKeyNode& tree)
    {
        QSaveFile file(fileName);
        const QByteArray data = hiveText(tree);
        if (!QDir().mkpath(QFileInfo(fileName).absolutePath()) || !file.open(QIODevice::WriteOnly)
            || file.write(data) != data.size() || !file.commit()) {
            logLine(QStringLiteral("The user hive ") + fileName + QStringLiteral(" could not be written (")
                    + file.errorString() + QStringLiteral("); it keeps its previous settings."));
            return false;
        }
        stamp = stampOf(fileName);
        return true;
    }

    // Runs an edit and writes the result; the tree in memory changes only when the
    // file could be written, so that memory and disk agree.
    bool change(const std::function<bool(TKeyNode&)>& edit)
    {
        refresh();
        if (blocked)
            return false;
        if (updateDepth > 0) {
            if (!edit(root))
                return false;
            dirty = true;
            return true;
        }
        TKeyNode tree = root;
        if (!edit(tree) || !writeFile(tree))
            return false;
        root = std::move(tree);
        return true;
    }

    TKeyNode* key(const QString& path)
    {
        refresh();
        return findKey(root, keyParts(path));
    }

    const TValueRec* value(const QString& path, const QString& name)
    {
        TKeyNode* node = key(path);
        if (!node)
            return nullptr;
        const qsizetype i = valueIndex(*node, name);
        return i < 0 ? nullptr : &node->values.at(i);
    }
};

QString THive::defaultFileName()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Tessaly/user.reg");
}

THive::THive(const QString& fileName)
    : d(std::make_unique<State>())
{
    d->fileName = fileName;
}

THive::~THive()
{
    if (d->updateDepth > 0) {
        d->updateDepth = 1;
        endUpdate();
    }
}

QString THive::fileName() const
{
    return d->fileName;
}

bool THive::keyExists(const QString& key)
{
    return d->key(key) != nullptr;
}

bool THive::createKey(const QString& key)
{
    const QStringList parts = keyParts(key);
    for (const QString& part : parts)
        if (!validName(part))
            return false;
    if (d->key(key))
        return true;
    return d->change([&](TKeyNode& root) {
        makeKey(root, parts);
        return true;
    });
}

bool THive::deleteKeyTree(const QString& key)
{
    const QStringList parts = keyParts(key);
    return d->change([&](TKeyNode& root) { return removeKey(root, parts); });
}

bool THive::subKeyNames(const QString& key, QStringList& names)
{
    const TKeyNode* node = d->key(key);
    if (!node)
        return false;
    for (const TKeyNode& child : node->children)
        names.append(child.name);
    return true;
}

bool THive::valueNames(const QString& key, QStringList& names)
{
    const TKeyNode* node = d->key(key);
    if (!node)
        return false;
    for (const TValueRec& value : node->values)
        names.append(value.name);
    return true;
}

bool THive::setValue(const QString& key, const QString& name, quint32 type, const QByteArray& data)
{
    if (!validName(name))
        return false;
    const QStringList parts = keyParts(key);
    return d->change([&](TKeyNode& root) {
        TKeyNode* node = findKey(root, parts);
        if (!node)
            return false;
        putValue(*node, name, type, data);
        return true;
    });
}

bool THive::queryValue(const QString& key, const QString& name, quint32& type, QByteArray& data)
{
    const TValueRec* value = d->value(key, name);
    if (!value)
        return false;
    type = value->type;
    data = value->data;
    return true;
}

bool THive::deleteValue(const QString& key, const QString& name)
{
    const QStringList parts = keyParts(key);
    return d->change([&](TKeyNode& root) {
        TKeyNode* node = findKey(root, parts);
        return node && removeValue(*node, name);
    });
}

bool THive::setString(const QString& key, const QString& name, const QString& value)
{
    return setValue(key, name, rtSz, textData(value));
}

bool THive::queryString(const QString& key, const QString& name, QString& value)
{
    const TValueRec* rec = d->value(key, name);
    if (!rec || (rec->type != rtSz && rec->type != rtExpandSz))
        return false;
    value = dataText(rec->data);
    return true;
}

bool THive::setDword(const QString& key, const QString& name, quint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian(value, data.data());
    return setValue(key, name, rtDword, data);
}

bool THive::queryDword(const QString& key, const QString& name, quint32& value)
{
    const TValueRec* rec = d->value(key, name);
    if (!rec || rec->type != rtDword || rec->data.size() != 4)
        return false;
    value = qFromLittleEndian<quint32>(rec->data.constData());
    return true;
}

bool THive::setBinary(const QString& key, const QString& name, const QByteArray& value)
{
    return setValue(key, name, rtBinary, value);
}

bool THive::queryBinary(const QString& key, const QString& name, QByteArray& value)
{
    const TValueRec* rec = d->value(key, name);
    if (!rec || rec->type != rtBinary)
        return false;
    value = rec->data;
    return true;
}

bool THive::regImport(const QString& regFile)
{
    QFile file(regFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return d->change([&](TKeyNode& root) {
        TKeyNode tree = root;
        int failLine = 0;
        if (!applyRegText(bytes, tree, failLine))
            return false;
        root = std::move(tree);
        return true;
    });
}

bool THive::regDelete(const QString& fullKey)
{
    QStringList parts;
    if (!rootedParts(fullKey, true, parts) || parts.isEmpty())
        return false;
    return d->change([&](TKeyNode& root) { return removeKey(root, parts); });
}

void THive::beginUpdate()
{
    d->refresh();
    ++d->updateDepth;
}

bool THive::endUpdate()
{
    if (d->updateDepth == 0 || --d->updateDepth > 0 || !d->dirty)
        return true;
    d->dirty = false;
    return !d->blocked && d->writeFile(d->root);
}
