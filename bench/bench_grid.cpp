// The tile grid's page fill at the end of a catalogue of 100,000 listed videos.
#include "uBlocsFrame.h"
#include "uCatalogueTables.h"
#include "uCollations.h"
#include "uLog.h"
#include "uSR2FichierBloc.h"
#include "uVideoFichiers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 100000;

QString exifText(int i)
{
    // About 6 KB, as exiftool prints for a camera clip.
    QString text;
    int n = 0;
    while (text.size() < 6000) {
        text += QStringLiteral("Tag Name %1 of clip %2              : value %3 with some words\r\n")
                    .arg(n)
                    .arg(i)
                    .arg(i * 7 + n);
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
    const QString path = folder + QStringLiteral("/grid-100k.db3");
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
            v.FExif = splitLines(exifText(i));
            v.insertnew();
        }
        execSql(db, QStringLiteral("COMMIT"));
        execSql(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    return db;
}

// A grid of range(0) columns of 50 strips, in the main window's order; each
// iteration fills every tile from the last page of the list.
void BM_FillLastPage(benchmark::State& state)
{
    TTableSource source;
    source.prepare(openCatalogue(), QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"),
                   QStringLiteral("Folder,CreationDate ASC"));
    TBlocsFrame grid;
    const QSize tile = TSR2FichierBloc::blocSize(grid.dpi());
    const int columns = static_cast<int>(state.range(0));
    grid.resize(columns * tile.width() + grid.scrollBar()->width(), 50 * tile.height());
    grid.setBlocClass(&makeBloc<TSR2FichierBloc>, tile.width(), tile.height());
    grid.setBlocsSource(&source);
    const int prem = grid.nbItems() - grid.nbBlocs();
    for (auto _ : state) {
        grid.afficher(prem);
        if (grid.nbActualBlocs() != grid.nbBlocs())
            state.SkipWithError("short page");
    }
    state.counters["tiles"] = grid.nbBlocs();
}

// The same pages read through the row source alone, to tell the query from the tiles.
void BM_ReadLastPage(benchmark::State& state)
{
    TTableSource source;
    source.prepare(openCatalogue(), QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"),
                   QStringLiteral("Folder,CreationDate ASC"));
    const int rows = static_cast<int>(state.range(0)) * 50;
    const int prem = source.count() - rows;
    for (auto _ : state) {
        int read = 0;
        for (bool row = source.first(prem, rows); row; row = source.next())
            read += source.getnumero() > 0;
        source.close();
        if (read != rows)
            state.SkipWithError("short page");
    }
}

} // namespace

BENCHMARK(BM_FillLastPage)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLastPage)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
