#include "TestSupport.h"
#include "uHive.h"
#include "uLog.h"

#include <QDir>
#include <QStringEncoder>

namespace {

const QString kKey = QStringLiteral("Software\\Tessaly\\Movarium");

class HiveTest : public ::testing::Test {
protected:
    TempFolder dir;
    QString path = dir.file(QStringLiteral("Tessaly/user.reg"));

    QStringList valueNames(THive& hive, const QString& key)
    {
        QStringList names;
        EXPECT_TRUE(hive.valueNames(key, names));
        return names;
    }

    QStringList subKeys(THive& hive, const QString& key)
    {
        QStringList names;
        EXPECT_TRUE(hive.subKeyNames(key, names));
        return names;
    }

    QStringList asideFiles() const
    {
        return QDir(dir.file(QStringLiteral("Tessaly")))
            .entryList({QStringLiteral("user.reg.unreadable-*")}, QDir::Files);
    }
};

} // namespace

TEST_F(HiveTest, DefaultFileFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_EQ(THive::defaultFileName(), dir.path() + QStringLiteral("/Tessaly/user.reg"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(THive::defaultFileName(), QDir::homePath() + QStringLiteral("/.config/Tessaly/user.reg"));
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(HiveTest, WritesTheExportFormatInCreationOrder)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(kKey + QStringLiteral("\\MainForm")));
    ASSERT_TRUE(hive.setString(kKey, QStringLiteral("Version"), QStringLiteral("Movarium 1.0 by Tessaly")));
    ASSERT_TRUE(hive.setString(kKey, QStringLiteral("Dernière Sauvegarde"), QStringLiteral("2024/01/02 10:11:12")));
    ASSERT_TRUE(hive.setDword(kKey + QStringLiteral("\\MainForm"), QStringLiteral("Volume"), 100));
    ASSERT_TRUE(hive.setBinary(kKey + QStringLiteral("\\MainForm"), QStringLiteral("Zoom"),
                               QByteArray::fromHex("000000000000f83f")));
    ASSERT_TRUE(hive.setString(kKey + QStringLiteral("\\MainForm"), QStringLiteral("Path"),
                               QStringLiteral("C:\\x \"y\"")));
    ASSERT_TRUE(hive.setString(QString(), QString(), QStringLiteral("default")));
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("version"), 7)); // same name: replaced in place

    EXPECT_EQ(readAll(path), QByteArray("Windows Registry Editor Version 5.00\n"
                                  "\n"
                                  "[HKEY_CURRENT_USER]\n"
                                  "@=\"default\"\n"
                                  "\n"
                                  "[HKEY_CURRENT_USER\\Software]\n"
                                  "\n"
                                  "[HKEY_CURRENT_USER\\Software\\Tessaly]\n"
                                  "\n"
                                  "[HKEY_CURRENT_USER\\Software\\Tessaly\\Movarium]\n"
                                  "\"Version\"=dword:00000007\n"
                                  "\"Derni\xc3\xa8re Sauvegarde\"=\"2024/01/02 10:11:12\"\n"
                                  "\n"
                                  "[HKEY_CURRENT_USER\\Software\\Tessaly\\Movarium\\MainForm]\n"
                                  "\"Volume\"=dword:00000064\n"
                                  "\"Zoom\"=hex:00,00,00,00,00,00,f8,3f\n"
                                  "\"Path\"=\"C:\\\\x \\\"y\\\"\"\n"
                                  "\n"));
}

