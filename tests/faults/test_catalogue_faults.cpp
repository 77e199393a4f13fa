// The whole main window (offscreen) with a catalogue that cannot take what a
// scan brings: its disk is full, it is read-only, or another program holds it
// locked. The user must be told in the status bar, the rows stored before must
// stay whole, and the catalogue must open again afterwards.
#include "FaultsSupport.h"
#include "MediaClips.h"
#include "TestSupport.h"
#include "uBaseCommon.h"
#include "uPreferences.h"
#include "uQXFileBox.h"
#include "uStatusBar.h"
#include "uVolumes.h"
#include "umain.h"

#include <QApplication>
#include <QProcess>

#include <sqlite3.h>

#include <sys/mount.h>

#include <functional>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Columns that a scan never changes in a stored row.
const char* const kKeptColumns =
    "Numero, DateCatalogue, Caption, ListName, Folder, Size, FileModifyDate, Filename, Width, Height, Duration, Exif";

struct TCatalogueCheck {
    QString integrity;
    QStringList rows;
    int duplicates = -1;
};

// The catalogue as another program reads it, with plain SQLite and nothing of the program's own.
TCatalogueCheck readCatalogue(const QString& path)
{
    TCatalogueCheck check;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return check;
    }
    const auto each = [db](const QString& sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW)
                row(statement);
        }
        sqlite3_finalize(statement);
    };
    const auto text = [](sqlite3_stmt* s, int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
    };
    each(QStringLiteral("PRAGMA integrity_check"), [&](sqlite3_stmt* s) { check.integrity += text(s, 0); });
    each(QStringLiteral("SELECT ") + QLatin1String(kKeptColumns) + QStringLiteral(" FROM VideoFichiers ORDER BY Numero"),
         [&](sqlite3_stmt* s) {
             QStringList values;
             for (int i = 0; i < sqlite3_column_count(s); ++i)
                 values << text(s, i);
             check.rows << values.join(QLatin1Char('|'));
         });
    each(QStringLiteral("SELECT count(*) FROM (SELECT Filename FROM VideoFichiers GROUP BY Filename HAVING count(*) > 1)"),
         [&](sqlite3_stmt* s) { check.duplicates = sqlite3_column_int(s, 0); });
    sqlite3_close(db);
    return check;
}

// Another program holding the catalogue in an exclusive transaction, until
// release() or for holdMs milliseconds.
class TLockHolder {
public:
    TLockHolder(const QString& path, int holdMs)
    {
        const QString script = QStringLiteral(
            "import sqlite3, sys, time\n"
            "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
            "c.execute('BEGIN EXCLUSIVE')\n"
            "print('locked', flush=True)\n"
            "hold = int(sys.argv[2])\n"
            "time.sleep(hold / 1000) if hold >= 0 else sys.stdin.read()\n"
            "c.execute('COMMIT')\n");
        FProcess.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"), script, path, QString::number(holdMs)});
        FProcess.waitForReadyRead(30000);
        FLocked = FProcess.readAllStandardOutput().startsWith("locked");
    }
    ~TLockHolder() { release(); }

    bool locked() const { return FLocked; }
    void release()
    {
        FProcess.closeWriteChannel();
        FProcess.waitForFinished(30000);
    }

private:
    QProcess FProcess;
    bool FLocked = false;
};

class CatalogueFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.file(QStringLiteral("data/Movarium")));
        catalogue = dir.file(QStringLiteral("data/Movarium/Movarium.db3"));
        clip = MediaClips::h264AacMp4(1);
        ASSERT_FALSE(clip.isEmpty());
    }

    void TearDown() override
    {
        closeProgram();
        while (!undo.isEmpty())
            undo.takeLast()();
        TVolumeService::instance().setMountTable(QString());
    }

    void startProgram()
    {
        base = std::make_unique<TBaseCommon>();
        form = std::make_unique<TMainForm>(base.get());
        form->prefs->setProgramFolder(dir.path() + QLatin1Char('/'));
        form->show();
        QApplication::processEvents();
    }

    void closeProgram()
    {
        form.reset();
        base.reset();
    }

    // n copies of the clip in Videos/folder.
    void addClips(const QString& folder, int n)
    {
        QDir().mkpath(dir.file(QStringLiteral("Videos/") + folder));
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(QFile::copy(clip, dir.file(QStringLiteral("Videos/%1/clip%2.mp4").arg(folder).arg(i))));
    }

    // Scans Videos/folder with its sub-folders, as the Scan button does, and waits for the end.
    void scan(const QString& folder = QString())
    {
        form->box->openFolder(dir.file(QStringLiteral("Videos/") + folder));
        ASSERT_TRUE(pumpUntil([this] { return !form->box->isActive(); }, 120000));
        QApplication::processEvents();
    }

    QString message() const { return form->StatusBar->text(form->MsgPanel()); }

    bool mount(const char* source, const QString& target, const char* type, unsigned long flags, const char* data)
    {
        if (::mount(source, QFile::encodeName(target).constData(), type, flags, data) != 0)
            return false;
        undo.append([target] { ::umount2(QFile::encodeName(target).constData(), MNT_DETACH); });
        return true;
    }

    // Gives whatever room the folder's disk has left to a filler file, and answers its path.
    static QString fillDisk(const QString& folder)
    {
        const QString filler = folder + QStringLiteral("/filler");
        QFile f(filler);
        if (f.open(QIODevice::WriteOnly)) {
            const QByteArray block(4096, 'x');
            while (f.write(block) == block.size() && f.flush()) {
            }
        }
        return filler;
    }

    bool makeReadOnly(const QString& folder)
    {
        // A bind mount of the folder onto itself, then made read-only.
        return mount(QFile::encodeName(folder).constData(), folder, nullptr, MS_BIND, nullptr)
            && ::mount(nullptr, QFile::encodeName(folder).constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                       nullptr)
            == 0;
    }

    FreshHome dir;
    QList<std::function<void()>> undo;
    QString catalogue;
    QString clip;
    std::unique_ptr<TBaseCommon> base;
    std::unique_ptr<TMainForm> form;
};

} // namespace

#define SKIP_WITHOUT_MOUNTS()                                                                                          \
    if (!mountsAllowed())                                                                                              \
    GTEST_SKIP() << "no mount namespace of the tests' own: they need the right to make one"

TEST_F(CatalogueFaultTest, AFullDiskIsToldAndTheStoredRowsStay)
{
    SKIP_WITHOUT_MOUNTS();
    ASSERT_TRUE(mount("tmpfs", dir.file(QStringLiteral("data/Movarium")), "tmpfs", 0, "size=4m"));
    addClips(QStringLiteral("first"), 3);
    startProgram();
    scan(QStringLiteral("first"));
    EXPECT_EQ(message(), QStringLiteral("Ready"));
    const TCatalogueCheck before = readCatalogue(catalogue);
    ASSERT_EQ(before.rows.size(), 3);

    // Whatever room is left goes to a filler.
    const QString filler = fillDisk(dir.file(QStringLiteral("data/Movarium")));
    addClips(QStringLiteral("second"), 4);
    scan(QStringLiteral("second"));
    EXPECT_EQ(message(), QStringLiteral("Scan ended: 4 files could not be stored, the disk of the catalogue is full"));
    EXPECT_EQ(form->box->Count(), 3);

    // Still full: the catalogue opens and holds what it held.
    closeProgram();
    TCatalogueCheck after = readCatalogue(catalogue);
    EXPECT_EQ(after.integrity, QStringLiteral("ok"));
    EXPECT_EQ(after.rows, before.rows);
    startProgram();
    ASSERT_NE(base->base(), nullptr);
    EXPECT_EQ(form->box->Count(), 3);

    // With room again the next scan stores the rest, each file once.
    ASSERT_TRUE(QFile::remove(filler));
    scan();
    EXPECT_EQ(message(), QStringLiteral("Ready"));
    closeProgram();
    after = readCatalogue(catalogue);
    EXPECT_EQ(after.integrity, QStringLiteral("ok"));
    ASSERT_EQ(after.rows.size(), 7);
    EXPECT_EQ(after.rows.mid(0, 3), before.rows);
    EXPECT_EQ(after.duplicates, 0);
}

TEST_F(CatalogueFaultTest, ACatalogueThatCannotBeMadeOnAFullDiskIsTold)
{
    SKIP_WITHOUT_MOUNTS();
    ASSERT_TRUE(mount("tmpfs", dir.file(QStringLiteral("data/Movarium")), "tmpfs", 0, "size=1m"));
    const QString filler = fillDisk(dir.file(QStringLiteral("data/Movarium")));
    addClips(QStringLiteral("first"), 2);
    startProgram();
    EXPECT_EQ(base->base(), nullptr);
    EXPECT_EQ(message(), QStringLiteral("The catalogue ") + catalogue
                             + QStringLiteral(" could not be opened: the disk of the catalogue is full"));
    scan();
    EXPECT_EQ(message(), QStringLiteral("Scan ended: 2 files could not be stored, no catalogue is open"));

    // With room again the next start makes the catalogue.
    closeProgram();
    ASSERT_TRUE(QFile::remove(filler));
    startProgram();
    ASSERT_NE(base->base(), nullptr);
    EXPECT_EQ(message(), QStringLiteral("Ready"));
    scan();
    EXPECT_EQ(message(), QStringLiteral("Ready"));
    closeProgram();
    const TCatalogueCheck after = readCatalogue(catalogue);
    EXPECT_EQ(after.integrity, QStringLiteral("ok"));
    EXPECT_EQ(after.rows.size(), 2);
}

