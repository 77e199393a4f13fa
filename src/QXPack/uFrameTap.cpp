#include "uFrameTap.h"

#include "uFrameCache.h"

#include <gst/video/video.h>

#include <algorithm>
#include <initializer_list>

namespace {

constexpr qint64 kUnitsPerSecond = 10000000;

GstPad* firstPad(GstElement* element, GstPadDirection direction)
{
    GstPad* found = nullptr;
    GstIterator* it = direction == GST_PAD_SINK ? gst_element_iterate_sink_pads(element)
                                                : gst_element_iterate_src_pads(element);
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK)
        found = GST_PAD(g_value_dup_object(&item));
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

// One frame at the caps' frame rate, for buffers that carry no duration.
qint64 frameDuration(GstCaps* caps)
{
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FPS_N(&info) <= 0)
        return 0;
    return gst_util_uint64_scale_int(kUnitsPerSecond, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info));
}

} // namespace

TFrameTap::TFrameTap(TFrameCache& cache) : FCache(cache)
{
    gst_segment_init(&FOriginal, GST_FORMAT_TIME);
    gst_segment_init(&FOutputSegment, GST_FORMAT_TIME);
}

TFrameTap::~TFrameTap()
{
    detach();
}

bool TFrameTap::attach(GstElement* decoder)
{
    detach();
    if (!decoder)
        return false;
    GstPad* input = firstPad(decoder, GST_PAD_SINK);
    GstPad* output = firstPad(decoder, GST_PAD_SRC);
    if (!input || !output) {
        for (GstPad* pad : {input, output})
            if (pad)
                gst_object_unref(pad);
        return false;
    }
    FInput = input;
    FOutput = output;
    FInputProbe = gst_pad_add_probe(FInput, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onInput, this, nullptr);
    FOutputProbe = gst_pad_add_probe(
        FOutput, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        onOutput, this, nullptr);
    return true;
}

void TFrameTap::detach()
{
    if (FInput) {
        gst_pad_remove_probe(FInput, FInputProbe);
        gst_pad_remove_probe(FOutput, FOutputProbe);
        gst_object_unref(FInput);
        gst_object_unref(FOutput);
        FInput = FOutput = nullptr;
    }
    QMutexLocker lock(&FLock);
    FMoved = false;
    FDropping = false;
    gst_segment_init(&FOutputSegment, GST_FORMAT_TIME);
    gst_clear_caps(&FCaps);
    FFrameDuration = 0;
}

GstPadProbeReturn TFrameTap::onInput(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    return static_cast<TFrameTap*>(self)->input(info);
}

GstPadProbeReturn TFrameTap::onOutput(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    return static_cast<TFrameTap*>(self)->output(info);
}

GstPadProbeReturn TFrameTap::input(GstPadProbeInfo* info)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    // Moving the start back by as much as the stream time allows keeps every
    // stream time the decoder computes.
    const guint64 shift = std::min(segment->start, segment->time);
    if (segment->format != GST_FORMAT_TIME || segment->rate <= 0 || shift == 0)
        return GST_PAD_PROBE_OK;
    GstSegment moved = *segment;
    moved.start -= shift;
    moved.time -= shift;
    moved.position = moved.start;
    const guint32 seqnum = gst_event_get_seqnum(event);
    {
        QMutexLocker lock(&FLock);
        FMoved = true;
        FMovedSeqnum = seqnum;
        FMovedSegment = moved;
        FOriginal = *segment;
    }
    GstEvent* replacement = gst_event_new_segment(&moved);
    gst_event_set_seqnum(replacement, seqnum);
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TFrameTap::output(GstPadProbeInfo* info)
{
    return (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) ? outputBuffer(info) : outputEvent(info);
}

GstPadProbeReturn TFrameTap::outputEvent(GstPadProbeInfo* info)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        bool changed = false;
        {
            QMutexLocker lock(&FLock);
            changed = FCaps && !gst_caps_is_equal(FCaps, caps);
            gst_caps_replace(&FCaps, caps);
            FFrameDuration = frameDuration(caps);
        }
        // Pictures of another size or format are not the ones now shown.
        if (changed)
            FCache.clear();
        return GST_PAD_PROBE_OK;
    }
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    const guint32 seqnum = gst_event_get_seqnum(event);
    QMutexLocker lock(&FLock);
    // A decoder may send the segment on as a new event: the moved one is also
    // known by its values.
    FDropping = FMoved && (seqnum == FMovedSeqnum || (segment->start == FMovedSegment.start &&
                                                      segment->time == FMovedSegment.time &&
                                                      segment->base == FMovedSegment.base));
    if (!FDropping) {
        FOutputSegment = *segment;
        return GST_PAD_PROBE_OK;
    }
    FMoved = false;
    FOutputSegment = FOriginal;
    GstEvent* original = gst_event_new_segment(&FOriginal);
    gst_event_set_seqnum(original, seqnum);
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = original;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TFrameTap::outputBuffer(GstPadProbeInfo* info)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    qint64 start = 0;
    qint64 end = 0;
    GstCaps* caps = nullptr;
    bool before = false;
    {
        QMutexLocker lock(&FLock);
        if (!streamInterval(FOutputSegment, buffer, FFrameDuration, start, end))
            return GST_PAD_PROBE_OK;
        if (FDropping) {
            const qint64 originStart = static_cast<qint64>(FOutputSegment.start);
            const qint64 pts = static_cast<qint64>(GST_BUFFER_PTS(buffer));
            const qint64 ptsEnd = pts + (end - start) * 100;
            before = ptsEnd <= originStart;
        }
        if (FCapturing && FCaps)
            caps = gst_caps_ref(FCaps);
    }
    if (caps) {
        FCache.insert(buffer, caps, start, end);
        gst_caps_unref(caps);
    }
    return before ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}
