#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

// Learns a file's streams before any graph runs: a private pipeline
// filesrc ! parsebin ! queue ! fakesink per stream, brought to preroll.
// Appends each stream's caps (the caller owns them) in parsebin's order;
// false when the file does not preroll within the bound, or has no stream.
bool qxProbeStreams(const std::string& location, guint timeoutMs, std::vector<GstCaps*>& caps);

// The number of streams a demuxer announces in its stream collection; 0 for another message.
guint qxCollectionSize(GstMessage* message);
