#include "uFrameConverter.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <initializer_list>

namespace {

constexpr GstClockTime kConversionTimeout = GST_SECOND;

} // namespace

TFrameConverter::TFrameConverter() = default;

TFrameConverter::~TFrameConverter()
{
    stop();
}

bool TFrameConverter::start()
{
    if (FPipeline)
        return true;
    FPipeline = gst_pipeline_new("QX Frame Converter");
    FSource = gst_element_factory_make("appsrc", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvertscale", nullptr);
    FCaps = gst_element_factory_make("capsfilter", nullptr);
    FSink = gst_element_factory_make("appsink", nullptr);
    if (!FPipeline || !FSource || !convert || !FCaps || !FSink) {
        for (GstElement* e : {FSource, convert, FCaps, FSink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        if (FPipeline)
            gst_object_unref(FPipeline);
        FPipeline = FSource = FCaps = FSink = nullptr;
        return false;
    }
    g_object_set(FSource, "format", GST_FORMAT_TIME, "block", FALSE, nullptr);
    g_object_set(FSink, "sync", FALSE, "max-buffers", 1u, "enable-last-sample", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(FPipeline), FSource, convert, FCaps, FSink, nullptr);
    if (!gst_element_link_many(FSource, convert, FCaps, FSink, nullptr) ||
        gst_element_set_state(FPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        stop();
        return false;
    }
    return true;
}

void TFrameConverter::stop()
{
    if (!FPipeline)
        return;
    gst_element_set_state(FPipeline, GST_STATE_NULL);
    gst_object_unref(FPipeline);
    FPipeline = FSource = FCaps = FSink = nullptr;
}

GstSample* TFrameConverter::convert(GstSample* decoded, GstCaps* rendererCaps)
{
    GstCaps* caps = decoded ? gst_sample_get_caps(decoded) : nullptr;
    GstBuffer* buffer = decoded ? gst_sample_get_buffer(decoded) : nullptr;
    if (!caps || !buffer || !rendererCaps || !start())
        return nullptr;
    gst_app_src_set_caps(GST_APP_SRC(FSource), caps);
    GstCaps* current = nullptr;
    g_object_get(FCaps, "caps", &current, nullptr);
    if (!current || !gst_caps_is_equal(current, rendererCaps))
        g_object_set(FCaps, "caps", rendererCaps, nullptr);
    gst_clear_caps(&current);
    if (gst_app_src_push_buffer(GST_APP_SRC(FSource), gst_buffer_ref(buffer)) != GST_FLOW_OK) {
        stop();
        return nullptr;
    }
    GstSample* converted = gst_app_sink_try_pull_sample(GST_APP_SINK(FSink), kConversionTimeout);
    // A pipeline that did not answer may still hold the picture: start afresh.
    if (!converted)
        stop();
    return converted;
}
