#include "uQXFilters.h"

#define PACKAGE "Movarium"

namespace {

const TQXElementNames kDecoder = {"lavvideodecoder", "LAV", "LAV Video Decoder",
                                  "{EE30215D-164F-4A92-A4EB-9D4C13390F9F}"};

gboolean pluginInit(GstPlugin* plugin)
{
    return qxRegisterVideoDecoder(plugin, kDecoder);
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, LAVVideo, "Private video decoder", pluginInit, "1.0",
                  "unknown", "Movarium", "https://tessaly.invalid/movarium")
