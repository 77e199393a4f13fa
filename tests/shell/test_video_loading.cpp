#include "MediaClips.h"
#include "TestSupport.h"
#include "uAudioMan.h"
#include "uBaseCommon.h"
#include "uBlocsFrame.h"
#include "uBuildThread.h"
#include "uGaugeVolume.h"
#include "uHive.h"
#include "uLinkEdit.h"
#include "uNavBar.h"
#include "uOptionsFrame.h"
#include "uPreferences.h"
#include "uSavePrefs.h"
#include "uStatusBar.h"
#include "uTimerNavMan.h"
#include "uVideoFichiers.h"
#include "uViewFrame.h"
#include "umain.h"
#include "uvideoman.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

namespace {

// The main window on a fresh home whose common data folder holds the private
// filters as a fresh installation does, with real clips in its catalogue.
class VideoLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.file(QStringLiteral("common/Tessaly")));
        QFile::link(MediaClips::builtPrivateFolder(), dir.file(QStringLiteral("common/Tessaly/Private Filters")));
        base = std::make_unique<TBaseCommon>();
        form = std::make_unique<TMainForm>(base.get());
        form->prefs->setProgramFolder(dir.path() + QLatin1Char('/'));
        form->show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        form.reset();
        base.reset();
    }

    // Catalogues a copy of a clip under a name of its own; answers its list position.
    int addClip(const QString& clip, const QString& name, int rotation = 0)
    {
        const QString path = dir.file(QStringLiteral("Videos/") + name);
        QDir().mkpath(dir.file(QStringLiteral("Videos")));
        EXPECT_TRUE(QFile::copy(clip, path));
        TVideoFichier v;
        EXPECT_TRUE(v.loadFromFilename(path));
        v.FRotation = rotation;
        EXPECT_TRUE(v.insertnew());
        form->Bframe->updateSource();
        form->displaycount();
        return FCount++;
    }

    void select(int position)
    {
        form->Bframe->FSelectedList.clear();
        form->Bframe->FSelectedList.add(position + 1);
        form->selectBloc(position);
    }

    bool ready()
    {
        return !form->ViewFrame->BuildThread->isBuilding() && !form->ViewFrame->BuildThread->hasPending() &&
               form->PanelState() == psReady && form->StatusBar->text(form->MsgPanel()) == QStringLiteral("Ready");
    }

    QString screen() const { return form->ViewFrame->rxVue->richText(); }
    QString duration() const { return form->ViewFrame->NavBar->DureeLab->text(); }
    QString positionText() const { return form->ViewFrame->NavBar->CurrentEdit->text(); }
    TCheckAction* caPlay() const { return form->navman->recuperer<TCheckAction>(QStringLiteral("caPlay")); }

    FreshHome dir;
    std::unique_ptr<TBaseCommon> base;
    std::unique_ptr<TMainForm> form;

private:
    int FCount = 0;
};

} // namespace

TEST_F(VideoLoadingTest, ASelectedClipShowsItsFirstFramePausedWithTheNavigation)
{
    const int clip = addClip(MediaClips::h264AacMp4(), QStringLiteral("walk.mp4"));
    select(clip);
    EXPECT_EQ(form->StatusBar->text(form->MsgPanel()).left(8), QStringLiteral("Loading "));
    ASSERT_TRUE(pumpUntil([this] { return ready() && form->vidman->getFrames() > 0; }));
    EXPECT_TRUE(form->ViewFrame->PanelVideo->isVisible());
    EXPECT_FALSE(form->ViewFrame->rxVue->isVisible());
    EXPECT_TRUE(form->ViewFrame->NavBar->isVisible());
    EXPECT_TRUE(form->ViewFrame->GaugeVolume->isVisible());
    EXPECT_EQ(duration(), QStringLiteral("0:00:02:00"));
    EXPECT_EQ(positionText(), QStringLiteral("0:00:00:00"));
    EXPECT_EQ(form->navman->state(), gmPaused);
    EXPECT_EQ(form->navman->timeperframe(), 400000);

    // With the play command on, the next clip starts playing at its first frame.
    caPlay()->setChecked(true);
    EXPECT_EQ(form->navman->state(), gmPlaying);
    const int next = addClip(MediaClips::h264AacMov(), QStringLiteral("next.mov"));
    select(next);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    EXPECT_EQ(form->navman->state(), gmPlaying);
    caPlay()->setChecked(false);
    EXPECT_EQ(form->navman->state(), gmPaused);
}

TEST_F(VideoLoadingTest, AClipTurnedHalfWayRoundIsFlippedAndTheNextOneIsNot)
{
    const int turned = addClip(MediaClips::h264AacMp4(), QStringLiteral("turned.mp4"), 180);
    const int upright = addClip(MediaClips::h264AacMov(), QStringLiteral("upright.mov"), 0);
    select(turned);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    EXPECT_TRUE(form->vidman->caFlipVertical->Checked());
    EXPECT_TRUE(form->vidman->caFlipHorizontal->Checked());
    EXPECT_TRUE(form->vidman->FlipVertical() && form->vidman->FlipHorizontal());
    select(upright);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    EXPECT_FALSE(form->vidman->caFlipVertical->Checked());
    EXPECT_FALSE(form->vidman->FlipHorizontal());
}

