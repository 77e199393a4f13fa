// The file box on a real catalogue file, with real files made in temporary
// folders, its listing thread really running and its events really crossing
// to this thread.
#include "FileBoxFixture.h"
#include "uBlocsFrame.h"
#include "uExif.h"
#include "uQXFileBox.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"
#include "uVolumes.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Handles events as they come, as the program's event loop does, until done.
QString mountLine(int id, const QString& mountPoint, const QString& source, const QString& fs = QStringLiteral("ext4"),
                  const QString& device = QStringLiteral("0:77"))
{
    return QStringLiteral("%1 1 %2 / %3 rw - %4 %5 rw\n").arg(id).arg(device, mountPoint, fs, source);
}

struct MountTableGuard {
    ~MountTableGuard() { TVolumeService::instance().setMountTable(QString()); }
};

} // namespace

class FileBoxTest : public FileBoxCatalogueTest {
protected:
    void SetUp() override
    {
        FileBoxCatalogueTest::SetUp();
        box->OnOpenTestExtension = [](const QString& ext) {
            return ext == QLatin1String(".mp4") || ext == QLatin1String(".mov");
        };
        box->OnOpenStart = [this] { events << QStringLiteral("start"); };
        box->OnOpenEnd = [this] { events << QStringLiteral("end"); };
        box->OnOpenFolderFound = [this](const QString& f) { events << QStringLiteral("folder ") + f; };
        box->OnOpenFileFound = [this](TDriveFichier& sf) { events << QStringLiteral("file ") + sf.FFilename; };
        box->OnListCountChange = [this] { ++countChanges; };
    }

    void runToEnd()
    {
        ASSERT_TRUE(pumpUntil([this] { return !box->isActive(); })) << "the command did not end";
    }

    QStringList eventsOf(const QString& kind) const
    {
        QStringList found;
        for (const QString& e : events) {
            if (e.startsWith(kind))
                found << e.mid(kind.size());
        }
        found.sort();
        return found;
    }

    QStringList events;
    int countChanges = 0;
};

// ---------------------------------------------------------------------------
// Walks

