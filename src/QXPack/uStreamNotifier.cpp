#include "uStreamNotifier.h"

#include "uQXElements.h"

#include <gst/base/gstbasetransform.h>

#include <new>

namespace {

struct TNotifierElement {
    GstBaseTransform parent;
    std::unique_ptr<TNotifierState> state;
};

struct TNotifierClass {
    GstBaseTransformClass parentClass;
    const TNotifierNames* names;
};

GstBaseTransformClass* gParentClass;
GType gNotifierTypes[2];

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate kSrcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

TNotifierState* stateOf(gpointer element)
{
    return reinterpret_cast<TNotifierElement*>(element)->state.get();
}

QString majorOf(const QString& name)
{
    return name.section(QLatin1Char('/'), 0, 0);
}

void inputTypesOf(const GstCaps* caps, QString& major, QString& sub, QString& format)
{
    major.clear();
    sub.clear();
    format.clear();
    if (!caps || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0)
        return;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    sub = QString::fromUtf8(gst_structure_get_name(s));
    major = majorOf(sub);
    if (const char* f = gst_structure_get_string(s, "stream-format"))
        format = QString::fromUtf8(f);
}

GstPadLinkReturn sinkLink(GstPad*, GstObject* parent, GstPad* peer)
{
    GstCaps* caps = gst_pad_query_caps(peer, nullptr);
    const bool accepted = stateOf(parent)->connect(caps);
    if (caps)
        gst_caps_unref(caps);
    return accepted ? GST_PAD_LINK_OK : GST_PAD_LINK_NOFORMAT;
}

gboolean notifierStart(GstBaseTransform* trans)
{
    stateOf(trans)->start();
    return TRUE;
}

gboolean notifierSetCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps*)
{
    if (!stateOf(trans)->acceptsInput(incaps))
        return FALSE;
    stateOf(trans)->setCaps(incaps);
    return TRUE;
}

gboolean notifierAcceptCaps(GstBaseTransform* trans, GstPadDirection direction, GstCaps* caps)
{
    if (direction == GST_PAD_SINK && !stateOf(trans)->acceptsInput(caps))
        return FALSE;
    return gParentClass->accept_caps(trans, direction, caps);
}

GstFlowReturn notifierTransformIp(GstBaseTransform* trans, GstBuffer*)
{
    return stateOf(trans)->sample();
}

void notifierFinalize(GObject* object)
{
    reinterpret_cast<TNotifierElement*>(object)->state.~unique_ptr();
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void notifierInit(GTypeInstance* instance, gpointer klass)
{
    auto* element = reinterpret_cast<TNotifierElement*>(instance);
    new (&element->state) std::unique_ptr<TNotifierState>(reinterpret_cast<TNotifierClass*>(klass)->names->makeState());
    auto* trans = GST_BASE_TRANSFORM(instance);
    gst_base_transform_set_passthrough(trans, TRUE);
    gst_base_transform_set_in_place(trans, TRUE);
    gst_pad_set_link_function(trans->sinkpad, sinkLink);
}

void notifierClassInit(gpointer klass, gpointer data)
{
    const auto* names = static_cast<const TNotifierNames*>(data);
    reinterpret_cast<TNotifierClass*>(klass)->names = names;
    gParentClass = GST_BASE_TRANSFORM_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = notifierFinalize;

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &kSinkTemplate);
    gst_element_class_add_static_pad_template(elementClass, &kSrcTemplate);
    gst_element_class_set_static_metadata(elementClass, names->longName, names->klass,
                                          "Passes the stream through unchanged and reports its format", "Tessaly");
    gst_element_class_add_static_metadata(elementClass, "clsid", names->clsid);

    auto* transClass = GST_BASE_TRANSFORM_CLASS(klass);
    transClass->passthrough_on_same_caps = TRUE;
    transClass->transform_ip_on_passthrough = TRUE;
    transClass->start = notifierStart;
    transClass->set_caps = notifierSetCaps;
    transClass->accept_caps = notifierAcceptCaps;
    transClass->transform_ip = notifierTransformIp;
}

} // namespace

TNotifierState* TNotifierState::of(GstElement* element)
{
    if (!element)
        return nullptr;
    for (GType type : gNotifierTypes)
        if (type && G_TYPE_CHECK_INSTANCE_TYPE(element, type))
            return stateOf(element);
    return nullptr;
}

gboolean registerNotifier(GstPlugin* plugin, const TNotifierNames& names)
{
    GType type = g_type_from_name(names.typeName);
    if (!type) {
        const GTypeInfo info = {sizeof(TNotifierClass), nullptr, nullptr, notifierClassInit, nullptr, &names,
                                sizeof(TNotifierElement), 0, notifierInit, nullptr};
        type = g_type_register_static(GST_TYPE_BASE_TRANSFORM, names.typeName, &info, GTypeFlags(0));
        for (GType& slot : gNotifierTypes) {
            if (!slot) {
                slot = type;
                break;
            }
        }
    }
    return gst_element_register(plugin, names.factory, GST_RANK_NONE, type);
}

