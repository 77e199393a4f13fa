#include "MediaClips.h"
#include "TestSupport.h"
#include "uDecoders.h"
#include "uGrapheMan.h"
#include "uHive.h"
#include "uPreferences.h"
#include "uPrivateLAV.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

// Lets posted events (bus messages) arrive for a while.
void pump(int ms)
{
    pumpUntil([] { return false; }, ms);
}

GstElement* identity()
{
    return gst_element_factory_make("identity", nullptr);
}

// The hive and the preferences of one test live in a folder of their own.
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = qgetenv("XDG_CONFIG_HOME");
        FHadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
    }
    void TearDown() override
    {
        if (FHadConfig)
            qputenv("XDG_CONFIG_HOME", FSaved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    std::unique_ptr<TOrvanePreferences> normalPrefs() const
    {
        auto prefs = std::make_unique<TOrvanePreferences>(nullptr);
        prefs->setTitre(QStringLiteral("Movarium"));
        prefs->setProgramFolder(dir.file(QStringLiteral("program")));
        prefs->setMode(spRegistre);
        return prefs;
    }

    TempFolder dir;

private:
    QByteArray FSaved;
    bool FHadConfig = false;
};

} // namespace

TEST(GrapheMan, AddsUnderANameAndAnswersDuplicateNames)
{
    TGrapheMan graph;
    EXPECT_STREQ(GST_OBJECT_NAME(graph.Graph()), "Filtergraph");
    GstElement* first = identity();
    GstElement* second = identity();
    gst_object_ref_sink(second);
    EXPECT_EQ(graph.AddFilter(first, QStringLiteral("X")), S_OK);
    EXPECT_EQ(graph.AddFilter(second, QStringLiteral("X")), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(GST_OBJECT_PARENT(second), nullptr);
    EXPECT_EQ(graph.AddFilter(second, QStringLiteral("X_1")), S_OK);
    EXPECT_EQ(graph.RemoveFilter(second), S_OK);
    EXPECT_EQ(graph.RemoveFilter(second), E_FAIL);
    gst_object_unref(second);
}

TEST(GrapheMan, CountsPinsSinkPadsFirstAndFindsFreeOutputsByMajorType)
{
    TGrapheMan graph;
    GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* tee = gst_element_factory_make("identity", nullptr);
    graph.AddFilter(source, QStringLiteral("source"));
    graph.AddFilter(tee, QStringLiteral("tee"));

    GstPad* in = TGrapheMan::pin(tee, 0);
    GstPad* out = TGrapheMan::pin(tee, 1);
    ASSERT_TRUE(in && out);
    EXPECT_TRUE(GST_PAD_IS_SINK(in));
    EXPECT_TRUE(GST_PAD_IS_SRC(out));
    EXPECT_EQ(TGrapheMan::pin(tee, 2), nullptr);
    EXPECT_EQ(TGrapheMan::pin(tee, -1), nullptr);

    GstPad* video = TGrapheMan::FindPin(source, QStringLiteral("vids"));
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(TGrapheMan::FindPin(source, QStringLiteral("auds")), nullptr);
    EXPECT_EQ(graph.ConnectDirect(video, in), S_OK);
    // Once linked, the pad is no longer free.
    EXPECT_EQ(TGrapheMan::FindPin(source, QStringLiteral("vids")), nullptr);
    graph.DisconnectFilters();
    EXPECT_FALSE(gst_pad_is_linked(in));
    EXPECT_EQ(TGrapheMan::Disconnect(in), S_FALSE);
    for (GstPad* pad : {in, out, video})
        gst_object_unref(pad);
}

TEST(GrapheMan, PlaysPausesAndSeeksToAFrameOfARealClip)
{
    const QString clip = MediaClips::h264OnlyMp4();
    ASSERT_FALSE(clip.isEmpty());
    TGrapheMan graph;
    QList<TGrapheManState> states;
    graph.OnStateChange = [&states](TGrapheManState s) { states.append(s); };
    GstElement* player = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    gchar* uri = gst_filename_to_uri(clip.toUtf8().constData(), nullptr);
    g_object_set(player, "video-sink", sink, "audio-sink", gst_element_factory_make("fakesink", nullptr), "uri", uri,
                 nullptr);
    g_free(uri);
    ASSERT_EQ(graph.AddFilter(player, QStringLiteral("player")), S_OK);

    ASSERT_TRUE(graph.pause());
    EXPECT_EQ(graph.state(), gmPaused);
    qint64 duration = 0;
    ASSERT_TRUE(graph.getDuration(duration));
    EXPECT_NEAR(static_cast<double>(duration), 2.0 * kUnitsPerSecond, 0.05 * kUnitsPerSecond);

    // Frame 37 of a 25 fps clip: the position read after the wait is the one sought.
    const qint64 target = 37 * 400000;
    ASSERT_TRUE(graph.setPositionAbsolute(target));
    graph.CompleteSeek();
    qint64 position = -1;
    ASSERT_TRUE(graph.getCurrentPosition(position));
    EXPECT_EQ(position, target);
    GstSample* last = nullptr;
    g_object_get(sink, "last-sample", &last, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(GST_BUFFER_PTS(gst_sample_get_buffer(last)), static_cast<GstClockTime>(target) * 100);
    gst_sample_unref(last);

    ASSERT_TRUE(graph.play());
    EXPECT_EQ(graph.state(), gmPlaying);
    graph.VitesseRapide();
    EXPECT_TRUE(graph.hasVitesseRapide());
    graph.VitesseNormale();
    ASSERT_TRUE(graph.stop());
    EXPECT_EQ(graph.state(), gmStopped);
    EXPECT_EQ(states, (QList<TGrapheManState>{gmPaused, gmPlaying, gmStopped}));
}

TEST(GrapheMan, AStateThatNeverSettlesEndsTheWait)
{
    // A sink waiting for data that never comes keeps the change to paused pending.
    TGrapheMan graph;
    GstElement* source = gst_element_factory_make("appsrc", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    graph.AddFilter(source, QStringLiteral("source"));
    graph.AddFilter(sink, QStringLiteral("sink"));
    ASSERT_TRUE(gst_element_link(source, sink));
    EXPECT_TRUE(graph.pause());
    GstState current = GST_STATE_NULL;
    EXPECT_EQ(gst_element_get_state(graph.Graph(), &current, nullptr, 0), GST_STATE_CHANGE_ASYNC);
    graph.stop();
}

TEST(GrapheMan, BusMessagesOfAnOlderGenerationAreDropped)
{
    TGrapheMan graph;
    int seen = 0;
    graph.OnBusMessage = [&seen](GstMessage* message) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_APPLICATION)
            ++seen;
    };
    GstBus* bus = gst_element_get_bus(graph.Graph());
    const auto post = [bus, &graph] {
        gst_bus_post(bus, gst_message_new_application(GST_OBJECT(graph.Graph()), gst_structure_new_empty("x")));
    };
    post();
    pump(50);
    EXPECT_EQ(seen, 1);
    post();
    graph.nextGeneration();
    pump(50);
    EXPECT_EQ(seen, 1);
    gst_object_unref(bus);
}

TEST(FilterRecords, NamesLaterCopiesWithSuffixesAndLetsGoWhenRemoved)
{
    TGrapheMan graph;
    QList<TFilterRec*> records;
    for (int i = 0; i < 3; ++i) {
        TFilterRec* record = TFilterRec::create(QUuid(), QStringLiteral("Copy"), ftBase);
        record->setBaseFilter(identity());
        ASSERT_TRUE(record->addToGraphe(&graph));
        records.append(record);
    }
    EXPECT_EQ(QString::fromUtf8(GST_OBJECT_NAME(records[0]->iFilter)), QStringLiteral("Copy"));
    EXPECT_EQ(QString::fromUtf8(GST_OBJECT_NAME(records[1]->iFilter)), QStringLiteral("Copy_1"));
    EXPECT_EQ(QString::fromUtf8(GST_OBJECT_NAME(records[2]->iFilter)), QStringLiteral("Copy_2"));
    for (TFilterRec* record : records) {
        EXPECT_TRUE(record->removeFromGraphe());
        EXPECT_EQ(record->Fgraphe, nullptr);
    }
    EXPECT_TRUE(graph.filters().isEmpty());
}

TEST(FilterRecords, AssignCopiesAndNoneGivesANullBaseRecord)
{
    TFilterRec* from = TFilterRec::create(CLSID_LAVVideo, QStringLiteral("From"), ftCom);
    TFilterRec* to = TFilterRec::create(QUuid(), QStringLiteral("To"), ftPrivate);
    to->assign(from);
    EXPECT_EQ(to->CLSID, CLSID_LAVVideo);
    EXPECT_EQ(to->name, QStringLiteral("From"));
    EXPECT_EQ(to->Ftype, ftCom);
    to->assign(nullptr);
    EXPECT_TRUE(to->CLSID.isNull());
    EXPECT_TRUE(to->name.isEmpty());
    EXPECT_EQ(to->Ftype, ftBase);
}

TEST(PrivateFilters, AFileThatIsNoPluginGivesNoInstance)
{
    TempFolder dir;
    // GStreamer answers a plugin file by its name with the plugin of that name
    // it already holds: only a process that has loaded none can tell.
    initMediaGraph();
    if (GstPlugin* loaded = gst_registry_find_plugin(gst_registry_get(), "LAVSplitter")) {
        gst_object_unref(loaded);
        GTEST_SKIP() << "the private set is already loaded in this process";
    }
    // Files that are no plugins: their factories are listed, empty, and are the newest.
    for (const char* name : {"LAV/LAVSplitter.ax", "LAV/LAVAudio.ax", "LAV/LAVVideo.ax"})
        dir.write(QString::fromLatin1(name), "not a plugin");
    registerPrivateLAV(dir.file(QStringLiteral("LAV/")));
    TGrapheMan graph;
    for (const QString& name : {LAVRecords::PrivateSplitterSource, LAVRecords::PrivateAudio, LAVRecords::PrivateVideo}) {
        TFilterRec* record = filterRecs().find(name);
        ASSERT_NE(record, nullptr) << qPrintable(name);
        EXPECT_EQ(record->getBaseFilter(), nullptr) << qPrintable(name);
        EXPECT_FALSE(record->addToGraphe(&graph)) << qPrintable(name);
    }
}

TEST(PrivateFilters, TheBuiltSetLoadsAndTheNewestFactoryWins)
{
    const QString folder = MediaClips::builtPrivateFolder() + QStringLiteral("LAV/");
    registerPrivateLAV(folder);
    TPrivateFactory* first = privateFactories().findFactory(CLSID_LAVVideo);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->FClassFactory, nullptr);
    privateFactories().lister(CLSID_LAVVideo, folder + QStringLiteral("LAVVideo.ax"));
    EXPECT_NE(privateFactories().findFactory(CLSID_LAVVideo), first);

    TGrapheMan graph;
    for (const QString& name : {LAVRecords::PrivateSplitterSource, LAVRecords::PrivateAudio, LAVRecords::PrivateVideo,
                                LAVRecords::SplitterSource, LAVRecords::Audio, LAVRecords::Video}) {
        TFilterRec* record = filterRecs().find(name);
        ASSERT_NE(record, nullptr) << qPrintable(name);
        EXPECT_TRUE(record->addToGraphe(&graph)) << qPrintable(name);
        EXPECT_TRUE(record->removeFromGraphe());
    }
}