TEST_F(FileBoxTest, FolderWalkTakesVideosAndNeverFollowsLinks)
{
    const QString root = dir.file(QStringLiteral("root"));
    for (const char* name : {"root/A.MP4", "root/b.mov", "root/c.mkv", "root/noext", "root/sub/d.mp4",
                             "root/sub/deeper/e.MOV", "root/.hidden/f.mp4", "outside/g.mp4"})
        dir.write(QString::fromLatin1(name), "x");
    ASSERT_EQ(symlink(dir.file(QStringLiteral("outside")).toUtf8().constData(),
                      (root + QStringLiteral("/linked")).toUtf8().constData()),
              0);
    ASSERT_EQ(symlink(dir.file(QStringLiteral("outside/g.mp4")).toUtf8().constData(),
                      (root + QStringLiteral("/link.mp4")).toUtf8().constData()),
              0);
    ASSERT_EQ(symlink("/nowhere/at/all", (root + QStringLiteral("/broken.mp4")).toUtf8().constData()), 0);
    // A name that is no UTF-8 cannot be reached again by its path: left out, the walk goes on.
    const int bad = ::open((QFile::encodeName(root) + "/bad\xff.mp4").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(bad, 0);
    ::close(bad);

    struct Case {
        bool subFolders;
        QStringList names;
        QStringList folders;
    };
    const Case cases[] = {
        {false, {QStringLiteral("A.MP4"), QStringLiteral("b.mov")}, {}},
        {true,
         {QStringLiteral("A.MP4"), QStringLiteral("b.mov"), QStringLiteral("d.mp4"), QStringLiteral("e.MOV"),
          QStringLiteral("f.mp4")},
         {root + QStringLiteral("/"), root + QStringLiteral("/.hidden/"), root + QStringLiteral("/sub/"),
          root + QStringLiteral("/sub/deeper/")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subFolders ? "with sub-folders" : "folder only");
        events.clear();
        box->vider();
        if (c.subFolders)
            box->openFolder(root);
        else
            box->openFolderFiles(root);
        runToEnd();
        EXPECT_EQ(listedNames(), c.names);
        EXPECT_EQ(eventsOf(QStringLiteral("folder ")), c.folders);
        EXPECT_EQ(events.first(), QStringLiteral("start"));
        EXPECT_EQ(events.last(), QStringLiteral("end"));
        EXPECT_EQ(events.count(QStringLiteral("end")), 1);
    }
    EXPECT_EQ(rows(), 5);
    EXPECT_EQ(text(QStringLiteral("SELECT Filename FROM VideoFichiers WHERE ListName='d.mp4'")),
              root + QStringLiteral("/sub/d.mp4"));
    EXPECT_EQ(text(QStringLiteral("SELECT Folder FROM VideoFichiers WHERE ListName='d.mp4'")),
              root + QStringLiteral("/sub/"));
}

TEST_F(FileBoxTest, FolderNamesAreCleanedSoAFileKeepsOneCaption)
{
    dir.write(QStringLiteral("clips/a.mp4"), "x");
    for (const QString& spelling : {dir.file(QStringLiteral("clips")), dir.file(QStringLiteral("clips/")),
                                    dir.path() + QStringLiteral("//clips/../clips")}) {
        box->openFolder(spelling);
        runToEnd();
    }
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(text(QStringLiteral("SELECT Folder FROM VideoFichiers")), dir.file(QStringLiteral("clips/")));
    box->openFolder(QString());
    runToEnd();
    EXPECT_EQ(events.count(QStringLiteral("end")), 4) << "an empty name walks nothing but still ends";
}

TEST_F(FileBoxTest, PlaylistTakesOnlyItsPathLines)
{
    const QString y = dir.write(QStringLiteral("media/y.mp4"), "x");
    dir.write(QStringLiteral("media/x.mp4"), "x");
    dir.write(QStringLiteral("media/w.mov"), "x");
    dir.write(QStringLiteral("media/sub/z.mp4"), "x");
    dir.write(QStringLiteral("lists/rel.mp4"), "x");
    const QString text = QStringLiteral("# ") + dir.file(QStringLiteral("media/x.mp4")) + QStringLiteral("\r\n\r\n   ")
                       + y + QStringLiteral("  \t\r\n") + dir.file(QStringLiteral("media/*.mov")) + QStringLiteral("\n")
                       + dir.file(QStringLiteral("media/sub")) + QStringLiteral("\nrel.mp4\n")
                       + dir.file(QStringLiteral("media/missing.mp4")) + QStringLiteral("\n");
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    // The code units as they are, which an encoder would not write for half a pair.
    const auto utf16Units = [](const QString& units) {
        QByteArray bytes("\xFF\xFE");
        for (const QChar c : units)
            bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return bytes;
    };
    const Case cases[] = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with a byte-order mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"UTF-16 with a byte-order mark", utf16(text)},
        {"UTF-16 with half a surrogate pair in a comment", utf16Units(QStringLiteral("# ") + QChar(0xDC00) + QStringLiteral("\n") + text)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box->vider();
        box->openplaylist(dir.write(QStringLiteral("lists/list.txt"), c.bytes));
        runToEnd();
        EXPECT_EQ(listedNames(), QStringList({QStringLiteral("rel.mp4"), QStringLiteral("w.mov"), QStringLiteral("y.mp4")}));
        EXPECT_TRUE(eventsOf(QStringLiteral("folder ")).isEmpty());
    }
    EXPECT_EQ(rows(), 3) << "no record for the missing file";
}

TEST_F(FileBoxTest, UnreadablePlaylistsTakeNothing)
{
    dir.write(QStringLiteral("a.mp4"), "x");
    QByteArray binary = dir.file(QStringLiteral("a.mp4")).toUtf8();
    binary.append('\0').append("\x01\x02\xff\n");
    for (const QString& list : {dir.file(QStringLiteral("absent.txt")), dir.write(QStringLiteral("bin.dat"), binary),
                                dir.file(QStringLiteral("."))}) {
        SCOPED_TRACE(list.toStdString());
        events.clear();
        box->openplaylist(list);
        runToEnd();
        EXPECT_EQ(events, QStringList({QStringLiteral("start"), QStringLiteral("end")}));
    }
    EXPECT_EQ(rows(), 0);
}

TEST_F(FileBoxTest, ListOfFilesSkipsWhatIsNotThere)
{
    const QString a = dir.write(QStringLiteral("a.mp4"), "x");
    const QString b = dir.write(QStringLiteral("b.MOV"), "x");
    box->srFileNames->setValue({a, dir.file(QStringLiteral("gone.mp4")), dir.path(), b});
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4"), QStringLiteral("b.MOV")}));
    EXPECT_EQ(rows(), 2);
}

TEST_F(FileBoxTest, AFileThatVanishesBeforeItsStoreIsNotStored)
{
    dir.write(QStringLiteral("v/keep.mp4"), "x");
    dir.write(QStringLiteral("v/vanish.mp4"), "x");
    // The handler runs between the search and the store, while the thread waits.
    box->OnOpenFileFound = [](TDriveFichier& sf) {
        if (sf.FFilename.endsWith(QLatin1String("vanish.mp4")))
            QFile::remove(sf.FFilename);
    };
    box->openFolder(dir.file(QStringLiteral("v")));
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("keep.mp4")}));
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE Caption='' OR Filename=''")), 0);
}

