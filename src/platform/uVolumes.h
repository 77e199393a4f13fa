#pragma once

#include <QList>
#include <QString>

// Drive types, numbered as the catalogue stores them.
enum TDriveType : int {
    dtUnknown = 0,
    dtNoRoot = 1,
    dtRemovable = 2,
    dtFixed = 3,
    dtRemote = 4,
    dtCdRom = 5,
    dtRamDisk = 6,
};

struct TMountEntry {
    QString mountPoint; // without trailing "/" except for the root itself
    QString source;
    QString fsType;
    QString majorMinor; // "8:1"
};

struct TVolumeInfo {
    QString root; // the mount point with a trailing "/"
    bool readable = false;
    quint32 serial = 0;
    QString label;
    QString fileSystem;
    qint64 totalMiB = 0;
    int driveType = dtUnknown;
};

// Identity and data of the volume that holds a path. A disk keeps its serial
// under any mount point, which is what lets the catalogue recognise it again.
// Thread-safe: the listing thread and the user interface both ask.
class TVolumeService {
public:
    static TVolumeService& instance();

    // Replaces the system's mount table by one in /proc/self/mountinfo format;
    // an empty text goes back to the system's.
    void setMountTable(const QString& mountinfoText);

    // The mount point holding the path (longest prefix), with a trailing "/"; empty when none.
    QString rootOf(const QString& path);
    TVolumeInfo volumeOf(const QString& path);
    // Every mount in the table in use, in the table's order.
    QList<TMountEntry> mountTable();

    static QList<TMountEntry> parseMountInfo(const QString& text);
    // The volume serial a UUID stands for, or false when the text is no UUID.
    static bool serialFromUuid(const QString& uuid, quint32& serial);
    static quint32 hashSource(const QString& source);

private:
    TVolumeService() = default;
    struct Impl;
    Impl& impl();
};
