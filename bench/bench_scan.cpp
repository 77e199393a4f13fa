// Scanning a tree of real video files into the catalogue, and storing one new
// file into a catalogue that already holds 100,000 videos.
#include "BenchCatalogue.h"
#include "uExif.h"
#include "uLog.h"
#include "uQXFileBox.h"
#include "uScanFrame.h"
#include "uVideoFichiers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

constexpr int kTreeFiles = 2000;
constexpr int kNewFiles = 5000;

QString makeClip()
{
    const QString clip = benchFolder() + QStringLiteral("/clip.mp4");
    if (QFile::exists(clip))
        return clip;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=size=320x180:rate=25"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("sine=frequency=440:sample_rate=48000"), QStringLiteral("-t"), QStringLiteral("1"),
                  QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                  clip});
    ffmpeg.waitForFinished(60000);
    return clip;
}

// One clip under many names: hard links cost no room and each is a real file.
bool linkClips(const QString& folder, const QStringList& names)
{
    const QByteArray clip = QFile::encodeName(makeClip());
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
        if (!QFile::exists(path) && link(clip.constData(), QFile::encodeName(path).constData()) != 0)
            return false;
    }
    return true;
}

// 2,000 files in 20 folders of 10 sub-folders each, made once.
QString scanTree()
{
    const QString tree = benchFolder() + QStringLiteral("/scan-tree");
    if (QFile::exists(tree + QStringLiteral("/complete")))
        return tree;
    QStringList names;
    for (int i = 0; i < kTreeFiles; ++i)
        names << QStringLiteral("Year %1/Event %2/clip%3.mp4").arg(2000 + i / 100).arg(i / 10 % 10).arg(i, 4, 10,
                                                                                                       QLatin1Char('0'));
    if (!linkClips(tree, names))
        return {};
    QFile(tree + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    return tree;
}

void closeCatalogue(sqlite3* db)
{
    catalogueTables().Drives.setBase(nullptr);
    catalogueTables().VideoFichiers.setBase(nullptr);
    sqlite3_close(db);
}

// Runs one walk of the folder to its end, the box's events crossing to this thread.
void scan(TQXFileBox& box, const QString& folder)
{
    static const TScanExtensions videos;
    box.OnOpenTestExtension = [](const QString& ext) { return videos.accepts(ext); };
    box.openFolder(folder);
    // Waits for events as the program's event loop does; the end of a command posts none.
    QTimer wake;
    wake.start(5);
    while (box.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QString scanCatalogue()
{
    return benchFolder() + QStringLiteral("/scan-catalogue.db3");
}

void BM_ScanNewFiles(benchmark::State& state)
{
    const QString tree = scanTree();
    if (tree.isEmpty() || exifToolPath().isEmpty()) {
        state.SkipWithError("no tree or no exiftool");
        return;
    }
    installExifReader();
    for (auto _ : state) {
        state.PauseTiming();
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(scanCatalogue() + suffix);
        sqlite3* db = openBenchCatalogue(scanCatalogue());
        TQXFileBox box;
        box.setTableName(QStringLiteral("VideoFichiers"));
        box.setBase(db);
        state.ResumeTiming();
        scan(box, tree);
        state.PauseTiming();
        if (box.Count() != kTreeFiles)
            state.SkipWithError("not every file was stored");
        closeCatalogue(db);
        state.ResumeTiming();
    }
    TVideoFichier::setMetadataReader(nullptr);
    state.counters["files/s"] = benchmark::Counter(kTreeFiles, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RescanKnownFiles(benchmark::State& state)
{
    const QString tree = scanTree();
    sqlite3* db = openBenchCatalogue(scanCatalogue());
    TQXFileBox box;
    box.setTableName(QStringLiteral("VideoFichiers"));
    box.setBase(db);
    // Known files are not read again: the tool is only needed to make the catalogue.
    bool complete = false;
    {
        TStatement rows;
        complete = rows.prepare(db, QStringLiteral("SELECT count(*) FROM VideoFichiers")) == SQLITE_OK
                && rows.step() == SQLITE_ROW && sqlite3_column_int(rows.get(), 0) == kTreeFiles;
    }
    if (!complete) {
        execSql(db, QStringLiteral("DELETE FROM VideoFichiers"));
        scan(box, tree);
    }
    for (auto _ : state) {
        state.PauseTiming();
        box.vider();
        state.ResumeTiming();
        scan(box, tree);
    }
    if (box.Count() != kTreeFiles)
        state.SkipWithError("the rescan lost files");
    state.counters["files/s"] = benchmark::Counter(kTreeFiles, benchmark::Counter::kIsIterationInvariantRate);
    closeCatalogue(db);
}

// The catalogue of bench_row_source.
sqlite3* open100k()
{
    return open100kCatalogue(QStringLiteral("catalogue-100k.db3"));
}

void BM_StoreOneNewFileInto100k(benchmark::State& state)
{
    const QString folder = benchFolder() + QStringLiteral("/new-files");
    QStringList names;
    for (int i = 0; i < kNewFiles; ++i)
        names << QStringLiteral("n%1.mp4").arg(i, 5, 10, QLatin1Char('0'));
    if (!linkClips(folder, names)) {
        state.SkipWithError("could not make the files");
        return;
    }
    sqlite3* db = open100k();
    TVideoFichier::setMetadataReader(nullptr);
    TQXFileBox box;
    box.setTableName(QStringLiteral("VideoFichiers"));
    box.setBase(db);
    int i = 0;
    for (auto _ : state) {
        if (i == kNewFiles) {
            state.SkipWithError("more iterations than files");
            break;
        }
        std::unique_ptr<TDriveFichier> record = box.Catch(folder + QLatin1Char('/') + names.at(i++));
        box.lister(*record);
    }
    execSql(db, QStringLiteral("DELETE FROM VideoFichiers WHERE Folder='") + folder + QStringLiteral("/'"));
    closeCatalogue(db);
}

// The caption look-up alone, in its two forms, against the same 100,000 rows,
// for a caption that is not there: what every new file costs. ?2 is the key
// the records write.
void lookUp(benchmark::State& state, const QString& where)
{
    sqlite3* db = open100k();
    const QString caption = QStringLiteral("1a2b-3c4d|films/2000/NEW CLIP.MP4");
    for (auto _ : state) {
        TStatement s;
        s.prepare(db, QStringLiteral("SELECT numero FROM VideoFichiers WHERE ") + where);
        bindText(s.get(), 1, caption);
        if (sqlite3_bind_parameter_count(s.get()) > 1)
            bindText(s.get(), 2, captionKeyOf(caption));
        if (s.step() != SQLITE_DONE)
            state.SkipWithError("found");
    }
    closeCatalogue(db);
}

void BM_LookUpByCaptionScan(benchmark::State& state)
{
    lookUp(state, QStringLiteral("trim(Caption)= ?1 COLLATE NOWIDECASE"));
}

void BM_LookUpByCaptionKey(benchmark::State& state)
{
    lookUp(state, QStringLiteral("(CaptionKey = ?2 OR CaptionKey IS NULL) AND trim(Caption)= ?1 COLLATE NOWIDECASE"));
}

} // namespace

BENCHMARK(BM_ScanNewFiles)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_RescanKnownFiles)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreOneNewFileInto100k)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookUpByCaptionScan)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookUpByCaptionKey)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The file box is a component of the user interface; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
