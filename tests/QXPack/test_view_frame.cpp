#include "QtPrinters.h"
#include "uGaugeVolume.h"
#include "uLinkEdit.h"
#include "uNavBar.h"
#include "uVideoFichiers.h"
#include "uViewFrame.h"
#include "uVolumes.h"
#include "uWaitAnimation.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

// Freed first, so that the frame makes a fresh record.
struct FreshCurrentVideo {
    FreshCurrentVideo() { freeCurrentVideo(); }
};

// A frame at 96 dpi with a fresh current video; the mount table is the system's again afterwards.
struct ViewFrame : ::testing::Test {
    ViewFrame() { frame.setDpi(96); }
    ~ViewFrame() override { TVolumeService::instance().setMountTable(QString()); }

    // 720 x 319 with a bar 52 high: the box is (16, 16) to (704, 251), 688 x 235.
    void showDesignSize(TViewFrame& f)
    {
        f.NavBar->resize(f.NavBar->width(), 52);
        f.resize(720, 319);
        f.show();
        f.FrameResize();
    }

    FreshCurrentVideo fresh;
    TViewFrame frame;
};

QString mountLine(int id, const QString& mountPoint, const QString& source)
{
    return QStringLiteral("%1 1 0:%1 / %2 rw,relatime shared:1 - ext4 %3 rw\n").arg(QString::number(id), mountPoint, source);
}

} // namespace

TEST_F(ViewFrame, TheVideoPanelTakesTheVideosProportionsInTheBox)
{
    const struct {
        int vw, vh;
        QRect panel;
    } cases[] = {{0, 0, {16, 16, 688, 235}},     {1920, 1080, {151, 16, 417, 235}}, {1000, 100, {16, 99, 688, 68}},
                 {688, 235, {16, 16, 688, 235}}, {0, 1080, {360, 16, 0, 235}},      {1920, 0, {16, 133, 688, 0}},
                 {-5, 7, {360, 16, 0, 235}}};
    for (const auto& c : cases) {
        currentVideo().FWidth = c.vw;
        currentVideo().FHeight = c.vh;
        showDesignSize(frame);
        EXPECT_EQ(frame.PanelVideo->geometry(), c.panel) << c.vw << " x " << c.vh;
    }
}

TEST_F(ViewFrame, MessageAreaAnimationBarAndGaugeHaveTheirPlaces)
{
    showDesignSize(frame);
    EXPECT_EQ(frame.rxVue->geometry(), QRect(16, 56, 688, 235));
    EXPECT_EQ(frame.an->geometry(), QRect(16 + (688 - 32) / 2, 56 - 32, 32, 32));
    EXPECT_EQ(frame.NavBar->geometry(), QRect((720 - 394) / 2, 319 - 52, 394, 52));
    EXPECT_EQ(frame.GaugeVolume->geometry(), QRect(8, 319 - 20 - 4, 48, 20));

    // A resize lays the frame out again.
    frame.resize(800, 400);
    EXPECT_EQ(frame.PanelVideo->geometry(), QRect(16, 16, 768, 400 - 52 - 32));
    EXPECT_EQ(frame.NavBar->pos(), QPoint((800 - 394) / 2, 400 - 52));
}

TEST_F(ViewFrame, SizesFollowTheDensity)
{
    frame.setDpi(192);
    EXPECT_EQ(frame.NavBar->size(), QSize(788, 230));
    EXPECT_EQ(frame.GaugeVolume->size(), QSize(96, 40));
    EXPECT_EQ(frame.GaugeVolume->font().pixelSize(), 26);
    EXPECT_EQ(frame.an->size(), QSize(64, 64));
    frame.resize(1440, 638);
    frame.show();
    EXPECT_EQ(frame.PanelVideo->geometry(), QRect(32, 32, 1440 - 64, 638 - 230 - 64));
    EXPECT_EQ(frame.GaugeVolume->pos(), QPoint(16, 638 - 40 - 8));
}

