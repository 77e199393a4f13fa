#include "uAudioMan.h"

#include "uDecoders.h"
#include "uGrapheMan.h"
#include "uPreferences.h"
#include "uTextGauges.h"

namespace {

const char* const kRendererName = "QX Audio Renderer";

} // namespace

TQXAudioRenderer::TQXAudioRenderer()
{
    initMediaGraph();
    FBin = gst_bin_new(kRendererName);
    gst_object_ref_sink(FBin);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    FVolume = gst_element_factory_make("volume", "volume");
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!convert || !resample || !FVolume || !sink) {
        for (GstElement* e : {convert, resample, FVolume, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        FVolume = nullptr;
        return;
    }
    // The fallback of an output without a device must still play at the clock's
    // pace, or a file would run as fast as it decodes.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "sync"))
        g_object_set(sink, "sync", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(FBin), convert, resample, FVolume, sink, nullptr);
    gst_element_link_many(convert, resample, FVolume, sink, nullptr);
    GstPad* target = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(FBin, gst_ghost_pad_new("sink", target));
    gst_object_unref(target);
}

TQXAudioRenderer::~TQXAudioRenderer()
{
    gst_element_set_state(FBin, GST_STATE_NULL);
    gst_object_unref(FBin);
}

// ---------------------------------------------------------------------------

TAudioMan::TAudioMan(QObject* owner) : TQXActionComponent(owner)
{
    FDecoderMan = new TDecoderMan(this);
    FDecoderMan->init(&bannedAudioLinks(), &preferredAudioLinks(), nullAudioDecoder());
    initialize();
}

TAudioMan::~TAudioMan()
{
    setFilterGraph(nullptr);
    setGrapheMan(nullptr);
}

void TAudioMan::createActions()
{
    caMute = new TCheckAction(QStringLiteral("caMute"), this);
    naNextDecoderAudio = new TNopeAction(QStringLiteral("naNextDecoderAudio"), this);
    naIncVolume = new TNopeAction(QStringLiteral("naIncVolume"), this);
    naDecVolume = new TNopeAction(QStringLiteral("naDecVolume"), this);
    iaVolume = new TIntegerAction(QStringLiteral("iaVolume"), this);
}

void TAudioMan::initActions()
{
    caMute->setShortCut(QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key_M)));
    caMute->ApplyWhenLoad = true;
    caMute->setTrueCaption(QStringLiteral("Turn sound on"));
    caMute->setFalseCaption(QStringLiteral("Put Sound off"));
    caMute->setTrueHint(QStringLiteral("Click to turn Sound On"));
    caMute->setFalseHint(QStringLiteral("Click to turn Sound Off"));
    caMute->setTrueImageIndex(10);
    caMute->setFalseImageIndex(16);
    caMute->setDefaultValue(false);

    const struct {
        TNopeAction* action;
        const char* caption;
        const char* hint;
        QKeyCombination key;
    } commands[] = {
        {naNextDecoderAudio, "Next Audio decoder", "Click to use the next Audio decoder",
         QKeyCombination(Qt::ControlModifier, Qt::Key_F9)},
        // The keypad's own keys, so that + and - still type into text boxes.
        {naIncVolume, "Increase Volume", "Click to increase the volume by 1000/10000",
         QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)},
        {naDecVolume, "Decrease the Volume", "Click to decrease the volume by 1000/10000",
         QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus)},
    };
    for (const auto& c : commands) {
        c.action->setCaption(QString::fromUtf8(c.caption));
        c.action->setHint(QString::fromUtf8(c.hint));
        c.action->setShortCut(QKeySequence(c.key));
    }

    iaVolume->DefaultValue = iaVolume->Value = 5000;
    iaVolume->ApplyWhenLoad = true;
}

