#pragma once

#include "uScriptAction.h"
#include "uValueTypes.h"
#include "uWndComponent.h"

#include <QFont>
#include <QImage>
#include <QMutex>
#include <QWaitCondition>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <gst/gst.h>
#include <gst/video/video.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QTimer;
class TGrapheMan;

// A decoded picture as the renderer's sink handed it over: the sample stays
// mapped for as long as the image over its memory lives, so painting reads the
// decoder's converted pixels without a copy.
class TVideoFrame {
public:
    // None when the sample holds no mappable BGRx or RGBA picture.
    static std::unique_ptr<TVideoFrame> map(GstSample* sample);
    ~TVideoFrame();
    TVideoFrame(const TVideoFrame&) = delete;
    TVideoFrame& operator=(const TVideoFrame&) = delete;

    const QImage& image() const { return FImage; }
    GstBuffer* buffer() const { return FFrame.buffer; }

private:
    TVideoFrame() = default;

    GstSample* FSample = nullptr;
    GstVideoFrame FFrame{};
    QImage FImage;
};

// The renderer "QX VideoWindow": a bin whose sink pad (pin 0) takes any raw
// video, converts it once (and scales it down to the size asked for) into
// BGRx, and ends in an appsink. The streaming thread keeps only the newest
// sample, the preroll one included, and posts one event to the receiver until
// the user-interface thread has taken it.
class TQXVideoRenderer {
public:
    // receiver gets an event of frameEventType() when a sample waits.
    explicit TQXVideoRenderer(QObject* receiver);
    ~TQXVideoRenderer();
    TQXVideoRenderer(const TQXVideoRenderer&) = delete;
    TQXVideoRenderer& operator=(const TQXVideoRenderer&) = delete;

    static QEvent::Type frameEventType();

    GstElement* element() const { return FBin; }
    // The waiting sample (the caller owns it), or none; the next one posts again.
    GstSample* takeNewest();
    // Shows a picture that did not come through the pipeline (the renderer
    // takes the sample over), as if it had.
    void present(GstSample* sample);
    // Forgets the waiting sample.
    void clear();
    // The size and pixel aspect of the video reaching the sink pad; empty before caps.
    QSize nativeSize() const;
    double pixelAspect() const;
    // Pictures wider or taller than this are scaled down in the pipeline;
    // an empty size converts at the native size.
    void setScaleTarget(const QSize& size);
    // What the renderer converts its next picture to, as its caps filter asks
    // (the caller owns them), or none.
    GstCaps* outputCaps() const;

    // Frame steps of the paused pipeline: the sink lets count pictures go and
    // prerolls on the next one.
    bool stepFrames(int count);
    // Pictures the pipeline has handed over so far; waits up to timeoutMs for
    // one more than seen.
    quint64 samplesSeen() const;
    bool waitForSample(quint64 seen, int timeoutMs);
    // The stream-time interval (100 ns) of the pipeline's last picture.
    bool pipelineFrame(qint64& start, qint64& end) const;

private:
    static GstFlowReturn onSample(GstElement* sink, gpointer self);
    static GstFlowReturn onPreroll(GstElement* sink, gpointer self);
    void keep(GstSample* sample);
    void post(GstSample* sample);

    GstElement* FBin = nullptr;
    GstElement* FCaps = nullptr;
    GstElement* FSink = nullptr;
    mutable QMutex FLock;
    GstSample* FNewest = nullptr;
    bool FPosted = false;
    QWaitCondition FArrived;
    quint64 FSeen = 0;
    bool FHasFrame = false;
    qint64 FFrameStart = 0;
    qint64 FFrameEnd = 0;
    QObject* FReceiver = nullptr;
    QSize FScaleTarget;
};

// The mixer's output rectangle of the video stream, normalised to 0..1; left
// above right mirrors horizontally, top above bottom vertically.
struct TNormalizedRect {
    float left = 0;
    float top = 0;
    float right = 1;
    float bottom = 1;
    bool operator==(const TNormalizedRect&) const = default;
};

// A monitor as the video window places its full-screen window on it.
struct TMonitorInfo {
    int number = 0;
    QRect bounds;
};

enum TInsertionMode { imNone, imText };
enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// One line of the overlay text.
struct Tligne {
    QString text;
    float rx = 0;
    float ry = 0;
    bool fActive = false;
    bool VerticalRelative = true;
    TAlignment HorizontalAlignment = taLeftJustify;
};

