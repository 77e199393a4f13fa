#include "OutputGraphs.h"
#include "QtPrinters.h"
#include "TestSupport.h"
#include "uDecoders.h"
#include "uPreferences.h"
#include "uvideoman.h"

#include <gtest/gtest.h>

namespace {

const QString kLine = QStringLiteral("Ecrivez une incrustation");
const QColor kLetters(255, 255, 0);

TFontValue overlayFont()
{
    TFontValue font;
    font.Name = QStringLiteral("Arial");
    font.Size = 20;
    font.Color = 0x00FFFF; // yellow
    return font;
}

// The bounds of the pixels of exactly that colour, opaque.
QRect inkOf(const QImage& image, const QColor& color)
{
    const QRgb wanted = color.rgba();
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == wanted)
                found |= QRect(x, y, 1, 1);
    }
    return found;
}

bool hasColor(const QImage& image, const QColor& color)
{
    return !inkOf(image, color).isNull();
}

// The manager showing a clip in a host that holds the picture at its own size.
struct VideoMan : ::testing::Test {
    VideoMan()
    {
        host.resize(1296, 736);
        host.show();
        vid.setWindow(&host);
        vid.setVideoOk();
        vid.caInsertAntiAliasing->setChecked(false);
        vid.faInsertFont->setValue(overlayFont());
    }

    bool show(TClipGraph& clip, const QString& path)
    {
        vid.setFilterGraph(&clip.graph);
        return clip.open(path, vid.baseFilter()) && clip.preroll() &&
               QTest::qWaitFor([this] { return vid.getFrames() > 0; }, 5000);
    }

    QWidget host;
    TVideoMan vid;
    TClipGraph clip;
};

} // namespace

TEST_F(VideoMan, TheOverlayTextStartsAtItsAnchorShiftedByTheOutline)
{
    ASSERT_TRUE(show(clip, OutputClips::pattern(QStringLiteral("1280x720"))));
    QFont font = fontOf(overlayFont());
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const QRect glyphs = metrics.tightBoundingRect(kLine);
    const int advance = metrics.horizontalAdvance(kLine);
    const struct {
        qint32 align;
        int originX; // where the text is drawn, before the outline's shift
    } cases[] = {
        {0, 640},
        {1, 640 - advance},
        {2, 640 - advance / 2},
    };
    vid.paInsertPosition->setValue(TPoint(5000, 2500));
    vid.caInsertTextOn->setChecked(true);
    for (const auto& c : cases) {
        vid.iaInsertAlignLines->setValue(c.align);
        const QImage& layer = vid.textBitmap();
        ASSERT_EQ(layer.size(), QSize(1280, 720));
        const QRect ink = inkOf(layer, kLetters);
        EXPECT_NEAR(ink.left(), c.originX + 2 + glyphs.left(), 1) << "alignment " << c.align;
        EXPECT_NEAR(ink.top(), 180 + 2 + metrics.ascent() + glyphs.top(), 1) << "alignment " << c.align;
        EXPECT_NEAR(ink.width(), glyphs.width(), 2) << "alignment " << c.align;
        EXPECT_EQ(qAlpha(layer.pixel(0, 0)), 0) << "the colour key is transparent";
    }
}

TEST_F(VideoMan, AnUnknownAlignmentKeepsTheLinesAsTheyWere)
{
    ASSERT_TRUE(show(clip, OutputClips::pattern(QStringLiteral("1280x720"))));
    vid.paInsertPosition->setValue(TPoint(5000, 2500));
    vid.caInsertTextOn->setChecked(true);
    vid.iaInsertAlignLines->setValue(2);
    const QImage centred = vid.textBitmap().copy();
    vid.iaInsertAlignLines->setValue(5);
    EXPECT_EQ(vid.InsertAlignLines(), 5);
    EXPECT_EQ(vid.lignes[0].HorizontalAlignment, taCenter);
    EXPECT_EQ(vid.textBitmap(), centred);
}

TEST_F(VideoMan, TheOutlineIsDrawnOnlyWithABorderAndNeverSmoothed)
{
    ASSERT_TRUE(show(clip, OutputClips::pattern(QStringLiteral("1280x720"))));
    vid.caInsertTextOn->setChecked(true);
    vid.caInsertAntiAliasing->setChecked(true);
    const QColor outline(0, 0, 0);
    const struct {
        qint32 border;
        bool outlined;
    } cases[] = {{0, false}, {2, true}};
    for (const auto& c : cases) {
        vid.iaInsertBorderWidth->setValue(c.border);
        const QImage& layer = vid.textBitmap();
        EXPECT_EQ(hasColor(layer, outline), c.outlined) << c.border;
        // Every drawn pixel is the letters' or the outline's own colour, or keyed out;
        // smoothing shows only on letters that have an outline to blend with.
        bool onlyPlain = true;
        for (int y = 0; y < layer.height() && onlyPlain; ++y)
            for (int x = 0; x < layer.width() && onlyPlain; ++x) {
                const QRgb p = layer.pixel(x, y);
                onlyPlain = qAlpha(p) == 0 || p == kLetters.rgba() || p == outline.rgba();
            }
        EXPECT_EQ(onlyPlain, !c.outlined) << c.border;
        if (c.outlined) {
            const QRect letters = inkOf(layer, kLetters);
            const QRect border = inkOf(layer, outline);
            EXPECT_LE(border.left(), letters.left() - 1) << "the outline reaches beyond the letters";
        }
    }
}

