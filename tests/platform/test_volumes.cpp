#include "TestSupport.h"
#include "uVolumes.h"

#include <QFile>

namespace {

// A mount table in the kernel's format, one volume per line.
QString mountLine(int id, const QString& mountPoint, const QString& fsType, const QString& source,
                  const QString& majorMinor = QStringLiteral("0:99"))
{
    QString escaped = mountPoint;
    escaped.replace(QLatin1Char(' '), QStringLiteral("\\040"));
    return QStringLiteral("%1 1 %2 / %3 rw,relatime shared:1 - %4 %5 rw\n")
        .arg(id)
        .arg(majorMinor, escaped, fsType, source);
}

QString findTool(const QString& name)
{
    for (const QString& folder : {QStringLiteral("/usr/sbin/"), QStringLiteral("/sbin/"), QStringLiteral("/usr/bin/")}) {
        if (QFile::exists(folder + name))
            return folder + name;
    }
    return {};
}

// A disk image of 4 MiB made by the file system's own mkfs tool.
QString makeImage(const TempFolder& dir, const QString& name, const QString& tool, QStringList arguments)
{
    const QString image = dir.file(name);
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(4 * 1024 * 1024))
        return {};
    file.close();
    arguments.append(image);
    const QString program = findTool(tool);
    if (program.isEmpty() || runProgram(program, arguments) != 0)
        return {};
    return image;
}

struct MountTableGuard {
    ~MountTableGuard() { TVolumeService::instance().setMountTable(QString()); }
};

} // namespace

TEST(Volumes, ParsesTheKernelMountTable)
{
    const QList<TMountEntry> entries = TVolumeService::parseMountInfo(
        mountLine(1, QStringLiteral("/"), QStringLiteral("ext4"), QStringLiteral("/dev/vda"), QStringLiteral("254:0"))
        + mountLine(2, QStringLiteral("/media/My Disk"), QStringLiteral("exfat"), QStringLiteral("/dev/sdb1")));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].mountPoint, QStringLiteral("/media/My Disk"));
    EXPECT_EQ(entries[1].fsType, QStringLiteral("exfat"));
    EXPECT_EQ(entries[1].source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(entries[0].majorMinor, QStringLiteral("254:0"));
}

TEST(Volumes, SerialFromEachKindOfUuid)
{
    const struct {
        const char* uuid;
        bool ok;
        quint32 serial;
    } cases[] = {
        {"C0FF-EE01", true, 0xC0FFEE01u},                            // FAT, exFAT
        {"1234567890ABCDEF", true, 0x90ABCDEFu},                     // NTFS: the low half
        {"0f3c1d2e-aaaa-bbbb-cccc-000011112222", true, 0x0f3c1d2eu}, // ext4 and others
        {"", false, 0},
        {"not-a-uuid", false, 0},
    };
    for (const auto& c : cases) {
        quint32 serial = 0;
        EXPECT_EQ(TVolumeService::serialFromUuid(QString::fromLatin1(c.uuid), serial), c.ok) << c.uuid;
        if (c.ok) {
            EXPECT_EQ(serial, c.serial) << c.uuid;
        }
    }
    EXPECT_EQ(TVolumeService::hashSource(QStringLiteral("server:/export")),
              TVolumeService::hashSource(QStringLiteral("server:/export")));
    EXPECT_NE(TVolumeService::hashSource(QStringLiteral("server:/a")), TVolumeService::hashSource(QStringLiteral("server:/b")));
}

