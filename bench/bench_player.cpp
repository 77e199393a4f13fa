// The player as a user meets it, each figure beside a baseline of the same run:
//  - selection to first frame painted (build on the build thread, preroll, the
//    first picture on the host) for 1080p and 4K H.264, against the bare
//    GStreamer preroll of the same file (playbin into fake sinks);
//  - one frame forward and one back through the navigation manager's seek, at
//    random positions of a 1080p clip with a 10 s and a 1 s keyframe interval;
//  - frames painted and dropped while playing 1080p and 4K in real time.
//
//     build/bench/bench_player
//
// The clips are made by ffmpeg in a temporary folder at every run.

#include "uAudioMan.h"
#include "uBuildThread.h"
#include "uFileGraph.h"
#include "uPrivateLAV.h"
#include "uTimerNavMan.h"
#include "uvideoman.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString makeClip(const QTemporaryDir& dir, const QString& size, int seconds, int gop)
{
    const QString path = dir.filePath(QStringLiteral("clip_%1_gop%2.mp4").arg(size).arg(gop));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=%1:rate=30:duration=%2").arg(size).arg(seconds), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=%1").arg(seconds),
                  QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                  QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                  QStringLiteral("-g"), QString::number(gop * 30), QStringLiteral("-keyint_min"),
                  QString::number(gop * 30), QStringLiteral("-sc_threshold"), QStringLiteral("0"),
                  QStringLiteral("-c:a"), QStringLiteral("aac"), path});
    ffmpeg.waitForFinished(600000);
    return ffmpeg.exitCode() == 0 ? path : QString();
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

double msSince(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

struct TStats {
    double median = 0;
    double worst = 0;
};

TStats stats(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

// The bare preroll of a file: playbin into fake sinks, to paused.
double barePreroll(const QString& file)
{
    GstElement* player = gst_element_factory_make("playbin", nullptr);
    gchar* uri = gst_filename_to_uri(file.toUtf8().constData(), nullptr);
    g_object_set(player, "uri", uri, "video-sink", gst_element_factory_make("fakesink", nullptr), "audio-sink",
                 gst_element_factory_make("fakesink", nullptr), nullptr);
    g_free(uri);
    QElapsedTimer clock;
    clock.start();
    gst_element_set_state(player, GST_STATE_PAUSED);
    gst_element_get_state(player, nullptr, nullptr, 10 * GST_SECOND);
    const double ms = msSince(clock);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    return ms;
}

// The player's pieces as the main window wires them.
struct TPlayer {
    TPlayer()
    {
        host.resize(960, 540);
        host.show();
        vidman.setWindow(&host);
        vidman.setKeepAspectratio(false);
        vidman.setVideoOk();
        files.usePrivateFilters();
        files.runOnUi = [this](const std::function<void()>& fn) { return thread.runOnUi(fn); };
        thread.OnBuild = [this](const QString& file) { return files.build(file); };
        thread.OnAfter = [this] { built = true; };
    }

    // Selection to the first painted frame, as the user sees it.
    double firstFrame(const QString& file)
    {
        built = false;
        QElapsedTimer clock;
        clock.start();
        thread.request(file);
        // The count of painted frames starts again with each graph.
        waitFor([this] { return built && vidman.getFrames() > 0; }, 20000);
        return msSince(clock);
    }

    QWidget host;
    TTimerNavman navman;
    TVideoMan vidman;
    TAudioMan audman;
    TFileGraph files{&navman, &vidman, &audman};
    TBuildThread thread;
    bool built = false;
};

TStats steps(TPlayer& player, const QString& file, bool forward)
{
    player.firstFrame(file);
    std::vector<double> samples;
    QRandomGenerator random(42);
    const qint64 range = player.navman.duration() - 2 * kUnitsPerSecond;
    for (int i = 0; i < 30; ++i) {
        player.navman.setposition(kUnitsPerSecond / 2 + random.bounded(range), true);
        QElapsedTimer clock;
        clock.start();
        if (forward)
            player.navman.avanceFrame();
        else
            player.navman.reculeFrame();
        samples.push_back(msSince(clock));
    }
    return stats(samples);
}

// Plays in real time for the given seconds; answers frames painted and expected.
std::pair<qint64, qint64> playing(TPlayer& player, const QString& file, int seconds)
{
    player.firstFrame(file);
    const qint64 before = player.vidman.getFrames();
    player.navman.recuperer<TCheckAction>(QStringLiteral("caPlay"))->setChecked(true);
    waitFor([] { return false; }, seconds * 1000);
    player.navman.recuperer<TCheckAction>(QStringLiteral("caPlay"))->setChecked(false);
    qint64 position = 0;
    player.navman.getCurrentPosition(position);
    return {player.vidman.getFrames() - before, position * 30 / kUnitsPerSecond};
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initMediaGraph();
    QTemporaryDir dir;
    std::printf("making clips...\n");
    const QString hd10 = makeClip(dir, QStringLiteral("1920x1080"), 30, 10);
    const QString hd1 = makeClip(dir, QStringLiteral("1920x1080"), 30, 1);
    const QString uhd = makeClip(dir, QStringLiteral("3840x2160"), 10, 1);
    if (hd10.isEmpty() || hd1.isEmpty() || uhd.isEmpty()) {
        std::fprintf(stderr, "ffmpeg could not make the clips\n");
        return 1;
    }
    registerPrivateLAV(QStringLiteral(MOVARIUM_BUILT_PRIVATE_FOLDER) + QStringLiteral("LAV/"));
    TPlayer player;

    std::printf("\n%-34s %12s %12s\n", "selection to first frame (ms)", "player", "bare preroll");
    for (const auto& [name, file] : {std::pair{"1080p H.264", hd1}, std::pair{"4K H.264", uhd}}) {
        std::vector<double> mine;
        std::vector<double> bare;
        player.firstFrame(file);
        for (int i = 0; i < 5; ++i) {
            mine.push_back(player.firstFrame(file));
            bare.push_back(barePreroll(file));
        }
        std::printf("%-34s %12.1f %12.1f   (median of 5)\n", name, stats(mine).median, stats(bare).median);
    }

    std::printf("\n%-34s %12s %12s\n", "one frame by the seek (ms)", "median", "worst");
    for (const auto& [name, file] : {std::pair{"1080p, 10 s GOP", hd10}, std::pair{"1080p, 1 s GOP", hd1}}) {
        for (const bool forward : {true, false}) {
            const TStats s = steps(player, file, forward);
            std::printf("%-34s %12.1f %12.1f   (30 steps)\n",
                        (QString::fromLatin1(name) + (forward ? QStringLiteral(" forward") : QStringLiteral(" back")))
                            .toLatin1()
                            .constData(),
                        s.median, s.worst);
        }
    }

    std::printf("\n%-34s %12s %12s\n", "playing in real time", "painted", "frames due");
    for (const auto& [name, file] : {std::pair{"1080p 30 fps, 8 s", hd1}, std::pair{"4K 30 fps, 8 s", uhd}}) {
        const auto [painted, due] = playing(player, file, 8);
        std::printf("%-34s %12lld %12lld   (%lld dropped)\n", name, static_cast<long long>(painted),
                    static_cast<long long>(due), static_cast<long long>(std::max<qint64>(0, due - painted)));
    }
    return 0;
}