TEST_F(VideoMan, TheLayerLiesOverEveryPictureWithItsOpacity)
{
    ASSERT_TRUE(show(clip, OutputClips::solid(QStringLiteral("lime"), QStringLiteral("1280x720"))));
    vid.paInsertPosition->setValue(TPoint(5000, 2500));
    vid.caInsertTextOn->setChecked(true);
    const QRect ink = inkOf(vid.textBitmap(), kLetters);
    ASSERT_FALSE(ink.isNull());
    // A pixel of a letter, found in the layer, then looked at on the host.
    QPoint letter;
    for (int x = ink.left(); x <= ink.right() && letter.isNull(); ++x)
        if (vid.textBitmap().pixelColor(x, ink.center().y()) == kLetters)
            letter = QPoint(x, ink.center().y());
    ASSERT_FALSE(letter.isNull());
    const QPoint onHost = letter + QPoint(8, 8);
    const struct {
        bool on;
        double opacity;
        int red; // lime under yellow letters
    } cases[] = {{true, 1.0, 255}, {true, 0.5, 128}, {false, 1.0, 0}};
    for (const auto& c : cases) {
        vid.setInsertTransparency(c.opacity);
        vid.caInsertTextOn->setChecked(c.on);
        const QImage shown = host.grab().toImage();
        EXPECT_NEAR(shown.pixelColor(onHost).red(), c.red, 12) << c.on << " " << c.opacity;
        EXPECT_GT(shown.pixelColor(onHost).green(), 200);
        EXPECT_LT(shown.pixelColor(QPoint(20, 20)).red(), 40) << "the keyed-out colour shows the video";
    }
}

TEST_F(VideoMan, TheLayerKeepsItsSizeUntilItIsDrawnAgain)
{
    ASSERT_TRUE(show(clip, OutputClips::pattern(QStringLiteral("320x240"))));
    vid.caInsertTextOn->setChecked(true);
    EXPECT_EQ(vid.textBitmap().size(), QSize(320, 240));

    TClipGraph next;
    ASSERT_TRUE(show(next, OutputClips::pattern(QStringLiteral("1280x720"))));
    EXPECT_EQ(vid.nativeVideoSize(), QSize(1280, 720));
    EXPECT_EQ(vid.textBitmap().size(), QSize(320, 240));
    vid.caInsertTextOn->setChecked(false);
    EXPECT_EQ(vid.insertionMode(), imNone);
    vid.caInsertTextOn->setChecked(true);
    EXPECT_EQ(vid.textBitmap().size(), QSize(1280, 720));
    vid.setFilterGraph(nullptr);
}

TEST(VideoManHost, TheNoVideoControlsShowOnlyUntilTheVideoIsOk)
{
    QWidget first;
    QWidget second;
    first.resize(400, 300);
    second.resize(300, 200);
    first.show();
    second.show();
    TVideoMan vid;
    EXPECT_EQ(vid.stateVideo(), svNoVideo);
    vid.setWindow(&first);
    EXPECT_EQ(vid.le->parentWidget(), &first);
    EXPECT_TRUE(vid.le->isVisible());
    EXPECT_TRUE(vid.image->isVisible());
    EXPECT_EQ(vid.image->size(), QSize(192, 192));
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 392, 292}));

    vid.setVideoOk();
    EXPECT_EQ(vid.stateVideo(), svVideoOK);
    EXPECT_FALSE(vid.le->isVisible());
    EXPECT_FALSE(vid.image->isVisible());

    vid.setWindow(&second);
    EXPECT_EQ(vid.image->parentWidget(), &second);
    EXPECT_FALSE(vid.image->isVisible());
    second.resize(500, 400);
    EXPECT_EQ(vid.winrect, (TRect{8, 8, 492, 392}));
}

TEST(VideoManPrefs, TheVideoDecodersLiveInTheirOwnSubKey)
{
    TempFolder dir;
    qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
    QWidget owner;
    TOrvanePreferences prefs(&owner);
    prefs.setProgramFolder(dir.path() + QLatin1Char('/'));
    prefs.setTitre(QStringLiteral("VideoManTest"));
    prefs.setMode(spPortable);

    const TMediaRec media{QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()};
    TFilterRec* decoder = TFilterRec::create(QUuid::createUuid(), QStringLiteral("Some decoder"), ftCom);
    preferredVideoLinks().clear();
    preferredVideoLinks().setlink(media, decoder);
    {
        TVideoMan vid;
        vid.iaInsertAlignLines->setValue(1);
        EXPECT_TRUE(vid.SaveToPrefs(prefs));
        EXPECT_TRUE(prefs.writeInteger(QStringLiteral("AfterVideo"), 7));
    }
    preferredVideoLinks().clear();

    TVideoMan vid;
    EXPECT_TRUE(vid.LoadFromPrefs(prefs));
    EXPECT_EQ(vid.InsertAlignLines(), 1);
    EXPECT_EQ(vid.lignes[0].HorizontalAlignment, taRightJustify);
    ASSERT_EQ(preferredVideoLinks().count(), 1);
    EXPECT_EQ(preferredVideoLinks().at(0).media, media);
    EXPECT_EQ(preferredVideoLinks().at(0).decoder->name, QStringLiteral("Some decoder"));
    // The sub-key is closed again: the caller's key is current.
    EXPECT_EQ(prefs.readInteger(QStringLiteral("AfterVideo"), 0), 7);
    EXPECT_TRUE(prefs.openkey(QStringLiteral("VideoDecoders")));
    QStringList keys;
    EXPECT_TRUE(prefs.readkeys(keys));
    EXPECT_EQ(keys, QStringList{QStringLiteral("dc0")});
    prefs.closekey();
    preferredVideoLinks().clear();
    qunsetenv("XDG_CONFIG_HOME");
}
