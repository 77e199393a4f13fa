// Frame steps as the user makes them, the plain frame-accurate seek against the
// fast path (the running decoder forward, kept pictures back) in the same run:
//  - one frame forward and one back, median and worst over 50 steps, each
//    from a random position reached by a seek, timed from the command to the
//    picture painted, on 1080p H.264 with a 10 s and a 1 s keyframe interval;
//  - "one frame back" held for 2 s (a step as soon as the last one is shown,
//    as a key repeating faster than the steps would): distinct frames painted
//    a second;
//  - the memory the kept pictures take.
//
//     build/bench/bench_steps
//
// The clips are made by ffmpeg in a temporary folder at every run.

#include "PlayerRig.h"

#include <QRandomGenerator>

#include <cstdio>
#include <set>

using namespace bench;

namespace {

// The command, then events until its picture is painted.
double timedStep(TPlayer& player, bool forward)
{
    const qint64 painted = player.vidman.getFrames();
    QElapsedTimer clock;
    clock.start();
    if (forward)
        player.navman.avanceFrame();
    else
        player.navman.reculeFrame();
    waitFor([&] { return player.vidman.getFrames() > painted; }, 5000);
    return msSince(clock);
}

TStats steps(TPlayer& player, bool forward)
{
    std::vector<double> samples;
    QRandomGenerator random(42);
    const qint64 range = player.navman.duration() - 2 * kUnitsPerSecond;
    for (int i = 0; i < 50; ++i) {
        player.navman.setposition(kUnitsPerSecond / 2 + random.bounded(range), true);
        waitFor([] { return false; }, 20);
        samples.push_back(timedStep(player, forward));
    }
    return stats(samples);
}

// Distinct frames painted a second while "one frame back" is held for 2 s,
// starting mid-way into a group of pictures.
double heldBack(TPlayer& player, qint64 from)
{
    player.navman.setposition(from, true);
    waitFor([] { return false; }, 20);
    std::set<QString> shown;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        timedStep(player, false);
        shown.insert(player.navman.Strposition());
    }
    return shown.size() / (clock.elapsed() / 1000.0);
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
    const QString gop10 = makeClip(dir, QStringLiteral("1920x1080"), 30, 10, QStringLiteral("veryfast"));
    const QString gop1 = makeClip(dir, QStringLiteral("1920x1080"), 30, 1, QStringLiteral("veryfast"));
    if (gop10.isEmpty() || gop1.isEmpty()) {
        std::fprintf(stderr, "ffmpeg could not make the clips\n");
        return 1;
    }
    registerPrivateLAV(QStringLiteral(MOVARIUM_BUILT_PRIVATE_FOLDER) + QStringLiteral("LAV/"));
    TPlayer player;

    std::printf("\n%-30s %22s %22s\n", "one frame (ms, 50 steps)", "seek median / worst", "fast median / worst");
    for (const auto& [name, file] : {std::pair{"1080p, 10 s GOP", gop10}, std::pair{"1080p, 1 s GOP", gop1}}) {
        player.firstFrame(file);
        for (const bool forward : {true, false}) {
            TStats figures[2];
            for (const bool fast : {false, true}) {
                player.navman.setFastSteps(fast);
                figures[fast] = steps(player, forward);
            }
            std::printf("%-30s %12.1f / %7.1f %12.1f / %7.1f\n",
                        (QString::fromLatin1(name) + (forward ? QStringLiteral(" forward") : QStringLiteral(" back")))
                            .toLatin1()
                            .constData(),
                        figures[0].median, figures[0].worst, figures[1].median, figures[1].worst);
        }
    }

    std::printf("\n%-30s %22s %22s\n", "\"one frame back\" held 2 s", "seek frames/s", "fast frames/s");
    for (const auto& [name, file] : {std::pair{"1080p, 10 s GOP", gop10}, std::pair{"1080p, 1 s GOP", gop1}}) {
        player.firstFrame(file);
        double rate[2];
        for (const bool fast : {false, true}) {
            player.navman.setFastSteps(fast);
            rate[fast] = heldBack(player, 15 * kUnitsPerSecond);
        }
        std::printf("%-30s %22.1f %22.1f\n", name, rate[0], rate[1]);
    }

    player.firstFrame(gop10);
    player.navman.setFastSteps(true);
    player.navman.setposition(19 * kUnitsPerSecond + kUnitsPerSecond / 2, true);
    const TFrameCache& cache = player.navman.frameSteps().cache();
    std::printf("\nkept pictures after a seek 9.5 s past a keyframe: %d, %.1f MB (budget %.0f MB)\n", cache.count(),
                cache.bytes() / 1048576.0, cache.budget() / 1048576.0);
    return 0;
}
