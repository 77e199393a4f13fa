// Painting the video against decoding it: frames painted per second by the
// video window for 1080p and 4K clips, the user-interface time each painted
// frame costs, and the decode-only rate of the same clips in the same run.
//
//     build/bench/bench_paint [seconds-of-1080p-clip]
//
// The clips are made by ffmpeg in a temporary folder at every run.

#include "uGrapheMan.h"
#include "uWindowLessMan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <gst/gst.h>

#include <cstdio>

namespace {

// Times what the user-interface thread spends on the video: taking a frame
// from the renderer and every update of the host window (its paint, then the
// copy to the screen), and the host's paint alone.
class TTimedApp : public QApplication {
public:
    using QApplication::QApplication;
    QObject* host = nullptr;
    qint64 busyNs = 0;
    qint64 paintNs = 0;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (receiver == host && event->type() == QEvent::Paint) {
            QElapsedTimer t;
            t.start();
            const bool done = QApplication::notify(receiver, event);
            paintNs += t.nsecsElapsed();
            return done;
        }
        const bool timed = event->type() == TQXVideoRenderer::frameEventType() ||
                           (receiver == host && event->type() == QEvent::UpdateRequest);
        if (!timed)
            return QApplication::notify(receiver, event);
        QElapsedTimer t;
        t.start();
        const bool done = QApplication::notify(receiver, event);
        busyNs += t.nsecsElapsed();
        return done;
    }
};

QString makeClip(const QTemporaryDir& dir, const QString& size, int seconds)
{
    const QString path = dir.filePath(QStringLiteral("clip_%1.mp4").arg(size));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=%1:rate=30:duration=%2").arg(size).arg(seconds), QStringLiteral("-c:v"),
                  QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                  QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-g"), QStringLiteral("30"), path});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return {};
    return path;
}

struct TRun {
    qint64 frames = 0;
    double seconds = 0;
};

void linkDecoded(GstElement*, GstPad* pad, gpointer sink)
{
    GstPad* target = gst_element_get_static_pad(GST_ELEMENT(sink), "sink");
    if (!gst_pad_is_linked(target))
        gst_pad_link(pad, target);
    gst_object_unref(target);
}

// Runs the graph to its end and answers the wall time; bounded.
double runToEnd(TGrapheMan& graph)
{
    bool ended = false;
    graph.OnBusMessage = [&](GstMessage* m) {
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS || GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR)
            ended = true;
    };
    graph.pause();
    QElapsedTimer t;
    t.start();
    graph.play();
    while (!ended && t.elapsed() < 300000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double seconds = t.nsecsElapsed() / 1e9;
    // The last frames posted are painted before counting.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    graph.stop();
    return seconds;
}

GstElement* fileSource(TGrapheMan& graph, const QString& path, GstElement* sink)
{
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    graph.AddFilter(source, QStringLiteral("source"));
    graph.AddFilter(decode, QStringLiteral("decode"));
    gst_element_link(source, decode);
    g_signal_connect(decode, "pad-added", G_CALLBACK(linkDecoded), sink);
    return decode;
}

TRun decodeOnly(const QString& path)
{
    TGrapheMan graph;
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    graph.AddFilter(sink, QStringLiteral("sink"));
    fileSource(graph, path, sink);
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    qint64 frames = 0;
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer count) {
            ++*static_cast<qint64*>(count);
            return GST_PAD_PROBE_OK;
        },
        &frames, nullptr);
    gst_object_unref(pad);
    graph.removeClock();
    const double seconds = runToEnd(graph);
    return {frames, seconds};
}

struct TPaintRun {
    qint64 painted = 0;
    double seconds = 0;
    double busyMsPerFrame = 0;
    double paintMsPerFrame = 0;
};

TPaintRun paint(TTimedApp& app, const QString& path, const QSize& hostSize, bool clocked)
{
    QWidget host;
    host.resize(hostSize);
    host.show();
    app.host = &host;
    TWindowLessMan vid;
    vid.setWindow(&host);
    TGrapheMan graph;
    vid.setFilterGraph(&graph);
    fileSource(graph, path, vid.baseFilter());
    if (!clocked)
        graph.removeClock();
    app.busyNs = 0;
    app.paintNs = 0;
    TPaintRun run;
    run.seconds = runToEnd(graph);
    run.painted = vid.getFrames();
    run.busyMsPerFrame = run.painted ? app.busyNs / 1e6 / run.painted : 0;
    run.paintMsPerFrame = run.painted ? app.paintNs / 1e6 / run.painted : 0;
    vid.setFilterGraph(nullptr);
    app.host = nullptr;
    return run;
}

// What painting a native picture scaled by the painter would cost instead of
// the pipeline's scale step: milliseconds a picture.
double painterScaling(const QSize& picture, const QSize& place)
{
    QImage source(picture, QImage::Format_RGB32);
    source.fill(Qt::darkCyan);
    QImage target(place, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    constexpr int kRounds = 20;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRounds; ++i)
        painter.drawImage(QRect(QPoint(0, 0), place), source);
    return t.nsecsElapsed() / 1e6 / kRounds;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TTimedApp app(argc, argv);
    initMediaGraph();
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;

    const struct {
        const char* name;
        QString size;
        int seconds;
    } clips[] = {{"1080p30", QStringLiteral("1920x1080"), seconds}, {"2160p30", QStringLiteral("3840x2160"), seconds / 2}};
    const QSize hosts[] = {{976, 556}, {1936, 1096}};

    std::printf("%-8s %-10s %7s %9s %8s %8s %10s %10s %10s\n", "clip", "host", "frames", "decode/s", "painted",
                "paint/s", "paint ms", "ui ms", "ui/decode");
    for (const auto& clip : clips) {
        const QString path = makeClip(dir, clip.size, std::max(1, clip.seconds));
        if (path.isEmpty()) {
            std::fprintf(stderr, "ffmpeg could not make the %s clip\n", clip.name);
            return 1;
        }
        const TRun decoded = decodeOnly(path);
        const double decodeMs = decoded.seconds * 1000 / std::max<qint64>(1, decoded.frames);
        for (const QSize& host : hosts) {
            const TPaintRun run = paint(app, path, host, false);
            std::printf("%-8s %4dx%-5d %7lld %9.1f %8lld %8.1f %10.2f %10.2f %9.0f%%\n", clip.name, host.width(),
                        host.height(), static_cast<long long>(decoded.frames), decoded.frames / decoded.seconds,
                        static_cast<long long>(run.painted), run.painted / run.seconds, run.paintMsPerFrame,
                        run.busyMsPerFrame, 100.0 * run.busyMsPerFrame / decodeMs);
        }
        // Real time: every frame of the clip should reach the screen.
        const TPaintRun live = paint(app, path, hosts[0], true);
        std::printf("%-8s %4dx%-5d real time: %lld of %lld frames painted, %lld dropped, ui %.2f ms/frame\n",
                    clip.name, hosts[0].width(), hosts[0].height(), static_cast<long long>(live.painted),
                    static_cast<long long>(decoded.frames), static_cast<long long>(decoded.frames - live.painted),
                    live.busyMsPerFrame);
    }
    std::printf("painter scaling instead: 1080p -> 960x540 %.2f ms, 2160p -> 960x540 %.2f ms a picture\n",
                painterScaling({1920, 1080}, {960, 540}), painterScaling({3840, 2160}, {960, 540}));
    return 0;
}
