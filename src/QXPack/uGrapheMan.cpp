#include "uGrapheMan.h"

#include "uQXElements.h"

#include <gst/audio/streamvolume.h>

#include <QCoreApplication>
#include <QThread>

#include <cmath>

namespace {

// A bus message handed to the user-interface thread, with the graph
// generation it was posted in.
class TBusEvent : public QEvent {
public:
    TBusEvent(GstMessage* message, quint32 generation)
        : QEvent(eventType()), FMessage(gst_message_ref(message)), FGeneration(generation)
    {
    }
    ~TBusEvent() override { gst_message_unref(FMessage); }
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    GstMessage* message() const { return FMessage; }
    quint32 generation() const { return FGeneration; }

private:
    GstMessage* FMessage;
    quint32 FGeneration;
};

// Receives the bus events on the user-interface thread.
class TBusTarget : public QObject {
public:
    TBusTarget(TGrapheMan* owner) : QObject(owner), FOwner(owner) {}
    bool event(QEvent* event) override
    {
        if (event->type() != TBusEvent::eventType())
            return QObject::event(event);
        const auto* bus = static_cast<TBusEvent*>(event);
        if (bus->generation() == FOwner->generation() && FOwner->OnBusMessage)
            FOwner->OnBusMessage(bus->message());
        return true;
    }

private:
    TGrapheMan* FOwner;
};

constexpr int kStateRounds = 60;
constexpr int kSeekRounds = 20;
constexpr GstClockTime kStateQuery = 40 * GST_MSECOND;
constexpr unsigned long kRoundSleepMs = 10;

bool hasMajorType(GstPad* pad, const char* prefix)
{
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    if (!caps)
        return false;
    bool found = false;
    for (guint i = 0; i < gst_caps_get_size(caps) && !found; ++i)
        found = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, i)), prefix);
    gst_caps_unref(caps);
    return found;
}

} // namespace

qint32 volumeAttenuation(qint32 volume)
{
    const qint32 v = std::clamp(volume, 0, 10000);
    return static_cast<qint32>(std::nearbyint(std::log(v + 1.0) * 1085.73)) - 10000;
}

double attenuationGain(qint32 attenuation)
{
    return attenuation <= -10000 ? 0.0 : std::pow(10.0, attenuation / 2000.0);
}

void initMediaGraph()
{
    registerQXElements();
}

TGrapheMan::TGrapheMan(QObject* owner) : TQXActionComponent(owner)
{
    initMediaGraph();
    FGraph = gst_pipeline_new("Filtergraph");
    gst_object_ref_sink(FGraph);
    FBusTarget = new TBusTarget(this);
    GstBus* bus = gst_pipeline_get_bus(GST_PIPELINE(FGraph));
    gst_bus_set_sync_handler(bus, &TGrapheMan::busSync, this, nullptr);
    gst_object_unref(bus);
    fireState(gmStopped);
}

TGrapheMan::~TGrapheMan()
{
    gst_element_set_state(FGraph, GST_STATE_NULL);
    GstBus* bus = gst_pipeline_get_bus(GST_PIPELINE(FGraph));
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    RemoveAllFilters();
    gst_object_unref(FGraph);
}