TEST_F(FileBoxTest, ADiskUnderAnotherMountPointGetsNoSecondRecord)
{
    MountTableGuard guard;
    const QString first = dir.file(QStringLiteral("mnt1"));
    const QString second = dir.file(QStringLiteral("mnt2"));
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/"), QStringLiteral("/dev/root"))
                                             + mountLine(2, first, QStringLiteral("/dev/disk-one"))
                                             + mountLine(3, second, QStringLiteral("/dev/disk-one")));
    dir.write(QStringLiteral("mnt1/Films/Clip.MP4"), "x");
    dir.write(QStringLiteral("mnt2/Films/Clip.MP4"), "x");
    box->openFolder(first);
    runToEnd();
    box->vider();
    box->openFolder(second);
    runToEnd();
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(box->Count(), 1);
    // Found where the disk is now, so that it can be played from there.
    EXPECT_EQ(text(QStringLiteral("SELECT Filename FROM VideoFichiers")), second + QStringLiteral("/Films/Clip.MP4"));
    EXPECT_EQ(text(QStringLiteral("SELECT Folder FROM VideoFichiers")), second + QStringLiteral("/Films/"));
}

TEST_F(FileBoxTest, WholeFixedDisksAreWalkedOneVolumeAtATime)
{
    // A real fixed disk's device numbers, so that the drive type is the system's answer.
    QString fixedDevice;
    for (const TMountEntry& m : TVolumeService::instance().mountTable()) {
        if (TVolumeService::instance().volumeOf(m.mountPoint).driveType == dtFixed) {
            fixedDevice = m.majorMinor;
            break;
        }
    }
    if (fixedDevice.isEmpty())
        GTEST_SKIP() << "no fixed disk on this machine";
    MountTableGuard guard;
    const QString disk = dir.file(QStringLiteral("disk"));
    TVolumeService::instance().setMountTable(
        mountLine(1, QStringLiteral("/"), QStringLiteral("rootfs"), QStringLiteral("tmpfs"), QStringLiteral("0:1"))
        + mountLine(2, disk, QStringLiteral("/dev/fixed"), QStringLiteral("ext4"), fixedDevice)
        + mountLine(3, disk + QStringLiteral("/proc"), QStringLiteral("proc"), QStringLiteral("proc"),
                    QStringLiteral("0:2"))
        + mountLine(4, dir.file(QStringLiteral("ram")), QStringLiteral("tmpfs"), QStringLiteral("tmpfs"),
                    QStringLiteral("0:3")));
    dir.write(QStringLiteral("disk/a.mp4"), "x");
    dir.write(QStringLiteral("disk/sub/b.mov"), "x");
    dir.write(QStringLiteral("disk/proc/c.mp4"), "x");
    dir.write(QStringLiteral("ram/d.mp4"), "x");
    box->nrOpenAll->doExecute();
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4"), QStringLiteral("b.mov")}));
}

// ---------------------------------------------------------------------------
// Stopping and chaining commands

TEST_F(FileBoxTest, EscStopsALongWalkBeforeItsNextEntry)
{
    for (int i = 0; i < 150; ++i)
        dir.write(QStringLiteral("long/clip%1.mp4").arg(i, 3, 10, QLatin1Char('0')), "x");
    int found = 0;
    box->OnOpenFileFound = [&](TDriveFichier&) {
        // Esc arrives as the user's key does: after the handler, from the event loop.
        if (++found == 5)
            QTimer::singleShot(0, box.get(), [this] { box->nrAbort->doExecute(); });
    };
    box->openFolder(dir.file(QStringLiteral("long")));
    runToEnd();
    QCoreApplication::processEvents();
    EXPECT_EQ(events.count(QStringLiteral("end")), 1);
    EXPECT_GE(found, 5);
    EXPECT_LT(found, 150);
    EXPECT_EQ(box->Count(), found) << "every file found before the stop is stored and listed";
    EXPECT_EQ(rows(), found);

    box->openFolder(dir.file(QStringLiteral("long")));
    runToEnd();
    EXPECT_EQ(box->Count(), 150) << "the next command starts afresh";
}

TEST_F(FileBoxTest, ACommandStartedWhileAnotherRunsWaitsForItsEnd)
{
    for (int i = 0; i < 200; ++i)
        dir.write(QStringLiteral("one/a%1.mp4").arg(i), "x");
    dir.write(QStringLiteral("two/b.mp4"), "x");
    dir.write(QStringLiteral("three/c.mp4"), "x");
    box->openFolder(dir.file(QStringLiteral("one")));
    box->openFolder(dir.file(QStringLiteral("two")));
    runToEnd();
    // Started from a handler of the thread's own event, where waiting would never end.
    bool chained = false;
    box->OnOpenEnd = [&] {
        events << QStringLiteral("end");
        if (!chained) {
            chained = true;
            box->openFolderFiles(dir.file(QStringLiteral("three")));
        }
    };
    box->openFolderFiles(dir.file(QStringLiteral("two")));
    ASSERT_TRUE(pumpUntil([&] { return events.count(QStringLiteral("end")) == 4 && !box->isActive(); }));

    // Each start comes after the end of the command before it.
    QStringList order = events.filter(QRegularExpression(QStringLiteral("^(start|end)$")));
    EXPECT_EQ(order, QStringList({QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("start"),
                                  QStringLiteral("end"), QStringLiteral("start"), QStringLiteral("end"),
                                  QStringLiteral("start"), QStringLiteral("end")}));
    EXPECT_TRUE(listedNames().contains(QStringLiteral("b.mp4")));
    EXPECT_TRUE(listedNames().contains(QStringLiteral("c.mp4")));
}

