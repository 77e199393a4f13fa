#include "uFileGraph.h"

#include "uAudioMan.h"
#include "uAudioNotifier.h"
#include "uDecoders.h"
#include "uPrivateLAV.h"
#include "uTimerNavMan.h"
#include "uVideoNotifier.h"
#include "uvideoman.h"

#include <QFile>

namespace {

// A pad reference that lets go by itself.
class TPad {
public:
    explicit TPad(GstPad* pad = nullptr) : FPad(pad) {}
    ~TPad()
    {
        if (FPad)
            gst_object_unref(FPad);
    }
    TPad(const TPad&) = delete;
    TPad& operator=(const TPad&) = delete;
    GstPad* get() const { return FPad; }
    explicit operator bool() const { return FPad != nullptr; }

private:
    GstPad* FPad;
};

// Opens the file in the splitter source; its streams are known afterwards.
bool loadFile(GstElement* splitter, const QString& file)
{
    if (!g_signal_lookup("load", G_OBJECT_TYPE(splitter)))
        return false;
    gboolean opened = FALSE;
    g_signal_emit_by_name(splitter, "load", QFile::encodeName(file).constData(), &opened);
    return opened;
}

bool prerolled(GstElement* graph)
{
    GstState current = GST_STATE_NULL;
    return gst_element_get_state(graph, &current, nullptr, 0) == GST_STATE_CHANGE_SUCCESS &&
           current == GST_STATE_PAUSED;
}

GstElement* element(const TFilterRec* record)
{
    return record ? record->iFilter : nullptr;
}

void removeRecord(TFilterRec* record)
{
    if (record)
        record->removeFromGraphe();
}

} // namespace

TFileGraph::TFileGraph(TTimerNavman* navman, TVideoMan* vidman, TAudioMan* audman, QObject* owner)
    : QObject(owner), FNavman(navman), FVidman(vidman), FAudman(audman)
{
    newNotifiers();
}

TFileGraph::~TFileGraph() = default;

bool TFileGraph::onUi(const std::function<void()>& fn)
{
    if (runOnUi)
        return runOnUi(fn);
    fn();
    return true;
}

void TFileGraph::newNotifiers()
{
    FVideoNotifier = std::make_unique<TVideoNotifier>();
    FAudioNotifier = std::make_unique<TAudioNotifier>();
}

bool TFileGraph::kill()
{
    // No message of the old file may act on the next one, and nothing streams
    // while the graph is taken apart.
    FNavman->nextGeneration();
    gst_element_set_state(FNavman->Graph(), GST_STATE_NULL);

    FVideoNotifier->setNotifierVideo(false);
    FNavman->frameSteps().detach();
    FNavman->DisconnectFilters();
    FNavman->RemoveFilter(FAudioNotifier->element());
    FNavman->RemoveFilter(FVideoNotifier->element());
    newNotifiers();
    FVidman->setFilterGraph(nullptr);
    FAudman->setFilterGraph(nullptr);
    removeRecord(SplitterSource);
    removeRecord(Videodecoder);
    removeRecord(AudioDecoder);
    // Filters of a set chosen since the last build are no longer named by the
    // three records; they go too, so the next file starts from an empty graph.
    FNavman->RemoveAllFilters();
    return true;
}

