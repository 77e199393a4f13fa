#pragma once

#include "uWndComponent.h"

#include <QList>
#include <QString>

#include <gst/gst.h>

#include <atomic>
#include <functional>

// Results of the graph operations, with the values callers compare against.
using HRESULT = qint32;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;

enum TGrapheManState { gmStopped = 0, gmPaused = 1, gmPlaying = 2 };

// Media time: 100 ns units, 10 000 000 a second.
constexpr qint64 kUnitsPerSecond = 10000000;

// Attenuation in hundredths of a decibel for a volume of 0..10000:
// round(ln(v + 1) x 1085.73) - 10000, so 10000 is full level and 0 silence.
qint32 volumeAttenuation(qint32 volume);
// The linear gain of an attenuation in hundredths of a decibel.
double attenuationGain(qint32 attenuation);

// Registers the program's own elements and starts GStreamer; safe to call often.
void initMediaGraph();

// The one media graph through which a file plays: a GstPipeline named
// "Filtergraph", reused for every file. The operations take and give media
// time, wait a bounded time for state changes and seeks, and report the
// pipeline's bus messages on the user-interface thread.
//
// Threads: play, pause, stop, the rates, the clock and seeks run on the
// user-interface thread. Adding, removing and connecting elements may also run
// on the build thread; GStreamer serialises those itself.
class TGrapheMan : public TQXActionComponent {
    Q_OBJECT
public:
    explicit TGrapheMan(QObject* owner = nullptr);
    ~TGrapheMan() override;

    GstElement* Graph() const { return FGraph; }

    // Adds the element under the name; a name already taken answers
    // VFW_S_DUPLICATE_NAME and adds nothing. The graph takes its own reference.
    HRESULT AddFilter(GstElement* filter, const QString& name);
    // Brings the element to the null state and takes it out of the graph.
    HRESULT RemoveFilter(GstElement* filter);
    // Links the two pads as they are, with no caps imposed.
    HRESULT ConnectDirect(GstPad* output, GstPad* input);
    // Unlinks a pad from its peer; S_FALSE when it had none.
    static HRESULT Disconnect(GstPad* pad);
    // Unlinks every pad of every element of the graph.
    void DisconnectFilters();
    // Takes every element out of the graph.
    void RemoveAllFilters();
    // The graph's elements; the caller owns the references.
    QList<GstElement*> filters() const;
    // Pin n of an element: its sink pads first, then its source pads, in the
    // element's order; none past the last. The caller owns the reference.
    static GstPad* pin(GstElement* filter, int n);
    // The first unlinked source pad of the element whose caps are of the major
    // type "vids" (video) or "auds" (audio); none when there is none.
    static GstPad* FindPin(GstElement* filter, const QString& majorType);

    virtual bool play();
    virtual bool pause();
    virtual bool stop();
    virtual void VitesseNormale();
    virtual void VitesseRapide();
    virtual void abort();

    // Waits up to 60 rounds of a 40 ms state query and a 10 ms sleep while a
    // state change is pending.
    void CompleteState();
    // Waits, with the same rounds up to 20 times, until a flushing seek has
    // settled, so that a position read next is the one sought.
    void CompleteSeek();

    // The pipeline's current state; gmStopped below paused.
    TGrapheManState state() const;
    // No state change is pending: a seek made before has shown its picture.
    bool settled() const;

    // Media time. Each answers false when the pipeline cannot say.
    bool getCurrentPosition(qint64& position) const;
    bool getDuration(qint64& duration) const;
    // A flushing, frame-accurate seek to an absolute position; the stop
    // position stays open.
    bool setPositionAbsolute(qint64 position);

    // Drops the reference clock, so the sinks present samples as they come,
    // or gives the pipeline its default clock back.
    bool removeClock();
    bool restoreClock();

    // The volume 0..10000 sent to the audio renderer in the graph (its
    // stream-volume element), stored whether or not one is there.
    qint32 volume() const { return FVolume; }
    void setVolume(qint32 value);

    bool hasVitesseRapide() const { return FhasVitesseRapide; }
    bool Aborted() const { return FAbort; }
    void clearAbort() { FAbort = false; }

    // Bumped by every teardown: bus messages posted before it are dropped.
    quint32 generation() const { return FGeneration.load(); }
    void nextGeneration() { ++FGeneration; }

    std::function<void(TGrapheManState)> OnStateChange;
    std::function<void(bool)> OnVitesseRapide;
    // A bus message of the current generation, on the user-interface thread.
    std::function<void(GstMessage*)> OnBusMessage;

    qintptr windowProc(uint msg, qintptr wParam, qintptr lParam) override;

private:
    bool setRate(double rate);
    HRESULT waitState(GstClockTime timeout) const;
    void fireState(TGrapheManState state);
    static GstBusSyncReply busSync(GstBus* bus, GstMessage* message, gpointer self);

    GstElement* FGraph = nullptr;
    QObject* FBusTarget = nullptr;
    // The rate of the pipeline's current segment.
    double FRate = 1.0;
    bool FhasVitesseRapide = false;
    bool FAbort = false;
    qint32 FVolume = 10000;
    std::atomic<quint32> FGeneration{0};
};
