#include "uQXElements.h"

#include "uAudioNotifier.h"
#include "uQXFilters.h"
#include "uVideoNotifier.h"

#include <gst/gst.h>

#include <mutex>

namespace {

// The same identifiers as the private set: the records find either by clsid.
const TQXElementNames kSplitterSource = {"qxsplittersource", "QX", "Splitter Source",
                                         "{B98D13E7-55DB-4385-A33D-09FD1BA26338}"};
const TQXElementNames kSplitter = {"qxsplitter", "QX", "Splitter", "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}"};
const TQXElementNames kVideoDecoder = {"qxvideodecoder", "QX", "Video Decoder",
                                       "{EE30215D-164F-4A92-A4EB-9D4C13390F9F}"};
const TQXElementNames kAudioDecoder = {"qxaudiodecoder", "QX", "Audio Decoder",
                                       "{E8E73B6B-4CB3-44A4-BE99-4F7BCB96E491}"};

gboolean pluginInit(GstPlugin* plugin)
{
    return registerVideoNotifier(plugin) && registerAudioNotifier(plugin) &&
           qxRegisterSplitterSource(plugin, kSplitterSource) && qxRegisterSplitter(plugin, kSplitter) &&
           qxRegisterVideoDecoder(plugin, kVideoDecoder) && qxRegisterAudioDecoder(plugin, kAudioDecoder);
}

} // namespace

void registerQXElements()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "qxfilters",
                                   "Movarium's own stream notifiers, splitters and decoders", pluginInit, "1.0",
                                   "unknown", "Movarium", "Movarium", "https://tessaly.invalid/movarium");
    });
}
