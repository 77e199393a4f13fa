#include "OutputGraphs.h"
#include "QtPrinters.h"
#include "TestSupport.h"
#include "uPreferences.h"
#include "uWindowLessMan.h"

#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QColor kHostColor(0, 0, 255);
const QColor kFrameColor(255, 0, 0);
const QColor kPicture(0, 255, 0);

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 60 && std::abs(a.green() - b.green()) < 60 && std::abs(a.blue() - b.blue()) < 60;
}

// The bounds of the pixels near a colour; empty when there are none.
QRect extent(const QImage& image, const QColor& color)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), color))
                found |= QRect(x, y, 1, 1);
    return found;
}

// A blue host of 800 x 600 whose video window paints a red frame.
struct Windowless : ::testing::Test {
    Windowless()
    {
        host.setAutoFillBackground(true);
        QPalette p = host.palette();
        p.setColor(QPalette::Window, kHostColor);
        host.setPalette(p);
        host.resize(800, 600);
        host.show();
        vid.setBorderColor(0x0000FF);
        vid.setWindow(&host);
    }

    // The clip paused at its first frame, painted at least once.
    bool show(const QString& path)
    {
        vid.setFilterGraph(&clip.graph);
        return clip.open(path, vid.baseFilter()) && clip.preroll() &&
               QTest::qWaitFor([this] { return vid.getFrames() > 0; }, 5000);
    }

    QImage grab() { return host.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QWidget host;
    TWindowLessMan vid;
    TClipGraph clip;
};

} // namespace

TEST_F(Windowless, ThePictureLiesInsideTheFrameOfTheHost)
{
    struct Probe {
        QPoint at;
        QColor color;
    };
    const struct {
        QSize host;
        int border;
        int borderAfter; // set after the placement, which keeps the rectangle; -1 for none
        TRect winrect;
        std::vector<Probe> probes;
    } cases[] = {
        {{800, 600},
         8,
         -1,
         {8, 8, 792, 592},
         {{{0, 300}, kFrameColor},
          {{7, 300}, kFrameColor},
          {{8, 300}, kPicture},
          {{791, 300}, kPicture},
          {{792, 300}, kFrameColor},
          {{799, 300}, kFrameColor},
          {{400, 0}, kFrameColor},
          {{400, 7}, kFrameColor},
          {{400, 8}, kPicture},
          {{400, 591}, kPicture},
          {{400, 592}, kFrameColor},
          {{400, 599}, kFrameColor}}},
        {{800, 600}, 0, -1, {0, 0, 800, 600}, {{{0, 0}, kPicture}, {{799, 599}, kPicture}, {{0, 599}, kPicture}}},
        // A thinner frame around the same rectangle: the host's own colour shows outside it.
        {{800, 600},
         8,
         4,
         {8, 8, 792, 592},
         {{{0, 300}, kHostColor},
          {{3, 300}, kHostColor},
          {{4, 300}, kFrameColor},
          {{7, 300}, kFrameColor},
          {{8, 300}, kPicture},
          {{796, 300}, kHostColor},
          {{400, 597}, kHostColor}}},
        // Narrower than twice the frame: no picture at all, and nothing of negative size.
        {{10, 600}, 8, -1, {8, 8, 8, 592}, {{{0, 300}, kFrameColor}, {{9, 300}, kFrameColor}}},
    };
    ASSERT_TRUE(show(OutputClips::solid(QStringLiteral("lime"), QStringLiteral("320x240"))));
    for (const auto& c : cases) {
        vid.setWinBorderWidth(c.border);
        host.resize(c.host);
        vid.dimensionner();
        if (c.borderAfter >= 0)
            vid.setWinBorderWidth(c.borderAfter);
        EXPECT_EQ(vid.winrect, c.winrect) << c.host.width() << " x " << c.host.height() << " border " << c.border;
        const QImage picture = grab();
        for (const Probe& probe : c.probes)
            EXPECT_TRUE(near(picture.pixelColor(probe.at), probe.color))
                << "at " << probe.at.x() << ", " << probe.at.y() << " of " << c.host.width() << " x "
                << c.host.height() << " border " << c.border << ": "
                << picture.pixelColor(probe.at).name().toStdString();
        if (vid.winrect.Right == vid.winrect.Left) {
            EXPECT_TRUE(extent(picture, kPicture).isEmpty());
        }
    }
}

