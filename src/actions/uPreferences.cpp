#include "uPreferences.h"

#include "uLog.h"
#include "uSavePrefs.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QWidget>
#include <QtEndian>

#include <algorithm>
#include <bit>

namespace {

const QChar kSep = QLatin1Char('\\');
const QString kTessalyKey = QStringLiteral("Software\\Tessaly");

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool isHeader(const QString& line)
{
    return line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'));
}

QString header(const QString& path)
{
    return QLatin1Char('[') + path + QLatin1Char(']');
}

} // namespace

// --- TPreferencesMan ---------------------------------------------------------

TPreferencesMan::~TPreferencesMan() = default;

QString TPreferencesMan::childPath(const QString& aKey) const
{
    return FPath.isEmpty() ? aKey : FPath + kSep + aKey;
}

QString TPreferencesMan::parentPath() const
{
    const qsizetype last = FPath.lastIndexOf(kSep);
    return last < 0 ? QString() : FPath.left(last);
}

bool TPreferencesMan::writeColor(const QString& aName, TColor aValue)
{
    return writeInteger(aName, aValue);
}

bool TPreferencesMan::readColor(const QString& aName, TColor& aValue)
{
    return readInteger(aName, aValue);
}

bool TPreferencesMan::writePoint(const QString& aName, const TPoint& aValue)
{
    return writeInteger(aName + QStringLiteral(".X"), aValue.x())
        && writeInteger(aName + QStringLiteral(".Y"), aValue.y());
}

bool TPreferencesMan::readPoint(const QString& aName, TPoint& aValue)
{
    qint32 x = 0;
    qint32 y = 0;
    if (!readInteger(aName + QStringLiteral(".X"), x) || !readInteger(aName + QStringLiteral(".Y"), y))
        return false;
    aValue = TPoint(x, y);
    return true;
}

bool TPreferencesMan::writeRect(const QString& aName, const TRect& aValue)
{
    if (!openkey(aName, true))
        return false;
    const bool ok = writeInteger(QStringLiteral("Left"), aValue.Left) && writeInteger(QStringLiteral("Top"), aValue.Top)
        && writeInteger(QStringLiteral("Right"), aValue.Right)
        && writeInteger(QStringLiteral("Bottom"), aValue.Bottom);
    closekey();
    return ok;
}

bool TPreferencesMan::readRect(const QString& aName, TRect& aValue)
{
    if (!openkey(aName, false))
        return false;
    TRect rect;
    const bool ok = readInteger(QStringLiteral("Left"), rect.Left) && readInteger(QStringLiteral("Top"), rect.Top)
        && readInteger(QStringLiteral("Right"), rect.Right) && readInteger(QStringLiteral("Bottom"), rect.Bottom);
    closekey();
    if (ok)
        aValue = rect;
    return ok;
}

bool TPreferencesMan::writeFont(const QString& aName, const TFontValue& aValue)
{
    if (!openkey(aName, true))
        return false;
    const bool ok = writeInteger(QStringLiteral("Charset"), aValue.Charset)
        && writeInteger(QStringLiteral("Color"), aValue.Color) && writestring(QStringLiteral("Name"), aValue.Name)
        && writeInteger(QStringLiteral("Pitch"), aValue.Pitch)
        && writeInteger(QStringLiteral("PixelsperInch"), aValue.PixelsPerInch)
        && writeInteger(QStringLiteral("Size"), aValue.Size) && writeBool(QStringLiteral("Bold"), aValue.Bold)
        && writeBool(QStringLiteral("Italic"), aValue.Italic)
        && writeBool(QStringLiteral("StrikeOut"), aValue.StrikeOut)
        && writeBool(QStringLiteral("Underline"), aValue.Underline);
    closekey();
    return ok;
}

bool TPreferencesMan::readFont(const QString& aName, TFontValue& aValue)
{
    if (!openkey(aName, false))
        return false;
    TFontValue font;
    const bool ok = readInteger(QStringLiteral("Charset"), font.Charset)
        && readInteger(QStringLiteral("Color"), font.Color) && readstring(QStringLiteral("Name"), font.Name)
        && readInteger(QStringLiteral("Pitch"), font.Pitch)
        && readInteger(QStringLiteral("PixelsperInch"), font.PixelsPerInch)
        && readInteger(QStringLiteral("Size"), font.Size) && readBool(QStringLiteral("Bold"), font.Bold)
        && readBool(QStringLiteral("Italic"), font.Italic) && readBool(QStringLiteral("StrikeOut"), font.StrikeOut)
        && readBool(QStringLiteral("Underline"), font.Underline);
    closekey();
    if (ok)
        aValue = font;
    return ok;
}

