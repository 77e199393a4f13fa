#include "uStreamProbe.h"

#include "uQXFilters.h"

#include <algorithm>
#include <initializer_list>
#include <mutex>

namespace {

struct TProbe {
    GstElement* pipeline = nullptr;
    std::mutex lock;
    std::vector<GstPad*> pads;
};

void probePadAdded(GstElement*, GstPad* pad, gpointer data)
{
    auto* probe = static_cast<TProbe*>(data);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!queue || !sink) {
        if (queue)
            gst_object_unref(queue);
        if (sink)
            gst_object_unref(sink);
        return;
    }
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", guint64(0), nullptr);
    // Only picture and sound streams hold the preroll back; any other kind may never send data.
    GstCaps* caps = gst_pad_get_current_caps(pad);
    const std::string kind = qxStreamKind(caps);
    if (caps)
        gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, "async", gboolean(kind == "video" || kind == "audio"), nullptr);
    gst_bin_add_many(GST_BIN(probe->pipeline), queue, sink, nullptr);
    gst_element_link(queue, sink);
    GstPad* queuePad = gst_element_get_static_pad(queue, "sink");
    gst_pad_link(pad, queuePad);
    gst_object_unref(queuePad);
    gst_element_sync_state_with_parent(sink);
    gst_element_sync_state_with_parent(queue);
    std::lock_guard guard(probe->lock);
    probe->pads.push_back(GST_PAD(gst_object_ref(pad)));
}

} // namespace

guint qxCollectionSize(GstMessage* message)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_STREAM_COLLECTION)
        return 0;
    GstStreamCollection* collection = nullptr;
    gst_message_parse_stream_collection(message, &collection);
    const guint size = collection ? gst_stream_collection_get_size(collection) : 0;
    if (collection)
        gst_object_unref(collection);
    return size;
}

bool qxProbeStreams(const std::string& location, guint timeoutMs, std::vector<GstCaps*>& caps)
{
    if (!g_file_test(location.c_str(), G_FILE_TEST_IS_REGULAR))
        return false;
    TProbe probe;
    probe.pipeline = gst_pipeline_new(nullptr);
    // Through a queue parsebin runs in push mode: in pull mode a demuxer that fails
    // while parsebin activates it has its error swallowed, and the probe would
    // wait for its whole bound.
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* parser = gst_element_factory_make("parsebin", nullptr);
    if (!source || !queue || !parser) {
        for (GstElement* e : {source, queue, parser})
            if (e)
                gst_object_unref(e);
        gst_object_unref(probe.pipeline);
        return false;
    }
    g_object_set(source, "location", location.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(probe.pipeline), source, queue, parser, nullptr);
    gst_element_link_many(source, queue, parser, nullptr);
    g_signal_connect(parser, "pad-added", G_CALLBACK(probePadAdded), &probe);

    // Prerolled once the pipeline is done and every stream the demuxer announced has its pad:
    // parsebin may expose a stream after the others' sinks have prerolled.
    bool prerolled = false;
    bool failed = gst_element_set_state(probe.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE;
    guint announced = 0;
    GstBus* bus = gst_element_get_bus(probe.pipeline);
    const gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * G_TIME_SPAN_MILLISECOND;
    while (!failed) {
        {
            std::lock_guard guard(probe.lock);
            if (prerolled && probe.pads.size() >= announced)
                break;
        }
        const gint64 left = deadline - g_get_monotonic_time();
        if (left <= 0) {
            failed = true;
            break;
        }
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus, GstClockTime(std::min<gint64>(left, 20 * G_TIME_SPAN_MILLISECOND)) * GST_USECOND,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_EOS |
                           GST_MESSAGE_STREAM_COLLECTION));
        if (!message)
            continue;
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        announced = std::max(announced, qxCollectionSize(message));
        if (type == GST_MESSAGE_ASYNC_DONE && GST_MESSAGE_SRC(message) == GST_OBJECT(probe.pipeline))
            prerolled = true;
        failed = type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS;
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    prerolled = prerolled && !failed;
    g_signal_handlers_disconnect_by_data(parser, &probe);
    if (prerolled) {
        std::lock_guard guard(probe.lock);
        for (GstPad* pad : probe.pads) {
            GstCaps* current = gst_pad_get_current_caps(pad);
            if (current)
                caps.push_back(current);
        }
    }
    gst_element_set_state(probe.pipeline, GST_STATE_NULL);
    for (GstPad* pad : probe.pads)
        gst_object_unref(pad);
    gst_object_unref(probe.pipeline);
    return prerolled && !caps.empty();
}

