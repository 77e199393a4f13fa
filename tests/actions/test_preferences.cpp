#include "TestSupport.h"
#include "uHive.h"
#include "uLinkEdit.h"
#include "uPreferences.h"
#include "uSavePrefs.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QStringEncoder>
#include <QTimer>
#include <QWidget>

#include <cfloat>
#include <memory>
#include <optional>

namespace {

// Every test keeps the hive and the program folder in a folder of its own, so
// that the user's own files are never touched.
class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            FSaved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
        QDir().mkpath(dir.file(QStringLiteral("program")));
    }

    void TearDown() override
    {
        for (const auto& [name, set, value] : FSaved) {
            if (set)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }

    void configure(TOrvanePreferences& prefs) const
    {
        prefs.setTitre(QStringLiteral("Movarium"));
        prefs.setVersion(QStringLiteral("Movarium 1.0 by Tessaly"));
        prefs.setProgramFolder(dir.file(QStringLiteral("program")));
    }

    std::unique_ptr<TOrvanePreferences> makePrefs() const
    {
        auto prefs = std::make_unique<TOrvanePreferences>(nullptr);
        configure(*prefs);
        return prefs;
    }

    // The window owns the component, as the main window does.
    TOrvanePreferences* attach(QWidget& window) const
    {
        auto* prefs = new TOrvanePreferences(&window);
        configure(*prefs);
        return prefs;
    }

    QString hiveFile() const { return dir.file(QStringLiteral("config/Tessaly/user.reg")); }
    QString iniFile() const { return dir.file(QStringLiteral("program/Movarium.ini")); }

    TempFolder dir;

private:
    struct TSavedVariable {
        const char* name;
        bool set;
        QByteArray value;
    };
    std::vector<TSavedVariable> FSaved;
};

// Answers the prompt once it shows: clicks the button of a choice, or closes the
// prompt by its close box when there is no choice.
class PromptAnswer {
public:
    PromptAnswer(TSavePrefsForm* form, std::optional<TSavePreferences> choice)
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this, form, choice] {
            if (!form->isVisible())
                return;
            FTimer.stop();
            FShown = true;
            if (choice)
                form->button(*choice)->click();
            else
                form->close();
        });
        FTimer.start(5);
    }
    PromptAnswer(const PromptAnswer&) = delete;
    PromptAnswer& operator=(const PromptAnswer&) = delete;

    bool shown() const { return FShown; }

private:
    QTimer FTimer;
    bool FShown = false;
};

const QString kRoot = QStringLiteral("Software\\Tessaly\\Movarium");

// A window that notes what its own show and close handling see.
class OwnerWindow : public QWidget {
public:
    QStringList journal;
    bool refuseClose = false;

protected:
    void showEvent(QShowEvent*) override { journal << QStringLiteral("show"); }
    void closeEvent(QCloseEvent* event) override
    {
        journal << QStringLiteral("close");
        if (refuseClose)
            event->ignore();
    }
};

struct TAllValues {
    bool flag = true;
    qint32 number = -7;
    double real = 0.1;
    QString text = QStringLiteral("Dernière é");
    QString empty;
    TPoint point = TPoint(3, -4);
    TRect rect = TRect{10, 20, 300, 400};
    TFontValue font;
    QStringList list = {QStringLiteral("a"), QString(), QStringLiteral("Dernière")};

    TAllValues()
    {
        font.Name = QStringLiteral("DejaVu Sans");
        font.Color = 0x0000FF;
        font.Size = 12;
        font.Bold = true;
        font.Underline = true;
        font.Charset = 0;
        font.Pitch = 2;
        font.PixelsPerInch = 144;
    }
};

void writeAll(TOrvanePreferences& prefs, const TAllValues& v)
{
    ASSERT_TRUE(prefs.openkey(QStringLiteral("MainForm")));
    EXPECT_TRUE(prefs.writeBool(QStringLiteral("Flag"), v.flag));
    EXPECT_TRUE(prefs.writeInteger(QStringLiteral("Number"), v.number));
    EXPECT_TRUE(prefs.writeDouble(QStringLiteral("Real"), v.real));
    EXPECT_TRUE(prefs.writeString(QStringLiteral("Text"), v.text));
    EXPECT_TRUE(prefs.writeString(QStringLiteral("Empty"), v.empty));
    EXPECT_TRUE(prefs.writePoint(QStringLiteral("Point"), v.point));
    EXPECT_TRUE(prefs.writeRect(QStringLiteral("Rect"), v.rect));
    EXPECT_TRUE(prefs.writeFont(QStringLiteral("Font"), v.font));
    EXPECT_TRUE(prefs.writeWStrings(QStringLiteral("List"), v.list));
    prefs.closekey();
}

