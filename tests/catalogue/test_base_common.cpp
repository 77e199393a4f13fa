#include "TestSupport.h"
#include "uBaseCommon.h"
#include "uCatalogueTables.h"
#include "uCollations.h"
#include "uLog.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QFile>

#include <memory>

namespace {

// The lines the run log holds after its start banner.
QStringList linesAfterStart()
{
    return logLines().mid(6);
}

class BaseCommonTest : public ::testing::Test {
protected:
    void SetUp() override { logStart(dir.file(QStringLiteral("Movarium.log"))); }
    void TearDown() override { logEnd(); }
    TempFolder dir;
};

} // namespace

TEST_F(BaseCommonTest, FirstAndSecondStart)
{
    const QString path = dir.file(QStringLiteral("data/Movarium/Movarium.db3"));
    const QString folder = dir.file(QStringLiteral("data/Movarium/"));
    QStringList handedOver;
    {
        TBaseCommon module;
        module.OnBaseOpened = [&](const QString& p, sqlite3* db) { handedOver << p << (db ? "open" : "none"); };
        module.waFichierBase->setValue(path);
        EXPECT_EQ(linesAfterStart(), QStringList({
                                         QStringLiteral("*** File ") + path + QStringLiteral(" does not exists ***"),
                                         QStringLiteral("Close Database"),
                                         QStringLiteral("Trying to Open Database ") + path,
                                         QStringLiteral("*** Directory ") + folder + QStringLiteral(" does not exist ***"),
                                         QStringLiteral("... Directories OK"),
                                         QStringLiteral("... Database created and assigned"),
                                         QStringLiteral("DrivesTable added"),
                                         QStringLiteral("VideoFichiers added"),
                                         QStringLiteral("wideupper function has been created"),
                                     }));
        EXPECT_EQ(handedOver, QStringList({path, QStringLiteral("open")}));
        ASSERT_NE(module.base(), nullptr);
        TVideoFichier v;
        v.Fcaption = QStringLiteral("kept");
        ASSERT_TRUE(v.insertnew());
    }
    EXPECT_EQ(catalogueTables().VideoFichiers.base(), nullptr);

    logStart(dir.file(QStringLiteral("Movarium.log")));
    TBaseCommon module;
    module.waFichierBase->setValue(path);
    const QStringList lines = linesAfterStart();
    EXPECT_EQ(lines.value(0), QStringLiteral("... File ") + path + QStringLiteral(" exists"));
    EXPECT_EQ(lines.value(3), QStringLiteral("... Directory ") + folder + QStringLiteral(" exists"));
    TVideoFichier v;
    v.Fcaption = QStringLiteral("KEPT");
    EXPECT_TRUE(v.findbyCaption());
}

TEST_F(BaseCommonTest, UnreachableFolderEndsWithNoConnection)
{
    const QString blocker = dir.write(QStringLiteral("file"), "not a folder");
    TBaseCommon module;
    module.waFichierBase->setValue(dir.file(QStringLiteral("ok.db3")));
    ASSERT_NE(module.base(), nullptr);
    sqlite3* handed = module.base();
    module.OnBaseOpened = [&](const QString&, sqlite3* db) { handed = db; };
    module.waFichierBase->setValue(blocker + QStringLiteral("/sub/Movarium.db3"));
    EXPECT_EQ(linesAfterStart().last(), QStringLiteral("*** ForceDirectories Returns False ***"));
    EXPECT_EQ(module.base(), nullptr);
    EXPECT_EQ(handed, nullptr);
    TVideoFichier v;
    EXPECT_FALSE(v.insertnew());
}

TEST_F(BaseCommonTest, AFileThatIsNoDatabaseGivesNoCatalogue)
{
    const QString path = dir.write(QStringLiteral("notes.db3"), QByteArray(4096, 'x'));
    TBaseCommon module;
    module.waFichierBase->setValue(path);
    const QStringList lines = linesAfterStart();
    EXPECT_TRUE(lines.contains(QStringLiteral("### Database could not be created ###")));
    EXPECT_EQ(lines.last(), QStringLiteral("wideupper failed"));
    EXPECT_EQ(module.base(), nullptr);
    EXPECT_EQ(readAll(path), QByteArray(4096, 'x'));
}

