#include "uAudioNotifier.h"

#include "uWndComponent.h"

#include <gst/pbutils/pbutils.h>

TframeData frameDataFromCaps(const GstCaps* caps)
{
    TframeData data;
    if (!caps || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0)
        return data;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    gint value = 0;
    if (gst_structure_get_int(s, "rate", &value))
        data.SampleRate = value;
    if (gst_structure_get_int(s, "channels", &value))
        data.Channels = value;
    const char* format = gst_structure_get_string(s, "format");
    data.Format = QString::fromUtf8(format ? format : gst_structure_get_name(s));
    gchar* description = gst_pb_utils_get_codec_description(caps);
    data.Codec = QString::fromUtf8(description ? description : "");
    g_free(description);
    return data;
}

class TAudioNotifierState : public TNotifierState {
public:
    bool FNotifierAudio = false;
    TMessageHandle FAudioHandle;
    TframeData FFrameData;

protected:
    void describe(const GstCaps* caps) override
    {
        FFrameData = frameDataFromCaps(caps);
        if (FNotifierAudio)
            reportFormat();
    }

    void report(bool first) override
    {
        if (first && FNotifierAudio)
            reportFormat();
    }

private:
    // A copy travels with the message: the notifier may be gone when it is handled.
    void reportFormat()
    {
        if (FAudioHandle)
            postMessage(FAudioHandle, WM_QX_AUDIOFORMAT, 3, std::make_shared<const TframeData>(FFrameData));
    }
};

namespace {

std::unique_ptr<TNotifierState> makeState()
{
    return std::make_unique<TAudioNotifierState>();
}

const TNotifierNames kNames = {"qxaudionotifier",
                               "QXAudioNotifier",
                               "Tessaly's AudioNotifier",
                               "Filter/Analyzer/Audio",
                               "{EEB59708-9EEF-4CBB-A5FA-F1B0C67F72FB}",
                               makeState};

} // namespace

gboolean registerAudioNotifier(GstPlugin* plugin)
{
    return registerNotifier(plugin, kNames);
}

TAudioNotifier::TAudioNotifier() : TStreamNotifier(kNames.factory) {}

using S = TAudioNotifierState;

bool TAudioNotifier::NotifierAudio() const
{
    return guarded<S>(false, [](S& s) { return s.FNotifierAudio; });
}

void TAudioNotifier::setNotifierAudio(bool on)
{
    change<S>([on](S& s) {
        s.FNotifierAudio = on;
        s.activate();
    });
}

QObject* TAudioNotifier::AudioHandle() const
{
    return guarded<S, QObject*>(nullptr, [](S& s) { return s.FAudioHandle.data(); });
}

void TAudioNotifier::setAudioHandle(QObject* handle)
{
    change<S>([handle](S& s) { s.FAudioHandle = handle; });
}

TframeData TAudioNotifier::frameData() const
{
    return guarded<S>(TframeData(), [](S& s) { return s.FFrameData; });
}