TEST_F(HiveTest, EveryKindReadsBackInAnotherInstance)
{
    const QString sub = kKey + QStringLiteral("\\é\\Dernière");
    QByteArray longData;
    for (int i = 0; i < 300; ++i)
        longData.append(char(i));
    const QString oddText = QStringLiteral("two\r\nlines");
    {
        THive hive(path);
        ASSERT_TRUE(hive.createKey(sub));
        ASSERT_TRUE(hive.createKey(kKey + QStringLiteral("\\B")));
        ASSERT_TRUE(hive.setString(sub, QStringLiteral("Dernière Sauvegarde"), QStringLiteral("é")));
        ASSERT_TRUE(hive.setString(sub, QStringLiteral("Empty"), QString()));
        ASSERT_TRUE(hive.setString(sub, QStringLiteral("Lines"), oddText));
        ASSERT_TRUE(hive.setDword(sub, QStringLiteral("Max"), 0xFFFFFFFFu));
        ASSERT_TRUE(hive.setBinary(sub, QStringLiteral("Long"), longData));
        ASSERT_TRUE(hive.setBinary(sub, QStringLiteral("None"), QByteArray()));
        ASSERT_TRUE(hive.setValue(sub, QStringLiteral("Multi"), THive::rtMultiSz, QByteArray("a\0\0\0\0\0", 6)));
    }
    THive hive(path);
    QString text;
    ASSERT_TRUE(hive.queryString(sub, QStringLiteral("Dernière Sauvegarde"), text));
    EXPECT_EQ(text, QStringLiteral("é"));
    ASSERT_TRUE(hive.queryString(sub, QStringLiteral("Empty"), text));
    EXPECT_EQ(text, QString());
    ASSERT_TRUE(hive.queryString(sub, QStringLiteral("Lines"), text));
    EXPECT_EQ(text, oddText);
    quint32 number = 0;
    ASSERT_TRUE(hive.queryDword(sub, QStringLiteral("Max"), number));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    QByteArray data;
    ASSERT_TRUE(hive.queryBinary(sub, QStringLiteral("Long"), data));
    EXPECT_EQ(data, longData);
    ASSERT_TRUE(hive.queryBinary(sub, QStringLiteral("None"), data));
    EXPECT_TRUE(data.isEmpty());
    quint32 type = 0;
    ASSERT_TRUE(hive.queryValue(sub, QStringLiteral("Multi"), type, data));
    EXPECT_EQ(type, quint32(THive::rtMultiSz));
    EXPECT_EQ(data, QByteArray("a\0\0\0\0\0", 6));

    EXPECT_EQ(valueNames(hive, sub), QStringList({QStringLiteral("Dernière Sauvegarde"), QStringLiteral("Empty"),
                                                  QStringLiteral("Lines"), QStringLiteral("Max"),
                                                  QStringLiteral("Long"), QStringLiteral("None"),
                                                  QStringLiteral("Multi")}));
    EXPECT_EQ(subKeys(hive, kKey), QStringList({QStringLiteral("é"), QStringLiteral("B")}));
    // Long values are wrapped over several lines.
    EXPECT_TRUE(readAll(path).contains(",\\\n  "));
}

TEST_F(HiveTest, NamesIgnoreCaseAndKeepTheirOwn)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(QStringLiteral("\\SOFTWARE\\LBV\\Video\\HWAccel")));
    EXPECT_TRUE(hive.keyExists(QStringLiteral("Software\\lbv\\VIDEO\\hwaccel")));
    ASSERT_TRUE(hive.setDword(QStringLiteral("software\\lbv\\video\\hwaccel"), QStringLiteral("HWAccel"), 1));
    ASSERT_TRUE(hive.setDword(QStringLiteral("software\\lbv\\video\\hwaccel"), QStringLiteral("hwaccel"), 2));
    quint32 value = 0;
    ASSERT_TRUE(hive.queryDword(QStringLiteral("SOFTWARE\\LBV\\Video\\HWAccel"), QStringLiteral("HWACCEL"), value));
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(valueNames(hive, QStringLiteral("SOFTWARE\\LBV\\Video\\HWAccel")),
              QStringList({QStringLiteral("HWAccel")}));
    EXPECT_EQ(subKeys(hive, QString()), QStringList({QStringLiteral("SOFTWARE")}));
}

TEST_F(HiveTest, RefusalsAndWrongTypes)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(kKey));
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("Number"), 1));
    ASSERT_TRUE(hive.setString(kKey, QStringLiteral("Text"), QStringLiteral("1")));
    const QByteArray before = readAll(path);

    QString text;
    quint32 number = 0;
    QByteArray data;
    QStringList names;
    EXPECT_FALSE(hive.queryString(kKey, QStringLiteral("Number"), text));
    EXPECT_FALSE(hive.queryDword(kKey, QStringLiteral("Text"), number));
    EXPECT_FALSE(hive.queryBinary(kKey, QStringLiteral("Text"), data));
    EXPECT_FALSE(hive.queryString(kKey, QStringLiteral("Missing"), text));
    EXPECT_FALSE(hive.setString(kKey + QStringLiteral("\\Missing"), QStringLiteral("x"), QStringLiteral("y")));
    EXPECT_FALSE(hive.setString(kKey, QStringLiteral("two\nlines"), QStringLiteral("y")));
    EXPECT_FALSE(hive.createKey(QStringLiteral("Software\\bad\nkey")));
    EXPECT_FALSE(hive.deleteValue(kKey, QStringLiteral("Missing")));
    EXPECT_FALSE(hive.deleteKeyTree(kKey + QStringLiteral("\\Missing")));
    EXPECT_FALSE(hive.deleteKeyTree(QString()));
    EXPECT_FALSE(hive.valueNames(kKey + QStringLiteral("\\Missing"), names));
    EXPECT_FALSE(hive.subKeyNames(kKey + QStringLiteral("\\Missing"), names));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(readAll(path), before);
}