// ---------------------------------------------------------------------------
// The clipboard

TEST_F(FileBoxTest, PastingTakesFoldersWithTheirSubFoldersAndSingleFiles)
{
    dir.write(QStringLiteral("pasted/a.mp4"), "x");
    dir.write(QStringLiteral("pasted/sub/b.mov"), "x");
    dir.write(QStringLiteral("pasted/c.txt"), "x");
    const QString single = dir.write(QStringLiteral("other/d.MP4"), "x");
    dir.write(QStringLiteral("other/e.mp4"), "x");
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(dir.file(QStringLiteral("pasted"))), QUrl::fromLocalFile(single),
                   QUrl(QStringLiteral("https://example.org/f.mp4"))});
    QGuiApplication::clipboard()->setMimeData(data);
    box->nrPasteFiles->doExecute();
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4"), QStringLiteral("b.mov"), QStringLiteral("d.MP4")}));
    EXPECT_TRUE(eventsOf(QStringLiteral("folder ")).contains(dir.file(QStringLiteral("pasted/sub/"))));
}

TEST_F(FileBoxTest, PastingTextOnlyStartsAndEndsAndNothingElse)
{
    dir.write(QStringLiteral("later/a.mp4"), "x");
    QGuiApplication::clipboard()->setText(dir.file(QStringLiteral("later/a.mp4")));
    box->pastefiles();
    runToEnd();
    EXPECT_EQ(events, QStringList({QStringLiteral("start"), QStringLiteral("end")}));
    EXPECT_EQ(rows(), 0);
    box->openFolder(dir.file(QStringLiteral("later")));
    runToEnd();
    EXPECT_EQ(box->Count(), 1);
}

// ---------------------------------------------------------------------------
// The list

class FileBoxListTest : public FileBoxTest {
protected:
    void SetUp() override
    {
        FileBoxTest::SetUp();
        for (const char* name : {"list/b.mp4", "list/a.mov", "list/Été_1.mp4", "list/sub/c.mp4", "list2/d.mp4"})
            dir.write(QString::fromUtf8(name), "x");
        box->openFolder(dir.file(QStringLiteral("list")));
        runToEnd();
        box->openFolder(dir.file(QStringLiteral("list2")));
        runToEnd();
        countChanges = 0;
        events.clear();
    }

    qint32 numberOf(const char* name)
    {
        return static_cast<qint32>(
            scalar(QStringLiteral("SELECT numero FROM VideoFichiers WHERE ListName='%1'").arg(QString::fromUtf8(name))));
    }
};

TEST_F(FileBoxListTest, CountGetAndFileNamesFollowTheSort)
{
    EXPECT_EQ(box->Count(), 5);
    EXPECT_EQ(box->getCountWhere(QStringLiteral("Extension='.mov'")), 1);
    EXPECT_EQ(box->getCountWhere(QString()), 5);
    EXPECT_EQ(box->getCountWhere(QStringLiteral("no such column")), 0);

    box->wrSort->setValue(QStringLiteral("ListName DESC"));
    QStringList names;
    box->getFileNames(names);
    EXPECT_EQ(names.value(0), dir.file(QStringLiteral("list/Été_1.mp4")));
    EXPECT_EQ(names.value(4), dir.file(QStringLiteral("list/a.mov")));
    const std::unique_ptr<TDriveFichier> first = box->get(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->FListName, QStringLiteral("Été_1.mp4"));
    EXPECT_NE(dynamic_cast<TVideoFichier*>(first.get()), nullptr);
    EXPECT_EQ(box->get(4)->FListName, QStringLiteral("a.mov"));
    EXPECT_EQ(box->get(5), nullptr);
    EXPECT_EQ(box->get(-1), nullptr);
    EXPECT_EQ(box->Source().FOrderBy, QStringLiteral(" ORDER BY ListName DESC"));
}