// The video output of the player: the renderer of the media graph, painted into
// a rectangle of a window chosen here (the embedded host, the preview window or
// a borderless full-screen window on the host's monitor), inside a coloured
// frame, mirrored on request, letter-boxed on request, with a text overlay
// drawn once at the video's native size and laid over every picture.
//
// Threads: FilterGraph may be set from the build thread and touches no widget;
// everything else runs on the user-interface thread.
class TWindowLessMan : public TQXActionComponent {
    Q_OBJECT
public:
    explicit TWindowLessMan(QObject* owner = nullptr);
    ~TWindowLessMan() override;

    // The message of a display-mode change.
    static constexpr uint WM_DISPLAYCHANGE = 126;

    QWidget* window() const { return Fwindow; }
    virtual void setWindow(QWidget* aWindow);
    // The control the picture is painted into when not in full screen.
    QWidget* currentHost() const { return FHost; }

    qint32 WinBorderWidth() const { return FWinBorderWidth; }
    void setWinBorderWidth(qint32 value);
    qint32 FullBorderWidth() const { return FFullBorderWidth; }
    void setFullBorderWidth(qint32 value);
    TColor BorderColor() const { return FBorderColor; }
    void setBorderColor(TColor value);
    TColor BackColor() const { return FBackColor; }
    void setBackColor(TColor value);
    bool KeepAspectratio() const { return FKeepAspectratio; }
    void setKeepAspectratio(bool value);

    bool Fullscreen() const { return FFullscreen; }
    void setFullscreen(bool value);
    bool FlipVertical() const { return FFlipVertical; }
    void setFlipVertical(bool value);
    bool FlipHorizontal() const { return FFlipHorizontal; }
    void setFlipHorizontal(bool value);
    bool PreviewForm() const { return FPreviewForm; }
    void setPreviewForm(bool value);

    // The picture rectangles, edges as (left, top, right, bottom).
    TRect winrect{};
    TRect fullrect{};
    TNormalizedRect outputRect() const { return FOutputRect; }

    // The graph the renderer belongs to; safe from the build thread.
    TGrapheMan* FilterGraph() const;
    void setFilterGraph(TGrapheMan* graph);
    TQXVideoRenderer& renderer() { return *FRenderer; }
    GstElement* baseFilter() const { return FRenderer->element(); }
    // The size of the video reaching the renderer, or 0 x 0.
    QSize nativeVideoSize() const { return FRenderer->nativeSize(); }

    void dimensionner();
    virtual void repeindre();
    void repaint(QWidget* aWinControl);
    // Frames painted since the renderer joined its graph.
    qint64 getFrames() const { return FFrames.load(); }
    // The picture last taken from the renderer, as it is painted (before the
    // flips and the overlay); null before the first.
    QImage picture() const { return FFrame ? FFrame->image().copy() : QImage(); }

    // Where the full-screen window goes: the monitor nearest to a control;
    // replaceable to stand for another screen layout.
    std::function<TMonitorInfo(const QWidget*)> NearestMonitor;

    QWidget* fullScreenWindow() const { return Fplaque.get(); }
    QWidget* fullScreenShape() const { return FShape; }
    QLabel* noticePanel() const { return FPanelQuit; }
    QTimer* noticeTimer() const { return FTimer; }
    QWidget* previewWindow() const { return FPreview.get(); }
    // Last bounds of the preview window.
    QRect previewRect() const { return FPreviewRect; }

    // The overlay.
    std::array<Tligne, 8> lignes;
    TInsertionMode insertionMode() const { return FInsertionMode; }
    // The layer as drawn, at the native video size; transparent where keyed out.
    const QImage& textBitmap() const { return FTextBitmap; }
    bool insertText();
    bool insertNone();
    void alignLinesLeft();
    void alignLinesRight();
    void alignLinesCenter();

    qint32 InsertBorderWidth() const { return FInsertBorderWidth; }
    void setInsertBorderWidth(qint32 value);
    TColor InsertBorderColor() const { return FInsertBorderColor; }
    void setInsertBorderColor(TColor value);
    double InsertTransparency() const { return FInsertTransparency; }
    void setInsertTransparency(double value);
    TColor InsertTransparentColor() const { return FInsertTransparentColor; }
    void setInsertTransparentColor(TColor value);
    bool InsertAntiAliasing() const { return FInsertAntiAliasing; }
    void setInsertAntiAliasing(bool value);
    qint32 InsertAlignLines() const { return FInsertAlignLines; }
    void setInsertAlignLines(qint32 value);
    TPoint InsertPosition() const { return FInsertPosition; }
    void setInsertPosition(const TPoint& value);
    TFontValue InsertFont() const { return FInsertFont; }
    void setInsertFont(const TFontValue& value);