// Reads every value with defaults that differ from what was written.
TAllValues readAllValues(TOrvanePreferences& prefs)
{
    TAllValues r;
    prefs.openkey(QStringLiteral("MainForm"));
    r.flag = prefs.readBool(QStringLiteral("Flag"), false);
    r.number = prefs.readInteger(QStringLiteral("Number"), 1);
    r.real = prefs.readDouble(QStringLiteral("Real"), 2.5);
    r.text = prefs.readString(QStringLiteral("Text"), QStringLiteral("default"));
    r.empty = prefs.readString(QStringLiteral("Empty"), QStringLiteral("default"));
    r.point = prefs.readPoint(QStringLiteral("Point"), TPoint(1, 1));
    r.rect = prefs.readRect(QStringLiteral("Rect"), TRect{1, 1, 1, 1});
    prefs.readFont(QStringLiteral("Font"), TFontValue(), r.font);
    prefs.readWStrings(QStringLiteral("List"), {QStringLiteral("default")}, r.list);
    prefs.closekey();
    return r;
}

void expectSame(const TAllValues& a, const TAllValues& b)
{
    EXPECT_EQ(a.flag, b.flag);
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.real, b.real);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.empty, b.empty);
    EXPECT_EQ(a.point, b.point);
    EXPECT_EQ(a.rect, b.rect);
    EXPECT_EQ(a.font, b.font);
    EXPECT_EQ(a.list, b.list);
}

QString iniText(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

} // namespace

// --- Ini file ---------------------------------------------------------------

TEST_F(PrefsTest, IniLinesAfterASequenceOfWrites)
{
    const QString file = dir.file(QStringLiteral("Movarium.ini"));
    {
        TIniPreferencesMan ini(file, QLocale::c());
        ASSERT_TRUE(ini.writestring(QStringLiteral("Version"), QStringLiteral("V1")));
        ASSERT_TRUE(ini.openkey(QStringLiteral("MainForm"), true));
        ASSERT_TRUE(ini.writeInteger(QStringLiteral("Volume"), 50));
        ASSERT_TRUE(ini.writeBool(QStringLiteral("Mute"), true));
        ASSERT_TRUE(ini.openkey(QStringLiteral("InsertFont"), true));
        EXPECT_EQ(ini.path(), QStringLiteral("MainForm\\InsertFont"));
        ASSERT_TRUE(ini.writestring(QStringLiteral("Name"), QStringLiteral("Arial")));
        ini.closekey();
        // Into a section that another section follows: before the empty line between them.
        ASSERT_TRUE(ini.writeDouble(QStringLiteral("Zoom"), 1.5));
        ASSERT_TRUE(ini.writeInteger(QStringLiteral("volume"), 60));
        ASSERT_TRUE(ini.writeBool(QStringLiteral("Mute"), false));
        ini.closekey();
        EXPECT_EQ(ini.path(), QString());
        ASSERT_TRUE(ini.writestring(QStringLiteral("Dernière Sauvegarde"), QStringLiteral("2024/01/02 10:11:12")));
        ASSERT_TRUE(ini.deletestring(QStringLiteral("VERSION")));
        ASSERT_TRUE(ini.writestring(QStringLiteral("Version"), QStringLiteral("V2")));
    }
    EXPECT_EQ(readAll(file), iniText({
                                 QStringLiteral("[]"),
                                 QStringLiteral("Dernière Sauvegarde=2024/01/02 10:11:12"),
                                 QStringLiteral("Version=V2"),
                                 QString(),
                                 QStringLiteral("[MainForm]"),
                                 QStringLiteral("volume=60"),
                                 QStringLiteral("Mute=False"),
                                 QStringLiteral("Zoom=1.5"),
                                 QString(),
                                 QStringLiteral("[MainForm\\InsertFont]"),
                                 QStringLiteral("Name=Arial"),
                             }).toUtf8());
}