// --- State ---------------------------------------------------------------------

void TNotifierState::setStreamOn(bool on)
{
    std::lock_guard guard(FLock);
    FStreaming = on;
}

bool TNotifierState::streaming() const
{
    std::lock_guard guard(FLock);
    return FStreaming;
}

bool TNotifierState::active() const
{
    std::lock_guard guard(FLock);
    return FActive;
}

bool TNotifierState::firstSample() const
{
    std::lock_guard guard(FLock);
    return FFirstSample;
}

qint64 TNotifierState::nbframe() const
{
    std::lock_guard guard(FLock);
    return FNbframe;
}

QString TNotifierState::Input_Majortype() const
{
    std::lock_guard guard(FLock);
    return FMajortype;
}

QString TNotifierState::Input_SubType() const
{
    std::lock_guard guard(FLock);
    return FSubType;
}

QString TNotifierState::Input_FormatType() const
{
    std::lock_guard guard(FLock);
    return FFormatType;
}

void TNotifierState::setInputTypes(const QString& majorType, const QString& subType, const QString& formatType)
{
    std::lock_guard guard(FLock);
    FMajortype = majorType;
    FSubType = subType;
    FFormatType = formatType;
}

bool TNotifierState::acceptsInput(const GstCaps* caps) const
{
    QString major, sub, format;
    inputTypesOf(caps, major, sub, format);
    std::lock_guard guard(FLock);
    const auto fits = [](const QString& stored, const QString& proposed) {
        return stored.isEmpty() || stored == proposed;
    };
    return fits(FMajortype, major) && fits(FSubType, sub) && fits(FFormatType, format);
}

void TNotifierState::storeInputTypes(const GstCaps* caps)
{
    QString major, sub, format;
    inputTypesOf(caps, major, sub, format);
    if (sub.isEmpty())
        return;
    FMajortype = major;
    FSubType = sub;
    FFormatType = format;
}

bool TNotifierState::connect(const GstCaps* peerCaps)
{
    if (!acceptsInput(peerCaps))
        return false;
    std::lock_guard guard(FLock);
    // Only caps that name one stream type say what the connection carries.
    if (peerCaps && gst_caps_get_size(peerCaps) == 1)
        storeInputTypes(peerCaps);
    return true;
}

void TNotifierState::start()
{
    std::lock_guard guard(FLock);
    FFirstSample = true;
    FNbframe = -1;
}

void TNotifierState::setCaps(const GstCaps* caps)
{
    std::lock_guard guard(FLock);
    storeInputTypes(caps);
    describe(caps);
}

GstFlowReturn TNotifierState::sample()
{
    std::lock_guard guard(FLock);
    if (!FActive)
        return GST_FLOW_OK;
    if (!FStreaming)
        return GST_BASE_TRANSFORM_FLOW_DROPPED;
    ++FNbframe;
    report(FFirstSample);
    FFirstSample = false;
    return GST_FLOW_OK;
}

// --- Program side ----------------------------------------------------------------

TStreamNotifier::TStreamNotifier(const char* factory)
{
    registerQXElements();
    FElement = gst_element_factory_make(factory, nullptr);
    if (FElement)
        gst_object_ref_sink(FElement);
}

TStreamNotifier::~TStreamNotifier()
{
    if (FElement)
        gst_object_unref(FElement);
}

void TStreamNotifier::setStreamOn(bool on)
{
    if (TNotifierState* s = notifierState())
        s->setStreamOn(on);
}

bool TStreamNotifier::streaming() const
{
    const TNotifierState* s = notifierState();
    return s && s->streaming();
}

bool TStreamNotifier::active() const
{
    const TNotifierState* s = notifierState();
    return s && s->active();
}

bool TStreamNotifier::firstSample() const
{
    const TNotifierState* s = notifierState();
    return s && s->firstSample();
}

qint64 TStreamNotifier::nbframe() const
{
    const TNotifierState* s = notifierState();
    return s ? s->nbframe() : -1;
}

QString TStreamNotifier::Input_Majortype() const
{
    const TNotifierState* s = notifierState();
    return s ? s->Input_Majortype() : QString();
}

QString TStreamNotifier::Input_SubType() const
{
    const TNotifierState* s = notifierState();
    return s ? s->Input_SubType() : QString();
}

QString TStreamNotifier::Input_FormatType() const
{
    const TNotifierState* s = notifierState();
    return s ? s->Input_FormatType() : QString();
}

void TStreamNotifier::setInputTypes(const QString& majorType, const QString& subType, const QString& formatType)
{
    if (TNotifierState* s = notifierState())
        s->setInputTypes(majorType, subType, formatType);
}
