#pragma once

#include <gst/gst.h>

// The splitter and decoder elements, in two copies: the one the program
// registers in process and the one each private plugin library carries. Both
// copies can live in one process, so each registers its types under a name
// prefix of its own ("QX", "LAV") and its factories under names of its own.

struct TQXElementNames {
    const char* factory;    // "qxsplittersource", "lavsplittersource", ...
    const char* typePrefix; // type name = prefix + kind ("QXSplitterSource")
    const char* longName;
    const char* clsid;      // element metadata "clsid", the records' look-up key
};

// A bin around filesrc and parsebin with an action signal
// gboolean load(const gchar* location), which learns the file's streams within
// "load-timeout" ms and exposes one source pad per stream with its caps.
gboolean qxRegisterSplitterSource(GstPlugin* plugin, const TQXElementNames& names);
// The same bin without filesrc: sink pad -> parsebin, a source pad per stream.
gboolean qxRegisterSplitter(GstPlugin* plugin, const TQXElementNames& names);
// Bins with a sink pad "sink" and a source pad "src" that pick the best decoder
// for the stream when the sink pad is linked, and refuse a raw or undecodable one.
gboolean qxRegisterVideoDecoder(GstPlugin* plugin, const TQXElementNames& names);
gboolean qxRegisterAudioDecoder(GstPlugin* plugin, const TQXElementNames& names);

// The pad name prefix of a stream: "video", "audio", "subtitle" or "data".
const char* qxStreamKind(const GstCaps* caps);
