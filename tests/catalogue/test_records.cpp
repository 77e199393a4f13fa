#include "CatalogueFixture.h"
#include "uDrives.h"
#include "uVideoFichiers.h"
#include "uVolumes.h"

#include <QFile>

namespace {

void fillEveryField(TVideoFichier& v)
{
    v.Fcommentaire = {QStringLiteral("first line"), QStringLiteral("second é")};
    v.Fcaption = QStringLiteral("1A2B-3C4D|Films/2023/a.mp4");
    v.FListName = QStringLiteral("a.mp4");
    v.FExtension = QStringLiteral(".mp4");
    v.FFolder = QStringLiteral("/media/disk/Films/2023/");
    v.FSize = 3758096384; // 3.5 GiB
    v.FFileCreationDate = 45000.25;
    v.FFileModifyDate = 45001.5;
    v.FAttribute = 0x20;
    v.FListed = 1;
    v.FDriveNumero = 4;
    v.FFilename = QStringLiteral("/media/disk/Films/2023/a.mp4");
    v.FHasScn = true;
    v.FHasSrt = true;
    v.FWidth = 1920;
    v.FHeight = 1080;
    v.FFps = 29.97;
    v.FDuration = 123456;
    v.FAspectRatioX = 16;
    v.FAspectratioY = 9;
    v.FAudioFrequency = 48000;
    v.FRotation = 180;
    v.FAudioBits = 16;
    v.FAudioCompression = QStringLiteral("mp4a");
    v.FVideoCompression = QStringLiteral("avc1");
    v.FAudioChannels = 2;
    v.FAlbum = QStringLiteral("Year 2023");
    v.FChapitre = QStringLiteral("Mars");
    v.FSequence = QStringLiteral("Lundi 3 Mars 2023");
    v.FExif = {QStringLiteral("Image Width : 1920"), QStringLiteral("Image Height : 1080")};
    v.FCreationDate = 44988.5;
}

QString mountLine(int id, const QString& mountPoint, const QString& source)
{
    return QStringLiteral("%1 1 0:77 / %2 rw - ext4 %3 rw\n").arg(id).arg(mountPoint, source);
}

struct MountTableGuard {
    ~MountTableGuard() { TVolumeService::instance().setMountTable(QString()); }
};

} // namespace

