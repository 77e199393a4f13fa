#pragma once

#include "uStreamNotifier.h"

#include <QObject>
#include <QString>

#include <gst/gst.h>

// An audio stream's description, read from its caps; message 9220 carries a copy.
struct TframeData {
    qint32 SampleRate = 0;
    qint32 Channels = 0;
    QString Format; // the sample format of raw audio, else the caps name
    QString Codec;  // the codec's readable name

    bool operator==(const TframeData&) const = default;
};

TframeData frameDataFromCaps(const GstCaps* caps);

// The message the audio notifier posts with wParam 3 and, as lParam, the
// address of a TframeData that lives while the message is handled.
constexpr uint WM_QX_AUDIOFORMAT = 9220;

// The audio notifier "qxaudionotifier": tells AudioHandle the audio format
// (message 9220) when caps are set and again with the first sample.
class TAudioNotifier : public TStreamNotifier {
public:
    TAudioNotifier();

    bool NotifierAudio() const;
    void setNotifierAudio(bool on);
    QObject* AudioHandle() const;
    void setAudioHandle(QObject* handle);

    TframeData frameData() const;
};

// Registers "qxaudionotifier" in the program's own plugin.
gboolean registerAudioNotifier(GstPlugin* plugin);
