#include "uHWAccel.h"
#include "uQXFilters.h"

#include <mutex>
#include <new>
#include <string>
#include <vector>

// Video and audio decoder bins. The decoder is chosen when the sink pad is
// linked, from the caps the upstream pad answers then: a parser when one takes
// the stream (it also converts between the stream formats decoders want), then
// the best-ranked decoder that takes the parser's output or the stream itself.
// A raw stream is refused, so that the graph connects it without a decoder.

namespace {

struct TDecoderKind {
    const TQXElementNames* names;
    bool video;
};

struct TDecoderPrivate {
    std::mutex lock; // the chain, rebuilt by a link from any thread
    GstPad* sink = nullptr;
    GstPad* src = nullptr;
    std::vector<GstElement*> chain;
};

struct TDecoderBin {
    GstBin bin;
    TDecoderPrivate priv;
};

struct TDecoderBinClass {
    GstBinClass parentClass;
    bool video;
};

GstElementClass* gParentClass;

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate kVideoSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw(ANY)"));
GstStaticPadTemplate kAudioSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw(ANY)"));

TDecoderBin* self(gpointer object)
{
    return reinterpret_cast<TDecoderBin*>(object);
}

bool isVideo(gpointer object)
{
    return reinterpret_cast<TDecoderBinClass*>(G_OBJECT_GET_CLASS(object))->video;
}

bool isRaw(const GstCaps* caps)
{
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const char* name = gst_structure_get_name(gst_caps_get_structure(caps, i));
        if (g_str_equal(name, "video/x-raw") || g_str_equal(name, "audio/x-raw"))
            return true;
    }
    return false;
}

// The factories of a type that can take the caps, best rank first.
GList* factoriesFor(GstElementFactoryListType type, const GstCaps* caps, GstRank minimum)
{
    GList* all = gst_element_factory_list_get_elements(type, minimum);
    GList* fit = gst_element_factory_list_filter(all, caps, GST_PAD_SINK, FALSE);
    gst_plugin_feature_list_free(all);
    return g_list_sort(fit, gst_plugin_feature_rank_compare_func);
}

GstCaps* srcTemplateCaps(GstElementFactory* factory)
{
    GstCaps* caps = gst_caps_new_empty();
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t; t = t->next) {
        auto* templ = static_cast<GstStaticPadTemplate*>(t->data);
        if (templ->direction == GST_PAD_SRC)
            caps = gst_caps_merge(caps, gst_static_caps_get(&templ->static_caps));
    }
    return caps;
}

// Decoders that take the caps, in the order the hardware choice gives.
std::vector<GstElementFactory*> decodersFor(const GstCaps* caps, bool video)
{
    const auto media = video ? GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO : GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO;
    GList* list = factoriesFor(GST_ELEMENT_FACTORY_TYPE_DECODER | media, caps, GST_RANK_NONE);
    std::vector<TDecoderCandidate> candidates;
    for (GList* l = list; l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
        const char* plugin = gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(factory));
        // Our own bins are registered without rank and the choice skips unranked software.
        candidates.push_back({GST_OBJECT_NAME(factory), plugin ? plugin : "",
                              klass && std::string(klass).find("Hardware") != std::string::npos,
                              gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory))});
    }
    gst_plugin_feature_list_free(list);
    std::vector<GstElementFactory*> ordered;
    for (const TDecoderCandidate& c : qxOrderDecoders(candidates, video ? qxReadHWAccel() : hwNone))
        if (GstElementFactory* factory = gst_element_factory_find(c.factory.c_str()))
            ordered.push_back(factory);
    return ordered;
}

// A decoder that starts: a hardware one may be listed without a device behind it.
GstElement* makeDecoder(GstElementFactory* factory)
{
    GstElement* decoder = gst_element_factory_create(factory, nullptr);
    if (!decoder)
        return nullptr;
    gst_object_ref_sink(decoder);
    const bool starts = gst_element_set_state(decoder, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(decoder, GST_STATE_NULL);
    if (starts)
        return decoder;
    gst_object_unref(decoder);
    return nullptr;
}

void unrefAll(std::vector<GstElementFactory*>& factories)
{
    for (GstElementFactory* factory : factories)
        gst_object_unref(factory);
    factories.clear();
}

// [parser,] decoder for the caps, not yet linked; empty when nothing decodes them.
std::vector<GstElement*> chooseChain(const GstCaps* caps, bool video)
{
    std::vector<GstElement*> chain;
    GList* parsers = factoriesFor(GST_ELEMENT_FACTORY_TYPE_PARSER, caps, GST_RANK_MARGINAL);
    if (parsers) {
        auto* parserFactory = GST_ELEMENT_FACTORY(parsers->data);
        GstCaps* parsed = srcTemplateCaps(parserFactory);
        std::vector<GstElementFactory*> decoders = decodersFor(parsed, video);
        gst_caps_unref(parsed);
        for (GstElementFactory* factory : decoders) {
            if (GstElement* decoder = makeDecoder(factory)) {
                if (GstElement* parser = gst_element_factory_create(parserFactory, nullptr))
                    chain = {GST_ELEMENT(gst_object_ref_sink(parser)), decoder};
                else
                    gst_object_unref(decoder);
                break;
            }
        }
        unrefAll(decoders);
    }
    gst_plugin_feature_list_free(parsers);
    if (!chain.empty())
        return chain;
    std::vector<GstElementFactory*> decoders = decodersFor(caps, video);
    for (GstElementFactory* factory : decoders) {
        if (GstElement* decoder = makeDecoder(factory)) {
            chain = {decoder};
            break;
        }
    }
    unrefAll(decoders);
    return chain;
}

void dropChain(TDecoderBin* bin)
{
    gst_ghost_pad_set_target(GST_GHOST_PAD(bin->priv.sink), nullptr);
    gst_ghost_pad_set_target(GST_GHOST_PAD(bin->priv.src), nullptr);
    for (GstElement* element : bin->priv.chain) {
        gst_element_set_state(element, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(bin), element);
    }
    bin->priv.chain.clear();
}

GstPad* firstPad(GstElement* element, GstPadDirection direction)
{
    GstIterator* it = direction == GST_PAD_SINK ? gst_element_iterate_sink_pads(element)
                                                : gst_element_iterate_src_pads(element);
    GValue item = G_VALUE_INIT;
    GstPad* pad = nullptr;
    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK)
        pad = GST_PAD(g_value_dup_object(&item));
    g_value_unset(&item);
    gst_iterator_free(it);
    return pad;
}

