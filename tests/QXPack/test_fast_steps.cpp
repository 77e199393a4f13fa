#include "MediaClips.h"
#include "TestSupport.h"
#include "uAudioMan.h"
#include "uFileGraph.h"
#include "uFrameCache.h"
#include "uGrapheMan.h"
#include "uPrivateLAV.h"
#include "uTimerNavMan.h"
#include "uvideoman.h"

#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <gst/video/video.h>

#include <random>
#include <vector>

namespace {

// The player's managers over the file graph the program builds, in a shown host.
class FastSteps : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerPrivateLAV(MediaClips::builtPrivateFolder() + QStringLiteral("LAV/"));
    }

    void SetUp() override
    {
        host.resize(640, 360);
        host.show();
        vidman.setWindow(&host);
        graph.usePrivateFilters();
    }

    void TearDown() override { graph.kill(); }

    struct TShown {
        QString text;
        QImage picture;
    };

    // What the user sees: the position text and the picture painted, once
    // the picture of a seek that took longer than the player waits is there.
    TShown shown()
    {
        EXPECT_TRUE(pumpUntil([this] { return navman.settled(); }, 30000));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return {navman.Strposition(), vidman.picture()};
    }

    // A clip built and its first picture painted, as the program shows it
    // before the user can step.
    bool open(const QString& clip)
    {
        if (clip.isEmpty() || graph.build(clip) != brOK)
            return false;
        return pumpUntil([this] { return !vidman.picture().isNull(); }, 5000);
    }

    QWidget host;
    TTimerNavman navman;
    TVideoMan vidman;
    TAudioMan audman;
    TFileGraph graph{&navman, &vidman, &audman};
};

enum TMove { mvBack, mvForward, mvBack10, mvForward10 };

void apply(TTimerNavman& navman, TMove move)
{
    switch (move) {
    case mvBack: navman.reculeFrame(); break;
    case mvForward: navman.avanceFrame(); break;
    case mvBack10: navman.recule10Frames(); break;
    case mvForward10: navman.avance10Frames(); break;
    }
}

// Mostly single steps back, as a user holding the key would make them.
std::vector<TMove> mixedMoves(int count)
{
    std::mt19937 random(16);
    std::discrete_distribution<int> pick({5, 3, 1, 1});
    std::vector<TMove> moves;
    for (int i = 0; i < count; ++i)
        moves.push_back(static_cast<TMove>(pick(random)));
    return moves;
}

} // namespace

TEST_F(FastSteps, MixedStepsShowTheFramesAndPicturesOfPlainSeeks)
{
    ASSERT_TRUE(open(MediaClips::longGopMp4(20, QStringLiteral("640x360"), 10)));
    ASSERT_EQ(navman.timeperframe(), 400000);
    const std::vector<TMove> moves = mixedMoves(50);
    // Starting mid-way into a ten-second group of pictures, and at its very start.
    for (const QString& start : {QStringLiteral("0:00:17:13"), QStringLiteral("0:00:10:00")}) {
        std::vector<TShown> fast;
        std::vector<TShown> plain;
        for (bool fastSteps : {true, false}) {
            navman.setFastSteps(fastSteps);
            ASSERT_TRUE(navman.setStrposition(start));
            auto& seen = fastSteps ? fast : plain;
            for (TMove move : moves) {
                apply(navman, move);
                seen.push_back(shown());
            }
        }
        for (size_t i = 0; i < moves.size(); ++i) {
            EXPECT_EQ(fast[i].text, plain[i].text) << "step " << i << " from " << qPrintable(start);
            EXPECT_TRUE(fast[i].picture == plain[i].picture) << "step " << i << " from " << qPrintable(start);
        }
        EXPECT_TRUE(fast.front().picture != fast.back().picture) << "the steps moved through different pictures";
    }
}

TEST_F(FastSteps, AStepBackShowsAKeptPictureWithoutMovingTheGraph)
{
    ASSERT_TRUE(open(MediaClips::longGopMp4(20, QStringLiteral("640x360"), 10)));
    ASSERT_TRUE(navman.setStrposition(QStringLiteral("0:00:07:13")));
    const TShown before = shown();
    qint64 graphBefore = 0;
    ASSERT_TRUE(navman.getCurrentPosition(graphBefore));
    EXPECT_GT(navman.frameSteps().cache().count(), 100) << "the pictures decoded on the way are kept";

    navman.reculeFrame();
    const TShown after = shown();
    qint64 graphAfter = 0;
    ASSERT_TRUE(navman.getCurrentPosition(graphAfter));
    EXPECT_EQ(after.text, QStringLiteral("0:00:07:12"));
    EXPECT_TRUE(after.picture != before.picture);
    EXPECT_EQ(graphAfter, graphBefore) << "no seek was made";

    // Playing from there starts at the picture shown, not where the graph stood.
    navman.play();
    pumpUntil([] { return false; }, 300);
    navman.pause();
    qint64 played = 0;
    ASSERT_TRUE(navman.getCurrentPosition(played));
    EXPECT_GE(played, 7 * kUnitsPerSecond + 12 * 400000);
    EXPECT_LT(played, 9 * kUnitsPerSecond);
    EXPECT_LT(navman.frameSteps().cache().count(), 100) << "nothing is kept from playing";
}

TEST_F(FastSteps, ANewFileStartsWithNothingKept)
{
    ASSERT_TRUE(open(MediaClips::longGopMp4(20, QStringLiteral("640x360"), 10)));
    ASSERT_TRUE(navman.setStrposition(QStringLiteral("0:00:05:00")));
    ASSERT_GT(navman.frameSteps().cache().count(), 0);
    ASSERT_EQ(graph.build(MediaClips::h264AacMp4()), brOK);
    qint64 start = 0;
    qint64 end = 0;
    GstSample* old = navman.frameSteps().cache().find(5 * kUnitsPerSecond - 400000, start, end);
    EXPECT_EQ(old, nullptr);
    if (old)
        gst_sample_unref(old);
}

// The memory of kept pictures stays within its budget; those nearest the
// anchor stay.
TEST(FrameCache, KeepsThePicturesNearestTheAnchorWithinItsBudget)
{
    initMediaGraph();
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 64, 64);
    GstCaps* caps = gst_video_info_to_caps(&info);
    const auto frameBytes = static_cast<qsizetype>(GST_VIDEO_INFO_SIZE(&info));
    TFrameCache cache(frameBytes * 5);
    const qint64 frame = 400000;
    cache.setAnchor(10 * frame);
    for (int i = 0; i < 20; ++i) {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
        cache.insert(buffer, caps, i * frame, (i + 1) * frame);
        gst_buffer_unref(buffer);
        EXPECT_LE(cache.bytes(), cache.budget());
    }
    EXPECT_EQ(cache.count(), 5);

    const struct {
        qint64 position;
        bool kept;
        qint64 start;
    } cases[] = {
        {8 * frame, true, 8 * frame},          {12 * frame + frame - 1, true, 12 * frame},
        {7 * frame + frame - 1, false, 0},     {13 * frame, false, 0},
        {10 * frame + frame / 2, true, 10 * frame}, {-1, false, 0},
    };
    for (const auto& c : cases) {
        qint64 start = -1;
        qint64 end = -1;
        GstSample* found = cache.find(c.position, start, end);
        EXPECT_EQ(found != nullptr, c.kept) << c.position;
        if (found) {
            EXPECT_EQ(start, c.start);
            EXPECT_EQ(end, c.start + frame);
            gst_sample_unref(found);
        }
    }
    cache.clear();
    EXPECT_EQ(cache.bytes(), 0);
    gst_caps_unref(caps);
}
