#include "uFrameStepper.h"

#include "uWindowLessMan.h"

#include <algorithm>

namespace {

// Long enough for one picture of any size to be decoded and converted; a sink
// that does not answer by then makes the caller seek instead.
constexpr int kStepTimeoutMs = 1000;
// Rounds of stepping towards a target when the pictures are not as long as
// one time per frame.
constexpr int kStepRounds = 4;
// A step farther than this is left to a seek.
constexpr qint64 kMostFramesStepped = 300;

} // namespace

bool TFrameStepper::attach(GstElement* videoDecoder, TQXVideoRenderer* renderer)
{
    detach();
    if (!renderer || !FTap.attach(videoDecoder))
        return false;
    FRenderer = renderer;
    return true;
}

void TFrameStepper::detach()
{
    FTap.detach();
    FCache.clear();
    FRenderer = nullptr;
    FShowingPipeline = true;
    FStepped = false;
}

void TFrameStepper::seeking(qint64 position)
{
    FCache.clear();
    FCache.setAnchor(position);
}

void TFrameStepper::sought(qint64 position)
{
    FCache.setAnchor(position);
    FShowingPipeline = true;
    FStepped = false;
}

void TFrameStepper::setPlaying(bool playing)
{
    FTap.setCapturing(!playing);
    if (playing)
        FCache.clear();
}

bool TFrameStepper::show(qint64 target, qint64 frameTime)
{
    if (!FRenderer)
        return false;
    FCache.setAnchor(target);
    if (showKept(target))
        return true;
    qint64 start = 0;
    qint64 end = 0;
    if (FShowingPipeline && FRenderer->pipelineFrame(start, end) && target >= end)
        return stepTo(target, frameTime);
    return false;
}

bool TFrameStepper::inPipelineFrame(qint64 position) const
{
    qint64 start = 0;
    qint64 end = 0;
    return FRenderer->pipelineFrame(start, end) && start <= position && position < end;
}

bool TFrameStepper::showKept(qint64 target)
{
    qint64 start = 0;
    qint64 end = 0;
    GstSample* decoded = FCache.find(target, start, end);
    if (!decoded)
        return false;
    GstCaps* caps = FRenderer->outputCaps();
    GstSample* picture = FConverter.convert(decoded, caps);
    gst_sample_unref(decoded);
    gst_clear_caps(&caps);
    if (!picture)
        return false;
    FRenderer->present(picture);
    FShowingPipeline = inPipelineFrame(target);
    return true;
}

bool TFrameStepper::stepTo(qint64 target, qint64 frameTime)
{
    const qint64 frame = std::max<qint64>(frameTime, 1);
    for (int round = 0; round < kStepRounds; ++round) {
        qint64 start = 0;
        qint64 end = 0;
        if (!FRenderer->pipelineFrame(start, end))
            return false;
        const qint64 count = 1 + (target - end) / frame;
        if (count > kMostFramesStepped)
            return false;
        const quint64 seen = FRenderer->samplesSeen();
        // From here on the pipeline has moved: whatever happens, it is sought
        // again before it plays.
        FStepped = true;
        if (!FRenderer->stepFrames(static_cast<int>(count)) || !FRenderer->waitForSample(seen, kStepTimeoutMs) ||
            !FRenderer->pipelineFrame(start, end) || start > target)
            return false;
        if (target < end)
            return true;
    }
    return false;
}
