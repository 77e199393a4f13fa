#include "MediaClips.h"
#include "QtPrinters.h"
#include "uAudioNotifier.h"
#include "uQXElements.h"
#include "uVideoNotifier.h"
#include "uWndComponent.h"

#include <QFile>
#include <QTest>

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// What a message target received, in order.
struct TReceived {
    uint msg;
    qintptr wParam;
    TframeData frame; // message 9220's payload, copied while it lives
};

class TReceiver : public QObject {
public:
    std::vector<TReceived> messages;

    std::vector<qintptr> params(uint msg) const
    {
        std::vector<qintptr> result;
        for (const TReceived& m : messages)
            if (m.msg == msg)
                result.push_back(m.wParam);
        return result;
    }

    bool event(QEvent* event) override
    {
        if (event->type() != TMessageEvent::eventType())
            return QObject::event(event);
        const auto* message = static_cast<TMessageEvent*>(event);
        TReceived received{message->msg, message->wParam, {}};
        if (message->msg == WM_QX_AUDIOFORMAT && message->lParam)
            received.frame = *reinterpret_cast<const TframeData*>(message->lParam);
        messages.push_back(received);
        return true;
    }
};

// Lets the posted events arrive: until the condition holds, within the bound.
bool deliver(const std::function<bool()>& until, int boundMs = 5000)
{
    return QTest::qWaitFor(until, boundMs);
}

// Lets every event posted so far arrive.
void deliverPending()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

struct TUnref {
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
using TPadRef = std::unique_ptr<GstPad, TUnref>;

bool linkPads(GstElement* from, const char* fromPad, GstElement* to, const char* toPad)
{
    TPadRef out(gst_element_get_static_pad(from, fromPad));
    TPadRef in(gst_element_get_static_pad(to, toPad));
    return out && in && gst_pad_link(out.get(), in.get()) == GST_PAD_LINK_OK;
}

// A pipeline of our own, brought down when the test ends.
struct TPipeline {
    GstElement* pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));

    ~TPipeline()
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    GstElement* add(const char* factory)
    {
        GstElement* element = gst_element_factory_make(factory, nullptr);
        if (element)
            gst_bin_add(GST_BIN(pipeline), element);
        return element;
    }

    // The notifier's element joins the pipeline, which takes its own reference.
    void add(GstElement* element) { gst_bin_add(GST_BIN(pipeline), element); }

    GstStateChangeReturn to(GstState state)
    {
        if (gst_element_set_state(pipeline, state) == GST_STATE_CHANGE_FAILURE)
            return GST_STATE_CHANGE_FAILURE;
        return gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
    }

    bool seek(GstClockTime position)
    {
        return gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                       GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), gint64(position)) &&
               gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS;
    }

    GstMessageType waitEnd()
    {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* message =
            gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        gst_object_unref(bus);
        const GstMessageType type = message ? GST_MESSAGE_TYPE(message) : GST_MESSAGE_UNKNOWN;
        if (message)
            gst_message_unref(message);
        return type;
    }
};

// appsrc (caps, three buffers, end) ! capsfilter ! notifier ! fakesink counting
// what reaches it; the capsfilter answers the caps before the stream runs.
struct TFedNotifier {
    TPipeline p;
    GstElement* src = nullptr;
    std::atomic<int> delivered{0};

    bool build(GstElement* notifier, const char* caps)
    {
        src = p.add("appsrc");
        GstElement* filter = p.add("capsfilter");
        GstElement* sink = p.add("fakesink");
        if (!src || !filter || !sink)
            return false;
        GstCaps* c = gst_caps_from_string(caps);
        g_object_set(src, "caps", c, "format", GST_FORMAT_TIME, nullptr);
        g_object_set(filter, "caps", c, nullptr);
        gst_caps_unref(c);
        g_object_set(sink, "sync", FALSE, "async", FALSE, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer data) {
                             ++*static_cast<std::atomic<int>*>(data);
                         }),
                         &delivered);
        p.add(notifier);
        return gst_element_link(src, filter) && linkPads(filter, "src", notifier, "sink") &&
               linkPads(notifier, "src", sink, "sink");
    }

    GstMessageType run(int buffers = 3)
    {
        if (p.to(GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return GST_MESSAGE_ERROR;
        for (int i = 0; i < buffers; ++i) {
            GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 16, nullptr);
            GST_BUFFER_PTS(buffer) = GstClockTime(i) * 40 * GST_MSECOND;
            gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
        }
        gst_app_src_end_of_stream(GST_APP_SRC(src));
        return p.waitEnd();
    }
};

