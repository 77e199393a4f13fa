// The player as a user meets it, each figure beside a baseline of the same run:
//  - selection to first frame painted (build on the build thread, preroll, the
//    first picture on the host) for 1080p and 4K H.264, against the bare
//    GStreamer preroll of the same file (playbin into fake sinks);
//  - frames painted and dropped while playing 1080p and 4K in real time.
//
//     build/bench/bench_player
//
// The clips are made by ffmpeg in a temporary folder at every run.

#include "PlayerRig.h"

#include <cstdio>

using namespace bench;

namespace {

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
    const QString hd1 = makeClip(dir, QStringLiteral("1920x1080"), 30, 1);
    const QString uhd = makeClip(dir, QStringLiteral("3840x2160"), 10, 1);
    if (hd1.isEmpty() || uhd.isEmpty()) {
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

    std::printf("\n%-34s %12s %12s\n", "playing in real time", "painted", "frames due");
    for (const auto& [name, file] : {std::pair{"1080p 30 fps, 8 s", hd1}, std::pair{"4K 30 fps, 8 s", uhd}}) {
        const auto [painted, due] = playing(player, file, 8);
        std::printf("%-34s %12lld %12lld   (%lld dropped)\n", name, static_cast<long long>(painted),
                    static_cast<long long>(due), static_cast<long long>(std::max<qint64>(0, due - painted)));
    }
    return 0;
}
