#pragma once

#include <gst/gst.h>

// Turns a decoded picture kept aside into the picture the video renderer
// would paint from it now: the same converting element, with the same
// settings, negotiating against the same caps filter, so the pixels are the
// same (also after the renderer was given another size to scale to).
// A small pipeline of its own (appsrc, videoconvertscale, capsfilter, appsink)
// kept playing between pictures.
//
// Threads: the user-interface thread; each conversion waits a bounded time.
class TFrameConverter {
public:
    TFrameConverter();
    ~TFrameConverter();
    TFrameConverter(const TFrameConverter&) = delete;
    TFrameConverter& operator=(const TFrameConverter&) = delete;

    // The converted picture (the caller owns it), or none when the conversion
    // failed or took more than a second.
    GstSample* convert(GstSample* decoded, GstCaps* rendererCaps);

private:
    bool start();
    void stop();

    GstElement* FPipeline = nullptr;
    GstElement* FSource = nullptr;
    GstElement* FCaps = nullptr;
    GstElement* FSink = nullptr;
};