TEST_F(CatalogueTest, InsertThenGetByNumRestoresEveryField)
{
    TVideoFichier v;
    fillEveryField(v);
    ASSERT_TRUE(v.insertnew());
    EXPECT_GT(v.numero, 0);
    EXPECT_EQ(v.Fdatecatalogue, v.Fdatemodify);

    TVideoFichier back;
    back.numero = v.numero;
    ASSERT_TRUE(back.getByNum());
    EXPECT_EQ(back.Fdatecatalogue, v.Fdatecatalogue);
    EXPECT_EQ(back.Fdatemodify, v.Fdatecatalogue);
    EXPECT_EQ(back.Fcommentaire, v.Fcommentaire);
    EXPECT_EQ(back.Fcaption, v.Fcaption);
    EXPECT_EQ(back.FListName, v.FListName);
    EXPECT_EQ(back.FExtension, v.FExtension);
    EXPECT_EQ(back.FFolder, v.FFolder);
    EXPECT_EQ(back.FSize, 3758096384);
    EXPECT_EQ(back.FFileCreationDate, v.FFileCreationDate);
    EXPECT_EQ(back.FFileModifyDate, v.FFileModifyDate);
    EXPECT_EQ(back.FAttribute, v.FAttribute);
    EXPECT_EQ(back.FListed, 1);
    EXPECT_EQ(back.FDriveNumero, 4);
    EXPECT_EQ(back.FFilename, v.FFilename);
    EXPECT_FALSE(back.FHasVideo);
    EXPECT_FALSE(back.FHasAudio);
    EXPECT_TRUE(back.FHasScn);
    EXPECT_TRUE(back.FHasSrt);
    EXPECT_EQ(back.FWidth, 1920);
    EXPECT_EQ(back.FHeight, 1080);
    EXPECT_EQ(back.FFps, 29.97);
    EXPECT_EQ(back.FDuration, 123456);
    EXPECT_EQ(back.FAspectRatioX, 16);
    EXPECT_EQ(back.FAspectratioY, 9);
    EXPECT_EQ(back.FAudioFrequency, 48000);
    EXPECT_EQ(back.FRotation, 180);
    EXPECT_EQ(back.FAudioBits, 16);
    EXPECT_EQ(back.FAudioCompression, v.FAudioCompression);
    EXPECT_EQ(back.FVideoCompression, v.FVideoCompression);
    EXPECT_EQ(back.FAudioChannels, 2);
    EXPECT_EQ(back.FAlbum, v.FAlbum);
    EXPECT_EQ(back.FChapitre, v.FChapitre);
    EXPECT_EQ(back.FSequence, v.FSequence);
    EXPECT_TRUE(back.FDescription.isEmpty());
    EXPECT_EQ(back.FExif, v.FExif);
    EXPECT_EQ(back.FCreationDate, v.FCreationDate);

    TStatement row;
    ASSERT_EQ(row.prepare(db, QStringLiteral("SELECT * FROM VideoFichiers")), SQLITE_OK);
    ASSERT_EQ(row.step(), SQLITE_ROW);
    EXPECT_TRUE(v.sameAs(row.get()));
    v.FRotation = 90;
    EXPECT_FALSE(v.sameAs(row.get()));

    TVideoFichier copy;
    copy.assign(back);
    EXPECT_EQ(copy.numero, back.numero);
    EXPECT_EQ(copy.FExif, back.FExif);
    EXPECT_EQ(copy.FSize, back.FSize);
    copy.clear();
    EXPECT_EQ(copy.numero, 0);
    EXPECT_TRUE(copy.Fcaption.isEmpty());
    EXPECT_TRUE(copy.FExif.isEmpty());
    EXPECT_EQ(copy.FSize, 0);
}

TEST_F(CatalogueTest, PutByNumKeepsTheStoredInsertionDate)
{
    TVideoFichier v;
    v.Fcaption = QStringLiteral("x");
    ASSERT_TRUE(v.insertnew());
    const double inserted = v.Fdatecatalogue;
    v.Fdatecatalogue = 1.0;
    v.FWidth = 640;
    ASSERT_TRUE(v.putByNum());
    EXPECT_EQ(v.Fdatecatalogue, inserted);
    TVideoFichier back;
    back.numero = v.numero;
    ASSERT_TRUE(back.getByNum());
    EXPECT_EQ(back.Fdatecatalogue, inserted);
    EXPECT_GE(back.Fdatemodify, inserted);
    EXPECT_EQ(back.FWidth, 640);

    back.supprimer();
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")), 0);
    EXPECT_EQ(back.FWidth, 640);
    EXPECT_FALSE(back.getByNum());
}

TEST_F(CatalogueTest, NullColumnsReadAsZeroAndEmpty)
{
    ASSERT_EQ(execSql(db, QStringLiteral("INSERT INTO VideoFichiers (Caption) VALUES (NULL)")), SQLITE_DONE);
    TVideoFichier v;
    v.FWidth = 5;
    v.FAlbum = QStringLiteral("old");
    v.numero = static_cast<qint32>(sqlite3_last_insert_rowid(db));
    ASSERT_TRUE(v.getByNum());
    EXPECT_EQ(v.FWidth, 0);
    EXPECT_TRUE(v.FAlbum.isEmpty());
    EXPECT_TRUE(v.FExif.isEmpty());
}

