#include "TestSupport.h"
#include "uBaseCommon.h"
#include "uCatalogueTables.h"
#include "uLog.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QFile>

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