TEST_F(HiveTest, DeletesValuesAndWholeTrees)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(kKey + QStringLiteral("\\MainForm\\Font")));
    ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\Other")));
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("A"), 1));
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("B"), 2));
    ASSERT_TRUE(hive.deleteValue(kKey, QStringLiteral("a")));
    EXPECT_EQ(valueNames(hive, kKey), QStringList({QStringLiteral("B")}));
    ASSERT_TRUE(hive.deleteKeyTree(QStringLiteral("Software\\Tessaly")));
    EXPECT_FALSE(hive.keyExists(kKey + QStringLiteral("\\MainForm")));
    EXPECT_EQ(subKeys(hive, QStringLiteral("Software")), QStringList({QStringLiteral("Other")}));
    EXPECT_FALSE(readAll(path).contains("Tessaly"));
}

TEST_F(HiveTest, InstancesSeeEachOthersChanges)
{
    THive first(path);
    THive second(path);
    ASSERT_TRUE(first.createKey(kKey));
    EXPECT_TRUE(second.keyExists(kKey));
    ASSERT_TRUE(second.setString(kKey, QStringLiteral("From"), QStringLiteral("second")));
    ASSERT_TRUE(first.setString(kKey, QStringLiteral("Other"), QStringLiteral("first")));
    QString text;
    ASSERT_TRUE(second.queryString(kKey, QStringLiteral("Other"), text));
    EXPECT_EQ(text, QStringLiteral("first"));
    EXPECT_EQ(valueNames(first, kKey), QStringList({QStringLiteral("From"), QStringLiteral("Other")}));
}

TEST_F(HiveTest, UpdateBlockWritesOnceAtTheEnd)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(kKey));
    const QByteArray before = readAll(path);
    hive.beginUpdate();
    hive.beginUpdate();
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("A"), 1));
    ASSERT_TRUE(hive.endUpdate());
    ASSERT_TRUE(hive.setDword(kKey, QStringLiteral("B"), 2));
    quint32 value = 0;
    EXPECT_TRUE(hive.queryDword(kKey, QStringLiteral("A"), value));
    EXPECT_EQ(readAll(path), before);
    ASSERT_TRUE(hive.endUpdate());
    THive other(path);
    EXPECT_EQ(valueNames(other, kKey), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
}

TEST_F(HiveTest, ReadsOtherEncodingsAndTheOlderHeader)
{
    const QString body = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "; a comment\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Tessaly\\Movarium]\r\n"
                                        "\"Dernière Sauvegarde\"=\"é\"\r\n"
                                        "\"Bytes\"=hex:01,02,\\\r\n"
                                        "  03\r\n"
                                        "\"Small\"=dword:a\r\n"
                                        "\"Expand\"=hex(2):41,00,00,00\r\n");
    QStringEncoder utf16le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder utf16be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    QString older = body;
    older.replace(QStringLiteral("Windows Registry Editor Version 5.00"), QStringLiteral("REGEDIT4"));
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"UTF-16LE with BOM", utf16le.encode(body)},
        {"UTF-16BE with BOM", utf16be.encode(body)},
        {"UTF-8 with BOM", QByteArray("\xef\xbb\xbf") + body.toUtf8()},
        {"REGEDIT4", older.toUtf8()},
    };
    for (const auto& c : cases) {
        dir.write(QStringLiteral("Tessaly/user.reg"), c.bytes);
        THive hive(path);
        QString text;
        EXPECT_TRUE(hive.queryString(kKey, QStringLiteral("Dernière Sauvegarde"), text)) << c.what;
        EXPECT_EQ(text, QStringLiteral("é")) << c.what;
        QByteArray data;
        EXPECT_TRUE(hive.queryBinary(kKey, QStringLiteral("Bytes"), data)) << c.what;
        EXPECT_EQ(data, QByteArray("\x01\x02\x03")) << c.what;
        quint32 number = 0;
        EXPECT_TRUE(hive.queryDword(kKey, QStringLiteral("Small"), number)) << c.what;
        EXPECT_EQ(number, 10u) << c.what;
        EXPECT_TRUE(hive.queryString(kKey, QStringLiteral("Expand"), text)) << c.what;
        EXPECT_EQ(text, QStringLiteral("A")) << c.what;
        EXPECT_TRUE(asideFiles().isEmpty()) << c.what;
    }
}

