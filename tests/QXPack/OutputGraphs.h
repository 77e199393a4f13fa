#pragma once

#include "MediaClips.h"
#include "uGrapheMan.h"

#include <QTest>

#include <gst/gst.h>

// A clip played through the output renderers: filesrc ! decodebin inside a
// graph manager, decoded video linked to pin 0 of the video renderer and
// decoded audio to pin 0 of the audio renderer (or to a clocked fake sink).
// The renderers join the graph through their managers before open().
class TClipGraph {
public:
    TGrapheMan graph;
    bool ended = false;

    TClipGraph()
    {
        graph.OnBusMessage = [this](GstMessage* message) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
                ended = true;
        };
    }

    bool open(const QString& path, GstElement* videoRenderer, GstElement* audioRenderer = nullptr)
    {
        FVideo = videoRenderer;
        FAudio = audioRenderer;
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        GstElement* decode = gst_element_factory_make("decodebin", nullptr);
        if (path.isEmpty() || !source || !decode)
            return false;
        g_object_set(source, "location", path.toUtf8().constData(), nullptr);
        g_signal_connect(decode, "pad-added", G_CALLBACK(&TClipGraph::padAdded), this);
        return graph.AddFilter(source, QStringLiteral("source")) == S_OK &&
               graph.AddFilter(decode, QStringLiteral("decode")) == S_OK && gst_element_link(source, decode);
    }

    // Paused at the first frame.
    bool preroll()
    {
        if (!graph.pause())
            return false;
        GstState state = GST_STATE_NULL;
        gst_element_get_state(graph.Graph(), &state, nullptr, 5 * GST_SECOND);
        return state == GST_STATE_PAUSED;
    }

    bool playToEnd(int timeoutMs = 20000)
    {
        ended = false;
        return graph.play() && QTest::qWaitFor([this] { return ended; }, timeoutMs);
    }

private:
    static void padAdded(GstElement*, GstPad* pad, gpointer self)
    {
        auto* clip = static_cast<TClipGraph*>(self);
        GstCaps* caps = gst_pad_get_current_caps(pad);
        const bool video = caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
        if (caps)
            gst_caps_unref(caps);
        GstElement* renderer = video ? clip->FVideo : clip->FAudio;
        GstPad* sink = renderer ? TGrapheMan::pin(renderer, 0) : nullptr;
        if (sink && !gst_pad_is_linked(sink)) {
            gst_pad_link(pad, sink);
            gst_object_unref(sink);
            return;
        }
        if (sink)
            gst_object_unref(sink);
        GstElement* fake = gst_element_factory_make("fakesink", nullptr);
        g_object_set(fake, "sync", TRUE, nullptr);
        gst_bin_add(GST_BIN(clip->graph.Graph()), fake);
        gst_element_sync_state_with_parent(fake);
        GstPad* fakePad = gst_element_get_static_pad(fake, "sink");
        gst_pad_link(pad, fakePad);
        gst_object_unref(fakePad);
    }

    GstElement* FVideo = nullptr;
    GstElement* FAudio = nullptr;
};

namespace OutputClips {

// One second of a solid colour at that size, H.264 in .mp4.
inline QString solid(const QString& color, const QString& size)
{
    return MediaClips::make(QStringLiteral("solid_%1_%2.mp4").arg(color, size),
                            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("color=c=%1:size=%2:rate=25:duration=1").arg(color, size),
                             QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                             QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")});
}

// One second of ffmpeg's test pattern (its corners all differ), lossless.
inline QString pattern(const QString& size)
{
    return MediaClips::make(QStringLiteral("pattern_%1.mp4").arg(size),
                            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("testsrc=size=%1:rate=25:duration=1").arg(size), QStringLiteral("-c:v"),
                             QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                             QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")});
}

} // namespace OutputClips