const char* const kRawVideo = "video/x-raw,format=I420,width=320,height=240";

class Notifiers : public ::testing::Test {
protected:
    void SetUp() override { registerQXElements(); }
};

} // namespace

TEST_F(Notifiers, AreRegisteredWithTheirNamesAndIdentifiers)
{
    struct Row {
        const char* factory;
        const char* longName;
        const char* clsid;
    };
    const Row rows[] = {
        {"qxvideonotifier", "Tessaly's Video Notifier", "{B5876E86-32D4-4CAD-B3B7-772BF0966F73}"},
        {"qxaudionotifier", "Tessaly's AudioNotifier", "{EEB59708-9EEF-4CBB-A5FA-F1B0C67F72FB}"},
    };
    for (const Row& row : rows) {
        GstElementFactory* factory = gst_element_factory_find(row.factory);
        ASSERT_NE(factory, nullptr) << row.factory;
        EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME), row.longName);
        EXPECT_STREQ(gst_element_factory_get_metadata(factory, "clsid"), row.clsid);
        gst_object_unref(factory);
    }
    TVideoNotifier video;
    TAudioNotifier audio;
    ASSERT_NE(video.element(), nullptr);
    ASSERT_NE(audio.element(), nullptr);
    // Pin 0 is the sink pad, pin 1 the source pad.
    for (GstElement* element : {video.element(), audio.element()}) {
        TPadRef sink(gst_element_get_static_pad(element, "sink"));
        TPadRef src(gst_element_get_static_pad(element, "src"));
        ASSERT_TRUE(sink && src);
        EXPECT_EQ(GST_ELEMENT(element)->sinkpads->data, sink.get());
        EXPECT_EQ(GST_ELEMENT(element)->srcpads->data, src.get());
    }
    EXPECT_FALSE(video.active());
    EXPECT_TRUE(video.streaming());
    EXPECT_EQ(video.nbframe(), -1);
}

TEST_F(Notifiers, VideoDescriptionFromCaps)
{
    struct Row {
        const char* caps;
        bool hasInfo;
        qint32 width, height;
        qint64 timePerFrame;
        qint32 arx, ary;
        TQXAspectRatio aspect;
        const char* codec;
    };
    const Row rows[] = {
        {"video/x-h264,width=320,height=240,framerate=25/1,pixel-aspect-ratio=1/1", true, 320, 240, 400000, 4, 3, ar4x3, "h264"},
        {"video/x-h264,width=1920,height=1080,framerate=30000/1001,pixel-aspect-ratio=1/1", true, 1920, 1080, 333667, 16, 9, ar16x9, "h264"},
        {"video/x-h265,width=720,height=576,framerate=50/1,pixel-aspect-ratio=64/45", true, 720, 576, 200000, 16, 9, ar16x9, "h265"},
        {"video/x-raw,format=I420,width=720,height=576,framerate=25/1,pixel-aspect-ratio=16/15", true, 720, 576, 400000, 4, 3, ar4x3, "I420"},
        {"video/x-h264,width=100,height=50,framerate=0/1,pixel-aspect-ratio=1/1", true, 100, 50, 0, 2, 1, arCustom, "h264"},
        {"video/x-h264,width=320,height=240", true, 320, 240, 0, 0, 0, arNone, "h264"},
        {"video/x-h264,stream-format=avc", false, 0, 0, 0, 0, 0, arNone, ""},
        {"audio/mpeg,mpegversion=4,rate=48000,channels=2", false, 0, 0, 0, 0, 0, arNone, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caps);
        GstCaps* caps = gst_caps_from_string(row.caps);
        const TVideoData data = videoDataFromCaps(caps);
        gst_caps_unref(caps);
        EXPECT_EQ(data.fHasVideoInfo, row.hasInfo);
        EXPECT_EQ(data.Width, row.width);
        EXPECT_EQ(data.Height, row.height);
        EXPECT_EQ(data.TimePerFrame, row.timePerFrame);
        EXPECT_DOUBLE_EQ(data.Fps, row.timePerFrame > 0 ? 10000000.0 / double(row.timePerFrame) : 0.0);
        EXPECT_EQ(data.arx, row.arx);
        EXPECT_EQ(data.ary, row.ary);
        EXPECT_EQ(data.Aspectratio, row.aspect);
        EXPECT_EQ(data.VideoCodec, QString::fromLatin1(row.codec));
        EXPECT_EQ(data.fHasVideoInfo, !data.VideoFormatStr.isEmpty());
    }
}