void TAudioMan::connectActions()
{
    caMute->internalTrueApply = [this] { setMute(true); };
    caMute->internalFalseApply = [this] { setMute(false); };
    naNextDecoderAudio->internalApply = [this] { FDecoderMan->nextDecoder(); };
    naIncVolume->internalApply = [this] { IncVolume(); };
    naDecVolume->internalApply = [this] { DecVolume(); };
    iaVolume->internalApply = [this](const qint32& v) { setVolume(v); };
    iaVolume->internalBeforeSave = [this](qint32& v) {
        v = Volume();
        return true;
    };
}

qintptr TAudioMan::windowProc(uint msg, qintptr wParam, qintptr lParam)
{
    // The audio description is accepted; nothing here uses it.
    if (msg == WM_AUDIODESCRIPTION)
        return 0;
    return TQXActionComponent::windowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------

qint32 TAudioMan::Volume()
{
    if (!FMute) {
        if (TGrapheMan* graph = grapheMan())
            FVolume = graph->volume();
    }
    return FVolume;
}

void TAudioMan::setVolume(qint32 value)
{
    FVolume = std::clamp(value, 0, 10000);
    applyVolume();
}

void TAudioMan::applyVolume()
{
    if (TGrapheMan* graph = grapheMan())
        graph->setVolume(FMute ? 0 : FVolume);
    if (FGauge)
        FGauge->setProgress(FVolume);
}

void TAudioMan::setMute(bool value)
{
    FMute = value;
    applyVolume();
}

void TAudioMan::IncVolume()
{
    setVolume(Volume() + 1000);
    iaVolume->setValue(FVolume);
}

void TAudioMan::DecVolume()
{
    setVolume(Volume() - 1000);
    iaVolume->setValue(FVolume);
}

TGrapheMan* TAudioMan::grapheMan() const
{
    QMutexLocker lock(&FGraphLock);
    return FGrapheMan;
}

void TAudioMan::setGrapheMan(TGrapheMan* graph)
{
    QMutexLocker lock(&FGraphLock);
    if (graph == FGrapheMan)
        return;
    disconnect(FGrapheManWatch);
    FGrapheMan = graph;
    if (graph)
        FGrapheManWatch = connect(
            graph, &QObject::destroyed, this,
            [this] {
                QMutexLocker forget(&FGraphLock);
                FGrapheMan = nullptr;
            },
            Qt::DirectConnection);
}

TGrapheMan* TAudioMan::FilterGraph() const
{
    QMutexLocker lock(&FGraphLock);
    return FFilterGraph;
}

void TAudioMan::setFilterGraph(TGrapheMan* graph)
{
    QMutexLocker lock(&FGraphLock);
    if (graph == FFilterGraph)
        return;
    if (FFilterGraph) {
        disconnect(FFilterGraphWatch);
        FFilterGraph->RemoveFilter(FRenderer.element());
    }
    FFilterGraph = graph;
    if (!graph)
        return;
    graph->AddFilter(FRenderer.element(), QString::fromUtf8(kRendererName));
    FFilterGraphWatch = connect(
        graph, &QObject::destroyed, this,
        [this] {
            QMutexLocker forget(&FGraphLock);
            FFilterGraph = nullptr;
        },
        Qt::DirectConnection);
}

void TAudioMan::setAudioGauge(TTextGauge* gauge)
{
    FGauge = gauge;
    if (!gauge)
        return;
    gauge->setMinValue(0);
    gauge->setMaxValue(10000);
    gauge->setAlertValue(11000);
}

bool TAudioMan::LoadFromPrefs(TOrvanePreferences& prefs)
{
    bool result = loadfromprefs(prefs);
    if (prefs.openkey(QStringLiteral("AudioDecoders"))) {
        result = FDecoderMan->PreferredLinks()->loadfromprefs(prefs) && result;
        result = prefs.closekey() && result;
    }
    return result;
}

bool TAudioMan::SaveToPrefs(TOrvanePreferences& prefs)
{
    bool result = savetoprefs(prefs);
    if (prefs.openkey(QStringLiteral("AudioDecoders"))) {
        result = FDecoderMan->PreferredLinks()->savetoprefs(prefs) && result;
        result = prefs.closekey() && result;
    }
    return result;
}