TEST_F(BaseCommonTest, CollationAndUpperCasing)
{
    TBaseCommon module;
    module.waFichierBase->setValue(dir.file(QStringLiteral("c.db3")));
    sqlite3* db = module.base();
    ASSERT_NE(db, nullptr);
    const auto text = [db](const QString& sql) {
        TStatement s;
        return s.prepare(db, sql) == SQLITE_OK && s.step() == SQLITE_ROW ? columnText(s.get(), 0) : QStringLiteral("<none>");
    };
    EXPECT_EQ(text(QStringLiteral("SELECT wideupper('chemin/Vidéos')")), QStringLiteral("CHEMIN/VIDÉOS"));
    EXPECT_EQ(text(QStringLiteral("SELECT wideupper(NULL) IS NULL")), QStringLiteral("0"));
    EXPECT_EQ(text(QStringLiteral("SELECT wideupper(NULL)")), QString());
    EXPECT_EQ(text(QStringLiteral("SELECT 'Été' = 'ÉTÉ' COLLATE NOWIDECASE")), QStringLiteral("1"));
    EXPECT_EQ(text(QStringLiteral("SELECT 'a' < 'B' COLLATE NOWIDECASE")), QStringLiteral("1"));
    EXPECT_EQ(text(QStringLiteral("SELECT 'e' = 'é' COLLATE NOWIDECASE")), QStringLiteral("0"));

    TVideoFichier v;
    v.Fcaption = QStringLiteral("1A2B-3C4D|Films/Été/a.mp4");
    ASSERT_TRUE(v.insertnew());
    TVideoFichier found;
    found.Fcaption = QStringLiteral("1a2b-3c4d|films/ÉTÉ/A.MP4");
    EXPECT_TRUE(found.findbyCaption());
    EXPECT_EQ(found.numero, v.numero);
}

namespace {

// A connection as the stock sqlite3 shell opens the file: none of the program's functions.
struct PlainConnection {
    explicit PlainConnection(const QString& path) { sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr); }
    ~PlainConnection() { sqlite3_close(db); }
    // The statement's first value as text, or its error message.
    QString run(const QString& sql)
    {
        TStatement s;
        if (s.prepare(db, sql) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db));
        const int rc = s.step();
        if (rc == SQLITE_ROW)
            return columnText(s.get(), 0);
        return rc == SQLITE_DONE ? QStringLiteral("done") : QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3* db = nullptr;
};

} // namespace