TEST_F(CatalogueTest, RowIdBeyond32BitsIsRefused)
{
    TVideoFichier first;
    ASSERT_TRUE(first.insertnew());
    ASSERT_EQ(execSql(db, QStringLiteral("UPDATE sqlite_sequence SET seq=2147483647 WHERE name='VideoFichiers'")), SQLITE_DONE);
    TVideoFichier big;
    EXPECT_FALSE(big.insertnew());
    EXPECT_EQ(big.numero, 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")), 1);
}

TEST_F(CatalogueTest, NoConnectionAnswersFalse)
{
    catalogueTables().VideoFichiers.setBase(nullptr);
    TVideoFichier v;
    v.Fcaption = QStringLiteral("x");
    EXPECT_FALSE(v.insertnew());
    EXPECT_FALSE(v.putByNum());
    EXPECT_FALSE(v.getByNum());
    EXPECT_FALSE(v.findbyCaption());
    EXPECT_EQ(v.isPresent(), 0);
    v.supprimer();
}

TEST_F(CatalogueTest, ReadOnlyFileIsLeftUnchanged)
{
    TVideoFichier v;
    v.Fcaption = QStringLiteral("stored");
    ASSERT_TRUE(v.insertnew());
    sqlite3* readOnly = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &readOnly, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    catalogueTables().VideoFichiers.setBase(readOnly);
    TVideoFichier other;
    other.Fcaption = QStringLiteral("new");
    EXPECT_FALSE(other.insertnew());
    v.FWidth = 99;
    EXPECT_FALSE(v.putByNum());
    catalogueTables().VideoFichiers.setBase(db);
    sqlite3_close(readOnly);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Width FROM VideoFichiers")), 0);
}

TEST_F(CatalogueTest, SerialAboveTheSignBitIsStoredNegativeAndFoundAgain)
{
    TDrive d;
    d.FSerialNo = static_cast<qint32>(0xC0FFEE01u);
    d.FRootPath = QStringLiteral("/media/disk/");
    ASSERT_TRUE(d.insertnew());
    EXPECT_EQ(scalar(QStringLiteral("SELECT SerialNo FROM Drives")), -1056969215);
    EXPECT_EQ(serialText(0xC0FFEE01u), QStringLiteral("C0FF-EE01"));
    EXPECT_EQ(serialText(0), QStringLiteral("0000-0000"));

    TDrive again;
    again.FSerialNo = -1056969215;
    ASSERT_TRUE(again.findbySerialNo());
    EXPECT_EQ(again.numero, d.numero);
    EXPECT_EQ(again.FRootPath, QStringLiteral("/media/disk/"));
}

TEST_F(CatalogueTest, SameDiskUnderTwoMountPointsGivesOneDriveAndOneCaption)
{
    MountTableGuard guard;
    const QString first = dir.file(QStringLiteral("mnt1"));
    const QString second = dir.file(QStringLiteral("mnt2"));
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/"), QStringLiteral("/dev/root"))
                                             + mountLine(2, first, QStringLiteral("/dev/disk-one"))
                                             + mountLine(3, second, QStringLiteral("/dev/disk-one")));
    const QString a = dir.write(QStringLiteral("mnt1/Films/2023/Clip.MP4"), "x");
    const QString b = dir.write(QStringLiteral("mnt2/Films/2023/Clip.MP4"), "x");

    TVideoFichier v1;
    ASSERT_TRUE(v1.loadFromFilename(a));
    ASSERT_TRUE(v1.insertnew());
    TVideoFichier v2;
    ASSERT_TRUE(v2.loadFromFilename(b));

    EXPECT_EQ(v1.Fcaption, v2.Fcaption);
    EXPECT_TRUE(v1.Fcaption.endsWith(QStringLiteral("|Films/2023/Clip.MP4")));
    EXPECT_EQ(v1.Fcaption, fileCaption(b));
    EXPECT_EQ(v1.FDriveNumero, v2.FDriveNumero);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM Drives")), 1);
    EXPECT_EQ(text(QStringLiteral("SELECT RootPath FROM Drives")), first + QLatin1Char('/'));
    EXPECT_EQ(v2.FFilename, b);
    EXPECT_EQ(v2.FFolder, dir.file(QStringLiteral("mnt2/Films/2023/")));
    EXPECT_EQ(v2.FExtension, QStringLiteral(".MP4"));
    EXPECT_EQ(v2.nameWithoutExtension(), QStringLiteral("Clip"));
    EXPECT_EQ(v2.FListed, 1);
    EXPECT_EQ(v2.FSize, 1);

    TVideoFichier found;
    found.Fcaption = v2.Fcaption.toLower();
    EXPECT_TRUE(found.findbyCaption());
    EXPECT_EQ(found.numero, v1.numero);

    TVideoFichier otherDisk;
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/"), QStringLiteral("/dev/root"))
                                             + mountLine(2, second, QStringLiteral("/dev/disk-two")));
    ASSERT_TRUE(otherDisk.loadFromFilename(b));
    EXPECT_NE(otherDisk.Fcaption, v1.Fcaption);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM Drives")), 2);
}