TEST_F(HiveTest, DecoderLinksSkipBaseDecodersAndMalformedEntries)
{
    TDecoderLinks links;
    const TMediaRec media[] = {
        {QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()},
        {QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()},
        {QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()},
    };
    links.setlink(media[0], TFilterRec::create(CLSID_LAVVideo, QStringLiteral("Private one"), ftPrivate));
    links.setlink(media[1], TFilterRec::create(QUuid(), QStringLiteral("Given"), ftBase));
    links.setlink(media[2], TFilterRec::create(CLSID_LAVAudio, QStringLiteral("Registered"), ftCom));
    EXPECT_EQ(links.indexOf(media[2]), 2);

    {
        auto prefs = normalPrefs();
        ASSERT_TRUE(prefs->openkey(QStringLiteral("VideoDecoders")));
        EXPECT_TRUE(links.savetoprefs(*prefs));
        prefs->closekey();
    }
    THive hive;
    const QString key = QStringLiteral("Software\\Tessaly\\Movarium\\VideoDecoders");
    QStringList keys;
    ASSERT_TRUE(hive.subKeyNames(key, keys));
    EXPECT_EQ(keys, (QStringList{QStringLiteral("dc0"), QStringLiteral("dc2")}));
    QString text;
    ASSERT_TRUE(hive.queryString(key + QStringLiteral("\\dc0"), QStringLiteral("decoderguid"), text));
    EXPECT_EQ(text, QStringLiteral("{EE30215D-164F-4A92-A4EB-9D4C13390F9F}"));
    ASSERT_TRUE(hive.setString(key + QStringLiteral("\\dc0"), QStringLiteral("subtype"), QStringLiteral("{not-a-guid}")));

    TDecoderLinks loaded;
    auto prefs = normalPrefs();
    ASSERT_TRUE(prefs->openkey(QStringLiteral("VideoDecoders")));
    EXPECT_TRUE(loaded.loadfromprefs(*prefs));
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.at(0).media, media[2]);
    EXPECT_EQ(loaded.at(0).decoder->name, QStringLiteral("Registered"));
    EXPECT_EQ(loaded.at(0).decoder->Ftype, ftCom);
    EXPECT_EQ(loaded.at(0).decoder->CLSID, CLSID_LAVAudio);
}

TEST_F(HiveTest, HardwareValuesAreWrittenOnlyUnderAnImportedKey)
{
    EXPECT_FALSE(writeHWAccelValue(QStringLiteral("HWAccel"), 3));
    const QString reg = MediaClips::builtPrivateFolder() + QStringLiteral("LAV/LBV.reg");
    ASSERT_TRUE(importLBVSettings(reg));
    EXPECT_TRUE(writeHWAccelValue(QStringLiteral("HWAccel"), 3));
    THive hive;
    quint32 value = 0;
    ASSERT_TRUE(hive.queryDword(QStringLiteral("Software\\LBV\\Video\\HWAccel"), QStringLiteral("HWAccel"), value));
    EXPECT_EQ(value, 3u);
    EXPECT_TRUE(clearLBVSettings());
    EXPECT_FALSE(hive.keyExists(QStringLiteral("Software\\LBV")));

    EXPECT_FALSE(importLBVSettings(dir.file(QStringLiteral("missing.reg"))));
    EXPECT_FALSE(importLBVSettings(dir.write(QStringLiteral("bad.reg"), "this is not a registry file")));
    EXPECT_FALSE(hive.keyExists(QStringLiteral("Software\\LBV")));
}