TEST_F(Windowless, FullScreenTakesTheMonitorNearestToTheHost)
{
    QRect monitor(0, 0, 1920, 1080);
    vid.NearestMonitor = [&](const QWidget*) { return TMonitorInfo{1, monitor}; };
    ASSERT_TRUE(show(OutputClips::solid(QStringLiteral("lime"), QStringLiteral("320x240"))));
    const struct {
        int interval;
        bool notice;
    } cases[] = {{3000, true}, {0, false}};
    for (const auto& c : cases) {
        vid.iaTimerInterval->setValue(c.interval);
        vid.caFullscreen->setChecked(true);
        EXPECT_EQ(vid.fullrect, (TRect{8, 8, 1912, 1072}));
        EXPECT_EQ(vid.fullScreenShape()->geometry(), QRect(0, 0, 1920, 1080));
        EXPECT_EQ(vid.fullScreenWindow()->geometry(), monitor);
        EXPECT_TRUE(vid.fullScreenWindow()->isVisible());
        EXPECT_EQ(vid.noticePanel()->isVisible(), c.notice) << c.interval;
        EXPECT_EQ(vid.noticeTimer()->isActive(), c.notice) << c.interval;
        EXPECT_EQ(vid.noticePanel()->text(), QStringLiteral("Alt+Entrée pour quitter le mode Plein Ecran"));
        const QImage screen = vid.fullScreenShape()->grab().toImage();
        EXPECT_TRUE(near(screen.pixelColor(4, 500), kFrameColor));
        EXPECT_TRUE(near(screen.pixelColor(7, 500), kFrameColor));
        EXPECT_TRUE(near(screen.pixelColor(960, 540), kPicture));
        // The host keeps its frame but no longer shows the picture.
        EXPECT_FALSE(near(grab().pixelColor(400, 300), kPicture));
        vid.caFullscreen->setChecked(false);
        EXPECT_FALSE(vid.fullScreenWindow()->isVisible());
        EXPECT_TRUE(near(grab().pixelColor(400, 300), kPicture));
        // Back in full screen on whatever monitor is nearest then.
        monitor = QRect(1920, 0, 1280, 1024);
        vid.caFullscreen->setChecked(true);
        EXPECT_EQ(vid.fullScreenWindow()->geometry(), monitor);
        EXPECT_EQ(vid.fullrect, (TRect{8, 8, 1272, 1016}));
        vid.caFullscreen->setChecked(false);
        monitor = QRect(0, 0, 1920, 1080);
    }

    // The notice goes at a click, or when its time is up.
    vid.iaTimerInterval->setValue(3000);
    vid.caFullscreen->setChecked(true);
    QTest::mouseClick(vid.noticePanel(), Qt::LeftButton);
    EXPECT_FALSE(vid.noticePanel()->isVisible());
    vid.caFullscreen->setChecked(false);
    vid.iaTimerInterval->setValue(50);
    vid.caFullscreen->setChecked(true);
    EXPECT_TRUE(vid.noticePanel()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !vid.noticePanel()->isVisible(); }, 2000));
    EXPECT_FALSE(vid.noticeTimer()->isActive());
    EXPECT_TRUE(vid.fullScreenWindow()->isVisible());
}

TEST(WindowlessHost, ADestroyedHostIsForgotten)
{
    TWindowLessMan vid;
    auto host = std::make_unique<QWidget>();
    host->resize(200, 100);
    vid.setWindow(host.get());
    EXPECT_EQ(vid.currentHost(), host.get());
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 192, 92}));
    host.reset();
    EXPECT_EQ(vid.window(), nullptr);
    EXPECT_EQ(vid.currentHost(), nullptr);
    vid.dimensionner();
    vid.repeindre();
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 192, 92}));
}

TEST_F(Windowless, FlipsMirrorThePicture)
{
    // A host the size of the picture plus its frame: the picture is painted at its own size.
    host.resize(336, 256);
    ASSERT_TRUE(show(OutputClips::pattern(QStringLiteral("320x240"))));
    const QRect inside(8, 8, 320, 240);
    const QImage upright = grab().copy(inside);
    ASSERT_NE(upright.pixel(0, 0), upright.pixel(319, 239));
    ASSERT_NE(upright.pixel(319, 0), upright.pixel(0, 239));
    const struct {
        bool vertical, horizontal;
        TNormalizedRect output;
    } cases[] = {
        {false, false, {0, 0, 1, 1}},
        {true, false, {0, 1, 1, 0}},
        {false, true, {1, 0, 0, 1}},
        {true, true, {1, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        vid.caFlipVertical->setChecked(c.vertical);
        vid.caFlipHorizontal->setChecked(c.horizontal);
        const TNormalizedRect o = vid.outputRect();
        EXPECT_EQ(o, c.output) << o.left << " " << o.top << " " << o.right << " " << o.bottom;
        EXPECT_EQ(grab().copy(inside), upright.mirrored(c.horizontal, c.vertical))
            << "vertical " << c.vertical << " horizontal " << c.horizontal;
    }
}

TEST_F(Windowless, LetterBoxKeepsTheProportion)
{
    ASSERT_TRUE(show(OutputClips::solid(QStringLiteral("lime"), QStringLiteral("640x360"))));
    const struct {
        bool keep;
        QRect picture;
    } cases[] = {
        // 784 x 584 for a 16:9 picture: 784 x 441, centred.
        {true, {8, 79, 784, 441}},
        {false, {8, 8, 784, 584}},
    };
    for (const auto& c : cases) {
        vid.caKeepAspectRatio->setChecked(c.keep);
        const QRect found = extent(grab(), kPicture);
        EXPECT_NEAR(found.x(), c.picture.x(), 1) << c.keep;
        EXPECT_NEAR(found.y(), c.picture.y(), 1) << c.keep;
        EXPECT_NEAR(found.width(), c.picture.width(), 1) << c.keep;
        EXPECT_NEAR(found.height(), c.picture.height(), 1) << c.keep;
    }
}

TEST_F(Windowless, FramesCountWhatWasPainted)
{
    host.hide();
    vid.setFilterGraph(&clip.graph);
    ASSERT_TRUE(clip.open(OutputClips::pattern(QStringLiteral("320x240")), vid.baseFilter()));
    ASSERT_TRUE(clip.preroll());
    QTest::qWait(200);
    EXPECT_EQ(vid.getFrames(), 0) << "nothing is painted in a hidden host";

    host.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return vid.getFrames() == 1; }, 5000));
    grab();
    grab();
    EXPECT_EQ(vid.getFrames(), 1) << "painting the same picture again is no new frame";

    ASSERT_TRUE(clip.playToEnd());
    QTest::qWait(100);
    EXPECT_GT(vid.getFrames(), 1);
    EXPECT_LE(vid.getFrames(), 25) << "the first frame is counted once, also after playing starts";

    vid.setFilterGraph(nullptr);
    EXPECT_EQ(vid.getFrames(), 0);
    GstElement* inGraph = gst_bin_get_by_name(GST_BIN(clip.graph.Graph()), "QX VideoWindow");
    EXPECT_EQ(inGraph, nullptr);
    if (inGraph)
        gst_object_unref(inGraph);
}

