#include "uWindowLessMan.h"

#include "uGrapheMan.h"
#include "uFrameCache.h"
#include "uTextGauges.h"

#include <gst/app/gstappsink.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace {

const QString kRendererName = QStringLiteral("QX VideoWindow");
const QString kNotice = QStringLiteral("Alt+Entrée pour quitter le mode Plein Ecran");

QEvent::Type clearEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QRect rectOf(const TRect& r)
{
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

// The picture rectangle of a box less the border on every side; a box narrower
// or shorter than twice the border gives an empty picture, never a negative one.
TRect shrink(const QSize& box, qint32 b)
{
    return TRect{b, b, b + std::max(0, box.width() - 2 * b), b + std::max(0, box.height() - 2 * b)};
}

// The four bands between an outer and an inner rectangle.
void fillBands(QPainter& p, const QRect& o, const QRect& i, const QColor& color)
{
    const auto band = [&](int l, int t, int r, int b) {
        if (r > l && b > t)
            p.fillRect(QRect(l, t, r - l, b - t), color);
    };
    const int oR = o.x() + o.width(), oB = o.y() + o.height();
    const int iR = i.x() + i.width(), iB = i.y() + i.height();
    band(o.x(), o.y(), i.x(), oB);
    band(iR, o.y(), oR, oB);
    band(i.x(), o.y(), iR, i.y());
    band(i.x(), iB, iR, oB);
}

qint32 roundEven(double v)
{
    return static_cast<qint32>(std::nearbyint(v));
}

QColor opaque(TColor c)
{
    return colorFromBGR(static_cast<quint32>(c) & 0xFFFFFF);
}

GstCaps* rendererCaps(const QSize& size)
{
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
    if (!size.isEmpty())
        gst_caps_set_simple(caps, "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(), nullptr);
    return caps;
}

} // namespace

QFont fontOf(const TFontValue& value)
{
    QFont font(value.Name);
    const int ppi = value.PixelsPerInch > 0 ? value.PixelsPerInch : 96;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(value.Size * ppi / 72.0))));
    font.setBold(value.Bold);
    font.setItalic(value.Italic);
    font.setUnderline(value.Underline);
    font.setStrikeOut(value.StrikeOut);
    return font;
}

// ---------------------------------------------------------------------------

std::unique_ptr<TVideoFrame> TVideoFrame::map(GstSample* sample)
{
    GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return nullptr;
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    if (format != GST_VIDEO_FORMAT_BGRx && format != GST_VIDEO_FORMAT_RGBA)
        return nullptr;
    std::unique_ptr<TVideoFrame> frame(new TVideoFrame);
    if (!gst_video_frame_map(&frame->FFrame, &info, buffer, GST_MAP_READ))
        return nullptr;
    frame->FSample = gst_sample_ref(sample);
    frame->FImage = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame->FFrame, 0)),
                           GST_VIDEO_FRAME_WIDTH(&frame->FFrame), GST_VIDEO_FRAME_HEIGHT(&frame->FFrame),
                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame->FFrame, 0),
                           format == GST_VIDEO_FORMAT_BGRx ? QImage::Format_RGB32 : QImage::Format_RGBA8888);
    return frame;
}

TVideoFrame::~TVideoFrame()
{
    FImage = QImage();
    if (FSample) {
        gst_video_frame_unmap(&FFrame);
        gst_sample_unref(FSample);
    }
}

// ---------------------------------------------------------------------------

TQXVideoRenderer::TQXVideoRenderer(QObject* receiver) : FReceiver(receiver)
{
    FBin = gst_bin_new(kRendererName.toUtf8().constData());
    gst_object_ref_sink(FBin);
    GstElement* convert = gst_element_factory_make("videoconvertscale", nullptr);
    FCaps = gst_element_factory_make("capsfilter", nullptr);
    FSink = gst_element_factory_make("appsink", nullptr);
    if (!convert || !FCaps || !FSink) {
        for (GstElement* e : {convert, FCaps, FSink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        FCaps = FSink = nullptr;
        return;
    }
    GstCaps* caps = rendererCaps({});
    g_object_set(FCaps, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(FSink, "sync", TRUE, "max-buffers", 1u, "drop", TRUE, "enable-last-sample", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(FBin), convert, FCaps, FSink, nullptr);
    gst_element_link_many(convert, FCaps, FSink, nullptr);
    GstPad* target = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(FBin, gst_ghost_pad_new("sink", target));
    gst_object_unref(target);

    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer self) { return onSample(GST_ELEMENT(sink), self); };
    callbacks.new_preroll = [](GstAppSink* sink, gpointer self) { return onPreroll(GST_ELEMENT(sink), self); };
    gst_app_sink_set_callbacks(GST_APP_SINK(FSink), &callbacks, this, nullptr);
}

TQXVideoRenderer::~TQXVideoRenderer()
{
    {
        QMutexLocker lock(&FLock);
        FReceiver = nullptr;
    }
    // Null stops the streaming threads before the callbacks' context goes.
    gst_element_set_state(FBin, GST_STATE_NULL);
    if (FSink) {
        GstAppSinkCallbacks none{};
        gst_app_sink_set_callbacks(GST_APP_SINK(FSink), &none, nullptr, nullptr);
    }
    clear();
    gst_object_unref(FBin);
}

QEvent::Type TQXVideoRenderer::frameEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

GstFlowReturn TQXVideoRenderer::onSample(GstElement* sink, gpointer self)
{
    if (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink)))
        static_cast<TQXVideoRenderer*>(self)->keep(sample);
    return GST_FLOW_OK;
}