TEST_F(Notifiers, TheVideoNotifierReportsTheTimePerFrameOfItsStreamOnce)
{
    struct Row {
        const char* framerate;
        std::vector<qintptr> reported;
    };
    const Row rows[] = {
        {",framerate=25/1", {400000}},
        {",framerate=30000/1001", {333667}},
        {",framerate=0/1", {}},
        {"", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.framerate);
        TReceiver receiver;
        TVideoNotifier notifier;
        notifier.setTimePerframeHandle(&receiver);
        notifier.setNotifierTimeperframe(true);
        notifier.setNotifierVideo(true);
        TFedNotifier fed;
        ASSERT_TRUE(fed.build(notifier.element(), (std::string(kRawVideo) + row.framerate).c_str()));
        EXPECT_EQ(fed.run(), GST_MESSAGE_EOS);
        EXPECT_EQ(fed.delivered, 3);
        EXPECT_EQ(notifier.nbframe(), 2);
        EXPECT_FALSE(notifier.firstSample());
        deliver([&] { return receiver.messages.size() >= row.reported.size(); });
        deliverPending();
        EXPECT_EQ(receiver.params(WM_QX_TIMEPERFRAME), row.reported);
    }
}

TEST_F(Notifiers, WithoutTheTimePerFrameSwitchNothingIsReported)
{
    TReceiver receiver;
    TVideoNotifier notifier;
    notifier.setTimePerframeHandle(&receiver);
    notifier.setNotifierVideo(true);
    TFedNotifier fed;
    ASSERT_TRUE(fed.build(notifier.element(), "video/x-raw,format=I420,width=320,height=240,framerate=25/1"));
    EXPECT_EQ(fed.run(), GST_MESSAGE_EOS);
    deliverPending();
    EXPECT_TRUE(receiver.messages.empty());
    EXPECT_EQ(notifier.videoData().TimePerFrame, 400000);
}

TEST_F(Notifiers, AnActiveNotifierWithStreamingOffDropsTheSamples)
{
    struct Row {
        bool activate;
        bool streamOn;
        int delivered;
    };
    const Row rows[] = {{false, true, 3}, {false, false, 3}, {true, true, 3}, {true, false, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "active " << row.activate << " streaming " << row.streamOn);
        TAudioNotifier notifier;
        if (row.activate)
            notifier.setNotifierAudio(false);
        notifier.setStreamOn(row.streamOn);
        EXPECT_EQ(notifier.active(), row.activate);
        TFedNotifier fed;
        ASSERT_TRUE(fed.build(notifier.element(), "audio/x-raw,format=S16LE,rate=48000,channels=1,layout=interleaved"));
        EXPECT_EQ(fed.run(), GST_MESSAGE_EOS);
        EXPECT_EQ(fed.delivered, row.delivered);
    }
}

TEST_F(Notifiers, AnInputTypeIsAcceptedWhenItMatchesTheStoredOneOrNoneIsStored)
{
    struct Row {
        const char* major;
        const char* sub;
        const char* format;
        bool linked;
    };
    const Row rows[] = {
        {"", "", "", true},
        {"video", "", "", true},
        {"video", "video/x-h264", "byte-stream", true},
        {"audio", "", "", false},
        {"video", "video/x-h265", "", false},
        {"video", "video/x-h264", "avc", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.major << " " << row.sub << " " << row.format);
        TVideoNotifier notifier;
        notifier.setInputTypes(QString::fromLatin1(row.major), QString::fromLatin1(row.sub),
                               QString::fromLatin1(row.format));
        TFedNotifier fed;
        EXPECT_EQ(fed.build(notifier.element(), "video/x-h264,stream-format=byte-stream,alignment=au,width=64,height=48"),
                  row.linked);
        if (!row.linked)
            continue;
        // The connection's types are stored.
        EXPECT_EQ(notifier.Input_Majortype(), QStringLiteral("video"));
        EXPECT_EQ(notifier.Input_SubType(), QStringLiteral("video/x-h264"));
        EXPECT_EQ(notifier.Input_FormatType(), QStringLiteral("byte-stream"));
    }
}