TEST_F(PrefsTest, IniReadsTextsAsTheirKindAllows)
{
    const QString file = dir.write(QStringLiteral("Movarium.ini"),
                                   "[]\n"
                                   "LowerBool=true\n"
                                   "UpperBool=True\n"
                                   "FalseBool=False\n"
                                   "SpacedBool=True \n"
                                   "Number=-12\n"
                                   "NotNumber=12x\n"
                                   "Dot=1.25\n"
                                   "Comma=1,25\n"
                                   "NotReal=abc\n"
                                   "Empty=\n"
                                   "Equals=a=b\n");
    TIniPreferencesMan ini(file, QLocale::c());
    const struct {
        const char* name;
        bool ok;
        bool value;
    } bools[] = {{"LowerBool", false, false}, {"UpperBool", true, true},  {"FalseBool", true, false},
                 {"SpacedBool", false, false}, {"Missing", false, false}, {"Number", false, false}};
    for (const auto& c : bools) {
        bool value = !c.value;
        EXPECT_EQ(ini.readBool(QString::fromLatin1(c.name), value), c.ok) << c.name;
        EXPECT_EQ(value, c.ok ? c.value : !c.value) << c.name; // a failed read leaves the variable alone
    }
    qint32 number = 5;
    EXPECT_TRUE(ini.readInteger(QStringLiteral("Number"), number));
    EXPECT_EQ(number, -12);
    EXPECT_FALSE(ini.readInteger(QStringLiteral("NotNumber"), number));
    EXPECT_FALSE(ini.readInteger(QStringLiteral("Empty"), number));
    EXPECT_EQ(number, -12);
    double real = 0;
    EXPECT_TRUE(ini.readDouble(QStringLiteral("Dot"), real));
    EXPECT_EQ(real, 1.25);
    real = 0;
    EXPECT_TRUE(ini.readDouble(QStringLiteral("Comma"), real));
    EXPECT_EQ(real, 1.25);
    EXPECT_FALSE(ini.readDouble(QStringLiteral("NotReal"), real));
    QString text = QStringLiteral("x");
    EXPECT_TRUE(ini.readstring(QStringLiteral("Empty"), text));
    EXPECT_EQ(text, QString());
    EXPECT_TRUE(ini.readstring(QStringLiteral("equals"), text));
    EXPECT_EQ(text, QStringLiteral("a=b"));
}