GstFlowReturn TQXVideoRenderer::onPreroll(GstElement* sink, gpointer self)
{
    if (GstSample* sample = gst_app_sink_pull_preroll(GST_APP_SINK(sink)))
        static_cast<TQXVideoRenderer*>(self)->keep(sample);
    return GST_FLOW_OK;
}

void TQXVideoRenderer::keep(GstSample* sample)
{
    qint64 start = 0;
    qint64 end = 0;
    const GstSegment* segment = gst_sample_get_segment(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const bool placed = segment && buffer && streamInterval(*segment, buffer, 0, start, end);
    {
        QMutexLocker lock(&FLock);
        ++FSeen;
        FHasFrame = placed;
        FFrameStart = start;
        FFrameEnd = end;
        FArrived.wakeAll();
    }
    post(sample);
}

void TQXVideoRenderer::present(GstSample* sample)
{
    if (sample)
        post(sample);
}

void TQXVideoRenderer::post(GstSample* sample)
{
    GstSample* replaced = nullptr;
    {
        QMutexLocker lock(&FLock);
        replaced = std::exchange(FNewest, sample);
        if (!FPosted && FReceiver) {
            FPosted = true;
            QCoreApplication::postEvent(FReceiver, new QEvent(frameEventType()));
        }
    }
    if (replaced)
        gst_sample_unref(replaced);
}

bool TQXVideoRenderer::stepFrames(int count)
{
    return FSink && count > 0 &&
           gst_element_send_event(FSink, gst_event_new_step(GST_FORMAT_BUFFERS, static_cast<guint64>(count), 1.0,
                                                            TRUE, FALSE));
}

quint64 TQXVideoRenderer::samplesSeen() const
{
    QMutexLocker lock(&FLock);
    return FSeen;
}

bool TQXVideoRenderer::waitForSample(quint64 seen, int timeoutMs)
{
    QMutexLocker lock(&FLock);
    QDeadlineTimer deadline(timeoutMs);
    while (FSeen <= seen) {
        if (!FArrived.wait(&FLock, deadline))
            return FSeen > seen;
    }
    return true;
}

bool TQXVideoRenderer::pipelineFrame(qint64& start, qint64& end) const
{
    QMutexLocker lock(&FLock);
    start = FFrameStart;
    end = FFrameEnd;
    return FHasFrame;
}

GstCaps* TQXVideoRenderer::outputCaps() const
{
    GstCaps* caps = nullptr;
    if (FCaps)
        g_object_get(FCaps, "caps", &caps, nullptr);
    return caps;
}

GstSample* TQXVideoRenderer::takeNewest()
{
    QMutexLocker lock(&FLock);
    FPosted = false;
    return std::exchange(FNewest, nullptr);
}

void TQXVideoRenderer::clear()
{
    if (GstSample* sample = takeNewest())
        gst_sample_unref(sample);
}

QSize TQXVideoRenderer::nativeSize() const
{
    QSize size;
    GstPad* pad = gst_element_get_static_pad(FBin, "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    GstVideoInfo info;
    if (caps && gst_video_info_from_caps(&info, caps))
        size = QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    if (caps)
        gst_caps_unref(caps);
    if (pad)
        gst_object_unref(pad);
    return size;
}

double TQXVideoRenderer::pixelAspect() const
{
    double aspect = 1.0;
    GstPad* pad = gst_element_get_static_pad(FBin, "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    GstVideoInfo info;
    if (caps && gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_PAR_D(&info) > 0 &&
        GST_VIDEO_INFO_PAR_N(&info) > 0)
        aspect = double(GST_VIDEO_INFO_PAR_N(&info)) / GST_VIDEO_INFO_PAR_D(&info);
    if (caps)
        gst_caps_unref(caps);
    if (pad)
        gst_object_unref(pad);
    return aspect;
}

void TQXVideoRenderer::setScaleTarget(const QSize& size)
{
    if (!FCaps || size == FScaleTarget)
        return;
    FScaleTarget = size;
    GstCaps* caps = rendererCaps(size);
    g_object_set(FCaps, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

// ---------------------------------------------------------------------------

TWindowLessMan::TWindowLessMan(QObject* owner) : TQXActionComponent(owner)
{
    construct();
    createControls();
    initialize();
}

TWindowLessMan::TWindowLessMan(QObject* owner, TDeferInitialize) : TQXActionComponent(owner)
{
    construct();
}

void TWindowLessMan::construct()
{
    initMediaGraph();
    NearestMonitor = [](const QWidget* control) {
        TMonitorInfo monitor;
        QScreen* screen = nullptr;
        if (control)
            screen = QGuiApplication::screenAt(control->mapToGlobal(control->rect().center()));
        if (!screen && control)
            screen = control->screen();
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            monitor.number = static_cast<int>(QGuiApplication::screens().indexOf(screen));
            monitor.bounds = screen->geometry();
        }
        return monitor;
    };
    FRenderer = std::make_unique<TQXVideoRenderer>(this);

    Fplaque = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    Fplaque->setAccessibleName(QStringLiteral("Full screen video"));
    Fplaque->setAutoFillBackground(true);
    FShape = new QWidget(Fplaque.get());
    FShape->setAccessibleName(QStringLiteral("Video"));
    FShape->setAutoFillBackground(true);
    FShape->installEventFilter(this);
    FPanelQuit = new QLabel(kNotice, Fplaque.get());
    FPanelQuit->setAccessibleName(kNotice);
    FPanelQuit->setFont(QFont(QStringLiteral("Arial"), 12));
    FPanelQuit->setMargin(8);
    FPanelQuit->setAutoFillBackground(true);
    {
        QPalette p = FPanelQuit->palette();
        p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
        p.setColor(QPalette::WindowText, Qt::black);
        FPanelQuit->setPalette(p);
    }
    FPanelQuit->adjustSize();
    FPanelQuit->move(16, 16);
    FPanelQuit->hide();
    FPanelQuit->installEventFilter(this);
    setBackColor(FBackColor);
    setBorderColor(FBorderColor);

    FTimer = new QTimer(this);
    FTimer->setInterval(3000);
    connect(FTimer, &QTimer::timeout, this, [this] { noticeElapsed(); });

    FPreview = std::make_unique<QWidget>(nullptr, Qt::Window);
    FPreview->setAccessibleName(QStringLiteral("External video window"));
    FPreview->setWindowTitle(QStringLiteral("Movarium"));
    FPreview->setGeometry(FPreviewRect);
    FPreview->installEventFilter(this);

    lignes[0] = Tligne{QStringLiteral("Ecrivez une incrustation"), 0, 0, true, false, taLeftJustify};
    FInsertFont.Name = QStringLiteral("Arial");
    FInsertFont.Size = 20; // 27 pixels at 96 dpi
    FInsertFont.Color = 0x800000;
}

TWindowLessMan::~TWindowLessMan()
{
    setFilterGraph(nullptr);
    makeCurrentHost(nullptr);
    FFrame.reset();
    FRenderer.reset();
}

// ---------------------------------------------------------------------------

void TWindowLessMan::createActions()
{
    caFullscreen = new TCheckAction(QStringLiteral("caFullscreen"), this);
    caFlipVertical = new TCheckAction(QStringLiteral("caFlipVertical"), this);
    caFlipHorizontal = new TCheckAction(QStringLiteral("caFlipHorizontal"), this);
    caPreviewForm = new TCheckAction(QStringLiteral("caPreviewForm"), this);
    caKeepAspectRatio = new TCheckAction(QStringLiteral("caKeepAspectRatio"), this);
    iaFullBorderWidth = new TIntegerAction(QStringLiteral("iaFullBorderWidth"), this);
    iaWinBorderWidth = new TIntegerAction(QStringLiteral("iaWinBorderWidth"), this);
    iaBorderColor = new TColorAction(QStringLiteral("iaBorderColor"), this);
    iaBackColor = new TColorAction(QStringLiteral("iaBackColor"), this);
    raPreviewSave = new TRectAction(QStringLiteral("raPreviewSave"), this);
    iaTimerInterval = new TIntegerAction(QStringLiteral("iaTimerInterval"), this);
    caInsertTextOn = new TCheckAction(QStringLiteral("caInsertTextOn"), this);
    iaInsertBorderWidth = new TIntegerAction(QStringLiteral("iaInsertBorderWidth"), this);
    iaInsertBorderColor = new TColorAction(QStringLiteral("iaInsertBorderColor"), this);
    faInsertFont = new TFontAction(QStringLiteral("faInsertFont"), this);
    iaInsertTransparentColor = new TColorAction(QStringLiteral("iaInsertTransparentColor"), this);
    caInsertAntiAliasing = new TCheckAction(QStringLiteral("caInsertAntiAliasing"), this);
    daInsertTransparency = new TDoubleAction(QStringLiteral("daInsertTransparency"), this);
    paInsertPosition = new TPointAction(QStringLiteral("paInsertPosition"), this);
    iaInsertAlignLines = new TIntegerAction(QStringLiteral("iaInsertAlignLines"), this);
}

void TWindowLessMan::initActions()
{
    const struct {
        TCheckAction* action;
        const char* scriptName;
        QKeyCombination key;
        bool defaultValue;
        bool applyWhenLoad;
        const char* trueCaption;
        const char* falseCaption;
        const char* trueHint;
        const char* falseHint;
        int trueImage;
        int falseImage;
    } checks[] = {
        {caFullscreen, "FullScreen", QKeyCombination(Qt::AltModifier, Qt::Key_Return), false, false,
         "Leave full screen", "Fullscreen", "Click to leave the full screen mode",
         "Click to display the video in full screen\nTo leave full screen, type again ALT+Enter", -1, -1},
        {caFlipVertical, "FlipVertical", QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_V), false,
         false, "Vertical Flip", "Vertical Flip", "Click to deactivate the Vertical Flip",
         "Click to activate Vertical Flip", 14, 15},
        {caFlipHorizontal, "FlipHorizontal", QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H), false,
         false, "Flip Horizontal", "Flip Horizontal", "Click to deactivate Horizontal Flip",
         "Click to activate Horizontal Flip", 13, 12},
        {caPreviewForm, "Previewform", QKeyCombination(Qt::AltModifier, Qt::Key_Backspace), false, true,
         "Close the external Window", "Open the external window",
         "Click to close the external window and play the video in an embedded window",
         "Click to play the video in an external window", -1, -1},
        {caKeepAspectRatio, "KeepAspectRatio", QKeyCombination(Qt::AltModifier, Qt::Key_R), true, false,
         "Adjust Ratio Aspect", "Keep Ratio Aspect", "Click to keep the ratio aspect", "Click to adjust the ratio aspect",
         -1, -1},
        {caInsertTextOn, "InsertTextOn", QKeyCombination(Qt::ControlModifier, Qt::Key_I), true, true, "Disable Inlay",
         "Enable inlay", "Click to deactivate inlaying", "Click to activate inlaying", 18, 17},
        {caInsertAntiAliasing, "InsertAntiAliasing", QKeyCombination(Qt::ControlModifier, Qt::Key_N), true, true,
         "Deactivate antialiasing", "Activate antialiasing", "Click to deactivate antialiasing",
         "Click to activate antialiasing", -1, -1},
    };
    for (const auto& c : checks) {
        c.action->setScriptName(QString::fromUtf8(c.scriptName));
        c.action->setShortCut(QKeySequence(c.key));
        c.action->ApplyWhenLoad = c.applyWhenLoad;
        c.action->setTrueCaption(QString::fromUtf8(c.trueCaption));
        c.action->setFalseCaption(QString::fromUtf8(c.falseCaption));
        c.action->setTrueHint(QString::fromUtf8(c.trueHint));
        c.action->setFalseHint(QString::fromUtf8(c.falseHint));
        c.action->setTrueImageIndex(c.trueImage);
        c.action->setFalseImageIndex(c.falseImage);
        c.action->setDefaultValue(c.defaultValue);
    }

    const struct {
        TIntegerAction* action;
        const char* scriptName;
        qint32 defaultValue;
        bool applyWhenLoad;
    } integers[] = {
        {iaFullBorderWidth, "FullBorderWidth", 0, false},
        {iaWinBorderWidth, "WinBorderWidth", 0, false},
        {iaTimerInterval, "TimerInterval", 3000, false},
        {iaInsertBorderWidth, "InsertBorderWidth", 2, true},
        {iaInsertAlignLines, "AlignLines", 0, true},
    };
    for (const auto& i : integers) {
        i.action->setScriptName(QString::fromUtf8(i.scriptName));
        i.action->DefaultValue = i.action->Value = i.defaultValue;
        i.action->ApplyWhenLoad = i.applyWhenLoad;
    }

    const struct {
        TColorAction* action;
        const char* scriptName;
        TColor defaultValue;
        bool applyWhenLoad;
    } colors[] = {
        {iaBorderColor, "BorderColor", 0x0000FF, false},
        {iaBackColor, "BackColor", 0xC0C0C0, true},
        {iaInsertBorderColor, "InsertBorderColor", 0x000000, true},
        {iaInsertTransparentColor, "InsertTransparentColor", 0xFFFFFF, false},
    };
    for (const auto& c : colors) {
        c.action->setScriptName(QString::fromUtf8(c.scriptName));
        c.action->DefaultValue = c.action->Value = c.defaultValue;
        c.action->ApplyWhenLoad = c.applyWhenLoad;
    }

    raPreviewSave->setScriptName(QStringLiteral("PreviewSave"));
    raPreviewSave->DefaultValue = raPreviewSave->Value = TRect{0, 0, 640, 480};
    raPreviewSave->ApplyWhenLoad = true;

    TFontValue font;
    font.Name = QStringLiteral("Arial");
    font.Size = 25; // 33 pixels at 96 dpi
    font.Color = 0x00FFFF;
    font.Bold = true;
    faInsertFont->setScriptName(QStringLiteral("InsertFont"));
    faInsertFont->DefaultValue = faInsertFont->Value = font;
    faInsertFont->ApplyWhenLoad = true;

    daInsertTransparency->setScriptName(QStringLiteral("InsertTransparency"));
    daInsertTransparency->DefaultValue = daInsertTransparency->Value = 1.0;

    paInsertPosition->setScriptName(QStringLiteral("InsertPosition"));
    paInsertPosition->DefaultValue = paInsertPosition->Value = TPoint(0, 0);
    paInsertPosition->ApplyWhenLoad = true;
}

void TWindowLessMan::connectActions()
{
    caFullscreen->internalTrueApply = [this] { setFullscreen(true); };
    caFullscreen->internalFalseApply = [this] { setFullscreen(false); };
    caFlipVertical->internalTrueApply = [this] { setFlipVertical(true); };
    caFlipVertical->internalFalseApply = [this] { setFlipVertical(false); };
    caFlipHorizontal->internalTrueApply = [this] { setFlipHorizontal(true); };
    caFlipHorizontal->internalFalseApply = [this] { setFlipHorizontal(false); };
    caPreviewForm->internalTrueApply = [this] { setPreviewForm(true); };
    caPreviewForm->internalFalseApply = [this] { setPreviewForm(false); };
    caKeepAspectRatio->internalTrueApply = [this] { setKeepAspectratio(true); };
    caKeepAspectRatio->internalFalseApply = [this] { setKeepAspectratio(false); };
    iaFullBorderWidth->internalApply = [this](const qint32& v) { setFullBorderWidth(v); };
    iaWinBorderWidth->internalApply = [this](const qint32& v) { setWinBorderWidth(v); };
    iaBorderColor->internalApply = [this](const TColor& v) { setBorderColor(v); };
    iaBackColor->internalApply = [this](const TColor& v) { setBackColor(v); };
    raPreviewSave->internalApply = [this](const TRect& r) {
        FPreviewRect = rectOf(r);
        FPreview->setGeometry(FPreviewRect);
    };
    raPreviewSave->internalBeforeSave = [this](TRect& r) {
        const QRect g = FPreview->geometry();
        r = TRect{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
        return true;
    };
    iaTimerInterval->internalApply = [this](const qint32& v) { FTimer->setInterval(v); };

    caInsertTextOn->internalTrueApply = [this] { insertText(); };
    caInsertTextOn->internalFalseApply = [this] { insertNone(); };
    iaInsertBorderWidth->internalApply = [this](const qint32& v) { setInsertBorderWidth(v); };
    iaInsertBorderColor->internalApply = [this](const TColor& v) { setInsertBorderColor(v); };
    faInsertFont->internalApply = [this](const TFontValue& v) { setInsertFont(v); };
    iaInsertTransparentColor->internalApply = [this](const TColor& v) { setInsertTransparentColor(v); };
    caInsertAntiAliasing->internalTrueApply = [this] { setInsertAntiAliasing(true); };
    caInsertAntiAliasing->internalFalseApply = [this] { setInsertAntiAliasing(false); };
    daInsertTransparency->internalApply = [this](const double& v) { setInsertTransparency(v); };
    paInsertPosition->internalApply = [this](const TPoint& v) { setInsertPosition(v); };
    iaInsertAlignLines->internalApply = [this](const qint32& v) { setInsertAlignLines(v); };
    iaInsertAlignLines->internalBeforeSave = [this](qint32& v) {
        v = FInsertAlignLines;
        return true;
    };
}

qintptr TWindowLessMan::windowProc(uint msg, qintptr wParam, qintptr lParam)
{
    if (msg == WM_DISPLAYCHANGE) {
        // A screen's geometry may have changed under the picture.
        dimensionner();
        return 0;
    }
    return TQXActionComponent::windowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------

TGrapheMan* TWindowLessMan::FilterGraph() const
{
    QMutexLocker lock(&FGraphLock);
    return FGraph;
}

void TWindowLessMan::setFilterGraph(TGrapheMan* graph)
{
    QMutexLocker lock(&FGraphLock);
    if (graph == FGraph)
        return;
    if (FGraph) {
        disconnect(FGraphWatch);
        FGraph->RemoveFilter(FRenderer->element());
    }
    FGraph = graph;
    FFrames = 0;
    FRenderer->clear();
    QCoreApplication::postEvent(this, new QEvent(clearEventType()));
    if (!graph)
        return;
    graph->AddFilter(FRenderer->element(), kRendererName);
    FGraphWatch = connect(
        graph, &QObject::destroyed, this,
        [this] {
            QMutexLocker forget(&FGraphLock);
            FGraph = nullptr;
        },
        Qt::DirectConnection);
}

bool TWindowLessMan::event(QEvent* event)
{
    if (event->type() == TQXVideoRenderer::frameEventType()) {
        takeFrame();
        return true;
    }
    if (event->type() == clearEventType()) {
        if (!FilterGraph()) {
            FFrame.reset();
            repeindre();
        }
        return true;
    }
    return TQXActionComponent::event(event);
}

void TWindowLessMan::takeFrame()
{
    GstSample* sample = FRenderer->takeNewest();
    if (!sample)
        return;
    std::unique_ptr<TVideoFrame> frame = TVideoFrame::map(sample);
    gst_sample_unref(sample);
    if (!frame)
        return;
    FFrame = std::move(frame);
    // The first picture of a new size tells what the pipeline may scale it to.
    if (const QSize native = FRenderer->nativeSize(); native != FLastNative) {
        FLastNative = native;
        updateScaleTarget();
    }
    if (FFullscreen)
        FShape->update();
    else if (FHost)
        FHost->update(rectOf(winrect));
}

// ---------------------------------------------------------------------------

void TWindowLessMan::setWindow(QWidget* aWindow)
{
    if (Fwindow == aWindow)
        return;
    // A destroyed host is forgotten by its guarded pointers.
    Fwindow = aWindow;
    if (!FPreviewForm)
        makeCurrentHost(aWindow);
}

void TWindowLessMan::makeCurrentHost(QWidget* host)
{
    if (FHost == host)
        return;
    if (FHost) {
        FHost->removeEventFilter(this);
        FHost->setAttribute(Qt::WA_OpaquePaintEvent, FHostWasOpaque);
    }
    FHost = host;
    if (!host)
        return;
    // Every pixel of the host is painted here: Qt need not clear it first.
    FHostWasOpaque = host->testAttribute(Qt::WA_OpaquePaintEvent);
    host->setAttribute(Qt::WA_OpaquePaintEvent);
    host->installEventFilter(this);
    FMonitor = NearestMonitor(host);
    Fplaque->setGeometry(FMonitor.bounds);
    dimensionner();
}

void TWindowLessMan::hostResized()
{
    dimensionner();
}

bool TWindowLessMan::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FHost && FHost) {
        if (event->type() == QEvent::Paint) {
            paintHost(FHost);
            return true;
        }
        if (event->type() == QEvent::Resize)
            hostResized();
    }
    if (watched == FShape && event->type() == QEvent::Paint) {
        paintFullScreen();
        return true;
    }
    if (watched == FPanelQuit && event->type() == QEvent::MouseButtonPress) {
        FPanelQuit->hide();
        FShape->update();
        return true;
    }
    if (watched == FPreview.get() && event->type() == QEvent::Close && FPreviewForm)
        caPreviewForm->setChecked(false);
    return TQXActionComponent::eventFilter(watched, event);
}

void TWindowLessMan::dimensionner()
{
    if (!FHost)
        return;
    if (FFullscreen) {
        fullrect = shrink(NearestMonitor(FHost).bounds.size(), FFullBorderWidth);
        fullScreenPlacement();
    } else {
        winrect = shrink(FHost->size(), FWinBorderWidth);
        windowedPlacement();
    }
}

void TWindowLessMan::windowedPlacement()
{
    if (!FHost)
        return;
    paintFrame();
    applyFlips();
    updateScaleTarget();
}

void TWindowLessMan::fullScreenPlacement()
{
    const qint32 b = FFullBorderWidth;
    FShape->setGeometry(rectOf(fullrect).adjusted(-b, -b, b, b));
    QPalette p = FShape->palette();
    p.setColor(QPalette::Window, opaque(FBorderColor));
    FShape->setPalette(p);
    FShape->raise();
    if (FPanelQuit->isVisible())
        FPanelQuit->raise();
    Fplaque->raise();
    Fplaque->update();
    FShape->update();
    updateScaleTarget();
}

void TWindowLessMan::paintFrame()
{
    if (FHost)
        FHost->update();
}

void TWindowLessMan::repeindre()
{
    paintFrame();
    if (FFullscreen)
        FShape->update();
}

void TWindowLessMan::repaint(QWidget* aWinControl)
{
    if (aWinControl)
        aWinControl->repaint();
}

void TWindowLessMan::setWinBorderWidth(qint32 value)
{
    FWinBorderWidth = value;
    if (!FFullscreen)
        windowedPlacement();
}

void TWindowLessMan::setFullBorderWidth(qint32 value)
{
    FFullBorderWidth = value;
    if (FFullscreen)
        fullScreenPlacement();
}

void TWindowLessMan::setBorderColor(TColor value)
{
    FBorderColor = value;
    if (FHost)
        FHost->update();
}

void TWindowLessMan::setBackColor(TColor value)
{
    FBackColor = value;
    QPalette p = Fplaque->palette();
    p.setColor(QPalette::Window, opaque(value));
    Fplaque->setPalette(p);
}

void TWindowLessMan::setKeepAspectratio(bool value)
{
    FKeepAspectratio = value;
    updateScaleTarget();
    repeindre();
}

void TWindowLessMan::setFullscreen(bool value)
{
    FFullscreen = value;
    if (value) {
        FMonitor = NearestMonitor(FHost);
        Fplaque->setGeometry(FMonitor.bounds);
        Fplaque->show();
        Fplaque->raise();
        Fplaque->activateWindow();
        if (FTimer->interval() != 0) {
            FPanelQuit->show();
            FPanelQuit->raise();
            FTimer->start();
        } else {
            FPanelQuit->hide();
        }
        dimensionner();
    } else {
        FTimer->stop();
        Fplaque->hide();
        FMonitor = NearestMonitor(FHost);
        postMessage(Handle(), WM_DISPLAYCHANGE);
        dimensionner();
        // What the full-screen window covered is painted again now, not at the next event.
        if (FHost)
            FHost->window()->update();
    }
}

void TWindowLessMan::noticeElapsed()
{
    FTimer->stop();
    FPanelQuit->hide();
    Fplaque->update();
    FShape->update();
}

void TWindowLessMan::setFlipVertical(bool value)
{
    FFlipVertical = value;
    applyFlips();
}

void TWindowLessMan::setFlipHorizontal(bool value)
{
    FFlipHorizontal = value;
    applyFlips();
}

void TWindowLessMan::applyFlips()
{
    FOutputRect = TNormalizedRect{FFlipHorizontal ? 1.f : 0.f, FFlipVertical ? 1.f : 0.f, FFlipHorizontal ? 0.f : 1.f,
                                  FFlipVertical ? 0.f : 1.f};
    if (FHost)
        FHost->update();
    if (FFullscreen)
        FShape->update();
}

void TWindowLessMan::setPreviewForm(bool value)
{
    FPreviewForm = value;
    if (value) {
        FPreview->setGeometry(FPreviewRect);
        FPreview->show();
        FPreview->raise();
        makeCurrentHost(FPreview.get());
    } else {
        FPreviewRect = FPreview->geometry();
        FPreview->hide();
        makeCurrentHost(Fwindow);
    }
    dimensionner();
}

// ---------------------------------------------------------------------------

QRect TWindowLessMan::letterBox(const QRect& dest) const
{
    const QSize native = FRenderer->nativeSize();
    if (native.isEmpty() || dest.isEmpty())
        return dest;
    const double dw = native.width() * FRenderer->pixelAspect();
    const double dh = native.height();
    int w = dest.width();
    int h = dest.height();
    if (dest.width() * dh > dest.height() * dw)
        w = static_cast<int>(std::lround(dest.height() * dw / dh));
    else
        h = static_cast<int>(std::lround(dest.width() * dh / dw));
    return QRect(dest.x() + (dest.width() - w) / 2, dest.y() + (dest.height() - h) / 2, w, h);
}

void TWindowLessMan::updateScaleTarget()
{
    // Painting a picture at its own size is a plain copy: a picture larger than
    // its place is made smaller by the conversion that runs anyway.
    const QRect dest = FFullscreen ? rectOf(fullrect) : rectOf(winrect);
    const QRect place = FKeepAspectratio ? letterBox(dest) : dest;
    const QSize native = FRenderer->nativeSize();
    const bool smaller = !native.isEmpty() && !place.isEmpty() &&
                         (place.width() < native.width() || place.height() < native.height());
    FRenderer->setScaleTarget(smaller ? place.size() : QSize());
}

void TWindowLessMan::paintHost(QWidget* host)
{
    QPainter p(host);
    const QRect inner = rectOf(winrect);
    const qint32 b = FWinBorderWidth;
    const QRect outer = inner.adjusted(-b, -b, b, b);
    const QColor hostColor = host->palette().color(host->backgroundRole());
    fillBands(p, host->rect(), outer, hostColor);
    fillBands(p, outer, inner, opaque(FBorderColor));
    if (FFullscreen || !FFrame)
        p.fillRect(inner, hostColor);
    else
        paintPicture(p, inner);
}

void TWindowLessMan::paintFullScreen()
{
    QPainter p(FShape);
    const QRect inner = rectOf(fullrect).translated(-FShape->x(), -FShape->y());
    fillBands(p, FShape->rect(), inner, opaque(FBorderColor));
    paintPicture(p, inner);
}

void TWindowLessMan::paintPicture(QPainter& painter, const QRect& dest)
{
    if (!FFrame || dest.isEmpty())
        return;
    const QImage& image = FFrame->image();
    QRect place = dest;
    if (FKeepAspectratio) {
        place = letterBox(dest);
        fillBands(painter, dest, place, Qt::black);
    }
    const TNormalizedRect& o = FOutputRect;
    const double sx = (o.right - o.left) * place.width() / double(image.width());
    const double sy = (o.bottom - o.top) * place.height() / double(image.height());
    painter.save();
    painter.setClipRect(place);
    painter.setTransform(QTransform(sx, 0, 0, sy, place.x() + o.left * place.width(), place.y() + o.top * place.height()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, image.size() != place.size());
    painter.drawImage(0, 0, image);
    painter.restore();
    if (FInsertionMode == imText && !FTextBitmap.isNull()) {
        painter.save();
        painter.setOpacity(std::clamp(FInsertTransparency, 0.0, 1.0));
        painter.drawImage(place.topLeft(), scaledLayer(place.size()));
        painter.restore();
    }
    const GstClockTime pts = GST_BUFFER_PTS(FFrame->buffer());
    if (FFrame->buffer() != FLastPainted || pts != FLastPts) {
        FLastPainted = FFrame->buffer();
        FLastPts = pts;
        ++FFrames;
    }
}

const QImage& TWindowLessMan::scaledLayer(const QSize& size)
{
    if (FTextBitmap.size() == size)
        return FTextBitmap;
    if (FScaledLayer.size() != size)
        FScaledLayer = FTextBitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return FScaledLayer;
}

// ---------------------------------------------------------------------------

bool TWindowLessMan::insertText()
{
    FInsertionMode = imText;
    const QSize native = FRenderer->nativeSize();
    const int W = native.width();
    const int H = native.height();
    FScaledLayer = QImage();
    if (W <= 0 || H <= 0) {
        FTextBitmap = QImage();
        repeindre();
        return true;
    }
    FTextBitmap = QImage(W, H, QImage::Format_ARGB32_Premultiplied);
    const int px = static_cast<int>(qint64(FInsertPosition.x()) * W / 10000);
    const int py = static_cast<int>(qint64(FInsertPosition.y()) * H / 10000);
    const QColor key = opaque(FInsertTransparentColor);
    FTextBitmap.fill(key);

    QFont smooth = fontOf(FInsertFont);
    QFont plain = smooth;
    smooth.setStyleStrategy(QFont::PreferAntialias);
    plain.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(plain);
    const qint32 b = FInsertBorderWidth;
    const QColor border = opaque(FInsertBorderColor);
    const QColor letters = opaque(FInsertFont.Color);

    QPainter p(&FTextBitmap);
    int y = 0;
    for (const Tligne& line : lignes) {
        if (!line.fActive)
            continue;
        y = (line.VerticalRelative ? y : 0) + roundEven(H * double(line.ry));
        int x = roundEven(W * double(line.rx));
        const int width = metrics.horizontalAdvance(line.text);
        if (line.HorizontalAlignment == taRightJustify)
            x -= width;
        else if (line.HorizontalAlignment == taCenter)
            x -= width / 2;
        const int left = px + x + b;
        const int baseline = py + y + b + metrics.ascent();
        // The outline is never smoothed, so it does not blend with the colour key.
        p.setFont(plain);
        if (b > 0) {
            p.setPen(border);
            for (int dx = -b; dx <= b; ++dx)
                for (int dy = -b; dy <= b; ++dy)
                    if (std::abs(dx) + std::abs(dy) > b)
                        p.drawText(left + dx, baseline + dy, line.text);
        }
        p.setFont(FInsertAntiAliasing && b > 0 ? smooth : plain);
        p.setPen(letters);
        p.drawText(left, baseline, line.text);
        y += metrics.height();
    }
    p.end();

    const QRgb keyed = key.rgba();
    for (int row = 0; row < H; ++row) {
        auto* pixel = reinterpret_cast<QRgb*>(FTextBitmap.scanLine(row));
        for (int col = 0; col < W; ++col)
            if (pixel[col] == keyed)
                pixel[col] = 0;
    }
    repeindre();
    return true;
}

bool TWindowLessMan::insertNone()
{
    FInsertionMode = imNone;
    repeindre();
    return true;
}

void TWindowLessMan::redrawLayer()
{
    if (FInsertionMode == imText)
        insertText();
}

void TWindowLessMan::alignLinesLeft()
{
    FInsertAlignLines = taLeftJustify;
    for (Tligne& line : lignes)
        line.HorizontalAlignment = taLeftJustify;
    redrawLayer();
}

void TWindowLessMan::alignLinesRight()
{
    FInsertAlignLines = taRightJustify;
    for (Tligne& line : lignes)
        line.HorizontalAlignment = taRightJustify;
    redrawLayer();
}

void TWindowLessMan::alignLinesCenter()
{
    FInsertAlignLines = taCenter;
    for (Tligne& line : lignes)
        line.HorizontalAlignment = taCenter;
    redrawLayer();
}

void TWindowLessMan::setInsertAlignLines(qint32 value)
{
    FInsertAlignLines = value;
    if (value == taLeftJustify)
        alignLinesLeft();
    else if (value == taRightJustify)
        alignLinesRight();
    else if (value == taCenter)
        alignLinesCenter();
}

void TWindowLessMan::setInsertBorderWidth(qint32 value)
{
    FInsertBorderWidth = value;
    redrawLayer();
}

void TWindowLessMan::setInsertBorderColor(TColor value)
{
    FInsertBorderColor = value;
    redrawLayer();
}

void TWindowLessMan::setInsertTransparency(double value)
{
    FInsertTransparency = value;
    redrawLayer();
}

void TWindowLessMan::setInsertTransparentColor(TColor value)
{
    FInsertTransparentColor = value;
    redrawLayer();
}

void TWindowLessMan::setInsertAntiAliasing(bool value)
{
    FInsertAntiAliasing = value;
    redrawLayer();
}

void TWindowLessMan::setInsertPosition(const TPoint& value)
{
    FInsertPosition = value;
    redrawLayer();
}

void TWindowLessMan::setInsertFont(const TFontValue& value)
{
    FInsertFont = value;
    redrawLayer();
}
