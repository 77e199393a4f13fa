#include "uQXFilters.h"
#include "uStreamProbe.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Splitter source and splitter: bins around parsebin, which picks the
// best-ranked demuxer and parsers for the file.
//
// The splitter source must answer which streams a file holds before the graph
// runs, while parsebin only finds them once data flows. So "load" probes the
// file (uStreamProbe), keeps each stream's caps and exposes a ghost pad per
// stream answering those caps. When the real graph starts, the bin's own
// parsebin exposes the same streams in the same order and each is linked to
// the stream of its kind and rank.
//
// parsebin pushes every stream from the demuxer's one thread, so a sink that
// blocks to preroll would starve the others: each stream leaves the bin through
// a multiqueue, as a demuxer with threads of its own would deliver them.

namespace {

struct TStream {
    std::string kind;
    GstCaps* caps = nullptr;
    GstPad* ghost = nullptr;
    GstPad* queueSink = nullptr; // the multiqueue's request pad of the stream
    const void* parsed = nullptr; // parsebin's pad feeding it (splitter only), only compared
};

struct TSplitterPrivate {
    std::mutex lock; // streams and matching, touched by parsebin's streaming threads
    std::string location;
    guint loadTimeout = 5000;
    GstElement* source = nullptr;
    GstElement* parser = nullptr;
    GstElement* queue = nullptr;
    std::vector<TStream> streams;
    std::map<std::string, guint> exposed; // per kind, during a run
    bool asyncPending = false;            // the splitter holds its preroll until every stream has its pad
    guint announced = 0;                  // streams in the demuxer's collection
};

struct TSplitter {
    GstBin bin;
    TSplitterPrivate priv;
};

struct TSplitterKind {
    const TQXElementNames* names;
    bool withSource;
};

struct TSplitterClass {
    GstBinClass parentClass;
    bool withSource;
    gboolean (*load)(GstElement* element, const gchar* location);
};

enum { PROP_0, PROP_LOCATION, PROP_LOAD_TIMEOUT };

GstElementClass* gParentClass;

TSplitter* self(gpointer object)
{
    return reinterpret_cast<TSplitter*>(object);
}

GstStaticPadTemplate kSrcTemplates[] = {
    GST_STATIC_PAD_TEMPLATE("video_%u", GST_PAD_SRC, GST_PAD_SOMETIMES, GST_STATIC_CAPS_ANY),
    GST_STATIC_PAD_TEMPLATE("audio_%u", GST_PAD_SRC, GST_PAD_SOMETIMES, GST_STATIC_CAPS_ANY),
    GST_STATIC_PAD_TEMPLATE("subtitle_%u", GST_PAD_SRC, GST_PAD_SOMETIMES, GST_STATIC_CAPS_ANY),
    GST_STATIC_PAD_TEMPLATE("data_%u", GST_PAD_SRC, GST_PAD_SOMETIMES, GST_STATIC_CAPS_ANY),
};
GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

GstPadTemplate* srcTemplate(gpointer object, const std::string& kind)
{
    return gst_element_class_get_pad_template(GST_ELEMENT_GET_CLASS(object), (kind + "_%u").c_str());
}

std::string padName(const std::vector<TStream>& streams, const std::string& kind)
{
    const auto n = std::count_if(streams.begin(), streams.end(), [&](const TStream& s) { return s.kind == kind; });
    return kind + "_" + std::to_string(n);
}

// --- Matching parsebin's pads to the streams ---------------------------------

// Until parsebin feeds a stream, its pad answers the probed caps.
gboolean ghostQuery(GstPad* pad, GstObject* parent, GstQuery* query)
{
    if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
        auto* queueSink = static_cast<GstPad*>(g_object_get_data(G_OBJECT(pad), "qx-queue-sink"));
        if (!queueSink || !gst_pad_is_linked(queueSink)) {
            GstCaps* stored = static_cast<GstCaps*>(g_object_get_data(G_OBJECT(pad), "qx-stream-caps"));
            GstCaps* filter = nullptr;
            gst_query_parse_caps(query, &filter);
            GstCaps* result = filter ? gst_caps_intersect_full(filter, stored, GST_CAPS_INTERSECT_FIRST)
                                     : gst_caps_ref(stored);
            gst_query_set_caps_result(query, result);
            gst_caps_unref(result);
            return TRUE;
        }
    }
    return gst_pad_query_default(pad, parent, query);
}

