#pragma once

// The player's pieces as the main window wires them, and what the player
// benchmarks share: clips made by ffmpeg, event pumping, timing.

#include "uAudioMan.h"
#include "uBuildThread.h"
#include "uFileGraph.h"
#include "uPrivateLAV.h"
#include "uTimerNavMan.h"
#include "uvideoman.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// testsrc2 with a sine, H.264 at 30 fps with a keyframe every gop seconds;
// x264's slower presets add B-frames, as cameras do.
inline QString makeClip(const QTemporaryDir& dir, const QString& size, int seconds, int gop,
                        const QString& preset = QStringLiteral("ultrafast"))
{
    const QString path = dir.filePath(QStringLiteral("clip_%1_gop%2_%3.mp4").arg(size).arg(gop).arg(preset));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=%1:rate=30:duration=%2").arg(size).arg(seconds), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=%1").arg(seconds),
                  QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                  preset, QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                  QStringLiteral("-g"), QString::number(gop * 30), QStringLiteral("-keyint_min"),
                  QString::number(gop * 30), QStringLiteral("-sc_threshold"), QStringLiteral("0"),
                  QStringLiteral("-c:a"), QStringLiteral("aac"), path});
    ffmpeg.waitForFinished(600000);
    return ffmpeg.exitCode() == 0 ? path : QString();
}

inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline double msSince(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

struct TStats {
    double median = 0;
    double worst = 0;
};

inline TStats stats(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
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

} // namespace bench
