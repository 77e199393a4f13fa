// The tile grid's page fill at the end of a catalogue of 100,000 listed videos.
#include "BenchCatalogue.h"
#include "uBlocsFrame.h"
#include "uLog.h"
#include "uSR2FichierBloc.h"
#include "uVideoFichiers.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

sqlite3* openCatalogue()
{
    static sqlite3* db = open100kCatalogue(QStringLiteral("grid-100k.db3"));
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
