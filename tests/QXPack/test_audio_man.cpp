#include "OutputGraphs.h"
#include "TestSupport.h"
#include "uAudioMan.h"
#include "uGaugeVolume.h"
#include "uMacroRecorder.h"
#include "uPreferences.h"
#include "uShortcutDispatch.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double elementGain(GstElement* volume)
{
    gdouble gain = -1;
    g_object_get(volume, "volume", &gain, nullptr);
    return gain;
}

// The manager with its gauge, its renderer in a graph playing an audio clip.
struct AudioMan : ::testing::Test {
    AudioMan()
    {
        aud.setAudioGauge(&gauge);
        aud.setGrapheMan(&clip.graph);
        aud.setFilterGraph(&clip.graph);
    }

    bool open()
    {
        return clip.open(MediaClips::aacOnlyMp4(), nullptr, aud.renderer().element()) && clip.preroll();
    }

    TGaugeVolume gauge;
    TAudioMan aud;
    TClipGraph clip;
};

} // namespace

TEST_F(AudioMan, TheVolumeFollowsTheLogarithmicLaw)
{
    ASSERT_TRUE(open());
    const struct {
        qint32 volume;
        qint32 attenuation;
    } cases[] = {{10000, 0}, {5000, -752}, {1000, -2499}, {0, -10000}, {12000, 0}, {-3, -10000}};
    for (const auto& c : cases) {
        aud.setVolume(c.volume);
        EXPECT_EQ(volumeAttenuation(aud.Volume()), c.attenuation) << c.volume;
        const double expected = c.attenuation <= -10000 ? 0.0 : std::pow(10.0, c.attenuation / 2000.0);
        EXPECT_NEAR(elementGain(aud.renderer().volumeElement()), expected, 1e-6) << c.volume;
        EXPECT_EQ(gauge.Progress(), std::clamp(c.volume, 0, 10000));
    }
}

TEST_F(AudioMan, StepsOfAThousandStayInTheRangeAndGoThroughTheSetting)
{
    const struct {
        qint32 from;
        bool up;
        qint32 to;
    } cases[] = {{9500, true, 10000}, {500, false, 0}, {5000, true, 6000}, {5000, false, 4000}, {10000, true, 10000}};
    QStringList lines;
    TMacroRecorder::setTarget([&](const QString& line) { lines << line; });
    for (const auto& c : cases) {
        aud.setVolume(c.from);
        lines.clear();
        if (c.up)
            aud.IncVolume();
        else
            aud.DecVolume();
        EXPECT_EQ(aud.Volume(), c.to) << c.from << (c.up ? " +" : " -");
        EXPECT_EQ(aud.iaVolume->Value, c.to);
        EXPECT_EQ(clip.graph.volume(), c.to);
        EXPECT_EQ(gauge.Progress(), c.to);
        EXPECT_EQ(lines, QStringList{aud.iaVolume->macroLine()}) << "the step is recorded";
    }
    TMacroRecorder::clearTarget();
}

TEST_F(AudioMan, MutingSilencesTheGraphButNotTheGauge)
{
    ASSERT_TRUE(open());
    aud.setVolume(7000);
    aud.caMute->setChecked(true);
    EXPECT_EQ(clip.graph.volume(), 0);
    EXPECT_EQ(elementGain(aud.renderer().volumeElement()), 0.0);
    EXPECT_EQ(gauge.Progress(), 7000);
    EXPECT_EQ(aud.Volume(), 7000) << "read while muted: the stored volume, not the graph's 0";
    aud.caMute->setChecked(false);
    EXPECT_EQ(clip.graph.volume(), 7000);
    EXPECT_NEAR(elementGain(aud.renderer().volumeElement()), attenuationGain(volumeAttenuation(7000)), 1e-6);
}