bool TPreferencesMan::clearStrings(const QString& aName)
{
    if (!openkey(aName, false))
        return false;
    QStringList names;
    readNames(names);
    bool ok = true;
    for (const QString& name : names)
        ok = deletestring(name) && ok;
    closekey();
    return ok;
}

bool TPreferencesMan::writeStrings(const QString& aName, const QStringList& aValue)
{
    clearStrings(aName);
    if (!openkey(aName, true))
        return false;
    bool ok = true;
    for (qsizetype i = 0; ok && i < aValue.size(); ++i)
        ok = writestring(QStringLiteral("String") + QString::number(i), aValue.at(i));
    closekey();
    return ok;
}

bool TPreferencesMan::readStrings(const QString& aName, QStringList& aValue)
{
    if (!openkey(aName, false))
        return false;
    QStringList names;
    readNames(names);
    QStringList items;
    bool ok = true;
    for (const QString& name : names) {
        QString item;
        ok = readstring(name, item);
        if (!ok)
            break;
        items.append(item);
    }
    closekey();
    if (ok)
        aValue = items;
    return ok;
}

// --- TNonePreferencesMan -----------------------------------------------------

bool TNonePreferencesMan::readNames(QStringList&)
{
    return false;
}

bool TNonePreferencesMan::readKeys(QStringList&)
{
    return false;
}

bool TNonePreferencesMan::openkey(const QString& aKey, bool)
{
    FPath = childPath(aKey);
    return true;
}

bool TNonePreferencesMan::closekey()
{
    FPath = parentPath();
    return true;
}

bool TNonePreferencesMan::writestring(const QString&, const QString&)
{
    return true;
}

bool TNonePreferencesMan::readstring(const QString&, QString&)
{
    return false;
}

bool TNonePreferencesMan::deletestring(const QString&)
{
    return false;
}

bool TNonePreferencesMan::writeBool(const QString&, bool)
{
    return true;
}

bool TNonePreferencesMan::readBool(const QString&, bool&)
{
    return false;
}

bool TNonePreferencesMan::writeInteger(const QString&, qint32)
{
    return true;
}

bool TNonePreferencesMan::readInteger(const QString&, qint32&)
{
    return false;
}

bool TNonePreferencesMan::writeDouble(const QString&, double)
{
    return true;
}

bool TNonePreferencesMan::readDouble(const QString&, double&)
{
    return false;
}

// --- TRegPreferencesMan ------------------------------------------------------

TRegPreferencesMan::TRegPreferencesMan(const QString& rootkey, const QString& hiveFile)
    : FHive(hiveFile)
    , FRootKey(rootkey)
{
    FHive.createKey(FRootKey);
}

QString TRegPreferencesMan::hivePath(const QString& path) const
{
    return path.isEmpty() ? FRootKey : FRootKey + kSep + path;
}

bool TRegPreferencesMan::readNames(QStringList& list)
{
    return FHive.valueNames(hivePath(FPath), list);
}

bool TRegPreferencesMan::readKeys(QStringList& list)
{
    return FHive.subKeyNames(hivePath(FPath), list);
}

bool TRegPreferencesMan::openkey(const QString& aKey, bool cancreate)
{
    const QString path = childPath(aKey);
    const QString key = hivePath(path);
    if (!FHive.keyExists(key) && !(cancreate && FHive.createKey(key)))
        return false;
    FPath = path;
    return true;
}

bool TRegPreferencesMan::closekey()
{
    FPath = parentPath();
    return FHive.keyExists(hivePath(FPath));
}

bool TRegPreferencesMan::writestring(const QString& aName, const QString& aValueStr)
{
    return FHive.setString(hivePath(FPath), aName, aValueStr);
}

bool TRegPreferencesMan::readstring(const QString& aName, QString& aValueStr)
{
    return FHive.queryString(hivePath(FPath), aName, aValueStr);
}