TEST_F(VideoLoadingTest, ABurstOfSelectionsBuildsTheLastOne)
{
    const int shortClip = addClip(MediaClips::h264AacMp4(2), QStringLiteral("a.mp4"));
    const int longClip = addClip(MediaClips::h264AacMp4(3), QStringLiteral("b.mp4"));
    for (int i = 0; i < 5; ++i) {
        select(shortClip);
        select(longClip);
    }
    ASSERT_TRUE(pumpUntil([this] { return ready() && form->vidman->getFrames() > 0; }));
    EXPECT_EQ(currentVideo().FListName, QStringLiteral("b.mp4"));
    EXPECT_EQ(duration(), QStringLiteral("0:00:03:00"));
}

TEST_F(VideoLoadingTest, AudioOnlyAndUnreadableClipsShowTheirScreensAndThePlayerGoesOn)
{
    const int audio = addClip(MediaClips::aacOnlyMp4(), QStringLiteral("song.mp4"));
    const int broken = addClip(MediaClips::truncatedMp4(), QStringLiteral("broken.mp4"));
    const int text = addClip(MediaClips::textMp4(), QStringLiteral("words.mp4"));
    const int video = addClip(MediaClips::h264OnlyMp4(), QStringLiteral("silent.mp4"));

    select(audio);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    EXPECT_EQ(screen(), errorText(ecAudioOnly, currentVideo()));
    EXPECT_TRUE(form->ViewFrame->NavBar->isVisible());
    EXPECT_TRUE(form->ViewFrame->GaugeVolume->isVisible());
    EXPECT_FALSE(form->ViewFrame->PanelVideo->isVisible());

    for (const int bad : {broken, text}) {
        select(bad);
        ASSERT_TRUE(pumpUntil([this] { return ready(); }));
        EXPECT_EQ(screen(), errorText(ecBuildError, currentVideo()));
        EXPECT_FALSE(form->ViewFrame->PanelVideo->isVisible());
    }

    select(video);
    ASSERT_TRUE(pumpUntil([this] { return ready() && form->vidman->getFrames() > 0; }));
    EXPECT_TRUE(form->ViewFrame->PanelVideo->isVisible());
    EXPECT_FALSE(form->ViewFrame->GaugeVolume->isVisible());
}

TEST_F(VideoLoadingTest, AFileRemovedSinceItWasListedPausesThePlayingVideo)
{
    const int clip = addClip(MediaClips::h264AacMp4(), QStringLiteral("walk.mp4"));
    const int gone = addClip(MediaClips::h264AacMov(), QStringLiteral("gone.mov"));
    select(clip);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    caPlay()->setChecked(true);
    QFile::remove(dir.file(QStringLiteral("Videos/gone.mov")));
    select(gone);
    EXPECT_EQ(screen(), errorText(ecFileNotFound, currentVideo()));
    EXPECT_NE(form->navman->state(), gmPlaying);
}

TEST_F(VideoLoadingTest, ClosingDuringABuildWaitsForIt)
{
    const int clip = addClip(MediaClips::h264AacMp4(), QStringLiteral("walk.mp4"));
    form->prefs->setMode(spRegistre);
    select(clip);
    form->close();
    EXPECT_FALSE(form->ViewFrame->BuildThread->isBuilding());
    form.reset();
}

TEST_F(VideoLoadingTest, HardwareChoicesReachTheHiveOnlyUnderTheImportedKey)
{
    const auto radio = [this](const QString& text) {
        for (QRadioButton* button : form->OptionsFrame->findChildren<QRadioButton*>()) {
            if (button->text() == text)
                return button;
        }
        return static_cast<QRadioButton*>(nullptr);
    };
    ASSERT_NE(radio(QStringLiteral("DXVA2 (copy back)")), nullptr);
    const QString key = QStringLiteral("Software\\LBV\\Video\\HWAccel");
    // The preferences' load imported the private folder's settings.
    form->iaHWDecoder->setValue(3);
    quint32 value = 0;
    ASSERT_TRUE(THive().queryDword(key, QStringLiteral("HWAccel"), value));
    EXPECT_EQ(value, 3u);
    EXPECT_TRUE(radio(QStringLiteral("DXVA2 (copy back)"))->isChecked());

    ASSERT_TRUE(THive().deleteKeyTree(key));
    form->iaHWDecoder->setValue(1);
    EXPECT_FALSE(THive().keyExists(key));
    EXPECT_TRUE(radio(QStringLiteral("DXVA2 (copy back)"))->isChecked());
    EXPECT_FALSE(radio(QStringLiteral("NVIDIA CUVID"))->isChecked());
}

TEST_F(VideoLoadingTest, ACloseRefusedAtTheQuestionLeavesThePlayerUsable)
{
    const int first = addClip(MediaClips::h264AacMp4(), QStringLiteral("walk.mp4"));
    const int second = addClip(MediaClips::h264AacMov(), QStringLiteral("next.mov"));
    select(first);
    ASSERT_TRUE(pumpUntil([this] { return ready(); }));
    // In none mode the close asks where to save; the question is dismissed.
    QTimer::singleShot(300, [this] { form->prefs->prompt()->reject(); });
    form->close();
    EXPECT_TRUE(form->isVisible());
    ASSERT_TRUE(pumpUntil([this] { return ready() && form->vidman->getFrames() > 0; }));
    EXPECT_TRUE(form->ViewFrame->PanelVideo->isVisible());
    select(second);
    ASSERT_TRUE(pumpUntil([this] { return ready() && form->vidman->FilterGraph(); }));
    EXPECT_EQ(duration(), QStringLiteral("0:00:02:00"));
    EXPECT_TRUE(THive().keyExists(QStringLiteral("Software\\LBV")));
}
