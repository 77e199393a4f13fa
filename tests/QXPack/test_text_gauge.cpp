#include "QtPrinters.h"
#include "uGaugeVolume.h"
#include "uTextGauges.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// The volume gauge at 96 dpi: 48 x 20, no border, so the needle starts at (24, 19).
struct VolumeGauge : ::testing::Test {
    VolumeGauge() { gauge.setDpi(96); }

    QImage painted() { return gauge.grab().toImage(); }
    static QColor pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }
    // The colour as the 8-bit image holds it.
    static QColor drawn(const QColor& c) { return QColor(c.rgb()); }

    TGaugeVolume gauge;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST(TextGauge, ColoursInThePlatformEncodingAreBlueGreenRed)
{
    EXPECT_EQ(colorFromBGR(0xA2A2EE), QColor(0xEE, 0xA2, 0xA2));
    EXPECT_EQ(colorFromBGR(0xF0FBFF), QColor(0xFF, 0xFB, 0xF0));
    EXPECT_EQ(colorFromBGR(0x123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(TTextGauge::AlertColor, QColor(0xEE, 0xA2, 0xA2));
}

TEST(TextGauge, RangeBoundsKeepTheValueInside)
{
    TTextGauge gauge;
    gauge.setProgress(90);
    gauge.setMaxValue(50);
    EXPECT_EQ(gauge.Progress(), 50);
    EXPECT_EQ(gauge.PercentDone(), 100);
    gauge.setMinValue(70);
    EXPECT_EQ(gauge.MaxValue(), 70);
    EXPECT_EQ(gauge.Progress(), 70);
    EXPECT_EQ(gauge.PercentDone(), 0); // an empty range
    gauge.setMaxValue(-10);
    EXPECT_EQ(gauge.MinValue(), -10);
    EXPECT_EQ(gauge.Progress(), -10);
}

TEST(TextGauge, CustomTextShowsTheCaptionAsItStands)
{
    TTextGauge gauge;
    gauge.setProgress(42);
    EXPECT_EQ(gauge.text(), QStringLiteral("42%"));
    gauge.setCaption(QStringLiteral("Vol %d"));
    EXPECT_EQ(gauge.text(), QStringLiteral("42%"));
    gauge.setCustomText(true);
    EXPECT_EQ(gauge.text(), QStringLiteral("Vol %d"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Vol %d"));
}

TEST(TextGauge, SingleBorderInsetsTheDial)
{
    TTextGauge gauge;
    gauge.resize(48, 20);
    gauge.setShowText(false);
    const QImage image = gauge.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(47, 19)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(10, 18)), gauge.ForeColor()); // the bottom edge, one pixel up
}

TEST_F(VolumeGauge, IsPresetAsAVolumeDial)
{
    EXPECT_EQ(gauge.size(), QSize(48, 20));
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 10000);
    EXPECT_EQ(gauge.AlertValue(), 11000);
    EXPECT_EQ(gauge.BorderStyle(), bsNone);
    EXPECT_EQ(gauge.ForeColor(), gauge.palette().color(QPalette::Dark));
    EXPECT_EQ(gauge.BackColor(), QColor(Qt::white));
    EXPECT_EQ(gauge.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(gauge.toolTip(), QStringLiteral("Type + or - on the numeric keypad to change the volume"));
    gauge.setDpi(144);
    EXPECT_EQ(gauge.size(), QSize(72, 30));
}

TEST_F(VolumeGauge, ShowsAndSaysTheVolumeInPercent)
{
    const struct {
        int volume;
        int progress;
        const char* text;
    } cases[] = {{5000, 5000, "50%"}, {9999, 9999, "99%"}, {0, 0, "0%"},
                 {10000, 10000, "100%"}, {-300, 0, "0%"}, {25000, 10000, "100%"}};
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_NE(accessible, nullptr);
    for (const auto& c : cases) {
        gauge.setProgress(c.volume);
        EXPECT_EQ(gauge.Progress(), c.progress) << c.volume;
        EXPECT_EQ(gauge.text(), QString::fromLatin1(c.text)) << c.volume;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromLatin1(c.text)) << c.volume;
        EXPECT_EQ(accessible->text(QAccessible::Value), QString::fromLatin1(c.text)) << c.volume;
    }
    EXPECT_EQ(accessible->text(QAccessible::Description), gauge.toolTip());
}

TEST_F(VolumeGauge, TheNeedlePointsLeftUpOrRight)
{
    gauge.setShowText(false);
    const QColor fore = drawn(gauge.ForeColor());
    const QColor back = drawn(gauge.BackColor());

    gauge.setProgress(5000); // straight up from the middle of the bottom edge
    QImage image = painted();
    for (int y = 0; y < 19; ++y)
        EXPECT_EQ(pixel(image, 24, y), fore) << y;
    EXPECT_EQ(pixel(image, 18, 10), back);
    EXPECT_EQ(pixel(image, 30, 10), back);

    gauge.setProgress(2500); // up to the left, through (15, 12)
    image = painted();
    EXPECT_EQ(pixel(image, 15, 12), fore);
    EXPECT_EQ(pixel(image, 33, 12), back);
    EXPECT_EQ(pixel(image, 24, 10), back);

    gauge.setProgress(7500); // up to the right, through (33, 12)
    image = painted();
    EXPECT_EQ(pixel(image, 33, 12), fore);
    EXPECT_EQ(pixel(image, 15, 12), back);

    gauge.setProgress(0); // no needle at all
    image = painted();
    for (int y = 2; y < 19; ++y)
        EXPECT_EQ(pixel(image, 24, y), back) << y;
    EXPECT_EQ(pixel(image, 5, 19), fore); // the bottom edge
}

TEST_F(VolumeGauge, AboveTheAlertTheNeedleTurnsLightRed)
{
    gauge.setShowText(false);
    gauge.setProgress(5000);
    gauge.setAlertValue(5000);
    EXPECT_EQ(pixel(painted(), 24, 10), drawn(gauge.ForeColor()));
    gauge.setAlertValue(4999);
    const QImage image = painted();
    EXPECT_EQ(pixel(image, 24, 10), TTextGauge::AlertColor);
    EXPECT_EQ(pixel(image, 5, 19), TTextGauge::AlertColor);
}

TEST_F(VolumeGauge, TheTextInvertsWhatItCovers)
{
    gauge.setProgress(5000);
    gauge.setShowText(false);
    const QImage dial = painted();
    gauge.setShowText(true);
    const QImage withText = painted();
    ASSERT_EQ(dial.size(), withText.size());
    int inverted = 0;
    int overNeedle = 0;
    for (int y = 0; y < dial.height(); ++y) {
        for (int x = 0; x < dial.width(); ++x) {
            const QRgb under = dial.pixel(x, y) & 0xFFFFFF;
            const QRgb shown = withText.pixel(x, y) & 0xFFFFFF;
            if (shown == under)
                continue;
            ASSERT_EQ(shown, under ^ 0xFFFFFF) << x << "," << y;
            ++inverted;
            if (x == 24 && QColor(under) == drawn(gauge.ForeColor()))
                ++overNeedle;
        }
    }
    EXPECT_GT(inverted, 20);
    EXPECT_GT(overNeedle, 0);
}

TEST_F(VolumeGauge, RepaintsOnlyWhenThePercentageChanges)
{
    gauge.setProgress(5000);
    gauge.show();
    QApplication::processEvents();
    PaintCounter counter;
    gauge.installEventFilter(&counter);
    gauge.setProgress(5099);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    gauge.setProgress(5100);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
}
