#include "uFrameCache.h"

#include <gst/video/video.h>

#include <cstdlib>
#include <iterator>

namespace {

constexpr qint64 kNanosPerUnit = 100;

// A buffer of a pool with a fixed number of buffers would hold the decoder
// back while it waits here.
bool fromBoundedPool(GstBuffer* buffer)
{
    if (!buffer->pool)
        return false;
    GstStructure* config = gst_buffer_pool_get_config(buffer->pool);
    guint minimum = 0;
    guint maximum = 0;
    gst_buffer_pool_config_get_params(config, nullptr, nullptr, &minimum, &maximum);
    gst_structure_free(config);
    return maximum > 0;
}

bool inSystemMemory(GstCaps* caps)
{
    const GstCapsFeatures* features = gst_caps_get_features(caps, 0);
    return !features || gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY);
}

} // namespace

bool streamInterval(const GstSegment& segment, GstBuffer* buffer, qint64 fallbackDuration, qint64& start, qint64& end)
{
    if (segment.format != GST_FORMAT_TIME || segment.rate <= 0 || !GST_BUFFER_PTS_IS_VALID(buffer))
        return false;
    const qint64 pts = static_cast<qint64>(GST_BUFFER_PTS(buffer));
    const qint64 duration = GST_BUFFER_DURATION_IS_VALID(buffer)
                                ? static_cast<qint64>(GST_BUFFER_DURATION(buffer)) / kNanosPerUnit
                                : fallbackDuration;
    if (duration <= 0)
        return false;
    const qint64 streamNs = pts - static_cast<qint64>(segment.start) + static_cast<qint64>(segment.time);
    start = streamNs / kNanosPerUnit;
    end = start + duration;
    return true;
}

TFrameCache::TFrameCache(qsizetype budget) : FBudget(budget) {}

TFrameCache::~TFrameCache()
{
    clear();
}

void TFrameCache::insert(GstBuffer* buffer, GstCaps* caps, qint64 start, qint64 end)
{
    GstVideoInfo info;
    if (!buffer || !caps || end <= start || !inSystemMemory(caps) || !gst_video_info_from_caps(&info, caps))
        return;
    GstBuffer* kept = fromBoundedPool(buffer) ? gst_buffer_copy_deep(buffer) : gst_buffer_ref(buffer);
    GstSample* sample = gst_sample_new(kept, caps, nullptr, nullptr);
    gst_buffer_unref(kept);
    const auto bytes = static_cast<qsizetype>(GST_VIDEO_INFO_SIZE(&info));

    GstSample* replaced = nullptr;
    {
        QMutexLocker lock(&FLock);
        TEntry& entry = FFrames[start];
        replaced = entry.sample;
        FBytes += bytes - entry.bytes;
        entry = {end, bytes, sample};
        evict();
    }
    if (replaced)
        gst_sample_unref(replaced);
}

void TFrameCache::evict()
{
    while (FBytes > FBudget && FFrames.size() > 1) {
        // The first and the last pictures are the farthest from the anchor.
        const auto first = FFrames.begin();
        const auto last = std::prev(FFrames.end());
        const auto victim = std::llabs(first->first - FAnchor) > std::llabs(last->first - FAnchor) ? first : last;
        FBytes -= victim->second.bytes;
        gst_sample_unref(victim->second.sample);
        FFrames.erase(victim);
    }
}

GstSample* TFrameCache::find(qint64 position, qint64& start, qint64& end) const
{
    QMutexLocker lock(&FLock);
    auto it = FFrames.upper_bound(position);
    if (it == FFrames.begin())
        return nullptr;
    --it;
    if (position >= it->second.end)
        return nullptr;
    start = it->first;
    end = it->second.end;
    return gst_sample_ref(it->second.sample);
}

void TFrameCache::setAnchor(qint64 position)
{
    QMutexLocker lock(&FLock);
    FAnchor = position;
}

void TFrameCache::clear()
{
    std::map<qint64, TEntry> gone;
    {
        QMutexLocker lock(&FLock);
        gone.swap(FFrames);
        FBytes = 0;
    }
    for (auto& [start, entry] : gone)
        gst_sample_unref(entry.sample);
}

qsizetype TFrameCache::bytes() const
{
    QMutexLocker lock(&FLock);
    return FBytes;
}

int TFrameCache::count() const
{
    QMutexLocker lock(&FLock);
    return static_cast<int>(FFrames.size());
}
