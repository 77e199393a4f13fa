#include "TestSupport.h"
#include "uDataVue.h"
#include "uLinkEdit.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"
#include "uWndComponent.h"

#include <QPushButton>

namespace {

const QStringList kFullOutput = {
    QStringLiteral("ExifTool Version Number         : 12.57"),
    QStringLiteral("File Name                       : clip.mp4"),
    QStringLiteral("File Size                       : 2.3 MB"),
    QStringLiteral("Create Date                     : 2021:07:14 18:05:09"),
    QStringLiteral("Duration                        : 0:01:23"),
    QStringLiteral("Image Width                     : 1920"),
    QStringLiteral("Image Height                    : 1080"),
    QStringLiteral("Video Frame Rate                : 29.97"),
    QStringLiteral("Compressor ID                   : avc1"),
    QStringLiteral("Audio Format                    : mp4a"),
    QStringLiteral("Audio Channels                  : 2"),
    QStringLiteral("Audio Bits per Sample           : 16"),
    QStringLiteral("Audio Sample Rate               : 48000"),
    QStringLiteral("Encoder                         : Lavf59.27.100"),
    QStringLiteral("Warning: Truncated mdat atom"),
    QStringLiteral("a line without a colon"),
};

QString expectedSummaryBody(bool withValues)
{
    const char* const keys[][2] = {{"File Size", "2.3 MB"},       {"Create Date", "2021:07:14 18:05:09"},
                                   {"Duration", "0:01:23"},       {"Image Width", "1920"},
                                   {"Image Height", "1080"},      {"Video Frame Rate", "29.97"},
                                   {"Compressor ID", "avc1"},     {"Audio Format", "mp4a"},
                                   {"Audio Channels", "2"},       {"Audio Bits per Sample", "16"},
                                   {"Audio Sample Rate", "48000"}};
    QString body;
    for (const auto& k : keys)
        body += QStringLiteral("<br>  %1:   <color Navy>%2</color>").arg(QString::fromLatin1(k[0]),
                                                                        withValues ? QString::fromLatin1(k[1]) : QString());
    return body + QStringLiteral("<br>  Encoder:   <color Navy>%1</color>")
                      .arg(withValues ? QStringLiteral("Lavf59.27.100") : QStringLiteral("     ---"));
}

} // namespace

TEST(DetailsPanel, SummaryAndFullBodies)
{
    EXPECT_EQ(TDataVue::exifSummary(kFullOutput), expectedSummaryBody(true));
    EXPECT_EQ(TDataVue::exifSummary({}), expectedSummaryBody(false));
    EXPECT_EQ(TDataVue::exifFull(kFullOutput),
              QStringLiteral("<br>  File Size:   <color Blue>2.3 MB</color>"
                             "<br>  Create Date:   <color Blue>2021:07:14 18:05:09</color>"
                             "<br>  Duration:   <color Blue>0:01:23</color>"
                             "<br>  Image Width:   <color Blue>1920</color>"
                             "<br>  Image Height:   <color Blue>1080</color>"
                             "<br>  Video Frame Rate:   <color Blue>29.97</color>"
                             "<br>  Compressor ID:   <color Blue>avc1</color>"
                             "<br>  Audio Format:   <color Blue>mp4a</color>"
                             "<br>  Audio Channels:   <color Blue>2</color>"
                             "<br>  Audio Bits per Sample:   <color Blue>16</color>"
                             "<br>  Audio Sample Rate:   <color Blue>48000</color>"
                             "<br>  Encoder:   <color Blue>Lavf59.27.100</color>"
                             "<br>  Warning:   <color Blue>Truncated mdat atom</color>"));
    EXPECT_TRUE(TDataVue::exifFull({}).isEmpty());
}

TEST(DetailsPanel, ViewsShowTheRecordWithItsMarks)
{
    const struct {
        bool scn, srt;
        const char* marks;
    } cases[] = {{false, true, "     srt"}, {true, false, "scn     "}, {true, true, "scn  srt"}, {false, false, "        "}};
    for (const auto& c : cases) {
        TVideoFichier v;
        v.FListName = QStringLiteral("clip.mp4");
        v.FExif = kFullOutput;
        v.FHasScn = c.scn;
        v.FHasSrt = c.srt;
        TDataVue vue;
        vue.afficher(v);
        const QString marks = QString::fromLatin1(c.marks);
        EXPECT_EQ(vue.leLimitedExif->richText(),
                  QStringLiteral("<br><b><color Black><Size 120>clip.mp4</Size></b></color><br center>")
                      + expectedSummaryBody(true) + QStringLiteral("<br><color Gray>") + marks
                      + QStringLiteral("</color><br center>"));
        EXPECT_TRUE(vue.leFullExif->richText().endsWith(QStringLiteral("<br><color Gray>") + marks
                                                        + QStringLiteral("</color><br center>")));
        const QStringList shown = vue.leLimitedExif->toPlainText().split(QLatin1Char('\n'));
        EXPECT_EQ(shown.value(0), QString());
        EXPECT_EQ(shown.value(1), QStringLiteral("clip.mp4"));
        EXPECT_EQ(shown.value(2), QString());
        EXPECT_EQ(shown.value(3), QStringLiteral("  File Size:   2.3 MB"));
        EXPECT_EQ(shown.value(shown.size() - 2), marks);
        vue.vider();
        EXPECT_TRUE(vue.leLimitedExif->toPlainText().isEmpty());
        EXPECT_TRUE(vue.leFullExif->toPlainText().isEmpty());
    }
}

TEST(DetailsPanel, TheExifSwitchFlipsTheViewAtOnce)
{
    TQXActionList list;
    TCheckAction full(QStringLiteral("caShowFullexif"), &list);
    TDataVue vue;
    vue.resize(272, 300);
    vue.setShowFullExifAction(&full);
    vue.show();
    EXPECT_TRUE(vue.leLimitedExif->isVisible());
    EXPECT_FALSE(vue.leFullExif->isVisible());
    EXPECT_EQ(vue.ExifPanel->toolTip(), QStringLiteral("Click to display the full Exif"));

    TVideoFichier v;
    v.FListName = QStringLiteral("clip.mp4");
    v.FExif = kFullOutput;
    vue.afficher(v);
    vue.ExifPanel->click();
    EXPECT_TRUE(full.Checked());
    EXPECT_TRUE(vue.leFullExif->isVisible());
    EXPECT_FALSE(vue.leLimitedExif->isVisible());
    EXPECT_EQ(vue.ExifPanel->toolTip(), QStringLiteral("Click to display the summarized Exif"));
    EXPECT_TRUE(vue.leFullExif->toPlainText().contains(QStringLiteral("Warning:   Truncated mdat atom")));
    full.setChecked(false);
    EXPECT_TRUE(vue.leLimitedExif->isVisible());
}
