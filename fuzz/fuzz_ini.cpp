// The portable settings' ini file. Input: the file's bytes. What a store reads
// from it must write back and read again the same.
#include "FuzzSupport.h"
#include "uPreferences.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

namespace {

constexpr int kDumpDepth = 32; // deeper sections are not walked by the dump

void dumpKey(TIniPreferencesMan& store, const QString& path, int depth, QString& out)
{
    QStringList names;
    store.readNames(names);
    for (const QString& name : std::as_const(names)) {
        QString value;
        FUZZ_CHECK(store.readstring(name, value), "a listed name can be read");
        out += path + QStringLiteral(" | ") + name + QStringLiteral(" = ") + value + QLatin1Char('\n');
        bool b = false;
        store.readBool(name, b);
        qint32 i = 0;
        store.readInteger(name, i);
        double d = 0;
        store.readDouble(name, d);
    }
    if (depth == kDumpDepth)
        return;
    QStringList keys;
    store.readKeys(keys);
    for (const QString& key : std::as_const(keys)) {
        out += QStringLiteral("[") + path + QLatin1Char('\\') + key + QStringLiteral("]\n");
        FUZZ_CHECK(store.openkey(key, true), "a listed key opens");
        dumpKey(store, path + QLatin1Char('\\') + key, depth + 1, out);
        store.closekey();
    }
}

QString dump(TIniPreferencesMan& store)
{
    QString out;
    dumpKey(store, QString(), 0, out);
    return out;
}

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

QByteArray contents(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString fileName = QDir(folder().path()).filePath(QStringLiteral("Movarium.ini"));
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(fuzzBytes(data, size)) != qint64(size))
            std::abort();
    }
    const QLocale locale(QLocale::French);
    QString first;
    {
        TIniPreferencesMan store(fileName, locale);
        first = dump(store);
    }
    const QByteArray written = contents(fileName);
    QString second;
    {
        TIniPreferencesMan store(fileName, locale);
        second = dump(store);
    }
    FUZZ_CHECK(second == first, "a written ini file reads back the same");
    FUZZ_CHECK(contents(fileName) == written, "writing an ini file read back changes nothing");
    return 0;
}
