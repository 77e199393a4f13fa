#pragma once

#include "uScriptAction.h"
#include "uWndComponent.h"

#include <QMutex>
#include <QPointer>

#include <gst/gst.h>

class TDecoderMan;
class TGrapheMan;
class TOrvanePreferences;
#include "uTextGauges.h"

// The renderer "QX Audio Renderer": a bin whose sink pad (pin 0) takes any raw
// audio, converts and resamples it, passes it through the volume element the
// graph sets, and plays it on the desktop's audio output, or on a fake sink
// that keeps the clock's pace where there is no device.
class TQXAudioRenderer {
public:
    TQXAudioRenderer();
    ~TQXAudioRenderer();
    TQXAudioRenderer(const TQXAudioRenderer&) = delete;
    TQXAudioRenderer& operator=(const TQXAudioRenderer&) = delete;

    GstElement* element() const { return FBin; }
    GstElement* volumeElement() const { return FVolume; }

private:
    GstElement* FBin = nullptr;
    GstElement* FVolume = nullptr;
};

// The audio output of the player: the audio renderer the graph build connects
// to, the volume on 0..10000 with the mute state, the volume gauge, and the
// preferred audio decoders kept in the preferences.
//
// Threads: setGrapheMan and FilterGraph may be set from the build thread and
// touch no widget; everything else runs on the user-interface thread.
class TAudioMan : public TQXActionComponent {
    Q_OBJECT
public:
    // The audio description posted by the audio notifier.
    static constexpr uint WM_AUDIODESCRIPTION = 9220;

    explicit TAudioMan(QObject* owner = nullptr);
    ~TAudioMan() override;

    // The stored volume, taken back from the graph first when not muted.
    qint32 Volume();
    void setVolume(qint32 value);
    bool Mute() const { return FMute; }
    void setMute(bool value);
    void IncVolume();
    void DecVolume();
    void applyVolume();

    TGrapheMan* grapheMan() const;
    void setGrapheMan(TGrapheMan* graph);
    TGrapheMan* FilterGraph() const;
    void setFilterGraph(TGrapheMan* graph);

    TTextGauge* AudioGauge() const { return FGauge; }
    void setAudioGauge(TTextGauge* gauge);

    TQXAudioRenderer& renderer() { return FRenderer; }
    TDecoderMan* decoderMan() const { return FDecoderMan; }

    // The manager's actions, then the preferred audio decoders in "AudioDecoders".
    bool LoadFromPrefs(TOrvanePreferences& prefs);
    bool SaveToPrefs(TOrvanePreferences& prefs);

    qintptr windowProc(uint msg, qintptr wParam, qintptr lParam) override;
    void createActions() override;
    void initActions() override;
    void connectActions() override;

    TCheckAction* caMute = nullptr;
    TNopeAction* naNextDecoderAudio = nullptr;
    TNopeAction* naIncVolume = nullptr;
    TNopeAction* naDecVolume = nullptr;
    TIntegerAction* iaVolume = nullptr;

private:
    TQXAudioRenderer FRenderer;
    TDecoderMan* FDecoderMan = nullptr;
    mutable QMutex FGraphLock;
    TGrapheMan* FGrapheMan = nullptr;
    TGrapheMan* FFilterGraph = nullptr;
    QMetaObject::Connection FGrapheManWatch;
    QMetaObject::Connection FFilterGraphWatch;
    QPointer<TTextGauge> FGauge;
    qint32 FVolume = 5000;
    bool FMute = false;
};