TEST_F(CatalogueTest, UnreadableVolumeStillGivesARecord)
{
    MountTableGuard guard;
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/nowhere"), QStringLiteral("/dev/x")));
    const QString a = dir.write(QStringLiteral("a.mov"), "x");
    TVideoFichier v;
    ASSERT_TRUE(v.loadFromFilename(a));
    EXPECT_EQ(v.Fcaption, QStringLiteral("0000-0000|") + a);
    TDrive d;
    d.numero = v.FDriveNumero;
    ASSERT_TRUE(d.getByNum());
    EXPECT_EQ(d.FSerialNo, 0);
    EXPECT_TRUE(d.FVolumeName.isEmpty());
    EXPECT_TRUE(d.FFileSystem.isEmpty());
    EXPECT_EQ(d.FTotalSpace, 0);
}

TEST_F(CatalogueTest, IsPresentComparesTheModificationDates)
{
    TVideoFichier v;
    v.Fcaption = QStringLiteral("c");
    EXPECT_EQ(v.isPresent(), 0);
    ASSERT_TRUE(v.insertnew());
    const double stored = v.Fdatemodify;
    const struct {
        double fileDate;
        int answer;
    } cases[] = {{stored + 1, 1}, {stored, 2}, {stored - 1, 3}};
    for (const auto& c : cases) {
        v.FFileModifyDate = c.fileDate;
        EXPECT_EQ(v.isPresent(), c.answer);
    }
}

TEST(Records, NamesAndExtensions)
{
    const struct {
        const char* name;
        const char* extension;
        const char* bare;
    } cases[] = {{"Clip.MP4", ".MP4", "Clip"}, {"README", "", "README"}, {"a.b.mov", ".mov", "a.b"}};
    for (const auto& c : cases) {
        TVideoFichier v;
        TSearchRec sr;
        sr.name = QString::fromLatin1(c.name);
        static_cast<TSR2Fichier&>(v).TSR2Fichier::loadfromSR(QStringLiteral("/f/"), sr);
        EXPECT_EQ(v.FExtension, QString::fromLatin1(c.extension));
        EXPECT_EQ(v.nameWithoutExtension(), QString::fromLatin1(c.bare));
        EXPECT_EQ(v.Fcaption, QStringLiteral("/f/") + sr.name);
    }
}

TEST(Records, AspectRatioAndGcd)
{
    const struct {
        int w, h, x, y;
    } cases[] = {{1920, 1080, 16, 9}, {1280, 640, 2, 1}, {1920, 1920, 1, 1}, {0, 0, 0, 0}, {720, 576, 5, 4}, {7, 3, 7, 3}};
    for (const auto& c : cases) {
        TVideoFichier v;
        v.FWidth = c.w;
        v.FHeight = c.h;
        v.computeAspectRatio();
        EXPECT_EQ(v.FAspectRatioX, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(v.FAspectratioY, c.y) << c.w << "x" << c.h;
    }
    EXPECT_EQ(gcd(12, 0), 1);
    EXPECT_EQ(gcd(12, 18), 6);
}