bool TRegPreferencesMan::deletestring(const QString& aName)
{
    return FHive.deleteValue(hivePath(FPath), aName);
}

bool TRegPreferencesMan::writeBool(const QString& aName, bool aValue)
{
    return FHive.setDword(hivePath(FPath), aName, aValue ? 1 : 0);
}

bool TRegPreferencesMan::readBool(const QString& aName, bool& aValue)
{
    quint32 value = 0;
    if (!FHive.queryDword(hivePath(FPath), aName, value) || value > 1)
        return false;
    aValue = value == 1;
    return true;
}

bool TRegPreferencesMan::writeInteger(const QString& aName, qint32 aValue)
{
    return FHive.setDword(hivePath(FPath), aName, quint32(aValue));
}

bool TRegPreferencesMan::readInteger(const QString& aName, qint32& aValue)
{
    quint32 value = 0;
    if (!FHive.queryDword(hivePath(FPath), aName, value))
        return false;
    aValue = qint32(value);
    return true;
}

bool TRegPreferencesMan::writeDouble(const QString& aName, double aValue)
{
    QByteArray data(8, '\0');
    qToLittleEndian(std::bit_cast<quint64>(aValue), data.data());
    return FHive.setBinary(hivePath(FPath), aName, data);
}

bool TRegPreferencesMan::readDouble(const QString& aName, double& aValue)
{
    QByteArray data;
    if (!FHive.queryBinary(hivePath(FPath), aName, data) || data.size() != 8)
        return false;
    aValue = std::bit_cast<double>(qFromLittleEndian<quint64>(data.constData()));
    return true;
}

void TRegPreferencesMan::beginUpdate()
{
    FHive.beginUpdate();
}

bool TRegPreferencesMan::endUpdate()
{
    return FHive.endUpdate();
}

// --- TIniPreferencesMan ------------------------------------------------------

TIniPreferencesMan::TIniPreferencesMan(const QString& fileName, const QLocale& locale)
    : FFileName(fileName)
    , FLocale(locale)
    , FCollator(locale)
{
    FLocale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
    load();
    bool created = false;
    FSection = section(QString(), created);
}

TIniPreferencesMan::~TIniPreferencesMan()
{
    save();
}

void TIniPreferencesMan::load()
{
    QFile file(FFileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        FReadFailed = true;
        return;
    }
    const QByteArray bytes = file.readAll();
    QString text;
    if (bytes.startsWith("\xef\xbb\xbf")) {
        FEncoding = enUtf8Bom;
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        FEncoding = bytes.startsWith("\xff\xfe") ? enUtf16LE : enUtf16BE;
        QStringDecoder decoder(FEncoding == enUtf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        text = decoder.decode(bytes);
    } else {
        QStringDecoder decoder(QStringConverter::Utf8);
        text = decoder.decode(bytes);
        // Bytes that are not UTF-8 come from a single-byte code page; Latin-1
        // keeps every one of them for the write back.
        if (decoder.hasError()) {
            FEncoding = enLatin1;
            text = QString::fromLatin1(bytes);
        }
    }
    const qsizetype lf = text.indexOf(QLatin1Char('\n'));
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    if (cr >= 0 && (lf < 0 || cr < lf))
        FLineBreak = cr + 1 == lf ? QStringLiteral("\r\n") : QStringLiteral("\r");
    FLines = splitLines(text);
}

bool TIniPreferencesMan::save()
{
    if (FReadFailed)
        return false;
    QString text;
    for (const QString& line : FLines)
        text += line + FLineBreak;
    QByteArray data;
    switch (FEncoding) {
    case enUtf8:
        data = text.toUtf8();
        break;
    case enUtf8Bom:
        data = QByteArray("\xef\xbb\xbf") + text.toUtf8();
        break;
    case enUtf16LE:
    case enUtf16BE: {
        QStringEncoder encoder(FEncoding == enUtf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::WriteBom);
        data = encoder.encode(text);
        break;
    }
    case enLatin1:
        // Characters that Latin-1 cannot hold would be lost; UTF-8 keeps them.
        data = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; }) ? text.toLatin1()
                                                                                                    : text.toUtf8();
        break;
    }
    QSaveFile file(FFileName);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    logLine(QStringLiteral("The preferences could not be written to ") + FFileName);
    return false;
}

bool TIniPreferencesMan::endUpdate()
{
    return save();
}