TEST_F(FileBoxListTest, RecallBringsAFolderBackWithoutTheDisk)
{
    box->nrVider->doExecute();
    EXPECT_EQ(box->Count(), 0);
    EXPECT_EQ(rows(), 5) << "emptying the list deletes nothing";
    EXPECT_EQ(countChanges, 1);
    const QString folder = dir.file(QStringLiteral("list"));
    ASSERT_TRUE(QDir().rename(folder, dir.file(QStringLiteral("moved away"))));

    box->recallFolder(folder);
    EXPECT_EQ(events, QStringList({QStringLiteral("start"), QStringLiteral("end")}));
    EXPECT_EQ(countChanges, 2);
    EXPECT_EQ(listedNames(),
              QStringList({QStringLiteral("a.mov"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"),
                           QStringLiteral("Été_1.mp4")}))
        << "the folder and what is below it, not its namesake list2";
    box->wrRecallFolder->setValue(dir.file(QStringLiteral("LIST2")).toUpper());
    EXPECT_EQ(box->Count(), 5) << "letter case ignored";
}

TEST_F(FileBoxListTest, FilterByCaptionListsWhatContainsTheText)
{
    struct Case {
        QString text;
        QStringList names;
    };
    const Case cases[] = {
        {QStringLiteral("sub/"), {QStringLiteral("c.mp4")}},
        {QStringLiteral("éTÉ_"), {QStringLiteral("Été_1.mp4")}},
        {QStringLiteral("éT_"), {}},
        {QStringLiteral(".MOV"), {QStringLiteral("a.mov")}},
        {QString(), {QStringLiteral("a.mov"), QStringLiteral("b.mp4"), QStringLiteral("c.mp4"), QStringLiteral("d.mp4"),
                     QStringLiteral("Été_1.mp4")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        events.clear();
        box->wrFiltre->setValue(c.text);
        EXPECT_EQ(listedNames(), c.names);
        EXPECT_EQ(events, QStringList({QStringLiteral("start"), QStringLiteral("end")}));
    }
}

TEST_F(FileBoxListTest, TheFilterCheckAddsItsConditionOnlyWhenThereIsOne)
{
    TCheckAction* filtrer = box->recuperer<TCheckAction>(QStringLiteral("caFiltrer"));
    ASSERT_NE(filtrer, nullptr);
    filtrer->setChecked(true);
    EXPECT_EQ(filtrer->Caption(), QStringLiteral("Apply Filter"));
    EXPECT_EQ(box->Count(), 5) << "no condition yet: nothing added";
    EXPECT_EQ(box->Source().FWhere, QStringLiteral(" WHERE Listed=1"));

    box->setWhereFiltre(QStringLiteral("Extension='.mov' or Extension='.MOV'"));
    EXPECT_EQ(box->Count(), 1);
    EXPECT_EQ(box->Source().count(), 1);
    EXPECT_EQ(box->get(0)->FListName, QStringLiteral("a.mov"));
    QStringList names;
    box->getFileNames(names);
    EXPECT_EQ(names, QStringList({dir.file(QStringLiteral("list/a.mov"))}));

    filtrer->setChecked(false);
    EXPECT_EQ(filtrer->Hint(), QStringLiteral("do not filter the list of database files"));
    EXPECT_EQ(box->Count(), 5);
    EXPECT_EQ(box->Source().count(), 5);
}

TEST_F(FileBoxListTest, SelectionRemovalAndDragGiveTheSelectedRecords)
{
    TBlocsFrame grid;
    box->setBlocsFrame(&grid);
    EXPECT_EQ(grid.BlocsSource(), &box->Source());
    EXPECT_EQ(grid.nbItems(), 5);
    grid.FSelectedList.add(numberOf("b.mp4"));
    grid.FSelectedList.add(numberOf("c.mp4"));

    QStringList captions;
    box->getSelectionFileNames(grid.FSelectedList, captions);
    ASSERT_EQ(captions.size(), 2);
    EXPECT_TRUE(captions.at(0).contains(QLatin1Char('|'))) << "captions, as the drag list of old";
    EXPECT_TRUE(captions.at(0).endsWith(QLatin1String("list/b.mp4")));
    const std::unique_ptr<QMimeData> drag = grid.selectionMimeData();
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(drag->urls(), QList<QUrl>({QUrl::fromLocalFile(dir.file(QStringLiteral("list/b.mp4"))),
                                          QUrl::fromLocalFile(dir.file(QStringLiteral("list/sub/c.mp4")))}));

    box->nrClearSelected->doExecute();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mov"), QStringLiteral("d.mp4"), QStringLiteral("Été_1.mp4")}));
    EXPECT_EQ(grid.FSelectedList.count(), 0);
    EXPECT_EQ(countChanges, 1);
    EXPECT_EQ(rows(), 5);
}

TEST_F(FileBoxListTest, ClearingTheDatabaseAsksFirst)
{
    struct Case {
        QMessageBox::StandardButton answer;
        qint64 rowsAfter;
    };
    for (const Case c : {Case{QMessageBox::No, 5}, Case{QMessageBox::Yes, 0}}) {
        SCOPED_TRACE(c.answer == QMessageBox::Yes ? "Yes" : "No");
        QString asked;
        // The real message box, answered as the user would.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = question->text();
                question->button(c.answer)->click();
            }
        });
        answer.start(20);
        box->nrClearBase->doExecute();
        answer.stop();
        EXPECT_EQ(asked, QStringLiteral("Do you really want to empty the entire File Database ?\n"
                                        "You will need to reload them from your system to be able to use them.\n"
                                        "However, no files will be deleted from your system.\n"
                                        "Only their records in the database will be deleted."));
        EXPECT_EQ(rows(), c.rowsAfter);
    }
    EXPECT_EQ(box->Count(), 0);
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("list/b.mp4"))));
}

