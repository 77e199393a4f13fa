#include "uVolumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <blkid.h>
#include <sys/statvfs.h>

#include <mutex>

namespace {

QString unescapeMountField(const QString& field)
{
    // mountinfo writes space, tab, newline and backslash as three octal digits.
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == QLatin1Char('\\') && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += field.at(i);
    }
    return out;
}

bool isUnder(const QString& path, const QString& mountPoint)
{
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == mountPoint
        || (path.startsWith(mountPoint) && path.at(mountPoint.size()) == QLatin1Char('/'));
}

QString readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

struct Probe {
    QString uuid;
    QString label;
};

Probe probeDevice(const QString& device)
{
    Probe result;
    if (device.isEmpty() || !device.startsWith(QLatin1Char('/')))
        return result;
    blkid_probe probe = blkid_new_probe_from_filename(QFile::encodeName(device).constData());
    if (!probe)
        return result;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* data = nullptr;
        if (blkid_probe_lookup_value(probe, "UUID", &data, nullptr) == 0 && data)
            result.uuid = QString::fromUtf8(data);
        if (blkid_probe_lookup_value(probe, "LABEL", &data, nullptr) == 0 && data)
            result.label = QString::fromUtf8(data);
    }
    blkid_free_probe(probe);
    return result;
}

QString decodeUdevName(QString name)
{
    // udev writes unsafe characters as \xHH.
    static const QRegularExpression hex(QStringLiteral("\\\\x([0-9a-fA-F]{2})"));
    QRegularExpressionMatch m;
    while ((m = hex.match(name)).hasMatch())
        name.replace(m.capturedStart(), m.capturedLength(), QChar(m.captured(1).toInt(nullptr, 16)));
    return name;
}

// The link in a /dev/disk/by-* folder that points at the device, decoded.
QString linkNameFor(const QString& folder, const QString& device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QDir dir(folder);
    for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == target)
            return decodeUdevName(link.fileName());
    }
    return {};
}

QString sysBlockPath(const QString& majorMinor)
{
    return QStringLiteral("/sys/dev/block/") + majorMinor;
}

int driveTypeOf(const TMountEntry& mount)
{
    static const QStringList remote = {
        QStringLiteral("nfs"), QStringLiteral("nfs4"), QStringLiteral("cifs"), QStringLiteral("smb3"),
        QStringLiteral("smbfs"), QStringLiteral("sshfs"), QStringLiteral("fuse.sshfs"),
        QStringLiteral("fuse.rclone"), QStringLiteral("fuse.s3fs"), QStringLiteral("davfs"),
        QStringLiteral("fuse.davfs"), QStringLiteral("9p"), QStringLiteral("afs"), QStringLiteral("ceph"),
        QStringLiteral("glusterfs"), QStringLiteral("fuse.glusterfs"), QStringLiteral("fuse.gvfsd-fuse")};
    const QString& fs = mount.fsType;
    if (remote.contains(fs))
        return dtRemote;
    if (fs == QLatin1String("tmpfs") || fs == QLatin1String("ramfs"))
        return dtRamDisk;
    const QString sys = sysBlockPath(mount.majorMinor);
    const QString device = QFileInfo(sys).canonicalFilePath();
    if (device.isEmpty() || mount.majorMinor.startsWith(QLatin1String("0:")))
        return dtUnknown;
    const QString deviceName = QFileInfo(device).fileName();
    if (fs == QLatin1String("iso9660") || fs == QLatin1String("udf") || deviceName.startsWith(QLatin1String("sr")))
        return dtCdRom;
    // A partition keeps the removable flag on its parent disk.
    QString removable = readSmallFile(device + QStringLiteral("/removable"));
    if (removable.isEmpty())
        removable = readSmallFile(device + QStringLiteral("/../removable"));
    if (removable == QLatin1String("1") || device.contains(QLatin1String("/usb")))
        return dtRemovable;
    return dtFixed;
}

QString deviceOf(const TMountEntry& mount)
{
    if (mount.source.startsWith(QLatin1Char('/')) && QFileInfo::exists(mount.source))
        return mount.source;
    const QString devName = readSmallFile(sysBlockPath(mount.majorMinor) + QStringLiteral("/uevent"))
                                .section(QStringLiteral("DEVNAME="), 1)
                                .section(QLatin1Char('\n'), 0, 0);
    if (!devName.isEmpty() && QFileInfo::exists(QStringLiteral("/dev/") + devName))
        return QStringLiteral("/dev/") + devName;
    return {};
}

} // namespace

struct TVolumeService::Impl {
    std::mutex lock;
    QString customTable;
    bool custom = false;
    // Keyed by mount point, source and device number, so that another disk
    // mounted at the same place is probed afresh.
    QHash<QString, TVolumeInfo> cache;

