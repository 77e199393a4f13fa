// The first scan of a tree of new video files with their metadata: one exiftool
// kept running for the whole scan, one exiftool per file, and the bare kept-open
// tool over the same files with nothing else around it.
#include "BenchCatalogue.h"
#include "uExif.h"
#include "uQXFileBox.h"
#include "uScanFrame.h"
#include "uVideoFichiers.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

constexpr int kTreeFiles = 2000;

QString makeClip()
{
    const QString clip = benchFolder() + QStringLiteral("/exif-clip.mp4");
    if (QFile::exists(clip))
        return clip;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringLiteral("-v error -y -f lavfi -i testsrc=size=320x180:rate=25 -f lavfi "
                                "-i sine=frequency=440:sample_rate=48000 -t 1 -c:v mpeg4 -c:a aac")
                         .split(QLatin1Char(' '))
                     + QStringList{clip});
    ffmpeg.waitForFinished(60000);
    return clip;
}

// 2,000 hard links to one small clip in 20 folders of 10 sub-folders each, made once.
QString exifTree()
{
    const QString tree = benchFolder() + QStringLiteral("/exif-tree");
    if (QFile::exists(tree + QStringLiteral("/complete")))
        return tree;
    const QByteArray clip = QFile::encodeName(makeClip());
    for (int i = 0; i < kTreeFiles; ++i) {
        const QString path = tree
                           + QStringLiteral("/Year %1/Event %2/clip%3.mp4")
                                 .arg(2000 + i / 100)
                                 .arg(i / 10 % 10)
                                 .arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
        if (!QFile::exists(path) && link(clip.constData(), QFile::encodeName(path).constData()) != 0)
            return {};
    }
    QFile(tree + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    return tree;
}

QStringList treeFiles(const QString& tree)
{
    QStringList files;
    QDirIterator it(tree, {QStringLiteral("*.mp4")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QString scanCatalogue()
{
    return benchFolder() + QStringLiteral("/exif-catalogue.db3");
}

void closeCatalogue(sqlite3* db)
{
    catalogueTables().Drives.setBase(nullptr);
    catalogueTables().VideoFichiers.setBase(nullptr);
    sqlite3_close(db);
}

// One walk of the folder to its end, the box's events crossing to this thread.
void scan(TQXFileBox& box, const QString& folder)
{
    static const TScanExtensions videos;
    box.OnOpenTestExtension = [](const QString& ext) { return videos.accepts(ext); };
    box.openFolder(folder);
    QTimer wake; // the end of a command posts nothing
    wake.start(5);
    while (box.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Arg 1: one tool kept open for the scan; arg 0: one tool per file.
void BM_FirstScan(benchmark::State& state)
{
    const QString tree = exifTree();
    if (tree.isEmpty() || exifToolPath().isEmpty()) {
        state.SkipWithError("no tree or no exiftool");
        return;
    }
    installExifReader();
    setExifKeptOpen(state.range(0) != 0);
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
        if (box.Count() != kTreeFiles || box.getCountWhere(QStringLiteral("Width=320")) != kTreeFiles)
            state.SkipWithError("not every file was stored with its metadata");
        closeCatalogue(db);
        state.ResumeTiming();
    }
    setExifKeptOpen(true);
    TVideoFichier::setMetadataReader(nullptr);
    state.counters["files/s"] = benchmark::Counter(kTreeFiles, benchmark::Counter::kIsIterationInvariantRate);
}

// The tool alone: one kept-open process, one command per file, each answer
// waited for before the next file is sent, as a scan does.
void BM_BareKeptOpenTool(benchmark::State& state)
{
    const QString tree = exifTree();
    const QStringList files = treeFiles(tree);
    if (files.size() != kTreeFiles || exifToolPath().isEmpty()) {
        state.SkipWithError("no tree or no exiftool");
        return;
    }
    for (auto _ : state) {
        QProcess tool;
        tool.start(exifToolPath(), QStringLiteral("-stay_open True -@ - -common_args -charset filename=UTF8 -fast")
                                       .split(QLatin1Char(' ')));
        tool.waitForStarted();
        int n = 0;
        for (const QString& file : files) {
            const QByteArray id = QByteArray::number(++n);
            tool.write(QFile::encodeName(file) + "\n-execute" + id + "\n");
            const QByteArray marker = "{ready" + id + "}\n";
            QByteArray out;
            while (!out.contains(marker) && tool.waitForReadyRead(5000))
                out += tool.readAllStandardOutput();
            if (!out.contains(marker)) {
                state.SkipWithError("the tool did not answer");
                break;
            }
        }
        tool.write("-stay_open\nFalse\n");
        tool.waitForFinished(5000);
    }
    state.counters["files/s"] = benchmark::Counter(kTreeFiles, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(BM_BareKeptOpenTool)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FirstScan)->ArgName("kept_open")->Arg(1)->Arg(0)->Iterations(1)->UseRealTime()->Unit(
    benchmark::kSecond);

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