TEST_F(FileBoxListTest, TheSavedPlaylistReadsBack)
{
    const QString list = dir.file(QStringLiteral("saved.txt"));
    box->setPlaylistHeader(QStringLiteral("Movarium"), QStringLiteral("Every clip"));
    box->Desktop.saveFile = [&](const QString& title, const QString& filter, const QString&) {
        EXPECT_EQ(title, QStringLiteral("Save the playlist as..."));
        EXPECT_EQ(filter, QStringLiteral("Text files (*.txt)|*.txt"));
        return list;
    };
    box->wrSavePlayList->doExecute();
    QStringList lines = QString::fromUtf8(readAll(list)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.at(0), QStringLiteral("# Movarium"));
    EXPECT_EQ(lines.at(1), QStringLiteral("# Every clip"));
    EXPECT_TRUE(lines.contains(dir.file(QStringLiteral("list/Été_1.mp4"))));

    box->vider();
    box->openplaylist(list);
    runToEnd();
    EXPECT_EQ(box->Count(), 5);
    EXPECT_EQ(rows(), 5);
}

TEST_F(FileBoxListTest, ParentFolderShowsTheFileAtThatPosition)
{
    QStringList shown;
    box->Desktop.showInFolder = [&](const QString& file) { shown << file; };
    box->irParentFolder->setValue(0);
    box->irParentFolder->setValue(5);
    EXPECT_EQ(shown, QStringList({dir.file(QStringLiteral("list/a.mov"))}));
}

TEST_F(FileBoxListTest, ReopeningTheLastFiles)
{
    QStringList saved;
    box->srFileNames->internalBeforeSave(saved);
    EXPECT_EQ(saved.size(), 5);
    box->vider();
    box->srFileNames->Value = saved;
    box->wrActiveFile->Value = dir.file(QStringLiteral("list2/d.mp4"));
    box->brOpenLastFiles->apply();
    runToEnd();
    EXPECT_EQ(box->Count(), 5);

    box->brOpenLastFiles->setValue(false);
    EXPECT_TRUE(box->srFileNames->Value.isEmpty());
    bool reopen = true;
    box->brOpenLastFiles->internalBeforeSave(reopen);
    EXPECT_FALSE(reopen);
    EXPECT_EQ(rows(), 5);
}

TEST_F(FileBoxTest, TheActiveFileIsTakenAtOnce)
{
    const QString clip = dir.write(QStringLiteral("active/a.mp4"), "x");
    box->wrActiveFile->setValue(clip);
    EXPECT_FALSE(box->isActive());
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4")}));
    box->wrActiveFile->setValue(dir.file(QStringLiteral("active")));
    EXPECT_EQ(rows(), 1);
}

// ---------------------------------------------------------------------------
// The commands that ask the user first

TEST_F(FileBoxTest, DialogsGiveTheCommandsTheirTargets)
{
    dir.write(QStringLiteral("picked/a.mp4"), "x");
    dir.write(QStringLiteral("picked/sub/b.mp4"), "x");
    const QString list = dir.write(QStringLiteral("fav.txt"), dir.file(QStringLiteral("picked/a.mp4")).toUtf8());
    QStringList asked;
    box->Desktop.chooseFolder = [&](const QString& title, const QString&) {
        asked << title;
        return dir.file(QStringLiteral("picked"));
    };
    box->Desktop.openFile = [&](const QString& title, const QString&, const QString&) {
        asked << title;
        return list;
    };
    box->Desktop.openFiles = [&](const QString& title, const QString& filter, const QString&) {
        asked << title + QStringLiteral(" ") + filter;
        return QStringList({dir.file(QStringLiteral("picked/sub/b.mp4"))});
    };
    box->setFilter(QStringLiteral("Videos (*.mp4)|*.mp4"));

    box->wrPreferredFolderName->doExecute();
    box->nrOpenPreferredFolder->doExecute();
    runToEnd();
    EXPECT_EQ(box->Count(), 2);
    box->vider();
    box->wrPreferredPlayListName->doExecute();
    box->nrOpenPreferredPlayList->doExecute();
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4")}));
    box->srOpenFiles->doExecute();
    runToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}));
    EXPECT_EQ(asked, QStringList({QStringLiteral("Select a folder"), QStringLiteral("Choose the preferred playlist"),
                                  QStringLiteral("Select the files to open Videos (*.mp4)|*.mp4|All files (*.*)|*.*")}));

    box->Desktop.openFiles = [](const QString&, const QString&, const QString&) { return QStringList(); };
    events.clear();
    box->srOpenFiles->doExecute();
    EXPECT_TRUE(events.isEmpty()) << "cancelling the dialog cancels the command";
}

