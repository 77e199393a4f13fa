#pragma once

#include <QMutex>
#include <QtGlobal>

#include <gst/gst.h>

#include <atomic>

class TFrameCache;

// Watches the video decoder of a file graph so that the pictures it decodes on
// the way from a keyframe to a sought position land in a frame cache instead
// of being thrown away.
//
// A frame-accurate seek gives the decoder a segment that starts at the sought
// position, and the decoder drops whatever it decodes before it. The tap moves
// the start of that segment back, on the decoder's input, to where the stream
// begins (stream times unchanged), so every decoded picture comes out; on the
// output it puts the original segment back, keeps each picture in the cache
// and drops those that end before the sought position. What reaches the
// renderer is what it would have got without the tap.
//
// Threads: the probes run on the streaming threads; attach and detach run
// while the graph is not streaming.
class TFrameTap {
public:
    explicit TFrameTap(TFrameCache& cache);
    ~TFrameTap();
    TFrameTap(const TFrameTap&) = delete;
    TFrameTap& operator=(const TFrameTap&) = delete;

    // The decoder's first sink and first source pad are watched.
    bool attach(GstElement* decoder);
    void detach();
    bool attached() const { return FInput != nullptr; }

    // Off, pictures pass without being kept (while playing); seeks still work.
    void setCapturing(bool on) { FCapturing = on; }

private:
    static GstPadProbeReturn onInput(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn onOutput(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    GstPadProbeReturn input(GstPadProbeInfo* info);
    GstPadProbeReturn output(GstPadProbeInfo* info);
    GstPadProbeReturn outputEvent(GstPadProbeInfo* info);
    GstPadProbeReturn outputBuffer(GstPadProbeInfo* info);

    TFrameCache& FCache;
    std::atomic<bool> FCapturing{true};
    GstPad* FInput = nullptr;
    GstPad* FOutput = nullptr;
    gulong FInputProbe = 0;
    gulong FOutputProbe = 0;

    // Guarded by FLock: the segment given to the decoder before it was moved
    // and the seek it belongs to; the segment and caps of the output.
    QMutex FLock;
    bool FMoved = false;
    guint32 FMovedSeqnum = 0;
    GstSegment FMovedSegment{};
    GstSegment FOriginal{};
    bool FDropping = false;
    GstSegment FOutputSegment{};
    GstCaps* FCaps = nullptr;
    qint64 FFrameDuration = 0;
};