TEST_F(PrefsTest, IniDoublesUseTheLocaleAndReadAcrossLocales)
{
    const QString file = dir.file(QStringLiteral("Movarium.ini"));
    const double values[] = {0.1, 1.0 / 3, -2.5, 1e-300, 12345678.9, 1e21, DBL_MAX, DBL_TRUE_MIN, 0.0};
    const QLocale french(QLocale::French, QLocale::France);
    {
        TIniPreferencesMan ini(file, french);
        for (size_t i = 0; i < std::size(values); ++i)
            ASSERT_TRUE(ini.writeDouble(QStringLiteral("D%1").arg(i), values[i]));
    }
    const QString text = QString::fromUtf8(readAll(file));
    EXPECT_TRUE(text.contains(QStringLiteral("D0=0,1\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("D2=-2,5\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("D4=12345678,9\n"))) << text.toStdString();
    for (const QLocale& locale : {french, QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        TIniPreferencesMan ini(file, locale);
        for (size_t i = 0; i < std::size(values); ++i) {
            double read = -1;
            EXPECT_TRUE(ini.readDouble(QStringLiteral("D%1").arg(i), read)) << i;
            EXPECT_EQ(read, values[i]) << i << " " << locale.name().toStdString();
        }
    }
}

TEST_F(PrefsTest, IniKeepsItsEncodingAndItsMalformedLines)
{
    const QString body = QStringLiteral("[]\r\n"
                                        "a line without an equals sign\r\n"
                                        "Dernière Sauvegarde=é\r\n"
                                        "\r\n"
                                        "[MainForm]\r\n"
                                        "=no name\r\n"
                                        "[broken header\r\n"
                                        "Volume=3\r\n");
    const auto utf16 = [](QStringConverter::Encoding encoding, const QString& text) -> QByteArray {
        return QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(text);
    };
    const QString expectedText = QString(body).replace(QStringLiteral("Volume=3\r\n"),
                                                       QStringLiteral("Volume=3\r\nAdded=ü\r\n"));
    const struct {
        const char* what;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {"UTF-8", body.toUtf8(), expectedText.toUtf8()},
        {"UTF-8 with BOM", "\xef\xbb\xbf" + body.toUtf8(), "\xef\xbb\xbf" + expectedText.toUtf8()},
        {"UTF-16LE", utf16(QStringConverter::Utf16LE, body), utf16(QStringConverter::Utf16LE, expectedText)},
        {"UTF-16BE", utf16(QStringConverter::Utf16BE, body), utf16(QStringConverter::Utf16BE, expectedText)},
        {"Latin-1", body.toLatin1(), expectedText.toLatin1()},
    };
    for (const auto& c : cases) {
        const QString file = dir.write(QStringLiteral("Movarium.ini"), c.before);
        {
            TIniPreferencesMan ini(file, QLocale::c());
            QString text;
            EXPECT_TRUE(ini.readstring(QStringLiteral("Dernière Sauvegarde"), text)) << c.what;
            EXPECT_EQ(text, QStringLiteral("é")) << c.what;
            QStringList names;
            ini.readNames(names);
            EXPECT_EQ(names, QStringList({QStringLiteral("Dernière Sauvegarde")})) << c.what;
            ASSERT_TRUE(ini.openkey(QStringLiteral("mainform"), false)) << c.what;
            qint32 volume = 0;
            EXPECT_TRUE(ini.readInteger(QStringLiteral("VOLUME"), volume)) << c.what;
            EXPECT_EQ(volume, 3) << c.what;
            EXPECT_TRUE(ini.writestring(QStringLiteral("Added"), QStringLiteral("ü"))) << c.what;
        }
        EXPECT_EQ(readAll(file), c.after) << c.what;
    }
}

TEST_F(PrefsTest, IniNewFileIsUtf8WithoutBom)
{
    const QString file = dir.file(QStringLiteral("Movarium.ini"));
    {
        TIniPreferencesMan ini(file);
        ASSERT_TRUE(ini.writestring(QStringLiteral("Dernière Sauvegarde"), QStringLiteral("é")));
    }
    EXPECT_EQ(readAll(file), QByteArray("[]\nDerni\xc3\xa8re Sauvegarde=\xc3\xa9\n"));
}

TEST_F(PrefsTest, IniSectionsAndKeys)
{
    const QString file = dir.write(QStringLiteral("Movarium.ini"),
                                   "[]\n\n[MainForm]\n\n[mainform\\VideoDecoders]\n\n"
                                   "[MainForm\\VideoDecoders\\dc0]\n\n[MainForm\\VideoDecoders\\dc1]\n\n[Other]\n");
    {
        TIniPreferencesMan ini(file, QLocale::c());
        QStringList keys;
        ini.readKeys(keys);
        EXPECT_EQ(keys, QStringList({QStringLiteral("MainForm"), QStringLiteral("Other")}));
        ASSERT_TRUE(ini.openkey(QStringLiteral("MainForm"), false));
        keys.clear();
        ini.readKeys(keys);
        EXPECT_EQ(keys, QStringList({QStringLiteral("VideoDecoders")}));
        ASSERT_TRUE(ini.openkey(QStringLiteral("VideoDecoders"), false));
        keys.clear();
        ini.readKeys(keys);
        EXPECT_EQ(keys, QStringList({QStringLiteral("dc0"), QStringLiteral("dc1")}));
        ini.closekey();
        // Reading a missing key adds its section all the same.
        EXPECT_FALSE(ini.openkey(QStringLiteral("Missing"), false));
        EXPECT_EQ(ini.path(), QStringLiteral("MainForm"));
        EXPECT_TRUE(ini.openkey(QStringLiteral("Missing"), false));
        EXPECT_FALSE(ini.writestring(QStringLiteral("a=b"), QStringLiteral("c")));
        EXPECT_FALSE(ini.writestring(QStringLiteral("a"), QStringLiteral("two\nlines")));
    }
    EXPECT_TRUE(QString::fromUtf8(readAll(file)).endsWith(QStringLiteral("[Other]\n\n[MainForm\\Missing]\n")));
}

// --- Both stores --------------------------------------------------------------

class StoreTest : public PrefsTest, public ::testing::WithParamInterface<TSavePreferences> {};

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(spRegistre, spPortable),
                         [](const auto& info) {
                             return std::string(info.param == spRegistre ? "Hive" : "Ini");
                         });

TEST_P(StoreTest, EveryKindReadsBackInTheNextInstance)
{
    const TAllValues written;
    {
        auto prefs = makePrefs();
        prefs->setMode(GetParam());
        writeAll(*prefs, written);
        expectSame(written, readAllValues(*prefs));
    }
    auto prefs = makePrefs();
    EXPECT_EQ(prefs->lastmode(), GetParam());
    prefs->setMode(prefs->lastmode());
    expectSame(written, readAllValues(*prefs));
    QStringList keys;
    prefs->openkey(QStringLiteral("MainForm"));
    prefs->readkeys(keys);
    EXPECT_EQ(keys, QStringList({QStringLiteral("Rect"), QStringLiteral("Font"), QStringLiteral("List")}));
}

TEST_P(StoreTest, AShorterListLeavesOnlyItsItems)
{
    {
        auto prefs = makePrefs();
        prefs->setMode(GetParam());
        prefs->openkey(QStringLiteral("MainForm"));
        ASSERT_TRUE(prefs->writeWStrings(QStringLiteral("Recent"), {QStringLiteral("1"), QStringLiteral("2"),
                                                                    QStringLiteral("3"), QStringLiteral("4"),
                                                                    QStringLiteral("5")}));
        ASSERT_TRUE(prefs->writeWStrings(QStringLiteral("Recent"),
                                         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        QStringList names;
        ASSERT_TRUE(prefs->store().openkey(QStringLiteral("Recent"), false));
        prefs->store().readNames(names);
        prefs->store().closekey();
        EXPECT_EQ(names,
                  QStringList({QStringLiteral("String0"), QStringLiteral("String1"), QStringLiteral("String2")}));
    }
    auto prefs = makePrefs();
    prefs->setMode(GetParam());
    prefs->openkey(QStringLiteral("MainForm"));
    QStringList list = {QStringLiteral("stale")};
    prefs->readWStrings(QStringLiteral("Recent"), {}, list);
    EXPECT_EQ(list, QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    prefs->readWStrings(QStringLiteral("Never"), {QStringLiteral("d")}, list);
    EXPECT_EQ(list, QStringList({QStringLiteral("d")}));
}

TEST_P(StoreTest, MissingPartsAndWrongKindsGiveTheDefault)
{
    auto prefs = makePrefs();
    prefs->setMode(GetParam());
    prefs->openkey(QStringLiteral("MainForm"));
    TFontValue font;
    font.Name = QStringLiteral("Written");
    font.Size = 30;
    ASSERT_TRUE(prefs->writeFont(QStringLiteral("Font"), font));
    ASSERT_TRUE(prefs->writeRect(QStringLiteral("Rect"), TRect{1, 2, 3, 4}));
    ASSERT_TRUE(prefs->writeInteger(QStringLiteral("Point.X"), 5));
    ASSERT_TRUE(prefs->writeString(QStringLiteral("Number"), QStringLiteral("12")));
    ASSERT_TRUE(prefs->writeInteger(QStringLiteral("Flag"), 2));
    ASSERT_TRUE(prefs->writeString(QStringLiteral("Real"), QStringLiteral("x")));
    TPreferencesMan& store = prefs->store();
    ASSERT_TRUE(store.openkey(QStringLiteral("Font"), false));
    ASSERT_TRUE(store.deletestring(QStringLiteral("Underline")));
    store.closekey();
    ASSERT_TRUE(store.openkey(QStringLiteral("Rect"), false));
    ASSERT_TRUE(store.deletestring(QStringLiteral("Bottom")));
    store.closekey();

    TFontValue def;
    def.Name = QStringLiteral("Default");
    TFontValue result;
    result.Size = 99;
    prefs->readFont(QStringLiteral("Font"), def, result);
    EXPECT_EQ(result, def);
    EXPECT_EQ(prefs->readRect(QStringLiteral("Rect"), TRect{9, 9, 9, 9}), (TRect{9, 9, 9, 9}));
    EXPECT_EQ(prefs->readPoint(QStringLiteral("Point"), TPoint(7, 7)), TPoint(7, 7));
    EXPECT_EQ(prefs->readBool(QStringLiteral("Flag"), true), true);
    EXPECT_EQ(prefs->readDouble(QStringLiteral("Real"), 4.5), 4.5);
    EXPECT_EQ(prefs->readString(QStringLiteral("Missing"), QStringLiteral("def")), QStringLiteral("def"));
    // The hive keeps kinds apart; the ini file holds text that may read as a number.
    EXPECT_EQ(prefs->readInteger(QStringLiteral("Number"), 3), GetParam() == spRegistre ? 3 : 12);
}

// --- Modes --------------------------------------------------------------------

TEST_F(PrefsTest, NoneModeReadsDefaultsAndWritesNothing)
{
    auto prefs = makePrefs();
    EXPECT_EQ(prefs->mode(), spNone);
    EXPECT_FALSE(prefs->openkey(QStringLiteral("MainForm")));
    EXPECT_FALSE(prefs->writeInteger(QStringLiteral("Number"), 1));
    EXPECT_FALSE(prefs->writeWStrings(QStringLiteral("List"), {QStringLiteral("a")}));
    EXPECT_FALSE(prefs->writeApplication(QStringLiteral("V")));
    EXPECT_EQ(prefs->readInteger(QStringLiteral("Number"), 4), 4);
    QStringList list;
    prefs->readWStrings(QStringLiteral("List"), {QStringLiteral("d")}, list);
    EXPECT_EQ(list, QStringList({QStringLiteral("d")}));
    QStringList keys;
    EXPECT_FALSE(prefs->readkeys(keys));
    EXPECT_FALSE(QFileInfo::exists(hiveFile()));
    EXPECT_FALSE(QFileInfo::exists(iniFile()));
}

TEST_F(PrefsTest, FirstRunAsksThenTheNextStartFindsTheHive)
{
    {
        OwnerWindow window;
        auto* prefs = attach(window);
        QStringList order;
        prefs->OnLoadPrefs = [&](TOrvanePreferences& p) {
            order << QStringLiteral("load mode %1").arg(p.mode());
            p.openkey(QStringLiteral("MainForm"));
            order << QStringLiteral("volume %1").arg(p.readInteger(QStringLiteral("Volume"), 50));
            p.closekey();
        };
        prefs->OnSavePrefs = [&](TOrvanePreferences& p) {
            order << QStringLiteral("save");
            p.openkey(QStringLiteral("MainForm"));
            p.writeInteger(QStringLiteral("Volume"), 80);
            p.closekey();
        };
        prefs->OnChangeMode = [&](TSavePreferences mode) { order << QStringLiteral("mode %1").arg(mode); };
        window.show();
        EXPECT_EQ(prefs->mode(), spNone);
        EXPECT_EQ(window.journal, QStringList({QStringLiteral("show")}));
        PromptAnswer answer(prefs->prompt(), spRegistre);
        EXPECT_TRUE(window.close());
        EXPECT_TRUE(answer.shown());
        EXPECT_EQ(prefs->prompt()->windowTitle(), QStringLiteral("Saving the preferences of Movarium"));
        EXPECT_EQ(window.journal, QStringList({QStringLiteral("show"), QStringLiteral("close")}));
        EXPECT_EQ(order, QStringList({QStringLiteral("mode 2"), QStringLiteral("load mode 2"),
                                      QStringLiteral("volume 50"), QStringLiteral("mode 0"), QStringLiteral("save")}));
        EXPECT_EQ(prefs->mode(), spRegistre);
    }
    THive hive(hiveFile());
    QStringList names;
    ASSERT_TRUE(hive.valueNames(kRoot, names));
    EXPECT_EQ(names, QStringList({QStringLiteral("Version"), QStringLiteral("Dernière Sauvegarde"),
                                  QStringLiteral("ExeName")}));
    QString text;
    ASSERT_TRUE(hive.queryString(kRoot, QStringLiteral("Version"), text));
    EXPECT_EQ(text, QStringLiteral("Movarium 1.0 by Tessaly"));
    ASSERT_TRUE(hive.queryString(kRoot, QStringLiteral("Dernière Sauvegarde"), text));
    const QRegularExpression stamp(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    EXPECT_TRUE(stamp.match(text).hasMatch()) << text.toStdString();
    ASSERT_TRUE(hive.queryString(kRoot, QStringLiteral("ExeName"), text));
    EXPECT_EQ(text, QCoreApplication::applicationFilePath());

    OwnerWindow window;
    auto* prefs = attach(window);
    qint32 volume = 0;
    prefs->OnLoadPrefs = [&](TOrvanePreferences& p) {
        p.openkey(QStringLiteral("MainForm"));
        volume = p.readInteger(QStringLiteral("Volume"), 50);
        p.closekey();
    };
    window.show();
    EXPECT_EQ(prefs->mode(), spRegistre);
    EXPECT_EQ(volume, 80);
    // Normal mode saves without asking.
    PromptAnswer answer(prefs->prompt(), spNone);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(answer.shown());
}

TEST_F(PrefsTest, IniFileAndHiveKeyGivePortableAndTheHiveTreeGoes)
{
    {
        THive hive(hiveFile());
        ASSERT_TRUE(hive.createKey(kRoot + QStringLiteral("\\MainForm")));
        ASSERT_TRUE(hive.createKey(QStringLiteral("Software\\Other")));
    }
    dir.write(QStringLiteral("program/Movarium.ini"), "[]\n\n[MainForm]\nVolume=30\n");
    OwnerWindow window;
    auto* prefs = attach(window);
    qint32 volume = 0;
    prefs->OnLoadPrefs = [&](TOrvanePreferences& p) {
        p.openkey(QStringLiteral("MainForm"));
        volume = p.readInteger(QStringLiteral("Volume"), 50);
        p.closekey();
    };
    window.show();
    EXPECT_EQ(prefs->mode(), spPortable);
    EXPECT_EQ(volume, 30);
    THive hive(hiveFile());
    EXPECT_FALSE(hive.keyExists(QStringLiteral("Software\\Tessaly")));
    EXPECT_TRUE(hive.keyExists(QStringLiteral("Software\\Other")));

    // The close writes the file without asking.
    PromptAnswer answer(prefs->prompt(), spNone);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(answer.shown());
    const QString text = QString::fromUtf8(readAll(iniFile()));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[]\nVersion=Movarium 1.0 by Tessaly\nDernière Sauvegarde=")))
        << text.toStdString();
}

TEST_F(PrefsTest, SwitchingModesDeletesTheOtherStoresAtOnce)
{
    auto prefs = makePrefs();
    QList<TSavePreferences> told;
    prefs->OnChangeMode = [&](TSavePreferences mode) { told << mode; };
    prefs->setMode(spRegistre);
    ASSERT_TRUE(prefs->openkey(QStringLiteral("MainForm")));
    ASSERT_TRUE(prefs->writeInteger(QStringLiteral("Volume"), 1));
    prefs->closekey();
    EXPECT_TRUE(THive(hiveFile()).keyExists(kRoot + QStringLiteral("\\MainForm")));

    prefs->setMode(spPortable);
    EXPECT_FALSE(THive(hiveFile()).keyExists(QStringLiteral("Software\\Tessaly")));
    // The new store starts empty and reaches the disk only later.
    EXPECT_FALSE(QFileInfo::exists(iniFile()));
    EXPECT_EQ(prefs->readInteger(QStringLiteral("Volume"), 5), 5);

    prefs->setMode(spNone);
    EXPECT_FALSE(QFileInfo::exists(iniFile()));
    prefs->setMode(spPortable);
    prefs->setMode(spPortable);
    EXPECT_EQ(told, QList<TSavePreferences>({spRegistre, spPortable, spNone, spPortable}));
    prefs.reset();
    EXPECT_TRUE(QFileInfo::exists(iniFile()));

    // A read-only ini file goes too.
    QFile(iniFile()).setPermissions(QFileDevice::ReadOwner);
    prefs = makePrefs();
    prefs->setMode(spRegistre);
    EXPECT_FALSE(QFileInfo::exists(iniFile()));
}

TEST_F(PrefsTest, DismissedPromptKeepsTheWindowOpen)
{
    OwnerWindow window;
    auto* prefs = attach(window);
    int saves = 0;
    prefs->OnSavePrefs = [&](TOrvanePreferences&) { ++saves; };
    window.show();
    {
        PromptAnswer answer(prefs->prompt(), std::nullopt);
        EXPECT_FALSE(window.close());
        EXPECT_TRUE(answer.shown());
    }
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(prefs->mode(), spNone);

    // Choosing None closes without saving and removes what other modes kept.
    dir.write(QStringLiteral("program/Movarium.ini"), "[]\n");
    PromptAnswer answer(prefs->prompt(), spNone);
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(answer.shown());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(QFileInfo::exists(iniFile()));
    EXPECT_EQ(window.journal, QStringList({QStringLiteral("show"), QStringLiteral("close"), QStringLiteral("close")}));
}

TEST_F(PrefsTest, AWindowThatRefusesToCloseIsNotAsked)
{
    OwnerWindow window;
    auto* prefs = attach(window);
    window.refuseClose = true;
    window.show();
    PromptAnswer answer(prefs->prompt(), spRegistre);
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(answer.shown());
    EXPECT_FALSE(QFileInfo::exists(hiveFile()));
}

TEST_F(PrefsTest, ChoosingPortableWritesTheIniAtClose)
{
    OwnerWindow window;
    auto* prefs = attach(window);
    prefs->OnSavePrefs = [](TOrvanePreferences& p) {
        p.openkey(QStringLiteral("MainForm"));
        p.writeBool(QStringLiteral("Mute"), true);
        p.closekey();
    };
    window.show();
    THive(hiveFile()).createKey(kRoot);
    PromptAnswer answer(prefs->prompt(), spPortable);
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(answer.shown());
    EXPECT_FALSE(THive(hiveFile()).keyExists(kRoot));
    const QString text = QString::fromUtf8(readAll(iniFile()));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n\n[MainForm]\nMute=True\n"))) << text.toStdString();
}

// --- The prompt ---------------------------------------------------------------

TEST(SavePrefsForm, ShowsTheQuestionAndItsThreeAnswers)
{
    TSavePrefsForm form;
    EXPECT_EQ(form.size(), QSize(504, 356));
    EXPECT_EQ(form.text()->richText(),
              QStringLiteral("<br><size 110><i>Do you want to save your preferences and find them again on next "
                             "start?<br><br>Click on your choice:</i><br><br>* either to save them in the registry "
                             "(normal mode).<br>* either to save them in an ini-file (portable mode).<br>* either not "
                             "to save them. In the last case, all preferences will be lost, and the default values "
                             "will be loaded on the next start.<br></size>"));
    EXPECT_TRUE(form.text()->isReadOnly());
    QAccessibleInterface* textAccess = QAccessible::queryAccessibleInterface(form.text());
    ASSERT_NE(textAccess, nullptr);
    EXPECT_EQ(textAccess->text(QAccessible::Name),
              QStringLiteral("Do you want to save your preferences and find them again on next start?"));

    const struct {
        TSavePreferences which;
        const char* caption;
        const char* hint;
    } buttons[] = {
        {spRegistre, "Normal", "Save the Preferences in the registry.\nIf an ini file existed, it will be deleted."},
        {spPortable, "Portable", "Saves the preferences to an ini file.\nDeletes the preferences from the registry."},
        {spNone, "None",
         "Exit without saving the preferences.\nIf they existed in an ini-file or in the registry,\nthey will be "
         "deleted."},
    };
    for (const auto& b : buttons) {
        QPushButton* button = form.button(b.which);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(b.caption));
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(b.hint));
        EXPECT_FALSE(button->icon().isNull()) << b.caption;
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(access, nullptr);
        EXPECT_EQ(access->text(QAccessible::Name), QString::fromLatin1(b.caption));
    }
}

TEST(SavePrefsForm, EachButtonAnswersAndTheCloseBoxDoesNot)
{
    TSavePrefsForm form;
    for (const TSavePreferences which : {spRegistre, spPortable, spNone}) {
        PromptAnswer answer(&form, which);
        EXPECT_TRUE(form.ask()) << which;
        EXPECT_TRUE(answer.shown());
        EXPECT_EQ(form.choice(), which);
        EXPECT_FALSE(form.isVisible());
    }
    PromptAnswer answer(&form, std::nullopt);
    EXPECT_FALSE(form.ask());
    EXPECT_TRUE(answer.shown());
    EXPECT_FALSE(form.answered());
}