GstPadLinkReturn sinkLink(GstPad*, GstObject* parent, GstPad* peer)
{
    TDecoderBin* bin = self(parent);
    GstCaps* caps = gst_pad_query_caps(peer, nullptr);
    if (!caps)
        return GST_PAD_LINK_NOFORMAT;
    const bool usable = !gst_caps_is_any(caps) && !gst_caps_is_empty(caps) && !isRaw(caps);
    std::vector<GstElement*> chain = usable ? chooseChain(caps, isVideo(bin)) : std::vector<GstElement*>{};
    gst_caps_unref(caps);
    if (chain.empty())
        return GST_PAD_LINK_NOFORMAT;

    std::lock_guard guard(bin->priv.lock);
    dropChain(bin);
    for (GstElement* element : chain) {
        gst_bin_add(GST_BIN(bin), element);
        gst_object_unref(element);
    }
    bin->priv.chain = chain;
    const bool linked = chain.size() == 1 || gst_element_link(chain[0], chain[1]);
    GstPad* in = firstPad(chain.front(), GST_PAD_SINK);
    GstPad* out = firstPad(chain.back(), GST_PAD_SRC);
    const bool targeted = linked && in && out && gst_ghost_pad_set_target(GST_GHOST_PAD(bin->priv.sink), in) &&
                          gst_ghost_pad_set_target(GST_GHOST_PAD(bin->priv.src), out);
    if (in)
        gst_object_unref(in);
    if (out)
        gst_object_unref(out);
    if (!targeted) {
        dropChain(bin);
        return GST_PAD_LINK_NOFORMAT;
    }
    for (GstElement* element : chain)
        gst_element_sync_state_with_parent(element);
    return GST_PAD_LINK_OK;
}

void decoderFinalize(GObject* object)
{
    self(object)->priv.~TDecoderPrivate();
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void decoderInit(GTypeInstance* instance, gpointer klass)
{
    TDecoderBin* bin = self(instance);
    new (&bin->priv) TDecoderPrivate();
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    bin->priv.sink = gst_ghost_pad_new_no_target_from_template(
        "sink", gst_element_class_get_pad_template(elementClass, "sink"));
    gst_pad_set_link_function(bin->priv.sink, sinkLink);
    bin->priv.src = gst_ghost_pad_new_no_target_from_template(
        "src", gst_element_class_get_pad_template(elementClass, "src"));
    gst_element_add_pad(GST_ELEMENT(instance), bin->priv.sink);
    gst_element_add_pad(GST_ELEMENT(instance), bin->priv.src);
}

void decoderClassInit(gpointer klass, gpointer data)
{
    const auto* kind = static_cast<const TDecoderKind*>(data);
    reinterpret_cast<TDecoderBinClass*>(klass)->video = kind->video;
    gParentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = decoderFinalize;
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &kSinkTemplate);
    gst_element_class_add_static_pad_template(elementClass, kind->video ? &kVideoSrcTemplate : &kAudioSrcTemplate);
    gst_element_class_set_static_metadata(
        elementClass, kind->names->longName, kind->video ? "Codec/Decoder/Video" : "Codec/Decoder/Audio",
        "Decodes the stream with the best decoder found when it is linked", "Tessaly");
    gst_element_class_add_static_metadata(elementClass, "clsid", kind->names->clsid);
}

gboolean registerDecoder(GstPlugin* plugin, const TQXElementNames& names, bool video)
{
    gchar* typeName = g_strconcat(names.typePrefix, video ? "VideoDecoder" : "AudioDecoder", nullptr);
    GType type = g_type_from_name(typeName);
    if (!type) {
        // Lives as long as the type, that is as long as the process.
        auto* kind = g_new0(TDecoderKind, 1);
        *kind = {&names, video};
        const GTypeInfo info = {sizeof(TDecoderBinClass), nullptr, nullptr, decoderClassInit, nullptr, kind,
                                sizeof(TDecoderBin), 0, decoderInit, nullptr};
        type = g_type_register_static(GST_TYPE_BIN, typeName, &info, GTypeFlags(0));
    }
    g_free(typeName);
    return gst_element_register(plugin, names.factory, GST_RANK_NONE, type);
}

} // namespace

gboolean qxRegisterVideoDecoder(GstPlugin* plugin, const TQXElementNames& names)
{
    return registerDecoder(plugin, names, true);
}

gboolean qxRegisterAudioDecoder(GstPlugin* plugin, const TQXElementNames& names)
{
    return registerDecoder(plugin, names, false);
}
