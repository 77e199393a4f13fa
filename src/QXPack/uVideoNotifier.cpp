#include "uVideoNotifier.h"

#include "uWndComponent.h"

#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <numeric>

TVideoData videoDataFromCaps(const GstCaps* caps)
{
    TVideoData data;
    if (!caps || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0)
        return data;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const QString name = QString::fromUtf8(gst_structure_get_name(s));
    gint width = 0, height = 0;
    if (!name.startsWith(QStringLiteral("video/")) || !gst_structure_get_int(s, "width", &width) ||
        !gst_structure_get_int(s, "height", &height) || width <= 0 || height <= 0)
        return data;
    data.fHasVideoInfo = true;
    data.Width = width;
    data.Height = height;

    gint num = 0, den = 0;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0)
        data.TimePerFrame = qint64(gst_util_uint64_scale_round(10000000, guint64(den), guint64(num)));
    data.Fps = data.TimePerFrame > 0 ? 10000000.0 / double(data.TimePerFrame) : 0;

    gint parN = 0, parD = 0;
    if (gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD) && parN > 0 && parD > 0) {
        const qint64 x = qint64(width) * parN;
        const qint64 y = qint64(height) * parD;
        const qint64 g = std::gcd(x, y);
        data.arx = qint32(x / g);
        data.ary = qint32(y / g);
        data.Aspectratio = data.arx * 3 == data.ary * 4 ? ar4x3 : data.arx * 9 == data.ary * 16 ? ar16x9 : arCustom;
    }

    guint bitrate = 0;
    if (gst_structure_get_uint(s, "bitrate", &bitrate))
        data.videoBitRate = bitrate;
    if (name == QStringLiteral("video/x-raw")) {
        GstVideoInfo info;
        if (gst_video_info_from_caps(&info, caps)) {
            const GstVideoFormatInfo* f = info.finfo;
            data.VideoCodec = QString::fromUtf8(GST_VIDEO_FORMAT_INFO_NAME(f));
            int bits = 0;
            for (guint c = 0; c < GST_VIDEO_FORMAT_INFO_N_COMPONENTS(f); ++c)
                bits += GST_VIDEO_FORMAT_INFO_DEPTH(f, c) >> (GST_VIDEO_FORMAT_INFO_W_SUB(f, c) + GST_VIDEO_FORMAT_INFO_H_SUB(f, c));
            data.Videobits = GST_VIDEO_FORMAT_INFO_N_PLANES(f) == 1 && !GST_VIDEO_FORMAT_INFO_IS_YUV(f)
                                 ? GST_VIDEO_FORMAT_INFO_PSTRIDE(f, 0) * 8
                                 : bits;
        }
    } else {
        QString codec = name.mid(6);
        if (codec.startsWith(QStringLiteral("x-")))
            codec.remove(0, 2);
        data.VideoCodec = codec;
    }
    gchar* text = gst_caps_to_string(caps);
    data.VideoFormatStr = QString::fromUtf8(text);
    g_free(text);
    gchar* description = gst_pb_utils_get_codec_description(caps);
    data.VideoCodecStr = QString::fromUtf8(description ? description : "");
    g_free(description);
    return data;
}

// The video notifier's state: the description of the current caps and of the
// previous sample, the switches and their targets.
class TVideoNotifierState : public TNotifierState {
public:
    bool FNotifierVideo = false;
    bool FNotifierTimeperframe = false;
    TMessageHandle FVideoHandle;
    TMessageHandle FTimePerframeHandle;
    TVideoData FVideoData;
    TVideoData FPreviousSample;
    qint64 FLastTimePerFrame = 0;

protected:
    void describe(const GstCaps* caps) override
    {
        FVideoData = videoDataFromCaps(caps);
        if (FVideoData.fHasVideoInfo && FNotifierVideo)
            reportTimePerFrame();
    }

    void report(bool first) override
    {
        const bool changed = !(FVideoData == FPreviousSample);
        FPreviousSample = FVideoData;
        if (first || (FNotifierVideo && changed))
            reportTimePerFrame();
    }

private:
    // A time per frame of 0 says nothing about the frames, so it is never sent.
    void reportTimePerFrame()
    {
        const qint64 value = FVideoData.TimePerFrame;
        if (!FNotifierTimeperframe || value <= 0 || value == FLastTimePerFrame)
            return;
        FLastTimePerFrame = value;
        if (FTimePerframeHandle)
            postMessage(FTimePerframeHandle, WM_QX_TIMEPERFRAME, qintptr(value), 0);
    }
};

namespace {

std::unique_ptr<TNotifierState> makeState()
{
    return std::make_unique<TVideoNotifierState>();
}

const TNotifierNames kNames = {"qxvideonotifier",
                               "QXVideoNotifier",
                               "Tessaly's Video Notifier",
                               "Filter/Analyzer/Video",
                               "{B5876E86-32D4-4CAD-B3B7-772BF0966F73}",
                               makeState};

} // namespace

gboolean registerVideoNotifier(GstPlugin* plugin)
{
    return registerNotifier(plugin, kNames);
}

TVideoNotifier::TVideoNotifier() : TStreamNotifier(kNames.factory) {}

using S = TVideoNotifierState;

bool TVideoNotifier::NotifierVideo() const
{
    return guarded<S>(false, [](S& s) { return s.FNotifierVideo; });
}

bool TVideoNotifier::NotifierTimeperframe() const
{
    return guarded<S>(false, [](S& s) { return s.FNotifierTimeperframe; });
}

QObject* TVideoNotifier::VideoHandle() const
{
    return guarded<S, QObject*>(nullptr, [](S& s) { return s.FVideoHandle.data(); });
}

QObject* TVideoNotifier::TimePerframeHandle() const
{
    return guarded<S, QObject*>(nullptr, [](S& s) { return s.FTimePerframeHandle.data(); });
}

TVideoData TVideoNotifier::videoData() const
{
    return guarded<S>(TVideoData(), [](S& s) { return s.FVideoData; });
}

qint64 TVideoNotifier::lastTimePerFrame() const
{
    return guarded<S>(qint64(0), [](S& s) { return s.FLastTimePerFrame; });
}

void TVideoNotifier::setNotifierVideo(bool on)
{
    change<S>([on](S& s) {
        s.FNotifierVideo = on;
        s.activate();
    });
}

void TVideoNotifier::setNotifierTimeperframe(bool on)
{
    change<S>([on](S& s) {
        s.FNotifierTimeperframe = on;
        s.activate();
    });
}

void TVideoNotifier::setVideoHandle(QObject* handle)
{
    change<S>([handle](S& s) { s.FVideoHandle = handle; });
}

void TVideoNotifier::setTimePerframeHandle(QObject* handle)
{
    change<S>([handle](S& s) { s.FTimePerframeHandle = handle; });
}