    qintptr windowProc(uint msg, qintptr wParam, qintptr lParam) override;
    void createActions() override;
    void initActions() override;
    void connectActions() override;

    TCheckAction* caFullscreen = nullptr;
    TCheckAction* caFlipVertical = nullptr;
    TCheckAction* caFlipHorizontal = nullptr;
    TCheckAction* caPreviewForm = nullptr;
    TCheckAction* caKeepAspectRatio = nullptr;
    TIntegerAction* iaFullBorderWidth = nullptr;
    TIntegerAction* iaWinBorderWidth = nullptr;
    TColorAction* iaBorderColor = nullptr;
    TColorAction* iaBackColor = nullptr;
    TRectAction* raPreviewSave = nullptr;
    TIntegerAction* iaTimerInterval = nullptr;
    TCheckAction* caInsertTextOn = nullptr;
    TIntegerAction* iaInsertBorderWidth = nullptr;
    TColorAction* iaInsertBorderColor = nullptr;
    TFontAction* faInsertFont = nullptr;
    TColorAction* iaInsertTransparentColor = nullptr;
    TCheckAction* caInsertAntiAliasing = nullptr;
    TDoubleAction* daInsertTransparency = nullptr;
    TPointAction* paInsertPosition = nullptr;
    TIntegerAction* iaInsertAlignLines = nullptr;

protected:
    // For a derived class that runs initialize() itself at the end of its constructor.
    struct TDeferInitialize {};
    TWindowLessMan(QObject* owner, TDeferInitialize);

    virtual void createControls() {}
    virtual void hostResized();
    // Makes a control the one the picture is painted into (the embedded host or the preview window).
    void makeCurrentHost(QWidget* host);
    // The frame bands of the current host, painted at its next paint.
    void paintFrame();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void construct();
    void windowedPlacement();
    void fullScreenPlacement();
    void applyFlips();
    void noticeElapsed();
    void takeFrame();
    void updateScaleTarget();
    void redrawLayer();
    void paintHost(QWidget* host);
    void paintFullScreen();
    // The picture and the overlay inside dest.
    void paintPicture(QPainter& painter, const QRect& dest);
    QRect letterBox(const QRect& dest) const;
    const QImage& scaledLayer(const QSize& size);

    QPointer<QWidget> Fwindow;
    QPointer<QWidget> FHost;
    bool FHostWasOpaque = false;
    qint32 FWinBorderWidth = 8;
    qint32 FFullBorderWidth = 8;
    TColor FBorderColor = 0xC0C0C0;
    TColor FBackColor = 0x000000;
    bool FKeepAspectratio = false;
    bool FFullscreen = false;
    bool FFlipVertical = false;
    bool FFlipHorizontal = false;
    bool FPreviewForm = false;
    TNormalizedRect FOutputRect;
    TMonitorInfo FMonitor;

    std::unique_ptr<TQXVideoRenderer> FRenderer;
    mutable QMutex FGraphLock;
    TGrapheMan* FGraph = nullptr;
    QMetaObject::Connection FGraphWatch;
    std::unique_ptr<TVideoFrame> FFrame;
    // The picture last counted as painted: the preroll picture comes again when playing starts.
    GstBuffer* FLastPainted = nullptr;
    GstClockTime FLastPts = GST_CLOCK_TIME_NONE;
    std::atomic<qint64> FFrames{0};
    QSize FLastNative;

    std::unique_ptr<QWidget> Fplaque;
    QWidget* FShape = nullptr;
    QLabel* FPanelQuit = nullptr;
    std::unique_ptr<QWidget> FPreview;
    QRect FPreviewRect{0, 0, 640, 480};
    QTimer* FTimer = nullptr;

    TInsertionMode FInsertionMode = imNone;
    QImage FTextBitmap;
    QImage FScaledLayer;
    qint32 FInsertBorderWidth = 2;
    TColor FInsertBorderColor = 0x000000;
    double FInsertTransparency = 1.0;
    TColor FInsertTransparentColor = 0xFF00FF;
    bool FInsertAntiAliasing = true;
    qint32 FInsertAlignLines = taLeftJustify;
    TPoint FInsertPosition{0, 0};
    TFontValue FInsertFont;
};

// The pixel font of a stored font description.
QFont fontOf(const TFontValue& value);
