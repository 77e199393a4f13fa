// The row source and the record writes against a catalogue of 100,000 listed videos.
#include "BenchCatalogue.h"
#include "uLog.h"
#include "uVideoFichiers.h"


#include <benchmark/benchmark.h>

namespace {

sqlite3* openCatalogue()
{
    static sqlite3* db = open100kCatalogue(QStringLiteral("catalogue-100k.db3"));
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
    const QStringList exif = splitLines(benchExifText(1));
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