bool TIniPreferencesMan::sameText(const QString& a, const QString& b) const
{
    if (QString::compare(a, b, Qt::CaseInsensitive) == 0)
        return true;
    if (isAscii(a) && isAscii(b))
        return false;
    return FCollator.compare(a, b) == 0;
}

qsizetype TIniPreferencesMan::findHeader(const QString& path) const
{
    const QString wanted = header(path);
    for (qsizetype i = 0; i < FLines.size(); ++i)
        if (sameText(FLines.at(i), wanted))
            return i;
    return -1;
}

qsizetype TIniPreferencesMan::section(const QString& path, bool& created)
{
    const qsizetype found = findHeader(path);
    created = found < 0;
    if (!created)
        return found;
    if (!FLines.isEmpty())
        FLines.append(QString());
    FLines.append(header(path));
    return FLines.size() - 1;
}

qsizetype TIniPreferencesMan::sectionEnd() const
{
    qsizetype i = FSection + 1;
    while (i < FLines.size() && !FLines.at(i).isEmpty() && !isHeader(FLines.at(i)))
        ++i;
    return i;
}

qsizetype TIniPreferencesMan::findValue(const QString& aName) const
{
    const qsizetype end = sectionEnd();
    for (qsizetype i = FSection + 1; i < end; ++i) {
        const qsizetype eq = FLines.at(i).indexOf(QLatin1Char('='));
        if (eq >= 0 && sameText(FLines.at(i).left(eq), aName))
            return i;
    }
    return -1;
}

bool TIniPreferencesMan::readNames(QStringList& list)
{
    const qsizetype end = sectionEnd();
    for (qsizetype i = FSection + 1; i < end; ++i) {
        const qsizetype eq = FLines.at(i).indexOf(QLatin1Char('='));
        if (eq >= 0)
            list.append(FLines.at(i).left(eq));
    }
    return true;
}

bool TIniPreferencesMan::readKeys(QStringList& list)
{
    const QString prefix = FPath.isEmpty() ? QStringLiteral("[") : QLatin1Char('[') + FPath + kSep;
    QStringList found;
    for (const QString& line : FLines) {
        if (!isHeader(line) || line.size() <= prefix.size() + 1 || !sameText(line.left(prefix.size()), prefix))
            continue;
        const QString child = line.mid(prefix.size(), line.size() - prefix.size() - 1).section(kSep, 0, 0);
        if (!child.isEmpty()
            && std::none_of(found.cbegin(), found.cend(), [&](const QString& name) { return sameText(name, child); }))
            found.append(child);
    }
    list.append(found);
    return true;
}

bool TIniPreferencesMan::openkey(const QString& aKey, bool cancreate)
{
    const QString path = childPath(aKey);
    bool created = false;
    const qsizetype index = section(path, created);
    if (created && !cancreate)
        return false;
    FSection = index;
    FPath = path;
    return true;
}

bool TIniPreferencesMan::closekey()
{
    FPath = parentPath();
    bool created = false;
    FSection = section(FPath, created);
    return true;
}

bool TIniPreferencesMan::writestring(const QString& aName, const QString& aValueStr)
{
    // Such a name or value would not read back as the same line.
    if (aName.contains(QLatin1Char('=')) || hasLineBreak(aName) || hasLineBreak(aValueStr) || isHeader(aName))
        return false;
    const QString line = aName + QLatin1Char('=') + aValueStr;
    const qsizetype found = findValue(aName);
    if (found >= 0)
        FLines[found] = line;
    else
        FLines.insert(sectionEnd(), line);
    return true;
}

bool TIniPreferencesMan::readstring(const QString& aName, QString& aValueStr)
{
    const qsizetype found = findValue(aName);
    if (found < 0)
        return false;
    const QString& line = FLines.at(found);
    aValueStr = line.mid(line.indexOf(QLatin1Char('=')) + 1);
    return true;
}

bool TIniPreferencesMan::deletestring(const QString& aName)
{
    const qsizetype found = findValue(aName);
    if (found < 0)
        return false;
    FLines.removeAt(found);
    return true;
}

bool TIniPreferencesMan::writeBool(const QString& aName, bool aValue)
{
    return writestring(aName, aValue ? QStringLiteral("True") : QStringLiteral("False"));
}