TEST_F(Notifiers, InAFileGraphTheTimePerFrameArrivesOnceAndTheAudioFormatWithTheStream)
{
    TReceiver navigation;
    TReceiver audioManager;
    TVideoNotifier video;
    TAudioNotifier audio;
    TPipeline p;
    GstElement* source = p.add("qxsplittersource");
    ASSERT_NE(source, nullptr);
    gboolean opened = FALSE;
    g_signal_emit_by_name(source, "load", QFile::encodeName(MediaClips::h264AacMp4()).constData(), &opened);
    ASSERT_TRUE(opened);
    GstElement* videoDecoder = p.add("qxvideodecoder");
    GstElement* audioDecoder = p.add("qxaudiodecoder");
    GstElement* videoSink = p.add("fakesink");
    GstElement* audioSink = p.add("fakesink");
    g_object_set(audioSink, "sync", TRUE, nullptr);
    p.add(video.element());
    p.add(audio.element());
    ASSERT_TRUE(linkPads(source, "video_0", video.element(), "sink"));
    ASSERT_TRUE(linkPads(video.element(), "src", videoDecoder, "sink"));
    ASSERT_TRUE(linkPads(videoDecoder, "src", videoSink, "sink"));
    ASSERT_TRUE(linkPads(source, "audio_0", audio.element(), "sink"));
    ASSERT_TRUE(linkPads(audio.element(), "src", audioDecoder, "sink"));
    ASSERT_TRUE(linkPads(audioDecoder, "src", audioSink, "sink"));
    EXPECT_EQ(video.Input_SubType(), QStringLiteral("video/x-h264"));
    EXPECT_EQ(audio.Input_SubType(), QStringLiteral("audio/mpeg"));
    // Switched on after the connections, as the file graph does.
    audio.setAudioHandle(&audioManager);
    audio.setNotifierAudio(true);
    video.setTimePerframeHandle(&navigation);
    video.setNotifierTimeperframe(true);
    video.setNotifierVideo(true);

    ASSERT_EQ(p.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    for (GstClockTime position : {GstClockTime(GST_SECOND), GstClockTime(10 * GST_SECOND / 25), GstClockTime(0)})
        ASSERT_TRUE(p.seek(position));
    ASSERT_NE(p.to(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    EXPECT_EQ(p.waitEnd(), GST_MESSAGE_EOS);
    ASSERT_EQ(p.to(GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
    ASSERT_EQ(p.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);

    ASSERT_TRUE(deliver([&] { return !navigation.messages.empty() && !audioManager.messages.empty(); }));
    deliverPending();
    EXPECT_EQ(navigation.params(WM_QX_TIMEPERFRAME), std::vector<qintptr>{400000});
    EXPECT_EQ(video.lastTimePerFrame(), 400000);
    EXPECT_EQ(video.videoData().Width, 320);
    ASSERT_FALSE(audioManager.messages.empty());
    for (const TReceived& m : audioManager.messages) {
        EXPECT_EQ(m.msg, WM_QX_AUDIOFORMAT);
        EXPECT_EQ(m.wParam, 3);
        EXPECT_EQ(m.frame.SampleRate, 48000);
        EXPECT_EQ(m.frame.Channels, 1);
        EXPECT_EQ(m.frame.Format, QStringLiteral("audio/mpeg"));
        EXPECT_FALSE(m.frame.Codec.isEmpty());
    }
}

TEST_F(Notifiers, AnAudioClipPostsItsFormatWhenTheCapsAreSetAndWithTheFirstSample)
{
    TReceiver audioManager;
    TAudioNotifier audio;
    audio.setAudioHandle(&audioManager);
    audio.setNotifierAudio(true);
    TPipeline p;
    GstElement* source = p.add("qxsplittersource");
    ASSERT_NE(source, nullptr);
    gboolean opened = FALSE;
    g_signal_emit_by_name(source, "load", QFile::encodeName(MediaClips::aacOnlyMp4()).constData(), &opened);
    ASSERT_TRUE(opened);
    GstElement* sink = p.add("fakesink");
    p.add(audio.element());
    ASSERT_TRUE(linkPads(source, "audio_0", audio.element(), "sink"));
    ASSERT_TRUE(linkPads(audio.element(), "src", sink, "sink"));
    ASSERT_EQ(p.to(GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);

    ASSERT_TRUE(deliver([&] { return audioManager.messages.size() >= 2; }));
    EXPECT_EQ(audioManager.params(WM_QX_AUDIOFORMAT), (std::vector<qintptr>{3, 3}));
    EXPECT_EQ(audioManager.messages.front().frame, audio.frameData());
    EXPECT_EQ(audio.frameData().SampleRate, 48000);
}