// A catalogue of the build that indexed an expression of its own upper-casing
// function: opening it keeps every row, gives each its key and leaves a file
// that plain SQLite can check and edit.
TEST_F(BaseCommonTest, AnEarlierCatalogueIsUpgradedWithoutLosingARow)
{
    const QString path = dir.file(QStringLiteral("old.db3"));
    const QStringList captions = {QStringLiteral("1A2B-3C4D|Films/Été/a.mp4"), QStringLiteral("  1A2B-3C4D|b.mov "),
                                  QStringLiteral("5E6F-7A8B|Œuvres/ß.mp4")};
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open16(path.utf16(), &db), SQLITE_OK);
        registerWideUpper(db);
        QString oldTable = catalogueTables().VideoFichiers.createTableStr;
        oldTable.remove(QStringLiteral(", CaptionKey text"));
        ASSERT_EQ(execSql(db, QStringLiteral("CREATE TABLE VideoFichiers ") + oldTable), SQLITE_DONE);
        ASSERT_EQ(execSql(db, QStringLiteral("CREATE INDEX xVideoFichiers_CaptionKey ON VideoFichiers (wideupper(trim(Caption)))")),
                  SQLITE_DONE);
        for (const QString& caption : captions) {
            TStatement insert;
            ASSERT_EQ(insert.prepare(db, QStringLiteral("INSERT INTO VideoFichiers (Caption, Listed) VALUES (?, 1)")), SQLITE_OK);
            bindText(insert.get(), 1, caption);
            ASSERT_EQ(insert.step(), SQLITE_DONE);
        }
        sqlite3_close(db);
    }
    {
        PlainConnection plain(path);
        EXPECT_NE(plain.run(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok")) << "the old file needs the function";
    }

    TBaseCommon module;
    module.waFichierBase->setValue(path);
    ASSERT_NE(module.base(), nullptr);
    {
        PlainConnection plain(path);
        EXPECT_EQ(plain.run(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE Listed=1")), QStringLiteral("3"));
        EXPECT_EQ(plain.run(QStringLiteral("SELECT group_concat(CaptionKey, '/') FROM (SELECT CaptionKey FROM VideoFichiers ORDER BY Numero)")),
                  QStringLiteral("1A2B-3C4D|FILMS/ÉTÉ/A.MP4/1A2B-3C4D|B.MOV/5E6F-7A8B|ŒUVRES/SS.MP4"));
        EXPECT_EQ(plain.run(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE sql LIKE '%wideupper%'")), QStringLiteral("0"));
        EXPECT_EQ(plain.run(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }
    const struct {
        const char* asked;
        int numero;
    } cases[] = {
        {"1a2b-3c4d|films/ÉTÉ/A.MP4", 1}, {"1a2b-3c4d|B.MOV", 2}, {"5e6f-7a8b|œuvres/ß.mp4", 3}, {"1A2B-3C4D|a.mp4", 0},
    };
    for (const auto& c : cases) {
        TVideoFichier v;
        v.Fcaption = QString::fromUtf8(c.asked);
        EXPECT_EQ(v.findbyCaption(), c.numero != 0) << c.asked;
        EXPECT_EQ(v.numero, c.numero) << c.asked;
    }
}

// Rows that another tool inserted or renamed carry no fitting key: the look-up
// still finds them, the program's own writes give them their key again, and
// the next opening fills the rest.
TEST_F(BaseCommonTest, RowsEditedByAnotherToolAreStillFound)
{
    const QString path = dir.file(QStringLiteral("c.db3"));
    auto module = std::make_unique<TBaseCommon>();
    module->waFichierBase->setValue(path);
    TVideoFichier v;
    v.Fcaption = QStringLiteral("1A2B-3C4D|Films/a.mp4");
    ASSERT_TRUE(v.insertnew());
    {
        PlainConnection plain(path);
        EXPECT_EQ(plain.run(QStringLiteral("UPDATE VideoFichiers SET Caption='1A2B-3C4D|Films/renamed.mp4'")), QStringLiteral("done"));
        EXPECT_EQ(plain.run(QStringLiteral("INSERT INTO VideoFichiers (Caption) VALUES ('1A2B-3C4D|Films/added.mp4')")),
                  QStringLiteral("done"));
        EXPECT_EQ(plain.run(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE CaptionKey IS NULL")), QStringLiteral("2"));
    }
    for (const char* asked : {"1a2b-3c4d|FILMS/RENAMED.MP4", "1a2b-3c4d|films/Added.mp4"}) {
        TVideoFichier found;
        found.Fcaption = QString::fromLatin1(asked);
        EXPECT_TRUE(found.findbyCaption()) << asked;
    }
    TVideoFichier old;
    old.Fcaption = QStringLiteral("1A2B-3C4D|Films/a.mp4");
    EXPECT_FALSE(old.findbyCaption());

    TVideoFichier renamed;
    renamed.Fcaption = QStringLiteral("1A2B-3C4D|Films/renamed.mp4");
    ASSERT_TRUE(renamed.findbyCaption());
    ASSERT_TRUE(renamed.putByNum());
    const auto keyOf = [&](int numero) {
        PlainConnection plain(path);
        return plain.run(QStringLiteral("SELECT ifnull(CaptionKey, 'none') FROM VideoFichiers WHERE Numero=") + QString::number(numero));
    };
    EXPECT_EQ(keyOf(renamed.numero), QStringLiteral("1A2B-3C4D|FILMS/RENAMED.MP4"));
    EXPECT_EQ(keyOf(2), QStringLiteral("none"));
    module = std::make_unique<TBaseCommon>();
    module->waFichierBase->setValue(path);
    EXPECT_EQ(keyOf(2), QStringLiteral("1A2B-3C4D|FILMS/ADDED.MP4"));
}