TBuildResult TFileGraph::build(const QString& wFichier)
{
    kill();
    for (TFilterRec* record : {SplitterSource, Videodecoder, AudioDecoder}) {
        if (record)
            record->addToGraphe(FNavman);
    }
    FVidman->setFilterGraph(FNavman);
    FAudman->setGrapheMan(FNavman);
    FAudman->setFilterGraph(FNavman);

    GstElement* audioNotifier = FAudioNotifier->element();
    GstElement* videoNotifier = FVideoNotifier->element();
    if (FNavman->AddFilter(audioNotifier, QStringLiteral("QX Audio Notifier")) != S_OK ||
        FNavman->AddFilter(videoNotifier, QStringLiteral("QX Video Notifier")) != S_OK)
        return brError;

    GstElement* videoRenderer = FVidman->baseFilter();
    GstElement* audioRenderer = FAudman->renderer().element();
    {
        const TPad input(TGrapheMan::pin(videoRenderer, 0));
        TGrapheMan::Disconnect(input.get());
    }

    GstElement* splitter = element(SplitterSource);
    if (!splitter || !loadFile(splitter, wFichier))
        return brError;

    const TPad videoPin(TGrapheMan::FindPin(splitter, QStringLiteral("vids")));
    const TPad audioPin(TGrapheMan::FindPin(splitter, QStringLiteral("auds")));
    const bool hasVideo = static_cast<bool>(videoPin);
    const bool hasAudio = static_cast<bool>(audioPin);

    if (hasAudio) {
        const TPad notifierIn(TGrapheMan::pin(audioNotifier, 0));
        if (FNavman->ConnectDirect(audioPin.get(), notifierIn.get()) != S_OK)
            return brError;
        const TPad notifierOut(TGrapheMan::pin(audioNotifier, 1));
        const TPad rendererIn(TGrapheMan::pin(audioRenderer, 0));
        GstElement* decoder = element(AudioDecoder);
        const TPad decoderIn(TGrapheMan::pin(decoder, 0));
        if (decoderIn && FNavman->ConnectDirect(notifierOut.get(), decoderIn.get()) == S_OK) {
            const TPad decoderOut(TGrapheMan::pin(decoder, 1));
            if (FNavman->ConnectDirect(decoderOut.get(), rendererIn.get()) != S_OK)
                return brError;
        } else {
            if (FNavman->ConnectDirect(notifierOut.get(), rendererIn.get()) != S_OK)
                return brError;
            removeRecord(AudioDecoder);
        }
        FAudioNotifier->setAudioHandle(FAudman->Handle());
        FAudioNotifier->setNotifierAudio(true);
    } else {
        removeRecord(AudioDecoder);
        FAudman->setFilterGraph(nullptr);
        FNavman->RemoveFilter(audioNotifier);
    }

    if (hasVideo) {
        GstElement* decoder = element(Videodecoder);
        const TPad notifierIn(TGrapheMan::pin(videoNotifier, 0));
        const TPad notifierOut(TGrapheMan::pin(videoNotifier, 1));
        const TPad decoderIn(TGrapheMan::pin(decoder, 0));
        const TPad decoderOut(TGrapheMan::pin(decoder, 1));
        const TPad rendererIn(TGrapheMan::pin(videoRenderer, 0));
        if (FNavman->ConnectDirect(videoPin.get(), notifierIn.get()) != S_OK ||
            FNavman->ConnectDirect(notifierOut.get(), decoderIn.get()) != S_OK ||
            FNavman->ConnectDirect(decoderOut.get(), rendererIn.get()) != S_OK)
            return brError;
        FNavman->frameSteps().attach(decoder, &FVidman->renderer());
        FVideoNotifier->setTimePerframeHandle(FNavman->Handle());
        FVideoNotifier->setNotifierTimeperframe(true);
        onUi([this] {
            FVidman->setVideoOk();
            if (OnVideoReady)
                OnVideoReady();
        });
        FVideoNotifier->setVideoHandle(FVidman->Handle());
        FVideoNotifier->setNotifierVideo(true);
    } else {
        removeRecord(Videodecoder);
        FVidman->setFilterGraph(nullptr);
        FNavman->RemoveFilter(videoNotifier);
    }

    // The graph prerolls here, off the user-interface thread: the duration is
    // known only then, and a stream that cannot be decoded shows up now
    // rather than as a picture that never comes.
    if (!FNavman->TGrapheMan::pause() || !prerolled(FNavman->Graph()))
        return brError;
    // The time per frame came with the preroll's first sample, before the
    // reset: it is handed on again after it.
    const qint64 timePerFrame = hasVideo ? FVideoNotifier->lastTimePerFrame() : 0;
    onUi([this, timePerFrame] {
        FNavman->init();
        if (timePerFrame > 0)
            FNavman->setTimeperframe(timePerFrame);
    });

    if (hasVideo && hasAudio)
        return brOK;
    if (hasVideo)
        return brVideoOnly;
    return hasAudio ? brAudioOnly : brError;
}

void TFileGraph::usePrivateFilters()
{
    TFilterRecs& records = filterRecs();
    SplitterSource = records.find(LAVRecords::PrivateSplitterSource);
    Videodecoder = records.find(LAVRecords::PrivateVideo);
    AudioDecoder = records.find(LAVRecords::PrivateAudio);
    for (const QString& name : {LAVRecords::Video, LAVRecords::Audio, LAVRecords::SplitterSource}) {
        if (TFilterRec* record = records.find(name))
            record->setBaseFilter(nullptr);
    }
}

void TFileGraph::donotusePrivateFilters()
{
    TFilterRecs& records = filterRecs();
    SplitterSource = records.find(LAVRecords::SplitterSource);
    Videodecoder = records.find(LAVRecords::Video);
    AudioDecoder = records.find(LAVRecords::Audio);
    for (const QString& name : {LAVRecords::PrivateSplitterSource, LAVRecords::PrivateVideo, LAVRecords::PrivateAudio}) {
        if (TFilterRec* record = records.find(name))
            record->setBaseFilter(nullptr);
    }
}
