// The row source and the record writes against a catalogue of 100,000 listed videos.
#include "uCatalogueTables.h"
#include "uLog.h"
#include "uCollations.h"
#include "uVideoFichiers.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 100000;

QString exifText(int i)
{
    // About 6 KB, as exiftool prints for a camera clip.
    QString text;
    int n = 0;
    while (text.size() < 6000) {
        text += QStringLiteral("Tag Name %1 of clip %2              : value %3 with some words\r\n").arg(n).arg(i).arg(i * 7 + n);
        ++n;
    }
    return text;
}

sqlite3* openCatalogue()
{
    static sqlite3* db = nullptr;
    if (db)
        return db;
    const QString folder = QDir::tempPath() + QStringLiteral("/movarium-bench");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/catalogue-100k.db3");
    const bool fresh = !QFile::exists(path);
    sqlite3_open16(path.utf16(), &db);
    registerNoWideCase(db);
    registerWideUpper(db);
    tuneConnection(db, true);
    TCatalogueTables& tables = catalogueTables();
    tables.Drives.addToBase(db);
    tables.VideoFichiers.addToBase(db);
    if (fresh) {
        execSql(db, QStringLiteral("BEGIN"));
        for (int i = 0; i < kRows; ++i) {
            TVideoFichier v;
            v.FListName = QStringLiteral("Clip %1.mp4").arg((i * 7919) % kRows, 6, 10, QLatin1Char('0'));
            v.FExtension = QStringLiteral(".mp4");
            v.FFolder = QStringLiteral("/media/disk/Films/%1/").arg(2000 + i % 25);
            v.Fcaption = QStringLiteral("1A2B-3C4D|Films/%1/%2").arg(2000 + i % 25).arg(v.FListName);
            v.FFilename = QStringLiteral("/media/disk/") + v.Fcaption.mid(10);
            v.FCreationDate = 40000 + (i * 31) % 9000;
            v.FListed = 1;
            v.FWidth = 1920;
            v.FHeight = 1080;
            v.FExif = splitLines(exifText(i));
            v.insertnew();
        }
        execSql(db, QStringLiteral("COMMIT"));
        execSql(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    return db;
}

void readPage(benchmark::State& state, const QString& sort)
{
    sqlite3* db = openCatalogue();
    TTableSource source;
    source.prepare(db, QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"), sort);
    const int offset = static_cast<int>(state.range(0));
    for (auto _ : state) {
        int rows = 0;
        for (bool ok = source.first(offset, 30); ok; ok = source.next())
            rows += source.getnumero() > 0;
        source.close();
        if (rows != 30)
            state.SkipWithError("short page");
    }
}

void BM_PageByFolderAndDate(benchmark::State& state)
{
    readPage(state, QStringLiteral("Folder,CreationDate ASC"));
}

void BM_PageByName(benchmark::State& state)
{
    readPage(state, QStringLiteral("ListName ASC"));
}

void BM_InsertNew(benchmark::State& state)
{
    openCatalogue();
    const QStringList exif = splitLines(exifText(1));
    for (auto _ : state) {
        TVideoFichier v;
        v.Fcaption = QStringLiteral("bench insert");
        v.FExif = exif;
        if (!v.insertnew())
            state.SkipWithError("insert failed");
    }
    execSql(openCatalogue(), QStringLiteral("DELETE FROM VideoFichiers WHERE Caption='bench insert'"));
}

void BM_PutByNum(benchmark::State& state)
{
    openCatalogue();
    TVideoFichier v;
    v.numero = 500;
    v.getByNum();
    for (auto _ : state) {
        ++v.FRotation;
        if (!v.putByNum())
            state.SkipWithError("update failed");
    }
}

} // namespace

BENCHMARK(BM_PageByFolderAndDate)->Arg(0)->Arg(50000)->Arg(99970)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageByName)->Arg(0)->Arg(50000)->Arg(99970)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertNew)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PutByNum)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