bool TIniPreferencesMan::readBool(const QString& aName, bool& aValue)
{
    QString text;
    if (!readstring(aName, text))
        return false;
    if (text == QStringLiteral("True"))
        aValue = true;
    else if (text == QStringLiteral("False"))
        aValue = false;
    else
        return false;
    return true;
}

bool TIniPreferencesMan::writeInteger(const QString& aName, qint32 aValue)
{
    return writestring(aName, QString::number(aValue));
}

bool TIniPreferencesMan::readInteger(const QString& aName, qint32& aValue)
{
    QString text;
    if (!readstring(aName, text))
        return false;
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (ok)
        aValue = value;
    return ok;
}

bool TIniPreferencesMan::writeDouble(const QString& aName, double aValue)
{
    return writestring(aName, FLocale.toString(aValue, 'g', QLocale::FloatingPointShortest));
}

// Either decimal separator reads, so that a file written under another locale keeps its values.
bool TIniPreferencesMan::readDouble(const QString& aName, double& aValue)
{
    QString text;
    if (!readstring(aName, text))
        return false;
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = FLocale.toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(QString(text).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (ok)
        aValue = value;
    return ok;
}

// --- TOrvanePreferences ------------------------------------------------------

TOrvanePreferences::TOrvanePreferences(QWidget* owner)
    : QObject(owner)
    , FOwner(owner)
    , FPrompt(new TSavePrefsForm(owner))
    , FStore(std::make_unique<TNonePreferencesMan>())
{
    setProgramFolder(QCoreApplication::applicationDirPath());
    if (owner && owner->isWindow())
        owner->installEventFilter(this);
}

TOrvanePreferences::~TOrvanePreferences()
{
    if (FOwner)
        FOwner->removeEventFilter(this);
    delete FPrompt.data();
}

TSavePrefsForm* TOrvanePreferences::prompt() const
{
    return FPrompt;
}

void TOrvanePreferences::setTitre(const QString& value)
{
    FTitre = value;
    titlePrompt();
}

void TOrvanePreferences::titlePrompt()
{
    if (FPrompt)
        FPrompt->setWindowTitle(QStringLiteral("Saving the preferences of %1").arg(FTitre));
}

void TOrvanePreferences::setMode(TSavePreferences value)
{
    if (value == FMode)
        return;
    FMode = value;
    applymode();
}

void TOrvanePreferences::setProgramFolder(const QString& folder)
{
    FProgramFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString TOrvanePreferences::iniFileName() const
{
    return FProgramFolder + FTitre + QStringLiteral(".ini");
}

QString TOrvanePreferences::rootkey() const
{
    return kTessalyKey + kSep + FTitre;
}

TSavePreferences TOrvanePreferences::lastmode() const
{
    if (FTitre.isEmpty())
        return spNone;
    if (QFileInfo::exists(iniFileName()))
        return spPortable;
    if (THive().keyExists(rootkey()))
        return spRegistre;
    return spNone;
}

void TOrvanePreferences::applymode()
{
    if (FTitre.isEmpty())
        return;
    FStore.reset();
    switch (FMode) {
    case spRegistre:
        FStore = std::make_unique<TRegPreferencesMan>(rootkey());
        break;
    case spPortable:
        FStore = std::make_unique<TIniPreferencesMan>(iniFileName());
        break;
    case spNone:
        FStore = std::make_unique<TNonePreferencesMan>();
        break;
    }
    if (OnChangeMode)
        OnChangeMode(FMode);
    if (FMode != spPortable && QFileInfo::exists(iniFileName())) {
        QFile ini(iniFileName());
        ini.setPermissions(ini.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
        ini.remove();
    }
    if (FMode != spRegistre) {
        THive hive;
        hive.deleteKeyTree(rootkey());
        QStringList others;
        if (hive.subKeyNames(kTessalyKey, others) && others.isEmpty())
            hive.deleteKeyTree(kTessalyKey);
    }
}

bool TOrvanePreferences::openkey(const QString& akey)
{
    return readable() && FStore->openkey(akey, true);
}

bool TOrvanePreferences::closekey()
{
    return FStore->closekey();
}

bool TOrvanePreferences::readkeys(QStringList& akeys)
{
    return readable() && FStore->readKeys(akeys);
}

bool TOrvanePreferences::readBool(const QString& name, bool def)
{
    bool value = def;
    return readable() && FStore->readBool(name, value) ? value : def;
}

qint32 TOrvanePreferences::readInteger(const QString& name, qint32 def)
{
    qint32 value = def;
    return readable() && FStore->readInteger(name, value) ? value : def;
}

double TOrvanePreferences::readDouble(const QString& name, double def)
{
    double value = def;
    return readable() && FStore->readDouble(name, value) ? value : def;
}

QString TOrvanePreferences::readString(const QString& name, const QString& def)
{
    QString value;
    return readable() && FStore->readstring(name, value) ? value : def;
}

TPoint TOrvanePreferences::readPoint(const QString& name, const TPoint& def)
{
    TPoint value;
    return readable() && FStore->readPoint(name, value) ? value : def;
}

TRect TOrvanePreferences::readRect(const QString& name, const TRect& def)
{
    TRect value;
    return readable() && FStore->readRect(name, value) ? value : def;
}

void TOrvanePreferences::readFont(const QString& name, const TFontValue& def, TFontValue& result)
{
    TFontValue value;
    result = readable() && FStore->readFont(name, value) ? value : def;
}

void TOrvanePreferences::readWStrings(const QString& name, const QStringList& def, QStringList& result)
{
    QStringList value;
    result = readable() && FStore->readStrings(name, value) ? value : def;
}

bool TOrvanePreferences::writeBool(const QString& name, bool value)
{
    return readable() && FStore->writeBool(name, value);
}

bool TOrvanePreferences::writeInteger(const QString& name, qint32 value)
{
    return readable() && FStore->writeInteger(name, value);
}

bool TOrvanePreferences::writeDouble(const QString& name, double value)
{
    return readable() && FStore->writeDouble(name, value);
}

bool TOrvanePreferences::writeString(const QString& name, const QString& value)
{
    return readable() && FStore->writestring(name, value);
}

bool TOrvanePreferences::writePoint(const QString& name, const TPoint& value)
{
    return readable() && FStore->writePoint(name, value);
}

bool TOrvanePreferences::writeRect(const QString& name, const TRect& value)
{
    return readable() && FStore->writeRect(name, value);
}

bool TOrvanePreferences::writeFont(const QString& name, const TFontValue& value)
{
    return readable() && FStore->writeFont(name, value);
}

bool TOrvanePreferences::writeWStrings(const QString& name, const QStringList& value)
{
    return readable() && FStore->writeStrings(name, value);
}

bool TOrvanePreferences::writeApplication(const QString& wVersion)
{
    bool ok = writeString(QStringLiteral("Version"), wVersion);
    ok = writeString(QStringLiteral("Dernière Sauvegarde"),
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")))
        && ok;
    return writeString(QStringLiteral("ExeName"), QCoreApplication::applicationFilePath()) && ok;
}

bool TOrvanePreferences::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FOwner || FForwarding)
        return false;
    if (event->type() == QEvent::Show && !FShown) {
        ownerShown(event);
        return true;
    }
    if (event->type() == QEvent::Close)
        return ownerClosing(event);
    return false;
}

void TOrvanePreferences::forwardToOwner(QEvent* event)
{
    FForwarding = true;
    QCoreApplication::sendEvent(FOwner, event);
    FForwarding = false;
}

void TOrvanePreferences::ownerShown(QEvent* event)
{
    FShown = true;
    QCoreApplication::processEvents();
    FMode = lastmode();
    applymode();
    if (FOwner)
        forwardToOwner(event);
    if (OnLoadPrefs)
        OnLoadPrefs(*this);
}

bool TOrvanePreferences::ownerClosing(QEvent* event)
{
    forwardToOwner(event);
    if (!event->isAccepted())
        return true;
    titlePrompt();
    if (FMode == spNone) {
        if (!FPrompt || !FPrompt->ask()) {
            event->ignore();
            if (OnCloseCancelled)
                OnCloseCancelled();
            return true;
        }
        FMode = FPrompt->choice();
        applymode();
    }
    if (FMode != spNone) {
        FStore->beginUpdate();
        writeApplication(FVersion);
        if (OnSavePrefs)
            OnSavePrefs(*this);
        FStore->endUpdate();
    }
    if (FOwner)
        FOwner->removeEventFilter(this);
    event->accept();
    return true;
}
