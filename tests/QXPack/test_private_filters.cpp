#include "MediaClips.h"
#include "uHWAccel.h"
#include "uHive.h"
#include "uQXElements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gst/gst.h>

#include <gtest/gtest.h>

#include <ostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct TUnref {
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
using TElement = std::unique_ptr<GstElement, TUnref>;
using TPadRef = std::unique_ptr<GstPad, TUnref>;

const QString kLav = QStringLiteral("LAV/");

// The three private libraries, loaded once for the whole program.
bool loadPrivateSet()
{
    static const bool loaded = [] {
        registerQXElements();
        bool all = true;
        for (const char* file : {"LAVSplitter.ax", "LAVVideo.ax", "LAVAudio.ax"}) {
            const QByteArray path = QFile::encodeName(MediaClips::builtPrivateFolder() + kLav + QLatin1String(file));
            GstPlugin* plugin = gst_plugin_load_file(path.constData(), nullptr);
            all = all && plugin;
            if (plugin)
                gst_object_unref(plugin);
        }
        return all;
    }();
    return loaded;
}

TElement make(const std::string& factory, const char* name = nullptr)
{
    GstElement* element = gst_element_factory_make(factory.c_str(), name);
    return TElement(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

std::string clsidOf(GstElement* element)
{
    const char* clsid = gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(element), "clsid");
    return clsid ? clsid : "";
}

bool load(GstElement* source, const QString& file)
{
    gboolean opened = FALSE;
    g_signal_emit_by_name(source, "load", QFile::encodeName(file).constData(), &opened);
    return opened;
}

// Pad name -> caps name, as the pads answer before the graph runs.
std::map<std::string, std::string> streamPads(GstElement* element)
{
    std::map<std::string, std::string> pads;
    GstIterator* it = gst_element_iterate_src_pads(element);
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstPad* pad = GST_PAD(g_value_get_object(&item));
        GstCaps* caps = gst_pad_query_caps(pad, nullptr);
        pads[GST_PAD_NAME(pad)] =
            caps && gst_caps_get_size(caps) > 0 ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
        if (caps)
            gst_caps_unref(caps);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return pads;
}

// One set of factories: the registered one or the private one.
struct TFilterSet {
    const char* name;
    std::string source, splitter, video, audio;
};

const TFilterSet kRegistered = {"Registered", "qxsplittersource", "qxsplitter", "qxvideodecoder", "qxaudiodecoder"};
const TFilterSet kPrivate = {"Private", "lavsplittersource", "lavsplitter", "lavvideodecoder", "lavaudiodecoder"};

class FilterSet : public ::testing::TestWithParam<TFilterSet> {
protected:
    void SetUp() override { ASSERT_TRUE(loadPrivateSet()); }
};

std::string setName(const ::testing::TestParamInfo<TFilterSet>& info)
{
    return info.param.name;
}

void PrintTo(const TFilterSet& set, std::ostream* out)
{
    *out << set.name;
}

// The environment variable for one test.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const QByteArray& value) : FName(name), FOld(qgetenv(name)), FHad(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~TScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    QByteArray FOld;
    bool FHad;
};

} // namespace

// --- Libraries and identifiers -------------------------------------------------

