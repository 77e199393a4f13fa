#include "uQXFilters.h"

#define PACKAGE "Movarium"

namespace {

const TQXElementNames kDecoder = {"lavaudiodecoder", "LAV", "LAV Audio Decoder",
                                  "{E8E73B6B-4CB3-44A4-BE99-4F7BCB96E491}"};

gboolean pluginInit(GstPlugin* plugin)
{
    return qxRegisterAudioDecoder(plugin, kDecoder);
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, LAVAudio, "Private audio decoder", pluginInit, "1.0",
                  "unknown", "Movarium", "https://tessaly.invalid/movarium")