    QList<TMountEntry> mounts()
    {
        if (custom)
            return parseMountInfo(customTable);
        QFile file(QStringLiteral("/proc/self/mountinfo"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return parseMountInfo(QString::fromUtf8(file.readAll()));
    }

    bool mountOf(const QString& path, TMountEntry& found)
    {
        const QString clean = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
        qsizetype best = -1;
        for (const TMountEntry& m : mounts()) {
            if (isUnder(clean, m.mountPoint) && m.mountPoint.size() >= best) {
                best = m.mountPoint.size();
                found = m;
            }
        }
        return best >= 0;
    }
};

TVolumeService::Impl& TVolumeService::impl()
{
    static Impl instance;
    return instance;
}

TVolumeService& TVolumeService::instance()
{
    static TVolumeService service;
    return service;
}

void TVolumeService::setMountTable(const QString& mountinfoText)
{
    Impl& d = impl();
    std::lock_guard guard(d.lock);
    d.customTable = mountinfoText;
    d.custom = !mountinfoText.isEmpty();
    d.cache.clear();
}

QList<TMountEntry> TVolumeService::parseMountInfo(const QString& text)
{
    QList<TMountEntry> result;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // id parent major:minor root mount-point options [optional...] - fstype source super-options
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const qsizetype dash = fields.indexOf(QStringLiteral("-"));
        if (dash < 6 || dash + 1 >= fields.size())
            continue;
        TMountEntry entry;
        entry.majorMinor = fields.at(2);
        entry.mountPoint = unescapeMountField(fields.at(4));
        entry.fsType = unescapeMountField(fields.at(dash + 1));
        entry.source = dash + 2 < fields.size() ? unescapeMountField(fields.at(dash + 2)) : QString();
        result.append(entry);
    }
    return result;
}

bool TVolumeService::serialFromUuid(const QString& uuid, quint32& serial)
{
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]+$"));
    QString hex = uuid;
    hex.remove(QLatin1Char('-'));
    if (hex.size() < 8 || !hexDigits.match(hex).hasMatch())
        return false;
    bool ok = false;
    // NTFS gives 16 digits and Windows reports their low half; FAT and exFAT
    // give "XXXX-XXXX", the serial itself; any other UUID gives its first 8 digits.
    if (hex.size() == 16 && !uuid.contains(QLatin1Char('-')))
        serial = hex.right(8).toUInt(&ok, 16);
    else
        serial = hex.left(8).toUInt(&ok, 16);
    return ok;
}

quint32 TVolumeService::hashSource(const QString& source)
{
    // FNV-1a: the same text gives the same number in every run and on every machine.
    quint32 hash = 2166136261u;
    for (const char byte : source.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return hash;
}

QString TVolumeService::rootOf(const QString& path)
{
    Impl& d = impl();
    std::lock_guard guard(d.lock);
    TMountEntry mount;
    if (!d.mountOf(path, mount))
        return {};
    return mount.mountPoint == QLatin1String("/") ? mount.mountPoint : mount.mountPoint + QLatin1Char('/');
}

QList<TMountEntry> TVolumeService::mountTable()
{
    Impl& d = impl();
    std::lock_guard guard(d.lock);
    return d.mounts();
}

TVolumeInfo TVolumeService::volumeOf(const QString& path)
{
    Impl& d = impl();
    std::lock_guard guard(d.lock);
    TVolumeInfo info;
    TMountEntry mount;
    if (!d.mountOf(path, mount))
        return info;
    info.root = mount.mountPoint == QLatin1String("/") ? mount.mountPoint : mount.mountPoint + QLatin1Char('/');
    const QString key = mount.mountPoint + QLatin1Char('\n') + mount.source + QLatin1Char('\n') + mount.majorMinor;
    if (const auto it = d.cache.constFind(key); it != d.cache.constEnd())
        return it.value();

    info.readable = true;
    info.fileSystem = mount.fsType;
    info.driveType = driveTypeOf(mount);
    struct statvfs vfs {};
    if (statvfs(QFile::encodeName(mount.mountPoint).constData(), &vfs) == 0)
        info.totalMiB = static_cast<qint64>(static_cast<unsigned long long>(vfs.f_blocks) * vfs.f_frsize / 1048576ULL);

    const QString device = deviceOf(mount);
    Probe probe = probeDevice(device);
    if (probe.uuid.isEmpty() && !device.isEmpty())
        probe.uuid = linkNameFor(QStringLiteral("/dev/disk/by-uuid"), device);
    if (probe.label.isEmpty() && !device.isEmpty())
        probe.label = linkNameFor(QStringLiteral("/dev/disk/by-label"), device);
    info.label = probe.label;
    if (!serialFromUuid(probe.uuid, info.serial))
        info.serial = hashSource(mount.source);
    d.cache.insert(key, info);
    return info;
}