TEST(FilterLibraries, LibrariesLoadAndMakeTheirElementsByFactoryName)
{
    registerQXElements();
    struct Row {
        const char* file;
        const char* pluginName;
        std::vector<std::pair<std::string, std::string>> elements; // factory, clsid
    };
    const Row rows[] = {
        {"LAVSplitter.ax", "LAVSplitter",
         {{"lavsplittersource", "{B98D13E7-55DB-4385-A33D-09FD1BA26338}"},
          {"lavsplitter", "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}"}}},
        {"LAVVideo.ax", "LAVVideo", {{"lavvideodecoder", "{EE30215D-164F-4A92-A4EB-9D4C13390F9F}"}}},
        {"LAVAudio.ax", "LAVAudio", {{"lavaudiodecoder", "{E8E73B6B-4CB3-44A4-BE99-4F7BCB96E491}"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const QByteArray path = QFile::encodeName(MediaClips::builtPrivateFolder() + kLav + QLatin1String(row.file));
        GError* error = nullptr;
        GstPlugin* plugin = gst_plugin_load_file(path.constData(), &error);
        ASSERT_NE(plugin, nullptr) << (error ? error->message : "");
        EXPECT_STREQ(gst_plugin_get_name(plugin), row.pluginName);
        gst_object_unref(plugin);
        for (const auto& [factory, clsid] : row.elements) {
            TElement element = make(factory);
            ASSERT_TRUE(element) << factory;
            EXPECT_EQ(clsidOf(element.get()), clsid) << factory;
        }
    }
}

TEST(FilterLibraries, AFileThatIsNoPluginFailsToLoadCleanly)
{
    // Names of their own: GStreamer answers a plugin it already holds for a file of the same name.
    struct Row {
        const char* name;
        QByteArray content;
    };
    const Row rows[] = {{"Text.ax", "not a library\n"}, {"Empty.ax", ""}, {"Noise.ax", QByteArray(8192, '\x7f')}};
    QTemporaryDir dir;
    for (const Row& row : rows) {
        const QString path = dir.filePath(QLatin1String(row.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(row.content);
        file.close();
        GError* error = nullptr;
        GstPlugin* plugin = gst_plugin_load_file(QFile::encodeName(path).constData(), &error);
        EXPECT_EQ(plugin, nullptr) << row.name;
        g_clear_error(&error);
    }
}

TEST(FilterLibraries, BothSetsLiveInOneProcessWithTheSameIdentifiersAndTypesOfTheirOwn)
{
    ASSERT_TRUE(loadPrivateSet());
    const std::pair<std::string, std::string> pairs[] = {{kRegistered.source, kPrivate.source},
                                                         {kRegistered.splitter, kPrivate.splitter},
                                                         {kRegistered.video, kPrivate.video},
                                                         {kRegistered.audio, kPrivate.audio}};
    for (const auto& [registered, own] : pairs) {
        TElement a = make(registered);
        TElement b = make(own);
        ASSERT_TRUE(a && b) << registered;
        EXPECT_EQ(clsidOf(a.get()), clsidOf(b.get())) << registered;
        EXPECT_FALSE(clsidOf(a.get()).empty());
        EXPECT_STRNE(G_OBJECT_TYPE_NAME(a.get()), G_OBJECT_TYPE_NAME(b.get())) << registered;
        // Unranked, so that no autoplugger ever picks them.
        EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(gst_element_get_factory(a.get()))), guint(GST_RANK_NONE));
    }
}

TEST(FilterLibraries, TheBuiltFolderHoldsTheirSettingsFile)
{
    QTemporaryDir dir;
    THive hive(dir.filePath(QStringLiteral("Tessaly/user.reg")));
    ASSERT_TRUE(hive.regImport(MediaClips::builtPrivateFolder() + kLav + QStringLiteral("LBV.reg")));
    const QString key = QStringLiteral("Software\\LBV\\Video\\HWAccel");
    for (const char* name : {"HWAccel", "HWAccelCUVIDXVA"}) {
        quint32 value = 7;
        EXPECT_TRUE(hive.queryDword(key, QLatin1String(name), value)) << name;
        EXPECT_EQ(value, 0u) << name;
    }
    EXPECT_TRUE(hive.keyExists(QStringLiteral("Software\\LBV")));

    // The decoder reads what the program's hive writes.
    ASSERT_TRUE(hive.setDword(key, QStringLiteral("HWAccel"), 2));
    const TScopedEnv config("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(qxReadHWAccel(), hwIntel);
}

// --- Splitter source -------------------------------------------------------------

TEST_P(FilterSet, LoadLearnsTheStreamsBeforeTheGraphRuns)
{
    struct Row {
        const char* what;
        QString file;
        bool opened;
        std::map<std::string, std::string> pads;
    };
    const std::map<std::string, std::string> av = {{"video_0", "video/x-h264"}, {"audio_0", "audio/mpeg"}};
    const Row rows[] = {
        {"mp4", MediaClips::h264AacMp4(), true, av},
        {"mov", MediaClips::h264AacMov(), true, av},
        {"video only", MediaClips::h264OnlyMp4(), true, {{"video_0", "video/x-h264"}}},
        {"audio only", MediaClips::aacOnlyMp4(), true, {{"audio_0", "audio/mpeg"}}},
        {"truncated", MediaClips::truncatedMp4(), false, {}},
        {"text named .mp4", MediaClips::textMp4(), false, {}},
        {"missing", QDir::temp().filePath(QStringLiteral("no-such-clip.mp4")), false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_FALSE(row.file.isEmpty());
        TElement source = make(GetParam().source);
        ASSERT_TRUE(source);
        EXPECT_EQ(load(source.get(), row.file), row.opened);
        EXPECT_EQ(streamPads(source.get()), row.pads);
    }
}

TEST_P(FilterSet, ASecondLoadReplacesTheFirst)
{
    TElement source = make(GetParam().source);
    ASSERT_TRUE(load(source.get(), MediaClips::h264AacMp4()));
    ASSERT_TRUE(load(source.get(), MediaClips::aacOnlyMp4()));
    EXPECT_EQ(streamPads(source.get()), (std::map<std::string, std::string>{{"audio_0", "audio/mpeg"}}));
    gchar* location = nullptr;
    g_object_get(source.get(), "location", &location, nullptr);
    EXPECT_EQ(QString::fromUtf8(location), MediaClips::aacOnlyMp4());
    g_free(location);

    EXPECT_FALSE(load(source.get(), MediaClips::textMp4()));
    EXPECT_TRUE(streamPads(source.get()).empty());
}

// --- A graph built by hand -----------------------------------------------------

namespace {

// splitter source ! [notifier] ! decoder ! fakesink for each stream.
struct TGraph {
    TElement pipeline{GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)))};
    GstElement* videoSink = nullptr;
    GstElement* audioSink = nullptr;

    GstElement* add(const std::string& factory, const char* name = nullptr)
    {
        GstElement* element = gst_element_factory_make(factory.c_str(), name);
        if (element)
            gst_bin_add(GST_BIN(pipeline.get()), element);
        return element;
    }

    static GstPadLinkReturn link(GstElement* from, const char* fromPad, GstElement* to, const char* toPad)
    {
        TPadRef out(gst_element_get_static_pad(from, fromPad));
        TPadRef in(gst_element_get_static_pad(to, toPad));
        return out && in ? gst_pad_link(out.get(), in.get()) : GST_PAD_LINK_REFUSED;
    }

    bool build(const TFilterSet& set, const QString& file)
    {
        GstElement* source = add(set.source);
        if (!source || !load(source, file))
            return false;
        GstElement* video = add(set.video);
        GstElement* audio = add(set.audio);
        videoSink = add("fakesink", "videosink");
        audioSink = add("fakesink", "audiosink");
        g_object_set(audioSink, "sync", TRUE, nullptr);
        return link(source, "video_0", video, "sink") == GST_PAD_LINK_OK &&
               link(video, "src", videoSink, "sink") == GST_PAD_LINK_OK &&
               link(source, "audio_0", audio, "sink") == GST_PAD_LINK_OK &&
               link(audio, "src", audioSink, "sink") == GST_PAD_LINK_OK;
    }

    GstStateChangeReturn to(GstState state)
    {
        if (gst_element_set_state(pipeline.get(), state) == GST_STATE_CHANGE_FAILURE)
            return GST_STATE_CHANGE_FAILURE;
        return gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND);
    }

    bool seek(GstClockTime position)
    {
        return gst_element_seek_simple(pipeline.get(), GST_FORMAT_TIME,
                                       GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), gint64(position)) &&
               gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS;
    }

    GstClockTime lastVideoPts() const
    {
        GstSample* sample = nullptr;
        g_object_get(videoSink, "last-sample", &sample, nullptr);
        if (!sample)
            return GST_CLOCK_TIME_NONE;
        const GstClockTime pts = GST_BUFFER_PTS(gst_sample_get_buffer(sample));
        gst_sample_unref(sample);
        return pts;
    }

    // The first end or error on the bus within the bound.
    GstMessageType waitEnd(GstClockTime bound = 20 * GST_SECOND)
    {
        GstBus* bus = gst_element_get_bus(pipeline.get());
        GstMessage* message =
            gst_bus_timed_pop_filtered(bus, bound, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        gst_object_unref(bus);
        const GstMessageType type = message ? GST_MESSAGE_TYPE(message) : GST_MESSAGE_UNKNOWN;
        if (message)
            gst_message_unref(message);
        return type;
    }

    ~TGraph()
    {
        if (pipeline)
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    }
};

// The factory of the element doing the decoding inside a decoder bin.
std::string decoderInside(GstElement* bin)
{
    std::string found;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
        const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
        if (klass && std::string(klass).find("Decoder") != std::string::npos)
            found = GST_OBJECT_NAME(factory);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

GstElement* childDecoder(GstElement* pipeline, const std::string& factory)
{
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (GST_OBJECT_NAME(gst_element_get_factory(element)) == factory)
            found = element;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

} // namespace

TEST_P(FilterSet, AHandBuiltGraphPrerollsPlaysAndSeeksOntoFrames)
{
    TGraph graph;
    ASSERT_TRUE(graph.build(GetParam(), MediaClips::h264AacMp4()));
    ASSERT_EQ(graph.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    EXPECT_EQ(graph.lastVideoPts(), 0u);

    const GstClockTime frame = GST_SECOND / 25;
    struct Row {
        const char* what;
        GstClockTime position;
    };
    const Row rows[] = {
        {"a frame after a keyframe", 26 * frame},
        {"a keyframe", 25 * frame},
        {"the second frame", frame},
        {"the last frame", 49 * frame},
        {"the first frame", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(graph.seek(row.position));
        EXPECT_EQ(graph.lastVideoPts(), row.position);
    }

    ASSERT_NE(graph.to(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    EXPECT_EQ(graph.waitEnd(), GST_MESSAGE_EOS);
    EXPECT_EQ(graph.lastVideoPts(), 49 * frame);

    // A second run of the same graph finds its streams again.
    ASSERT_EQ(graph.to(GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
    ASSERT_EQ(graph.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    EXPECT_EQ(graph.lastVideoPts(), 0u);
}

TEST_P(FilterSet, TheSplitterExposesTheStreamsOfItsInput)
{
    TGraph graph;
    GstElement* file = graph.add("filesrc");
    GstElement* splitter = graph.add(GetParam().splitter);
    ASSERT_TRUE(file && splitter);
    g_object_set(file, "location", QFile::encodeName(MediaClips::h264AacMp4()).constData(), nullptr);
    ASSERT_TRUE(gst_element_link(file, splitter));
    g_signal_connect(splitter, "pad-added", G_CALLBACK(+[](GstElement* element, GstPad* pad, gpointer) {
                         GstElement* sink = gst_element_factory_make("fakesink", nullptr);
                         gst_bin_add(GST_BIN(GST_ELEMENT_PARENT(element)), sink);
                         TPadRef in(gst_element_get_static_pad(sink, "sink"));
                         gst_pad_link(pad, in.get());
                         gst_element_sync_state_with_parent(sink);
                     }),
                     nullptr);
    ASSERT_EQ(graph.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    EXPECT_EQ(streamPads(splitter),
              (std::map<std::string, std::string>{{"video_0", "video/x-h264"}, {"audio_0", "audio/mpeg"}}));
}

// --- Decoders ------------------------------------------------------------------------

TEST_P(FilterSet, TheDecoderRefusesAtLinkTimeWhatItCannotOrNeedNotDecode)
{
    struct Row {
        const char* caps;
        bool video;
        GstPadLinkReturn link;
    };
    const Row rows[] = {
        {"video/x-raw,format=I420,width=64,height=48,framerate=25/1", true, GST_PAD_LINK_NOFORMAT},
        {"audio/x-raw,format=S16LE,rate=48000,channels=1,layout=interleaved", false, GST_PAD_LINK_NOFORMAT},
        {"video/x-qx-undecodable,width=64,height=48", true, GST_PAD_LINK_NOFORMAT},
        {"audio/x-qx-undecodable,rate=48000", false, GST_PAD_LINK_NOFORMAT},
        {"audio/mpeg,mpegversion=4,stream-format=raw,rate=48000,channels=1", true, GST_PAD_LINK_NOFORMAT},
        {"video/x-h264,stream-format=byte-stream,alignment=au,width=64,height=48", false, GST_PAD_LINK_NOFORMAT},
        {"video/x-h264,stream-format=byte-stream,alignment=au,width=64,height=48", true, GST_PAD_LINK_OK},
        {"audio/mpeg,mpegversion=4,stream-format=raw,rate=48000,channels=1", false, GST_PAD_LINK_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caps);
        TGraph graph;
        GstElement* src = graph.add("fakesrc");
        GstElement* filter = graph.add("capsfilter");
        GstElement* decoder = graph.add(row.video ? GetParam().video : GetParam().audio);
        ASSERT_TRUE(src && filter && decoder);
        GstCaps* caps = gst_caps_from_string(row.caps);
        g_object_set(filter, "caps", caps, nullptr);
        gst_caps_unref(caps);
        ASSERT_TRUE(gst_element_link(src, filter));
        EXPECT_EQ(TGraph::link(filter, "src", decoder, "sink"), row.link);
        const bool hasDecoder = !decoderInside(decoder).empty();
        EXPECT_EQ(hasDecoder, row.link == GST_PAD_LINK_OK);
    }
}

TEST_P(FilterSet, WithNvidiaPreferredAndNoSuchDeviceTheVideoPlaysThroughSoftware)
{
    QTemporaryDir config;
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("Tessaly")));
    QFile hive(config.filePath(QStringLiteral("Tessaly/user.reg")));
    ASSERT_TRUE(hive.open(QIODevice::WriteOnly));
    hive.write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\LBV\\Video\\HWAccel]\n"
               "\"HWAccel\"=dword:00000001\n");
    hive.close();
    const TScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ASSERT_EQ(qxReadHWAccel(), hwNvidia);

    TGraph graph;
    ASSERT_TRUE(graph.build(GetParam(), MediaClips::h264AacMp4()));
    const std::string decoder = decoderInside(childDecoder(graph.pipeline.get(), GetParam().video));
    GstElementFactory* factory = gst_element_factory_find(decoder.c_str());
    ASSERT_NE(factory, nullptr) << decoder;
    EXPECT_EQ(std::string(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS)).find("Hardware"),
              std::string::npos)
        << decoder;
    gst_object_unref(factory);
    ASSERT_EQ(graph.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    EXPECT_EQ(graph.lastVideoPts(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sets, FilterSet, ::testing::Values(kRegistered, kPrivate), setName);

// --- The hardware choice -------------------------------------------------------------

TEST(FilterLibraries, TheHardwareChoiceIsReadFromTheHiveFile)
{
    const std::string key = "[HKEY_CURRENT_USER\\Software\\LBV\\Video\\HWAccel]\n";
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const auto utf16 = [](const std::string& text, bool littleEndian) {
        std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : text) {
            bytes += littleEndian ? c : '\0';
            bytes += littleEndian ? '\0' : c;
        }
        return bytes;
    };
    struct Row {
        const char* what;
        std::string bytes;
        unsigned value;
    };
    const Row rows[] = {
        {"UTF-8", header + key + "\"HWAccel\"=dword:00000001\n", 1},
        {"UTF-8 with a byte-order mark and CR LF", "\xEF\xBB\xBF" + header + "[HKEY_CURRENT_USER\\Software\\LBV\\Video\\HWAccel]\r\n\"HWAccel\"=dword:00000002\r\n", 2},
        {"UTF-16LE", utf16(header + key + "\"HWAccel\"=dword:00000002\n", true), 2},
        {"UTF-16BE", utf16(header + key + "\"HWAccel\"=dword:00000001\n", false), 1},
        {"key and value in another case", header + "[hkey_current_user\\SOFTWARE\\lbv\\VIDEO\\hwaccel]\n\"hwaccel\"=DWORD:00000005\n", 5},
        {"another value of the key", header + key + "\"HWAccelCUVIDXVA\"=dword:00000001\n", 0},
        {"the value under another key", header + "[HKEY_CURRENT_USER\\Software\\LBV\\Video]\n\"HWAccel\"=dword:00000001\n", 0},
        {"a sub-key of the key", header + "[HKEY_CURRENT_USER\\Software\\LBV\\Video\\HWAccel\\More]\n\"HWAccel\"=dword:00000001\n", 0},
        {"a malformed number", header + key + "\"HWAccel\"=dword:1x\n", 0},
        {"an empty file", "", 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(qxHWAccelValue(row.bytes), row.value) << row.what;

    QTemporaryDir config;
    const TScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    EXPECT_EQ(qxHiveFileName(), (config.path() + QStringLiteral("/Tessaly/user.reg")).toStdString());
    EXPECT_EQ(qxReadHWAccel(), hwNone) << "no hive file";
}

TEST(FilterLibraries, TheHardwareChoiceOrdersTheDecoders)
{
    const std::vector<TDecoderCandidate> all = {
        {"avdec_h264", "libav", false, 256},   {"nvh264dec", "nvcodec", true, 257}, {"vah264dec", "va", true, 256},
        {"vaapih264dec", "vaapi", true, 0},    {"qsvh264dec", "qsv", true, 0},      {"openh264dec", "openh264", false, 64},
        {"d3d11h264dec", "d3d11", true, 257},  {"oddh264dec", "odd", false, 0},
    };
    struct Row {
        THWAccel accel;
        std::vector<std::string> order;
    };
    const Row rows[] = {
        {hwNone, {"avdec_h264", "openh264dec"}},
        {hwNvidia, {"nvh264dec", "avdec_h264", "openh264dec"}},
        {hwIntel, {"vah264dec", "qsvh264dec", "vaapih264dec", "avdec_h264", "openh264dec"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> order;
        for (const TDecoderCandidate& c : qxOrderDecoders(all, row.accel))
            order.push_back(c.factory);
        EXPECT_EQ(order, row.order) << int(row.accel);
    }
}