TEST(FileBoxFilters, DialogFiltersInQtForm)
{
    EXPECT_EQ(qtFileFilter(QStringLiteral("Text files (*.txt)|*.txt")), QStringLiteral("Text files (*.txt)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Videos|*.mp4;*.mov|All files (*.*)|*.*")),
              QStringLiteral("Videos (*.mp4 *.mov);;All files (*)"));
}

// ---------------------------------------------------------------------------
// The actions as the user meets them

TEST_F(FileBoxTest, ActionsInTheirOrderWithTheirTexts)
{
    struct Row {
        const char* id;
        const char* caption;
        QKeySequence key;
        const char* hint;
    };
    const QKeySequence none;
    const Row rows[] = {
        {"saFileNames", "FileNames", none, ""},
        {"baOpenlastFiles", "ReOpen", none, "ReOpen the files"},
        {"waActiveFile", "Active File", none, "Change the active file"},
        {"saOpenFiles", "Open...", QKeySequence(QStringLiteral("Ctrl+O")), "Open files"},
        {"waOpenFolder", "Folder", QKeySequence(QStringLiteral("Ctrl+F")), "Open a folder"},
        {"waRecallFolder", "Folder", QKeySequence(QStringLiteral("Ctrl+F")), "Recall a folder"},
        {"waOpenPlayList", "Playlist", QKeySequence(QStringLiteral("Ctrl+U")), "Open a playlist"},
        {"naOpenPreferredFolder", "Preferred Folder", QKeySequence(QStringLiteral("F7")), "Open the preferred folder"},
        {"naOpenPreferredPlayList", "Preferred playlist", QKeySequence(QStringLiteral("F8")),
         "Open the preferred playlist"},
        {"naPasteFiles", "Paste", QKeySequence(QStringLiteral("Ctrl+V")), "Paste files"},
        {"naOpenAll", "All", QKeySequence(QStringLiteral("Ctrl+Shift+F7")), "Open all files"},
        {"naVider", "Empty", QKeySequence(QStringLiteral("Ctrl+Shift+X")), "Empty the list"},
        {"naClearSelected", "Remove", QKeySequence(QStringLiteral("Ctrl+X")),
         "Remove the selected files without destroying them"},
        {"naClearBase", "Clear the Database", QKeySequence(QStringLiteral("Ctrl+Shift+X")),
         "Empty the whole database of files.\r\nYou will need to recharge them from your system to be able to use "
         "them"},
        {"naAbort", "Abort", QKeySequence(QStringLiteral("Esc")), "Abort the current operations"},
        {"waSavePlayList", "Save as...", QKeySequence(QStringLiteral("Ctrl+Shift+S")),
         "Save the list of files in a text file"},
        {"naSavePreferredPlayList", "Save", QKeySequence(QStringLiteral("Ctrl+S")), "Save the playlist"},
        {"iaParentFolder", "Parent folder", none, "Open the parent folder of the selected file"},
        {"waPreferredFolderName", "Preferred Folder", QKeySequence(QStringLiteral("Ctrl+Shift+F")),
         "Change the name of the preferred folder"},
        {"waPreferredPlayListName", "Preferred playlist", QKeySequence(QStringLiteral("Ctrl+Shift+L")),
         "Change the name of the preferred Playlist"},
        {"waSort", "Columns for Sorting", none, "Change the Columns for Sorting"},
        {"waFiltre", "Filter", none, "Filter for the database of files"},
        {"caFiltrer", "Do not Filter", none, "do not filter the list of database files"},
    };
    ASSERT_EQ(box->actions().size(), static_cast<qsizetype>(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const TCustomAbstractAction* a = box->actions().at(static_cast<qsizetype>(i));
        SCOPED_TRACE(rows[i].id);
        EXPECT_EQ(a->InternalId, QString::fromLatin1(rows[i].id));
        EXPECT_EQ(a->Caption(), QString::fromLatin1(rows[i].caption));
        EXPECT_EQ(a->ShortCut(), rows[i].key);
        // Without a hint of its own, a Qt action shows its caption as one.
        EXPECT_EQ(a->Hint(), QString::fromLatin1(*rows[i].hint ? rows[i].hint : rows[i].caption));
        EXPECT_EQ(a->ScriptName(), QString::fromLatin1(rows[i].id).mid(2));
    }
    // Of two actions sharing a key, the earlier in the list answers it.
    EXPECT_EQ(box->findShortcut(QKeyCombination(Qt::CTRL, Qt::Key_F)), box->wrOpenFolder);
    EXPECT_EQ(box->findShortcut(QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_X)), box->nrVider);
    EXPECT_TRUE(box->brOpenLastFiles->Value);
    EXPECT_TRUE(box->wrFiltre->ApplyWhenLoad);
    EXPECT_FALSE(box->wrOpenFolder->ApplyWhenLoad);
}

// ---------------------------------------------------------------------------
// Metadata: read for a new file, not again for a known one unless it changed