// A catalogue that cannot be written: on a read-only medium, or a file the system keeps unchanged.
struct ReadOnlyCase {
    const char* name;
    bool wholeMedium;
};

void PrintTo(const ReadOnlyCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReadOnlyCatalogueTest : public CatalogueFaultTest, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyCatalogueTest, IsToldAtOpeningAndAtTheScanAndLosesNothing)
{
    addClips(QStringLiteral("first"), 2);
    startProgram();
    scan(QStringLiteral("first"));
    closeProgram();
    const TCatalogueCheck before = readCatalogue(catalogue);
    ASSERT_EQ(before.rows.size(), 2);

    if (GetParam().wholeMedium) {
        SKIP_WITHOUT_MOUNTS();
        ASSERT_TRUE(makeReadOnly(dir.file(QStringLiteral("data/Movarium"))));
    } else {
        if (runProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), catalogue}) != 0)
            GTEST_SKIP() << "the file system keeps no immutable flag";
        undo.append([this] { runProgram(QStringLiteral("chattr"), {QStringLiteral("-i"), catalogue}); });
    }
    startProgram();
    ASSERT_NE(base->base(), nullptr);
    EXPECT_EQ(message(),
              QStringLiteral("The catalogue ") + catalogue + QStringLiteral(" is read-only: no new video can be stored"));
    EXPECT_EQ(form->StatusBar->text(form->BoxPanel()), QStringLiteral("No file selected among 2"));

    addClips(QStringLiteral("second"), 3);
    scan(QStringLiteral("second"));
    EXPECT_EQ(message(), QStringLiteral("Scan ended: 3 files could not be stored, the catalogue is read-only"));
    closeProgram();
    const TCatalogueCheck after = readCatalogue(catalogue);
    EXPECT_EQ(after.integrity, QStringLiteral("ok"));
    EXPECT_EQ(after.rows, before.rows);
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadOnlyCatalogueTest,
                         ::testing::Values(ReadOnlyCase{"ReadOnlyMedium", true}, ReadOnlyCase{"ImmutableFile", false}),
                         [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.name; });

// Another program's exclusive transaction: held through the whole scan, or ended during it.
struct LockCase {
    const char* name;
    int holdMs; // -1: until the scan has ended
    const char* message;
    int rowsAfterScan;
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.name;
}

class LockedCatalogueTest : public CatalogueFaultTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockedCatalogueTest, WaitsForTheOtherProgramOrTellsAndLosesNothing)
{
    addClips(QStringLiteral("first"), 2);
    startProgram();
    scan(QStringLiteral("first"));
    const TCatalogueCheck before = readCatalogue(catalogue);
    ASSERT_EQ(before.rows.size(), 2);

    addClips(QStringLiteral("second"), 2);
    {
        TLockHolder holder(catalogue, GetParam().holdMs);
        ASSERT_TRUE(holder.locked());
        scan(QStringLiteral("second"));
        EXPECT_EQ(message(), QString::fromUtf8(GetParam().message));
    }
    EXPECT_EQ(readCatalogue(catalogue).rows.size(), GetParam().rowsAfterScan);

    // Free again: a scan of everything stores what was refused, each file once.
    scan();
    EXPECT_EQ(message(), QStringLiteral("Ready"));
    closeProgram();
    const TCatalogueCheck after = readCatalogue(catalogue);
    EXPECT_EQ(after.integrity, QStringLiteral("ok"));
    ASSERT_EQ(after.rows.size(), 4);
    EXPECT_EQ(after.rows.mid(0, 2), before.rows);
    EXPECT_EQ(after.duplicates, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LockedCatalogueTest,
    ::testing::Values(
        LockCase{"HeldThroughTheScan", -1,
                 "Scan ended: 2 files could not be stored, the catalogue is locked by another program", 2},
        LockCase{"EndedDuringTheScan", 600, "Ready", 4}),
    [](const ::testing::TestParamInfo<LockCase>& info) { return info.param.name; });