void sourcePadAdded(GstElement*, GstPad* pad, gpointer data)
{
    TSplitter* splitter = self(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const std::string kind = qxStreamKind(caps);
    gst_caps_unref(caps);
    GstPad* queueSink = nullptr;
    {
        std::lock_guard guard(splitter->priv.lock);
        const guint rank = splitter->priv.exposed[kind]++;
        guint seen = 0;
        for (TStream& stream : splitter->priv.streams) {
            if (stream.kind == kind && seen++ == rank) {
                queueSink = GST_PAD(gst_object_ref(stream.queueSink));
                break;
            }
        }
    }
    // A stream the probe did not see has no pad of the bin: it stays unlinked.
    if (queueSink) {
        gst_pad_link(pad, queueSink);
        gst_object_unref(queueSink);
    }
}

// A new lane of the multiqueue: its request sink pad and the source pad that goes with it.
bool addLane(GstElement* queue, GstPad*& sink, GstPad*& src)
{
    sink = queue ? gst_element_request_pad_simple(queue, "sink_%u") : nullptr;
    src = nullptr;
    if (!sink)
        return false;
    GstIterator* it = gst_pad_iterate_internal_links(sink);
    GValue item = G_VALUE_INIT;
    if (it && gst_iterator_next(it, &item) == GST_ITERATOR_OK)
        src = GST_PAD(g_value_dup_object(&item));
    g_value_unset(&item);
    if (it)
        gst_iterator_free(it);
    if (src)
        return true;
    gst_element_release_request_pad(queue, sink);
    gst_object_unref(sink);
    sink = nullptr;
    return false;
}

void dropLane(GstElement* queue, GstPad*& sink)
{
    if (!sink)
        return;
    if (queue)
        gst_element_release_request_pad(queue, sink);
    gst_object_unref(sink);
    sink = nullptr;
}

void asyncDoneWhenComplete(TSplitter* splitter);

// The splitter without a source exposes parsebin's streams as they come.
void splitterPadAdded(GstElement*, GstPad* pad, gpointer data)
{
    TSplitter* splitter = self(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const std::string kind = qxStreamKind(caps);
    GstPad* laneSink = nullptr;
    GstPad* laneSrc = nullptr;
    if (!addLane(splitter->priv.queue, laneSink, laneSrc)) {
        gst_caps_unref(caps);
        return;
    }
    gst_pad_link(pad, laneSink);
    GstPad* ghost = nullptr;
    {
        std::lock_guard guard(splitter->priv.lock);
        const std::string name = padName(splitter->priv.streams, kind);
        ghost = gst_ghost_pad_new_from_template(name.c_str(), laneSrc, srcTemplate(splitter, kind));
        splitter->priv.streams.push_back({kind, caps, ghost, laneSink, pad});
    }
    gst_object_unref(laneSrc);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(GST_ELEMENT(splitter), ghost);
    asyncDoneWhenComplete(splitter);
}

void splitterPadRemoved(GstElement*, GstPad* pad, gpointer data)
{
    TSplitter* splitter = self(data);
    TStream removed;
    {
        std::lock_guard guard(splitter->priv.lock);
        auto& streams = splitter->priv.streams;
        const auto it = std::find_if(streams.begin(), streams.end(), [pad](const TStream& s) { return s.parsed == pad; });
        if (it == streams.end())
            return;
        removed = *it;
        streams.erase(it);
    }
    gst_element_remove_pad(GST_ELEMENT(splitter), removed.ghost);
    dropLane(splitter->priv.queue, removed.queueSink);
    gst_caps_unref(removed.caps);
}

// Without a source, parsebin may run in pull mode, where it neither holds the
// preroll nor says when its last pad came; the splitter holds the preroll until
// every stream of the demuxer's collection has its pad, as a demuxer does.
void asyncStart(TSplitter* splitter)
{
    {
        std::lock_guard guard(splitter->priv.lock);
        splitter->priv.asyncPending = true;
    }
    GST_BIN_CLASS(gParentClass)->handle_message(GST_BIN(splitter), gst_message_new_async_start(GST_OBJECT(splitter)));
}

void asyncDone(TSplitter* splitter)
{
    {
        std::lock_guard guard(splitter->priv.lock);
        if (!std::exchange(splitter->priv.asyncPending, false))
            return;
    }
    GST_BIN_CLASS(gParentClass)->handle_message(
        GST_BIN(splitter), gst_message_new_async_done(GST_OBJECT(splitter), GST_CLOCK_TIME_NONE));
}

void asyncDoneWhenComplete(TSplitter* splitter)
{
    bool complete = false;
    {
        std::lock_guard guard(splitter->priv.lock);
        complete = splitter->priv.announced > 0 && splitter->priv.streams.size() >= splitter->priv.announced;
    }
    if (complete)
        asyncDone(splitter);
}

void splitterHandleMessage(GstBin* bin, GstMessage* message)
{
    TSplitter* splitter = self(bin);
    const bool withSource = reinterpret_cast<TSplitterClass*>(G_OBJECT_GET_CLASS(bin))->withSource;
    const guint size = qxCollectionSize(message);
    const bool error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
    GST_BIN_CLASS(gParentClass)->handle_message(bin, message);
    if (withSource)
        return;
    if (size > 0) {
        {
            std::lock_guard guard(splitter->priv.lock);
            splitter->priv.announced = size;
        }
        asyncDoneWhenComplete(splitter);
    }
    if (error)
        asyncDone(splitter);
}

void splitterNoMorePads(GstElement*, gpointer data)
{
    gst_element_no_more_pads(GST_ELEMENT(data));
    asyncDone(self(data));
}

// --- Loading -----------------------------------------------------------------

void clearStreams(TSplitter* splitter)
{
    std::vector<TStream> streams;
    {
        std::lock_guard guard(splitter->priv.lock);
        streams.swap(splitter->priv.streams);
        splitter->priv.exposed.clear();
    }
    for (TStream& stream : streams) {
        gst_element_remove_pad(GST_ELEMENT(splitter), stream.ghost);
        dropLane(splitter->priv.queue, stream.queueSink);
        gst_caps_unref(stream.caps);
    }
}

void removeChild(TSplitter* splitter, GstElement*& child)
{
    if (!child)
        return;
    gst_element_set_state(child, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(splitter), child);
    child = nullptr;
}

gboolean splitterLoad(GstElement* element, const gchar* location)
{
    TSplitter* splitter = self(element);
    GstState state = GST_STATE_NULL;
    gst_element_get_state(element, &state, nullptr, 0);
    if (state > GST_STATE_READY || !location)
        return FALSE;

    clearStreams(splitter);
    removeChild(splitter, splitter->priv.queue);
    removeChild(splitter, splitter->priv.parser);
    removeChild(splitter, splitter->priv.source);
    GST_OBJECT_LOCK(element);
    splitter->priv.location.clear();
    const guint timeout = splitter->priv.loadTimeout;
    GST_OBJECT_UNLOCK(element);

    std::vector<GstCaps*> found;
    if (!qxProbeStreams(location, timeout, found))
        return FALSE;

    GstElement* source = gst_element_factory_make("filesrc", "source");
    GstElement* parser = gst_element_factory_make("parsebin", "parser");
    GstElement* queue = gst_element_factory_make("multiqueue", "queue");
    if (!source || !parser || !queue) {
        for (GstElement* e : {source, parser, queue})
            if (e)
                gst_object_unref(e);
        for (GstCaps* caps : found)
            gst_caps_unref(caps);
        return FALSE;
    }
    g_object_set(source, "location", location, nullptr);
    gst_bin_add_many(GST_BIN(element), source, parser, queue, nullptr);
    gst_element_link(source, parser);
    g_signal_connect(parser, "pad-added", G_CALLBACK(sourcePadAdded), element);
    splitter->priv.source = source;
    splitter->priv.parser = parser;
    splitter->priv.queue = queue;

    std::vector<GstPad*> pads;
    {
        std::lock_guard guard(splitter->priv.lock);
        for (GstCaps* caps : found) {
            GstPad* laneSink = nullptr;
            GstPad* laneSrc = nullptr;
            if (!addLane(queue, laneSink, laneSrc)) {
                gst_caps_unref(caps);
                continue;
            }
            const std::string kind = qxStreamKind(caps);
            const std::string name = padName(splitter->priv.streams, kind);
            GstPad* ghost = gst_ghost_pad_new_from_template(name.c_str(), laneSrc, srcTemplate(element, kind));
            gst_object_unref(laneSrc);
            g_object_set_data_full(G_OBJECT(ghost), "qx-stream-caps", gst_caps_ref(caps),
                                   reinterpret_cast<GDestroyNotify>(gst_caps_unref));
            g_object_set_data(G_OBJECT(ghost), "qx-queue-sink", laneSink);
            gst_pad_set_query_function(ghost, ghostQuery);
            splitter->priv.streams.push_back({kind, caps, ghost, laneSink});
            pads.push_back(ghost);
        }
    }
    for (GstPad* pad : pads)
        gst_element_add_pad(element, pad);
    gst_element_no_more_pads(element);
    for (GstElement* e : {source, parser, queue})
        gst_element_sync_state_with_parent(e);

    GST_OBJECT_LOCK(element);
    splitter->priv.location = location;
    GST_OBJECT_UNLOCK(element);
    return TRUE;
}

// --- GObject -------------------------------------------------------------------

GstStateChangeReturn splitterChangeState(GstElement* element, GstStateChange transition)
{
    TSplitter* splitter = self(element);
    const bool withSource = reinterpret_cast<TSplitterClass*>(G_OBJECT_GET_CLASS(element))->withSource;
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        {
            std::lock_guard guard(splitter->priv.lock);
            splitter->priv.exposed.clear();
            splitter->priv.announced = 0;
        }
        if (!withSource)
            asyncStart(splitter);
    }
    GstStateChangeReturn result = gParentClass->change_state(element, transition);
    if (result == GST_STATE_CHANGE_FAILURE || transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        asyncDone(splitter);
        return result;
    }
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && !withSource) {
        std::lock_guard guard(splitter->priv.lock);
        if (splitter->priv.asyncPending)
            result = GST_STATE_CHANGE_ASYNC;
    }
    return result;
}

void splitterSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    if (id != PROP_LOAD_TIMEOUT) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    GST_OBJECT_LOCK(object);
    self(object)->priv.loadTimeout = g_value_get_uint(value);
    GST_OBJECT_UNLOCK(object);
}

void splitterGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    GST_OBJECT_LOCK(object);
    if (id == PROP_LOCATION)
        g_value_set_string(value, self(object)->priv.location.c_str());
    else if (id == PROP_LOAD_TIMEOUT)
        g_value_set_uint(value, self(object)->priv.loadTimeout);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    GST_OBJECT_UNLOCK(object);
}

void splitterFinalize(GObject* object)
{
    TSplitter* splitter = self(object);
    for (TStream& stream : splitter->priv.streams) {
        gst_caps_unref(stream.caps);
        if (stream.queueSink)
            gst_object_unref(stream.queueSink);
    }
    splitter->priv.~TSplitterPrivate();
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void splitterInit(GTypeInstance* instance, gpointer klass)
{
    TSplitter* splitter = self(instance);
    new (&splitter->priv) TSplitterPrivate();
    if (reinterpret_cast<TSplitterClass*>(klass)->withSource)
        return;
    GstElement* parser = gst_element_factory_make("parsebin", "parser");
    GstElement* queue = gst_element_factory_make("multiqueue", "queue");
    if (!parser || !queue) {
        if (parser)
            gst_object_unref(parser);
        if (queue)
            gst_object_unref(queue);
        return;
    }
    gst_bin_add_many(GST_BIN(instance), parser, queue, nullptr);
    splitter->priv.parser = parser;
    splitter->priv.queue = queue;
    GstPad* target = gst_element_get_static_pad(parser, "sink");
    GstPad* sink = gst_ghost_pad_new_from_template("sink", target, gst_static_pad_template_get(&kSinkTemplate));
    gst_object_unref(target);
    gst_element_add_pad(GST_ELEMENT(instance), sink);
    g_signal_connect(parser, "pad-added", G_CALLBACK(splitterPadAdded), instance);
    g_signal_connect(parser, "pad-removed", G_CALLBACK(splitterPadRemoved), instance);
    g_signal_connect(parser, "no-more-pads", G_CALLBACK(splitterNoMorePads), instance);
}

void splitterClassInit(gpointer klass, gpointer data)
{
    auto* splitterClass = static_cast<TSplitterClass*>(klass);
    const auto* kind = static_cast<const TSplitterKind*>(data);
    const TQXElementNames* names = kind->names;
    const bool withSource = kind->withSource;
    splitterClass->withSource = withSource;
    gParentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));

    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = splitterSetProperty;
    objectClass->get_property = splitterGetProperty;
    objectClass->finalize = splitterFinalize;

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    elementClass->change_state = splitterChangeState;
    GST_BIN_CLASS(klass)->handle_message = splitterHandleMessage;
    for (GstStaticPadTemplate& templ : kSrcTemplates)
        gst_element_class_add_static_pad_template(elementClass, &templ);
    gst_element_class_set_static_metadata(
        elementClass, names->longName, withSource ? "Source/Demuxer" : "Codec/Demuxer",
        withSource ? "Opens a file and exposes one pad per stream before the graph runs"
                   : "Splits a container into its streams with the best demuxer and parsers",
        "Tessaly");
    gst_element_class_add_static_metadata(elementClass, "clsid", names->clsid);

    if (!withSource) {
        gst_element_class_add_static_pad_template(elementClass, &kSinkTemplate);
        return;
    }
    g_object_class_install_property(
        objectClass, PROP_LOCATION,
        g_param_spec_string("location", "Location", "The loaded file", "",
                            GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        objectClass, PROP_LOAD_TIMEOUT,
        g_param_spec_uint("load-timeout", "Load time-out", "Longest wait of load for the streams, in ms", 0,
                          G_MAXUINT, 5000, GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    splitterClass->load = splitterLoad;
    g_signal_new("load", G_TYPE_FROM_CLASS(klass), GSignalFlags(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                 G_STRUCT_OFFSET(TSplitterClass, load), nullptr, nullptr, nullptr, G_TYPE_BOOLEAN, 1,
                 G_TYPE_STRING);
}

gboolean registerSplitter(GstPlugin* plugin, const TQXElementNames& names, bool withSource)
{
    gchar* typeName = g_strconcat(names.typePrefix, withSource ? "SplitterSource" : "Splitter", nullptr);
    GType type = g_type_from_name(typeName);
    if (!type) {
        // Lives as long as the type, that is as long as the process.
        auto* kind = g_new0(TSplitterKind, 1);
        *kind = {&names, withSource};
        const GTypeInfo info = {sizeof(TSplitterClass), nullptr, nullptr, splitterClassInit, nullptr, kind,
                                sizeof(TSplitter), 0, splitterInit, nullptr};
        type = g_type_register_static(GST_TYPE_BIN, typeName, &info, GTypeFlags(0));
    }
    g_free(typeName);
    return gst_element_register(plugin, names.factory, GST_RANK_NONE, type);
}

} // namespace

const char* qxStreamKind(const GstCaps* caps)
{
    const GstStructure* s = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    const char* name = s ? gst_structure_get_name(s) : "";
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/"))
        return "video";
    if (g_str_has_prefix(name, "audio/"))
        return "audio";
    if (g_str_has_prefix(name, "text/") || g_str_has_prefix(name, "subpicture/") ||
        g_str_has_prefix(name, "application/x-subtitle") || g_str_has_prefix(name, "application/x-ssa") ||
        g_str_has_prefix(name, "application/x-ass"))
        return "subtitle";
    return "data";
}

gboolean qxRegisterSplitterSource(GstPlugin* plugin, const TQXElementNames& names)
{
    return registerSplitter(plugin, names, true);
}

gboolean qxRegisterSplitter(GstPlugin* plugin, const TQXElementNames& names)
{
    return registerSplitter(plugin, names, false);
}
