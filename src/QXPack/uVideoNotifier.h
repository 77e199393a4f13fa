#pragma once

#include "uStreamNotifier.h"

#include <QObject>
#include <QString>

#include <gst/gst.h>

enum TQXAspectRatio { ar4x3, ar16x9, arNone, arCustom };

// A video stream's description, read from its caps.
struct TVideoData {
    bool fHasVideoInfo = false;
    qint32 Width = 0;
    qint32 Height = 0;
    qint32 Videobits = 0;
    qint64 TimePerFrame = 0; // 100 ns
    QString VideoCodec;
    qint32 arx = 0; // picture aspect
    qint32 ary = 0;
    quint32 videoBitRate = 0;
    double Fps = 0;
    QString VideoFormatStr;
    TQXAspectRatio Aspectratio = arNone;
    QString VideoCodecStr;

    bool operator==(const TVideoData&) const = default;
};

// The description of caps: width and height give the video information, the
// framerate the time per frame (none for a missing or 0/1 framerate), the
// pixel aspect ratio the picture aspect.
TVideoData videoDataFromCaps(const GstCaps* caps);

// The message the video notifier posts with the time per frame (100 ns) as wParam.
constexpr uint WM_QX_TIMEPERFRAME = 9249;

// The video notifier "qxvideonotifier": sits on the compressed video stream and
// tells TimePerframeHandle the duration of one frame (message 9249) when the
// stream starts and whenever a change of its format changes it.
class TVideoNotifier : public TStreamNotifier {
public:
    TVideoNotifier();

    bool NotifierVideo() const;
    void setNotifierVideo(bool on);
    bool NotifierTimeperframe() const;
    void setNotifierTimeperframe(bool on);
    QObject* VideoHandle() const;
    void setVideoHandle(QObject* handle);
    QObject* TimePerframeHandle() const;
    void setTimePerframeHandle(QObject* handle);

    TVideoData videoData() const;
    qint64 lastTimePerFrame() const;
};

// Registers "qxvideonotifier" in the program's own plugin.
gboolean registerVideoNotifier(GstPlugin* plugin);
