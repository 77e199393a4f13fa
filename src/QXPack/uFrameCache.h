#pragma once

#include <QMutex>
#include <QtGlobal>

#include <gst/gst.h>

#include <map>

// The stream-time interval [start, end) of a buffer in a time segment, in
// 100 ns units. Unlike gst_segment_to_stream_time it also places buffers that
// start before the segment (a frame decoded on the way to a sought position).
// A buffer without a duration lasts fallbackDuration; false when the buffer
// has no timestamp, the segment is not in time or plays backwards, or no
// duration is known.
bool streamInterval(const GstSegment& segment, GstBuffer* buffer, qint64 fallbackDuration, qint64& start,
                    qint64& end);

// Decoded pictures around the position shown, as the video decoder gave them
// (before any conversion), each with its stream-time interval. Seeking decodes
// every picture from the previous keyframe on; keeping them here lets a step
// back show a picture without decoding its group again.
//
// Memory is bounded by a budget in bytes (256 MB by default: 82 pictures of
// 1920 x 1080 in 4:2:0, 20 at 3840 x 2160); past it, the pictures farthest
// from the anchor (the position being sought or shown) go first.
//
// Threads: filled from the decoder's streaming thread, read on the
// user-interface thread; every member takes the lock.
class TFrameCache {
public:
    static constexpr qsizetype kDefaultBudget = qsizetype(256) * 1024 * 1024;

    explicit TFrameCache(qsizetype budget = kDefaultBudget);
    ~TFrameCache();
    TFrameCache(const TFrameCache&) = delete;
    TFrameCache& operator=(const TFrameCache&) = delete;

    // Keeps the picture (a reference, or a copy when the buffer belongs to a
    // bounded pool the decoder needs back); a picture with the same start is
    // replaced. Pictures in other memory than the system's are not kept.
    void insert(GstBuffer* buffer, GstCaps* caps, qint64 start, qint64 end);
    // The picture shown at the position (start <= position < end) with its
    // interval; the caller owns the sample. None when it is not kept.
    GstSample* find(qint64 position, qint64& start, qint64& end) const;
    // Where the pictures to keep are centred.
    void setAnchor(qint64 position);
    void clear();

    qsizetype budget() const { return FBudget; }
    qsizetype bytes() const;
    int count() const;

private:
    struct TEntry {
        qint64 end = 0;
        qsizetype bytes = 0;
        GstSample* sample = nullptr;
    };
    void evict();

    const qsizetype FBudget;
    mutable QMutex FLock;
    std::map<qint64, TEntry> FFrames;
    qsizetype FBytes = 0;
    qint64 FAnchor = 0;
};
