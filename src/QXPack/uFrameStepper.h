#pragma once

#include "uFrameCache.h"
#include "uFrameConverter.h"
#include "uFrameTap.h"

#include <gst/gst.h>

class TQXVideoRenderer;

// Frame steps that answer without a new seek in the paused graph: a picture
// kept from decoding on the way (any step back, and forward over pictures
// already seen), or, forward, frame steps of the renderer's sink from the
// picture the pipeline holds. Either shows exactly the picture a
// frame-accurate seek to the same position would show; when neither can, the
// caller seeks.
//
// Threads: the user-interface thread; attach and detach run while the file's
// graph is built or torn down, with navigation suspended.
class TFrameStepper {
public:
    TFrameStepper() = default;
    TFrameStepper(const TFrameStepper&) = delete;
    TFrameStepper& operator=(const TFrameStepper&) = delete;

    bool attach(GstElement* videoDecoder, TQXVideoRenderer* renderer);
    void detach();
    bool attached() const { return FRenderer != nullptr; }

    // The pipeline is about to be sought to the position: the pictures kept
    // make way for those decoded on the way there.
    void seeking(qint64 position);
    // The pipeline now shows the picture at the position it was sought to.
    void sought(qint64 position);
    // While playing nothing is kept.
    void setPlaying(bool playing);

    // Shows the picture at target (100 ns) in the paused graph; frameTime is
    // the time per frame. False when it cannot without a seek; then nothing
    // has been shown.
    bool show(qint64 target, qint64 frameTime);
    // The pipeline does not stand where the picture shown is (a kept picture
    // is shown, or its video sink was stepped without the audio): it must be
    // sought before it plays.
    bool needsSeekBeforePlay() const { return FStepped || !FShowingPipeline; }

    const TFrameCache& cache() const { return FCache; }

private:
    bool showKept(qint64 target);
    bool stepTo(qint64 target, qint64 frameTime);
    bool inPipelineFrame(qint64 position) const;

    TFrameCache FCache;
    TFrameTap FTap{FCache};
    TFrameConverter FConverter;
    TQXVideoRenderer* FRenderer = nullptr;
    bool FShowingPipeline = true;
    bool FStepped = false;
};
