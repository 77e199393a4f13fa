#include "uQXFilters.h"

#define PACKAGE "Movarium"

namespace {

const TQXElementNames kSource = {"lavsplittersource", "LAV", "LAV Splitter Source",
                                 "{B98D13E7-55DB-4385-A33D-09FD1BA26338}"};
const TQXElementNames kSplitter = {"lavsplitter", "LAV", "LAV Splitter", "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}"};

gboolean pluginInit(GstPlugin* plugin)
{
    return qxRegisterSplitterSource(plugin, kSource) && qxRegisterSplitter(plugin, kSplitter);
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, LAVSplitter, "Private splitter source and splitter",
                  pluginInit, "1.0", "unknown", "Movarium", "https://tessaly.invalid/movarium")