TEST_F(Windowless, ThePreviewWindowBecomesTheHostUntilItIsClosed)
{
    ASSERT_TRUE(show(OutputClips::solid(QStringLiteral("lime"), QStringLiteral("320x240"))));
    vid.raPreviewSave->setValue(TRect{40, 50, 40 + 500, 50 + 300});
    vid.caPreviewForm->setChecked(true);
    QWidget* preview = vid.previewWindow();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(vid.currentHost(), preview);
    EXPECT_EQ(preview->size(), QSize(500, 300));
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 492, 292}));
    EXPECT_TRUE(near(preview->grab().toImage().pixelColor(250, 150), kPicture));

    preview->resize(420, 260);
    preview->close();
    EXPECT_FALSE(vid.caPreviewForm->Checked());
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(vid.currentHost(), &host);
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 792, 592}));
    EXPECT_EQ(vid.previewRect().size(), QSize(420, 260));
    EXPECT_TRUE(near(grab().pixelColor(400, 300), kPicture));
}

TEST(WindowlessPrefs, LoadingAppliesOnlyTheSettingsMarkedSo)
{
    TempFolder dir;
    qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
    QWidget owner;
    TOrvanePreferences prefs(&owner);
    prefs.setProgramFolder(dir.path() + QLatin1Char('/'));
    prefs.setTitre(QStringLiteral("WindowlessTest"));
    prefs.setMode(spPortable);
    {
        TQXActionList stored;
        TIntegerAction width(QStringLiteral("iaWinBorderWidth"), &stored);
        TColorAction back(QStringLiteral("iaBackColor"), &stored);
        TCheckAction preview(QStringLiteral("caPreviewForm"), &stored);
        preview.setScriptName(QStringLiteral("Previewform"));
        TRectAction rect(QStringLiteral("raPreviewSave"), &stored);
        width.Value = 20;
        back.Value = 0x00FF00;
        preview.setDefaultValue(true);
        rect.Value = TRect{10, 20, 330, 260};
        ASSERT_TRUE(stored.savetoprefs(prefs));
    }

    QWidget host;
    host.resize(400, 300);
    TWindowLessMan vid;
    vid.setWindow(&host);
    EXPECT_TRUE(vid.loadfromprefs(prefs));
    EXPECT_EQ(vid.iaWinBorderWidth->Value, 20);
    EXPECT_EQ(vid.WinBorderWidth(), 8) << "stored only";
    EXPECT_EQ(vid.BackColor(), 0x00FF00) << "applied";
    EXPECT_TRUE(vid.caKeepAspectRatio->Checked());
    EXPECT_FALSE(vid.KeepAspectratio()) << "not applied: the renderer stretches until the user asks";
    EXPECT_TRUE(vid.PreviewForm());
    EXPECT_EQ(vid.previewWindow()->geometry(), QRect(10, 20, 320, 240));
    EXPECT_EQ(vid.currentHost(), vid.previewWindow());

    vid.previewWindow()->setGeometry(30, 40, 200, 100);
    EXPECT_TRUE(vid.savetoprefs(prefs));
    EXPECT_EQ(prefs.readRect(QStringLiteral("PreviewSave"), {}), (TRect{30, 40, 230, 140}));
    qunsetenv("XDG_CONFIG_HOME");
}