TEST_F(FileBoxTest, MetadataIsReadForNewAndChangedFilesOnly)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    ASSERT_FALSE(tool.isEmpty()) << "exiftool is not installed (scripts/setup.sh)";
    const QString clip = dir.file(QStringLiteral("real/clip.mp4"));
    QDir().mkpath(dir.file(QStringLiteral("real")));
    ASSERT_EQ(runProgram(QStringLiteral("ffmpeg"),
                         {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                          QStringLiteral("-i"), QStringLiteral("testsrc=size=160x90:rate=10"), QStringLiteral("-t"),
                          QStringLiteral("0.3"), QStringLiteral("-c:v"), QStringLiteral("mpeg4"), clip}),
              0);
    setExifToolPath(tool);
    installExifReader();
    const auto reading = qScopeGuard([] { TVideoFichier::setMetadataReader(nullptr); });

    box->openFolder(dir.file(QStringLiteral("real")));
    runToEnd();
    EXPECT_EQ(scalar(QStringLiteral("SELECT Width FROM VideoFichiers")), 160);

    // A known, unchanged file is not read again.
    execSql(db, QStringLiteral("UPDATE VideoFichiers SET Width=1"));
    box->openFolder(dir.file(QStringLiteral("real")));
    runToEnd();
    EXPECT_EQ(scalar(QStringLiteral("SELECT Width FROM VideoFichiers")), 1);

    // Written after its record: read again.
    QFile file(clip);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    file.close();
    box->openFolder(dir.file(QStringLiteral("real")));
    runToEnd();
    EXPECT_EQ(scalar(QStringLiteral("SELECT Width FROM VideoFichiers")), 160);
    EXPECT_EQ(rows(), 1);
}

// ---------------------------------------------------------------------------
// Looking a file up by its caption, once per file a walk meets

namespace {

// The most rows any statement of the connection went through, as SQLite counts them.
struct StatementCost {
    int vmSteps = 0;
    int fullScanSteps = 0;

    explicit StatementCost(sqlite3* db)
    {
        sqlite3_trace_v2(
            db, SQLITE_TRACE_PROFILE,
            [](unsigned, void* self, void* statement, void*) {
                auto* cost = static_cast<StatementCost*>(self);
                auto* s = static_cast<sqlite3_stmt*>(statement);
                cost->vmSteps = std::max(cost->vmSteps, sqlite3_stmt_status(s, SQLITE_STMTSTATUS_VM_STEP, 0));
                cost->fullScanSteps =
                    std::max(cost->fullScanSteps, sqlite3_stmt_status(s, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0));
                return 0;
            },
            this);
    }
    void reset() { vmSteps = fullScanSteps = 0; }
};

} // namespace

class CaptionLookUpTest : public CatalogueTest {};

TEST_F(CaptionLookUpTest, ReadsOnlyTheRowsThatMayMatch)
{
    constexpr int kRows = 3000;
    execSql(db, QStringLiteral("BEGIN"));
    for (int i = 0; i < kRows; ++i) {
        TVideoFichier v;
        v.Fcaption = QStringLiteral("1A2B-3C4D|Films/Été/clip%1.mp4").arg(i);
        v.FFileModifyDate = 100;
        ASSERT_TRUE(v.insertnew());
    }
    execSql(db, QStringLiteral("COMMIT"));
    StatementCost cost(db);

    struct Case {
        QString asked;
        bool found;
    };
    const Case cases[] = {
        {QStringLiteral("  1a2b-3c4d|films/ÉTÉ/CLIP1234.MP4 "), true},
        {QStringLiteral("1A2B-3C4D|Films/Été/clip2999.mp4"), true},
        {QStringLiteral("1A2B-3C4D|Films/Ete/clip2999.mp4"), false},
        {QStringLiteral("1A2B-3C4D|Films/Été/clip3000.mp4"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.toStdString());
        TVideoFichier v;
        v.Fcaption = c.asked;
        cost.reset();
        EXPECT_EQ(v.findbyCaption(), c.found);
        EXPECT_EQ(cost.fullScanSteps, 0);
        EXPECT_LT(cost.vmSteps, 200) << "an index search, not a pass over " << kRows << " rows";
        if (c.found) {
            cost.reset();
            EXPECT_EQ(v.isPresent(), 3);
            EXPECT_EQ(cost.fullScanSteps, 0);
            EXPECT_LT(cost.vmSteps, 200);
        }
    }

    // A connection without the upper-casing function still finds the file, row by row.
    sqlite3* bare = nullptr;
    ASSERT_EQ(sqlite3_open16(path.utf16(), &bare), SQLITE_OK);
    registerNoWideCase(bare);
    catalogueTables().VideoFichiers.setBase(bare);
    TVideoFichier v;
    v.Fcaption = QStringLiteral("1a2b-3c4d|films/ÉTÉ/CLIP7.MP4");
    EXPECT_TRUE(v.findbyCaption());
    EXPECT_EQ(v.Fcaption, QStringLiteral("1A2B-3C4D|Films/Été/clip7.mp4"));
    catalogueTables().VideoFichiers.setBase(db);
    sqlite3_close(bare);
}