QList<GstElement*> TGrapheMan::filters() const
{
    QList<GstElement*> children;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(FGraph));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        children.append(GST_ELEMENT(g_value_dup_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return children;
}

void TGrapheMan::RemoveAllFilters()
{
    for (GstElement* child : filters()) {
        RemoveFilter(child);
        gst_object_unref(child);
    }
}

GstBusSyncReply TGrapheMan::busSync(GstBus*, GstMessage* message, gpointer self)
{
    auto* manager = static_cast<TGrapheMan*>(self);
    QCoreApplication::postEvent(manager->FBusTarget, new TBusEvent(message, manager->generation()));
    return GST_BUS_DROP;
}

HRESULT TGrapheMan::AddFilter(GstElement* filter, const QString& name)
{
    if (!filter)
        return E_POINTER;
    const QByteArray wanted = name.toUtf8();
    if (GstElement* taken = gst_bin_get_by_name(GST_BIN(FGraph), wanted.constData())) {
        gst_object_unref(taken);
        return VFW_S_DUPLICATE_NAME;
    }
    if (GST_OBJECT_PARENT(filter))
        return E_FAIL;
    gst_object_ref(filter);
    gst_object_set_name(GST_OBJECT(filter), wanted.constData());
    if (!gst_bin_add(GST_BIN(FGraph), filter)) {
        gst_object_unref(filter);
        return E_FAIL;
    }
    gst_object_unref(filter);
    return S_OK;
}

HRESULT TGrapheMan::RemoveFilter(GstElement* filter)
{
    if (!filter)
        return E_POINTER;
    if (GST_OBJECT_PARENT(filter) != GST_OBJECT(FGraph))
        return E_FAIL;
    gst_element_set_state(filter, GST_STATE_NULL);
    gst_object_ref(filter);
    const bool removed = gst_bin_remove(GST_BIN(FGraph), filter);
    gst_element_set_state(filter, GST_STATE_NULL);
    gst_object_unref(filter);
    return removed ? S_OK : E_FAIL;
}

HRESULT TGrapheMan::ConnectDirect(GstPad* output, GstPad* input)
{
    if (!output || !input)
        return E_POINTER;
    return gst_pad_link_full(output, input, GST_PAD_LINK_CHECK_NOTHING) == GST_PAD_LINK_OK ? S_OK : E_FAIL;
}

HRESULT TGrapheMan::Disconnect(GstPad* pad)
{
    if (!pad)
        return E_POINTER;
    GstPad* peer = gst_pad_get_peer(pad);
    if (!peer)
        return S_FALSE;
    const bool done = GST_PAD_IS_SRC(pad) ? gst_pad_unlink(pad, peer) : gst_pad_unlink(peer, pad);
    gst_object_unref(peer);
    return done ? S_OK : E_FAIL;
}

void TGrapheMan::DisconnectFilters()
{
    for (GstElement* child : filters()) {
        for (int n = 0;; ++n) {
            GstPad* pad = pin(child, n);
            if (!pad)
                break;
            Disconnect(pad);
            gst_object_unref(pad);
        }
        gst_object_unref(child);
    }
}

GstPad* TGrapheMan::pin(GstElement* filter, int n)
{
    if (!filter || n < 0)
        return nullptr;
    GstPad* found = nullptr;
    GST_OBJECT_LOCK(filter);
    const int sinks = static_cast<int>(filter->numsinkpads);
    GList* list = n < sinks ? filter->sinkpads : filter->srcpads;
    const int index = n < sinks ? n : n - sinks;
    if (GList* at = g_list_nth(list, static_cast<guint>(index)))
        found = GST_PAD(gst_object_ref(at->data));
    GST_OBJECT_UNLOCK(filter);
    return found;
}

GstPad* TGrapheMan::FindPin(GstElement* filter, const QString& majorType)
{
    const char* prefix = majorType == QLatin1String("vids")   ? "video/"
                         : majorType == QLatin1String("auds") ? "audio/"
                                                              : nullptr;
    if (!filter || !prefix)
        return nullptr;
    for (int n = static_cast<int>(filter->numsinkpads);; ++n) {
        GstPad* pad = pin(filter, n);
        if (!pad)
            return nullptr;
        if (!gst_pad_is_linked(pad) && hasMajorType(pad, prefix))
            return pad;
        gst_object_unref(pad);
    }
}

HRESULT TGrapheMan::waitState(GstClockTime timeout) const
{
    GstState current;
    GstState pending;
    const GstStateChangeReturn answer = gst_element_get_state(FGraph, &current, &pending, timeout);
    return answer == GST_STATE_CHANGE_ASYNC ? VFW_S_STATE_INTERMEDIATE
           : answer == GST_STATE_CHANGE_FAILURE ? E_FAIL
                                                : S_OK;
}

void TGrapheMan::CompleteState()
{
    for (int i = 0; i < kStateRounds; ++i) {
        if (waitState(kStateQuery) != VFW_S_STATE_INTERMEDIATE)
            return;
        QThread::msleep(kRoundSleepMs);
    }
}

void TGrapheMan::CompleteSeek()
{
    for (int i = 0; i < kSeekRounds; ++i) {
        if (waitState(kStateQuery) != VFW_S_STATE_INTERMEDIATE)
            return;
        QThread::msleep(kRoundSleepMs);
    }
}

void TGrapheMan::fireState(TGrapheManState state)
{
    if (OnStateChange)
        OnStateChange(state);
}

bool TGrapheMan::play()
{
    setRate(FhasVitesseRapide ? 4.0 : 1.0);
    if (gst_element_set_state(FGraph, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    CompleteState();
    fireState(gmPlaying);
    return true;
}

bool TGrapheMan::pause()
{
    if (gst_element_set_state(FGraph, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return false;
    CompleteState();
    fireState(gmPaused);
    return true;
}

bool TGrapheMan::stop()
{
    // Null rather than ready: every element lets go of its file and device, so
    // the graph can be taken apart at once.
    if (gst_element_set_state(FGraph, GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE)
        return false;
    FRate = 1.0;
    fireState(gmStopped);
    return true;
}

void TGrapheMan::VitesseRapide()
{
    FhasVitesseRapide = true;
    if (OnVitesseRapide)
        OnVitesseRapide(true);
    setRate(4.0);
}

void TGrapheMan::VitesseNormale()
{
    FhasVitesseRapide = false;
    if (OnVitesseRapide)
        OnVitesseRapide(false);
    setRate(1.0);
}

void TGrapheMan::abort()
{
    FAbort = true;
}

bool TGrapheMan::setRate(double rate)
{
    // A rate change is a flushing seek: only when the rate really changes.
    if (rate == FRate)
        return true;
    GstState current;
    gst_element_get_state(FGraph, &current, nullptr, 0);
    if (current < GST_STATE_PAUSED)
        return false;
    gint64 position = 0;
    if (!gst_element_query_position(FGraph, GST_FORMAT_TIME, &position))
        return false;
    if (!gst_element_seek(FGraph, rate, GST_FORMAT_TIME,
                          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                          position, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
        return false;
    FRate = rate;
    return true;
}

TGrapheManState TGrapheMan::state() const
{
    GstState current;
    GstState pending;
    gst_element_get_state(FGraph, &current, &pending, 0);
    const GstState target = pending == GST_STATE_VOID_PENDING ? current : pending;
    return target == GST_STATE_PLAYING ? gmPlaying : target == GST_STATE_PAUSED ? gmPaused : gmStopped;
}

bool TGrapheMan::settled() const
{
    return waitState(0) != VFW_S_STATE_INTERMEDIATE;
}

bool TGrapheMan::getCurrentPosition(qint64& position) const
{
    gint64 ns = 0;
    if (!gst_element_query_position(FGraph, GST_FORMAT_TIME, &ns) || ns < 0)
        return false;
    position = ns / 100;
    return true;
}

bool TGrapheMan::getDuration(qint64& duration) const
{
    gint64 ns = 0;
    if (!gst_element_query_duration(FGraph, GST_FORMAT_TIME, &ns) || ns < 0)
        return false;
    duration = ns / 100;
    return true;
}

bool TGrapheMan::setPositionAbsolute(qint64 position)
{
    return gst_element_seek(FGraph, FRate, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                            static_cast<gint64>(std::max<qint64>(position, 0)) * 100, GST_SEEK_TYPE_NONE,
                            GST_CLOCK_TIME_NONE);
}

bool TGrapheMan::removeClock()
{
    gst_pipeline_use_clock(GST_PIPELINE(FGraph), nullptr);
    return true;
}

bool TGrapheMan::restoreClock()
{
    gst_pipeline_auto_clock(GST_PIPELINE(FGraph));
    return true;
}

void TGrapheMan::setVolume(qint32 value)
{
    FVolume = std::clamp(value, 0, 10000);
    GstElement* renderer = gst_bin_get_by_interface(GST_BIN(FGraph), GST_TYPE_STREAM_VOLUME);
    if (!renderer)
        return;
    gst_stream_volume_set_volume(GST_STREAM_VOLUME(renderer), GST_STREAM_VOLUME_FORMAT_LINEAR,
                                 attenuationGain(volumeAttenuation(FVolume)));
    gst_object_unref(renderer);
}

qintptr TGrapheMan::windowProc(uint msg, qintptr wParam, qintptr lParam)
{
    return TQXActionComponent::windowProc(msg, wParam, lParam);
}
