// The user hive file (registry export text). Input: the file's bytes. What a
// hive loads from it must save and load again to the same tree.
#include "FuzzSupport.h"
#include "uHive.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kDumpDepth = 64; // deeper keys are not walked by the dump

void dumpKey(THive& hive, const QString& key, int depth, QString& out)
{
    QStringList values;
    hive.valueNames(key, values);
    for (const QString& name : std::as_const(values)) {
        quint32 type = 0;
        QByteArray data;
        FUZZ_CHECK(hive.queryValue(key, name, type, data), "a listed value can be read");
        out += key + QStringLiteral(" | ") + name + QStringLiteral(" = ") + QString::number(type) + QLatin1Char(':')
            + QString::fromLatin1(data.toHex()) + QLatin1Char('\n');
        QString text;
        hive.queryString(key, name, text);
        quint32 dword = 0;
        hive.queryDword(key, name, dword);
    }
    if (depth == kDumpDepth)
        return;
    QStringList keys;
    hive.subKeyNames(key, keys);
    for (const QString& child : std::as_const(keys)) {
        const QString path = key.isEmpty() ? child : key + QLatin1Char('\\') + child;
        out += QStringLiteral("[") + path + QStringLiteral("]\n");
        FUZZ_CHECK(hive.keyExists(path), "a listed key exists");
        dumpKey(hive, path, depth + 1, out);
    }
}

QString dump(THive& hive)
{
    QString out;
    dumpKey(hive, QString(), 0, out);
    return out;
}

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QDir dir(folder().path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(name);
    const QString fileName = dir.filePath(QStringLiteral("user.reg"));
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(fuzzBytes(data, size)) != qint64(size))
            std::abort();
    }

    THive hive(fileName);
    const QString loaded = dump(hive);
    const QString probe = QStringLiteral("FuzzProbe");
    if (hive.keyExists(probe))
        return 0;
    // A change and its undoing in one burst: the file is written once, from the tree.
    hive.beginUpdate();
    FUZZ_CHECK(hive.createKey(probe), "a key can be created");
    FUZZ_CHECK(hive.deleteKeyTree(probe), "the new key can be deleted");
    if (!hive.endUpdate())
        return 0;

    THive again(fileName);
    FUZZ_CHECK(dump(again) == loaded, "a saved hive loads back to the same tree");

    // The merge of the same text into the saved tree changes nothing it had.
    again.regImport(fileName);
    FUZZ_CHECK(dump(again) == loaded, "importing a hive's own file changes nothing");
    return 0;
}