TEST_F(HiveTest, UnparsableFileIsKeptAsideAndLogged)
{
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"no header", "[HKEY_CURRENT_USER\\Software]\n"},
        {"stray line", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\njunk\n"},
        {"value before a key", "Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n"},
        {"other root", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n"},
        {"bad dword", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n"},
        {"bad hex", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:0g\n"},
        {"open quote", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\n"},
        {"not UTF-8", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Derni\xe8re]\n"},
    };
    const QString logFile = dir.file(QStringLiteral("Movarium.log"));
    for (const auto& c : cases) {
        for (const QString& old : asideFiles())
            QFile::remove(dir.file(QStringLiteral("Tessaly/") + old));
        dir.write(QStringLiteral("Tessaly/user.reg"), c.bytes);
        ASSERT_TRUE(logStart(logFile));
        {
            THive hive(path);
            EXPECT_FALSE(hive.keyExists(QStringLiteral("A"))) << c.what;
            const QStringList aside = asideFiles();
            ASSERT_EQ(aside.size(), 1) << c.what;
            EXPECT_EQ(readAll(dir.file(QStringLiteral("Tessaly/") + aside.first())), c.bytes) << c.what;
            EXPECT_TRUE(logLines().last().contains(QStringLiteral("kept as"))) << c.what;
            EXPECT_TRUE(logLines().last().contains(aside.first())) << c.what;
            ASSERT_TRUE(hive.createKey(kKey)) << c.what;
        }
        logEnd();
        THive fresh(path);
        EXPECT_TRUE(fresh.keyExists(kKey)) << c.what;
    }
}

TEST_F(HiveTest, ImportMergesAndDeletes)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\LBV\\Old")));
    ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\LBV\\Video")));
    ASSERT_TRUE(hive.setDword(QStringLiteral("Software\\LBV\\Video"), QStringLiteral("Keep"), 1));
    ASSERT_TRUE(hive.setDword(QStringLiteral("Software\\LBV\\Video"), QStringLiteral("Drop"), 1));
    const QString regFile = dir.write(QStringLiteral("LBV.reg"),
                                      "Windows Registry Editor Version 5.00\r\n\r\n"
                                      "[-HKEY_CURRENT_USER\\Software\\LBV\\Old]\r\n"
                                      "\r\n"
                                      "[HKEY_CURRENT_USER\\Software\\LBV\\Video]\r\n"
                                      "\"Drop\"=-\r\n"
                                      "\"Keep\"=dword:00000002\r\n"
                                      "\r\n"
                                      "[HKEY_CURRENT_USER\\Software\\LBV\\Video\\HWAccel]\r\n"
                                      "\"HWAccel\"=dword:00000000\r\n");
    ASSERT_TRUE(hive.regImport(regFile));
    EXPECT_FALSE(hive.keyExists(QStringLiteral("Software\\LBV\\Old")));
    EXPECT_EQ(valueNames(hive, QStringLiteral("Software\\LBV\\Video")), QStringList({QStringLiteral("Keep")}));
    quint32 value = 0;
    ASSERT_TRUE(hive.queryDword(QStringLiteral("Software\\LBV\\Video"), QStringLiteral("Keep"), value));
    EXPECT_EQ(value, 2u);
    EXPECT_TRUE(THive(path).keyExists(QStringLiteral("Software\\LBV\\Video\\HWAccel")));

    const QByteArray before = readAll(path);
    const QString badFile = dir.write(QStringLiteral("bad.reg"),
                                      "Windows Registry Editor Version 5.00\n\n"
                                      "[-HKEY_CURRENT_USER\\Software\\LBV]\n"
                                      "[HKEY_CURRENT_USER\\Software\\X]\n"
                                      "junk\n");
    EXPECT_FALSE(hive.regImport(badFile));
    EXPECT_FALSE(hive.regImport(dir.file(QStringLiteral("missing.reg"))));
    EXPECT_TRUE(hive.keyExists(QStringLiteral("Software\\LBV\\Video")));
    EXPECT_EQ(readAll(path), before);
}

TEST_F(HiveTest, RegDeleteTakesBothRootSpellings)
{
    THive hive(path);
    ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\LBV\\Video")));
    ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\Kept")));
    EXPECT_FALSE(hive.regDelete(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\LBV")));
    EXPECT_FALSE(hive.regDelete(QStringLiteral("HKCU")));
    EXPECT_FALSE(hive.regDelete(QStringLiteral("HKCU\\Software\\Missing")));
    EXPECT_TRUE(hive.regDelete(QStringLiteral("HKCU\\Software\\LBV")));
    EXPECT_FALSE(hive.keyExists(QStringLiteral("Software\\LBV")));
    EXPECT_TRUE(hive.regDelete(QStringLiteral("HKEY_CURRENT_USER\\Software\\Kept")));
    EXPECT_EQ(subKeys(hive, QStringLiteral("Software")), QStringList());
}
