#include "MediaClips.h"
#include "TestSupport.h"
#include "uAudioMan.h"
#include "uBuildThread.h"
#include "uDecoders.h"
#include "uFileGraph.h"
#include "uPrivateLAV.h"
#include "uTimerNavMan.h"
#include "uvideoman.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <atomic>

namespace {

QStringList names(TGrapheMan& graph)
{
    QStringList result;
    for (GstElement* element : graph.filters()) {
        result.append(QString::fromUtf8(GST_OBJECT_NAME(element)));
        gst_object_unref(element);
    }
    result.sort();
    return result;
}

// The player's managers and a file graph over them, with the built private set.
class FileGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerPrivateLAV(MediaClips::builtPrivateFolder() + QStringLiteral("LAV/"));
    }

    void SetUp() override
    {
        host.resize(640, 360);
        vidman.setWindow(&host);
        graph.usePrivateFilters();
    }

    QWidget host;
    TTimerNavman navman;
    TVideoMan vidman;
    TAudioMan audman;
    TFileGraph graph{&navman, &vidman, &audman};
};

} // namespace

TEST_F(FileGraphTest, BuildsEachKindOfFileAndTearsItDown)
{
    const struct {
        QString clip;
        TBuildResult result;
        QStringList elements;
    } cases[] = {
        {MediaClips::h264AacMp4(), brOK,
         {QStringLiteral("Private LAV Audio Decoder"), QStringLiteral("Private LAV Splitter Source"),
          QStringLiteral("Private LAV Video Decoder"), QStringLiteral("QX Audio Notifier"),
          QStringLiteral("QX Audio Renderer"), QStringLiteral("QX Video Notifier"), QStringLiteral("QX VideoWindow")}},
        {MediaClips::h264AacMov(), brOK,
         {QStringLiteral("Private LAV Audio Decoder"), QStringLiteral("Private LAV Splitter Source"),
          QStringLiteral("Private LAV Video Decoder"), QStringLiteral("QX Audio Notifier"),
          QStringLiteral("QX Audio Renderer"), QStringLiteral("QX Video Notifier"), QStringLiteral("QX VideoWindow")}},
        {MediaClips::h264OnlyMp4(), brVideoOnly,
         {QStringLiteral("Private LAV Splitter Source"), QStringLiteral("Private LAV Video Decoder"),
          QStringLiteral("QX Video Notifier"), QStringLiteral("QX VideoWindow")}},
        {MediaClips::aacOnlyMp4(), brAudioOnly,
         {QStringLiteral("Private LAV Audio Decoder"), QStringLiteral("Private LAV Splitter Source"),
          QStringLiteral("QX Audio Notifier"), QStringLiteral("QX Audio Renderer")}},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.clip.isEmpty());
        EXPECT_EQ(graph.build(c.clip), c.result) << qPrintable(c.clip);
        EXPECT_EQ(names(navman), c.elements) << qPrintable(c.clip);
        EXPECT_EQ(vidman.FilterGraph() != nullptr, c.result != brAudioOnly) << qPrintable(c.clip);
        // The graph prerolls to its first frame.
        ASSERT_TRUE(navman.pause());
        qint64 duration = 0;
        EXPECT_TRUE(navman.getDuration(duration)) << qPrintable(c.clip);
        EXPECT_GT(duration, kUnitsPerSecond) << qPrintable(c.clip);
        EXPECT_EQ(navman.duration(), duration);
        navman.stop();
    }
    EXPECT_TRUE(graph.kill());
    EXPECT_TRUE(names(navman).isEmpty());
}

TEST_F(FileGraphTest, FilesTheSplitterCannotOpenAreBuildErrors)
{
    const QString missing = QStringLiteral("/nonexistent/folder/clip.mp4");
    for (const QString& clip : {MediaClips::truncatedMp4(), MediaClips::textMp4(), missing})
        EXPECT_EQ(graph.build(clip), brError) << qPrintable(clip);
    // The next file still builds.
    EXPECT_EQ(graph.build(MediaClips::h264AacMp4()), brOK);
}

TEST_F(FileGraphTest, TheRegisteredSetPlaysTooAndTheChoiceCanGoBack)
{
    graph.donotusePrivateFilters();
    EXPECT_EQ(graph.build(MediaClips::h264AacMp4()), brOK);
    EXPECT_TRUE(names(navman).contains(QStringLiteral("LAV Splitter Source")));
    graph.usePrivateFilters();
    EXPECT_EQ(graph.build(MediaClips::h264AacMp4()), brOK);
    const QStringList now = names(navman);
    EXPECT_FALSE(now.contains(QStringLiteral("LAV Splitter Source")));
    EXPECT_TRUE(now.contains(QStringLiteral("Private LAV Splitter Source")));
}

TEST_F(FileGraphTest, TheTimePerFrameOfThePrerollReachesTheNavigation)
{
    ASSERT_EQ(graph.build(MediaClips::h264AacMp4()), brOK);
    EXPECT_EQ(navman.timeperframe(), 400000);
    EXPECT_EQ(navman.Fin(), navman.duration() - 400000);
    // The notifier's own message, handled later, changes nothing.
    QCoreApplication::processEvents();
    EXPECT_EQ(navman.timeperframe(), 400000);
}

TEST(BuildThread, BuildsTheNewestRequestBracketedOnTheUserInterfaceThread)
{
    TBuildThread thread;
    QStringList built;
    QStringList calls;
    std::atomic<bool> release{false};
    thread.OnBefore = [&calls] { calls.append(QStringLiteral("3029")); };
    thread.OnAfter = [&calls, &thread] {
        calls.append(QStringLiteral("3027"));
        EXPECT_EQ(thread.BuildResult(), brOK);
    };
    QMutex builtLock;
    thread.OnBuild = [&](const QString& file) {
        {
            QMutexLocker hold(&builtLock);
            built.append(file);
        }
        while (file == QStringLiteral("first") && !release)
            QThread::msleep(5);
        return brOK;
    };
    thread.request(QStringLiteral("first"));
    pumpUntil([&thread] { return thread.isBuilding(); });
    for (int i = 0; i < 10; ++i)
        thread.request(QStringLiteral("tile %1").arg(i));
    EXPECT_TRUE(thread.hasPending());
    release = true;
    pumpUntil([&] {
        QMutexLocker hold(&builtLock);
        return built.size() == 2 && calls.size() == 4;
    });
    EXPECT_EQ(built, (QStringList{QStringLiteral("first"), QStringLiteral("tile 9")}));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("3029"), QStringLiteral("3027"), QStringLiteral("3029"),
                                  QStringLiteral("3027")}));
}

TEST(BuildThread, SuspendWaitsForTheBuildWithoutRunningItsCalls)
{
    TBuildThread thread;
    std::atomic<bool> started{false};
    bool ranAfter = false;
    bool ranInside = true;
    thread.OnBuild = [&](const QString&) {
        started = true;
        QThread::msleep(100);
        ranInside = thread.runOnUi([] {});
        return brOK;
    };
    thread.OnAfter = [&ranAfter] { ranAfter = true; };
    thread.request(QStringLiteral("clip"));
    while (!started)
        QThread::msleep(1);
    // The user-interface thread blocks here; the build's calls to it are skipped.
    thread.suspend();
    EXPECT_FALSE(thread.isBuilding());
    EXPECT_FALSE(ranInside);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ranAfter);
    thread.resume();
}