TEST_F(AudioMan, WithoutItsRendererTheVolumeStillReachesGaugeAndGraph)
{
    ASSERT_TRUE(open());
    aud.setFilterGraph(nullptr);
    GstElement* inGraph = gst_bin_get_by_name(GST_BIN(clip.graph.Graph()), "QX Audio Renderer");
    EXPECT_EQ(inGraph, nullptr);
    if (inGraph)
        gst_object_unref(inGraph);
    aud.setVolume(3000);
    aud.IncVolume();
    EXPECT_EQ(gauge.Progress(), 4000);
    EXPECT_EQ(clip.graph.volume(), 4000);

    aud.setGrapheMan(nullptr);
    aud.setVolume(2000);
    EXPECT_EQ(gauge.Progress(), 2000);
    EXPECT_EQ(clip.graph.volume(), 4000);
}

TEST_F(AudioMan, WithoutADeviceTheOutputKeepsTheClocksPace)
{
    ASSERT_TRUE(open());
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(aud.renderer().element()));
    GValue item = G_VALUE_INIT;
    int fakeSinks = 0;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        if (factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink") == 0) {
            gboolean sync = FALSE;
            g_object_get(element, "sync", &sync, nullptr);
            EXPECT_TRUE(sync);
            ++fakeSinks;
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    if (fakeSinks == 0)
        GTEST_SKIP() << "this machine has an audio device";
}

TEST(AudioManPrefs, TheStoredVolumeIsClampedAndTheDecodersHaveTheirSubKey)
{
    TempFolder dir;
    qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
    QWidget owner;
    TOrvanePreferences prefs(&owner);
    prefs.setProgramFolder(dir.path() + QLatin1Char('/'));
    prefs.setTitre(QStringLiteral("AudioManTest"));
    prefs.setMode(spPortable);
    ASSERT_TRUE(prefs.writeInteger(QStringLiteral("Volume"), 12000));
    ASSERT_TRUE(prefs.writeBool(QStringLiteral("Mute"), true));

    TGaugeVolume gauge;
    TGrapheMan graph;
    TAudioMan aud;
    aud.setAudioGauge(&gauge);
    EXPECT_TRUE(aud.LoadFromPrefs(prefs));
    EXPECT_EQ(aud.Volume(), 10000);
    EXPECT_EQ(gauge.Progress(), 10000);
    EXPECT_TRUE(aud.Mute());

    aud.setGrapheMan(&graph);
    aud.caMute->setChecked(false);
    graph.setVolume(3500);
    EXPECT_TRUE(aud.SaveToPrefs(prefs));
    EXPECT_EQ(prefs.readInteger(QStringLiteral("Volume"), 0), 3500) << "the volume read back from the graph";
    EXPECT_TRUE(prefs.openkey(QStringLiteral("AudioDecoders")));
    prefs.closekey();
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(AudioManKeys, TheKeypadChangesTheVolumeWhileATextBoxHasTheFocus)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    auto* aud = new TAudioMan(&window);
    TShortcutDispatcher::install(&window);
    window.show();
    edit->setFocus();
    aud->setVolume(5000);

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        qint32 volume;
        QString typed;
    } cases[] = {
        {Qt::Key_Plus, Qt::KeypadModifier, 6000, QString()},
        {Qt::Key_Minus, Qt::KeypadModifier, 5000, QString()},
        {Qt::Key_Minus, Qt::KeypadModifier, 4000, QString()},
        // The main keyboard's + and - are the text box's.
        {Qt::Key_Plus, Qt::NoModifier, 4000, QStringLiteral("+")},
        {Qt::Key_Minus, Qt::NoModifier, 4000, QStringLiteral("-")},
    };
    for (const auto& c : cases) {
        edit->clear();
        QTest::keyClick(edit, c.key, c.modifiers);
        EXPECT_EQ(aud->Volume(), c.volume) << c.key << " " << c.modifiers.toInt();
        EXPECT_EQ(edit->text(), c.typed) << c.key << " " << c.modifiers.toInt();
    }
}
