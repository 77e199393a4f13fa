#pragma once

// The catalogues the benchmarks share: made once in $TMPDIR/movarium-bench and
// opened the way the program opens its own.
#include "uCatalogueTables.h"
#include "uCollations.h"
#include "uLog.h"
#include "uVideoFichiers.h"

#include <QDir>
#include <QFile>

constexpr int kBenchRows = 100000;

inline QString benchFolder()
{
    const QString folder = QDir::tempPath() + QStringLiteral("/movarium-bench");
    QDir().mkpath(folder);
    return folder;
}

// About 6 KB, as exiftool prints for a camera clip.
inline QString benchExifText(int i)
{
    QString text;
    for (int n = 0; text.size() < 6000; ++n)
        text += QStringLiteral("Tag Name %1 of clip %2              : value %3 with some words\r\n")
                    .arg(n)
                    .arg(i)
                    .arg(i * 7 + n);
    return text;
}

inline sqlite3* openBenchCatalogue(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open16(path.utf16(), &db);
    registerNoWideCase(db);
    registerWideUpper(db);
    tuneConnection(db, true);
    catalogueTables().Drives.addToBase(db);
    catalogueTables().VideoFichiers.addToBase(db);
    return db;
}

// 100,000 listed videos in 25 folders, each with its metadata text; made on first use.
inline sqlite3* open100kCatalogue(const QString& fileName)
{
    const QString path = benchFolder() + QLatin1Char('/') + fileName;
    const bool fresh = !QFile::exists(path);
    sqlite3* db = openBenchCatalogue(path);
    if (!fresh)
        return db;
    execSql(db, QStringLiteral("BEGIN"));
    for (int i = 0; i < kBenchRows; ++i) {
        TVideoFichier v;
        v.FListName = QStringLiteral("Clip %1.mp4").arg((i * 7919) % kBenchRows, 6, 10, QLatin1Char('0'));
        v.FExtension = QStringLiteral(".mp4");
        v.FFolder = QStringLiteral("/media/disk/Films/%1/").arg(2000 + i % 25);
        v.Fcaption = QStringLiteral("1A2B-3C4D|Films/%1/%2").arg(2000 + i % 25).arg(v.FListName);
        v.FFilename = QStringLiteral("/media/disk/") + v.Fcaption.mid(10);
        v.FCreationDate = 40000 + (i * 31) % 9000;
        v.FListed = 1;
        v.FWidth = 1920;
        v.FHeight = 1080;
        v.FExif = splitLines(benchExifText(i));
        v.insertnew();
    }
    execSql(db, QStringLiteral("COMMIT"));
    execSql(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return db;
}