TEST_F(ViewFrame, EachMessageScreenHasItsText)
{
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/"), QStringLiteral("/dev/vda"))
                                             + mountLine(2, QStringLiteral("/media/usb"), QStringLiteral("/dev/sdb1")));
    currentVideo().FListName = QStringLiteral("Holiday.MP4");
    currentVideo().FFilename = QStringLiteral("/media/usb/Films/Holiday.MP4");
    const struct {
        TerrorCode code;
        const char* text;
    } cases[] = {
        {ecBienvenue, "<br><br><br><b><i><SIZE 140>Welcome to Movarium</size></i></b><br><br>"
                      "Start by listing mp4 videos <br> then select one to view"},
        {ecNoFileSelected, "<br><br><br><b><i><SIZE 140>No Video has been selected</size></i></b><br><br>"
                           "Select a video by clicking in the list opposite."},
        {ecBuildError, "<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color blue>holiday.mp4</color></b>"
                       "<br><br>cannot be read by Movarium<br>Check if all useful codecs are installed or if the "
                       "video is corrupted"},
        {ecAudioOnly, "<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color navy>holiday.mp4</color></b>"
                      "<br><br>has only audio streams"},
        {ecPatience, "<br><br><b><i><SIZE 140><color Gray>Patience</color></size></i></b><br><br><color navy>"
                     "holiday.mp4</size></color></b><br><br><color Gray>is being loaded</color>"},
        {ecFileNotFound, "<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color blue>holiday.mp4</color></b>"
                         "<br><br>is not found on your system<br>Check if the disk /media/usb/ is connected<br>and "
                         "has not changed Drive letter."},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(frame.AfficherError(c.code));
        EXPECT_EQ(frame.rxVue->richText(), QString::fromUtf8(c.text)) << c.code;
    }
    frame.AfficherPatience();
    EXPECT_EQ(frame.rxVue->richText(), errorText(ecPatience, currentVideo()));
}

TEST_F(ViewFrame, TheMissingFileScreenNamesTheFileAndItsDisk)
{
    TVolumeService::instance().setMountTable(mountLine(1, QStringLiteral("/media/usb"), QStringLiteral("/dev/sdb1")));
    const struct {
        const char* path;
        const char* disk;
    } cases[] = {{"/media/usb/Holiday.MP4", "/media/usb/"}, {"/home/anne/Holiday.MP4", "/"}};
    currentVideo().FListName = QStringLiteral("Holiday.MP4");
    for (const auto& c : cases) {
        currentVideo().FFilename = QString::fromLatin1(c.path);
        frame.AfficherError(ecFileNotFound);
        const QString shown = frame.rxVue->toPlainText();
        EXPECT_TRUE(shown.contains(QStringLiteral("\nholiday.mp4\n"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("Check if the disk %1 is connected").arg(QString::fromLatin1(c.disk))))
            << shown.toStdString();
    }
}

TEST_F(ViewFrame, MessageScreensHideTheVideoAndShowTheAnimationOnlyWhileWaiting)
{
    showDesignSize(frame);
    EXPECT_FALSE(frame.an->isVisible());
    EXPECT_FALSE(frame.PanelVideo->isVisible());

    frame.AfficherPatience();
    EXPECT_TRUE(frame.an->isVisible());
    EXPECT_TRUE(frame.rxVue->isVisible());
    EXPECT_FALSE(frame.PanelVideo->isVisible());
    QColor workspace;
    markupColor(QStringLiteral("APPWORKSPACE"), frame.palette(), workspace);
    EXPECT_EQ(frame.rxVue->palette().color(QPalette::Base), workspace);
    const int first = frame.an->currentFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.an->currentFrame() != first; }, 2000));

    frame.PanelVideo->show();
    frame.AfficherError(ecBuildError);
    EXPECT_FALSE(frame.an->isVisible());
    EXPECT_TRUE(frame.rxVue->isVisible());
    EXPECT_FALSE(frame.PanelVideo->isVisible());
    EXPECT_EQ(frame.rxVue->palette().color(QPalette::Base), QColor(0xFF, 0xFB, 0xF0));

    frame.AfficherPatience();
    frame.PanelVideo->show();
    frame.affichagevide();
    EXPECT_FALSE(frame.an->isVisible());
    EXPECT_FALSE(frame.PanelVideo->isVisible());
    EXPECT_EQ(frame.rxVue->richText(), errorText(ecPatience, currentVideo()));
}

TEST_F(ViewFrame, TheBarStaysUsableOverTheMessageArea)
{
    showDesignSize(frame);
    frame.AfficherError(ecNoFileSelected);
    // The message area reaches 24 pixels below the top of the bar.
    const QPoint overlap(frame.NavBar->geometry().center().x(), frame.NavBar->y() + 10);
    ASSERT_TRUE(frame.rxVue->geometry().contains(overlap));
    QWidget* hit = frame.childAt(overlap);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == frame.NavBar || frame.NavBar->isAncestorOf(hit));
}

TEST_F(ViewFrame, NavigationAndGaugeComeAndGoTogether)
{
    showDesignSize(frame);
    for (const bool visible : {false, true, false}) {
        frame.ShowNavigation(visible);
        EXPECT_EQ(frame.NavBar->isVisible(), visible);
        EXPECT_EQ(frame.GaugeVolume->isVisible(), visible);
    }
}

TEST_F(ViewFrame, TheCurrentVideoOutlivesLaterFramesUntilFreed)
{
    currentVideo().FListName = QStringLiteral("kept.mp4");
    {
        TViewFrame second;
    }
    EXPECT_EQ(currentVideo().FListName, QStringLiteral("kept.mp4"));
    freeCurrentVideo();
    TViewFrame third;
    EXPECT_TRUE(currentVideo().FListName.isEmpty());
}