TEST(Volumes, RootIsTheLongestMountPointPrefix)
{
    MountTableGuard guard;
    TVolumeService& volumes = TVolumeService::instance();
    volumes.setMountTable(mountLine(1, QStringLiteral("/"), QStringLiteral("ext4"), QStringLiteral("/dev/vda"))
                          + mountLine(2, QStringLiteral("/media/disk"), QStringLiteral("vfat"), QStringLiteral("/dev/sdb1"))
                          + mountLine(3, QStringLiteral("/media/disk2"), QStringLiteral("nfs"), QStringLiteral("server:/v")));
    EXPECT_EQ(volumes.rootOf(QStringLiteral("/media/disk/Films/a.mp4")), QStringLiteral("/media/disk/"));
    EXPECT_EQ(volumes.rootOf(QStringLiteral("/media/disk2/a.mp4")), QStringLiteral("/media/disk2/"));
    EXPECT_EQ(volumes.rootOf(QStringLiteral("/media/diskette/a.mp4")), QStringLiteral("/"));
    EXPECT_EQ(volumes.volumeOf(QStringLiteral("/media/disk2/a.mp4")).driveType, int(dtRemote));
    EXPECT_EQ(volumes.volumeOf(QStringLiteral("/media/disk2/a.mp4")).serial, TVolumeService::hashSource(QStringLiteral("server:/v")));

    volumes.setMountTable(mountLine(1, QStringLiteral("/media/disk"), QStringLiteral("vfat"), QStringLiteral("/dev/sdb1")));
    const TVolumeInfo none = volumes.volumeOf(QStringLiteral("/home/user/a.mp4"));
    EXPECT_FALSE(none.readable);
    EXPECT_EQ(none.serial, 0u);
    EXPECT_TRUE(none.root.isEmpty());
}

TEST(Volumes, ReadsSerialAndLabelFromRealFileSystems)
{
    TempFolder dir;
    const QString fat = makeImage(dir, QStringLiteral("fat.img"), QStringLiteral("mkfs.vfat"),
                                  {QStringLiteral("-i"), QStringLiteral("C0FFEE01"), QStringLiteral("-n"), QStringLiteral("MOVIES")});
    const QString exfat = makeImage(dir, QStringLiteral("exfat.img"), QStringLiteral("mkfs.exfat"),
                                    {QStringLiteral("-L"), QStringLiteral("Clips")});
    const QString ntfs = makeImage(dir, QStringLiteral("ntfs.img"), QStringLiteral("mkntfs"),
                                   {QStringLiteral("-F"), QStringLiteral("-f"), QStringLiteral("-q"), QStringLiteral("-L"), QStringLiteral("Archive")});
    ASSERT_FALSE(fat.isEmpty());
    ASSERT_FALSE(exfat.isEmpty());
    ASSERT_FALSE(ntfs.isEmpty());

    MountTableGuard guard;
    TVolumeService& volumes = TVolumeService::instance();
    volumes.setMountTable(mountLine(1, dir.file(QStringLiteral("fat")), QStringLiteral("vfat"), fat)
                          + mountLine(2, dir.file(QStringLiteral("exfat")), QStringLiteral("exfat"), exfat)
                          + mountLine(3, dir.file(QStringLiteral("ntfs")), QStringLiteral("ntfs"), ntfs));

    const TVolumeInfo f = volumes.volumeOf(dir.file(QStringLiteral("fat/a.mp4")));
    EXPECT_TRUE(f.readable);
    EXPECT_EQ(f.serial, 0xC0FFEE01u);
    EXPECT_EQ(f.label, QStringLiteral("MOVIES"));
    EXPECT_EQ(f.fileSystem, QStringLiteral("vfat"));
    EXPECT_EQ(f.root, dir.file(QStringLiteral("fat/")));

    const TVolumeInfo e = volumes.volumeOf(dir.file(QStringLiteral("exfat/a.mp4")));
    EXPECT_EQ(e.label, QStringLiteral("Clips"));
    EXPECT_NE(e.serial, TVolumeService::hashSource(exfat));

    const TVolumeInfo n = volumes.volumeOf(dir.file(QStringLiteral("ntfs/a.mp4")));
    EXPECT_EQ(n.label, QStringLiteral("Archive"));
    EXPECT_NE(n.serial, TVolumeService::hashSource(ntfs));
}

TEST(Volumes, TheSystemRootIsReadable)
{
    const TVolumeInfo root = TVolumeService::instance().volumeOf(QStringLiteral("/"));
    EXPECT_TRUE(root.readable);
    EXPECT_EQ(root.root, QStringLiteral("/"));
    EXPECT_GT(root.totalMiB, 0);
    EXPECT_FALSE(root.fileSystem.isEmpty());
}
