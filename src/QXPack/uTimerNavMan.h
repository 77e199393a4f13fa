#pragma once

#include "uDVMan.h"

#include "uFrameStepper.h"
#include "uNavBar.h"

#include <QLineEdit>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QSlider>
#include <QString>

#include <functional>
#include <optional>

class QTimer;
class QToolButton;
class TCheckAction;
class TCustomAbstractAction;
class TIntegerAction;
class TNopeAction;
class TStringAction;

// The position text "h:mm:ss:ff" of a position with a time per frame, both in
// 100 ns units. A time per frame of 0 or less counts as 10 000. The frame field
// is rounded to the nearest frame (ties to even); a position less than half a
// frame before the next second shows that second. Negative positions carry a
// leading "-".
QString positionText(qint64 position, qint64 timePerFrame);

// Reads a position text by fixed places counted from its end: frames are the
// last two characters, seconds the two before the separator before them,
// minutes the two before that, hours all that comes before. A field lying
// (partly) before the text's start keeps what lies inside it, so "12" is 12
// frames; an empty or non-integer field counts as 0. False, with position
// untouched, when the total seconds would not fit in 32 bits or the result in
// 64 bits; the check is made before any product is formed.
bool parsePositionText(const QString& text, qint64 timePerFrame, qint64& position);

// The navigation manager: turns play, pause and the stepping commands into
// seeks on the playback graph, keeps the playable range and the time per frame
// of the current file, and keeps the position edit box, the slider and the
// duration label of its navigation bar up to date while a video plays.
//
// Everything here runs on the user-interface thread, init included: it writes
// the duration label and the slider.
class TTimerNavman : public TDVMan {
    Q_OBJECT
public:
    explicit TTimerNavman(QObject* owner = nullptr);
    ~TTimerNavman() override;

    // Resets the manager for a newly built graph: duration from the graph, start
    // 0, time per frame 1, the next refresh redraws. Ends a suspension.
    void init();

    // While a new file is being built, navigation commands, refresh ticks and
    // time-per-frame messages do nothing; init turns navigation back on. The
    // play command keeps its checked state but leaves the graph alone, so the
    // play state can be restored once the new file is ready.
    void setNavigationEnabled(bool enabled);
    bool navigationEnabled() const { return FNavigationEnabled; }

    // Absolute seek, clamped to the playable range; always leaves the graph
    // paused. A request made while a seek runs is dropped.
    void setposition(qint64 aposition, bool fWait);

    // Frame steps in a paused graph show their picture without a new seek when
    // they can (see TFrameStepper); the position and the picture are those the
    // seek would give. On by default; off, every step seeks.
    bool fastSteps() const { return FFastSteps; }
    void setFastSteps(bool on) { FFastSteps = on; }
    TFrameStepper& frameSteps() { return FSteps; }

    // A graph that shows a picture of a frame step but stands elsewhere is
    // first sought to the picture shown.
    bool play() override;
    bool pause() override;
    bool stop() override;
    // The graph's position, 0 when it cannot say; refreshes the displays.
    qint64 getposition();

    qint64 timeperframe() const { return FTimePerFrame; }
    // 0 or less is ignored; sets the range end, the duration text and the slider's maximum.
    void setTimeperframe(qint64 value);
    qint64 duration() const { return FDuration; }
    qint64 Debut() const { return FDebut; }
    qint64 Fin() const { return FFin; }

    QString Strposition();
    // False, and nothing sought, when the text's hours overflow.
    bool setStrposition(const QString& text);
    qint64 MilliPosition();
    void setMilliPosition(qint64 value);
    // Seeks to k / 1024 of the duration.
    void setKposition(qint32 pos);

    void avanceFrame();
    void avance10Frames();
    void avanceSeconde();
    void avance10Secondes();
    void avanceMinute();
    void avance10Minutes();
    void reculeFrame();
    void recule10Frames();
    void reculeSeconde();
    void recule10Secondes();
    void reculeMinute();
    void recule10Minutes();
    void reculeDebut();
    void avanceFin();
    // No scene list is ever attached: the scene commands go to the ends.
    void reculeScene();
    void avanceScene();

    // Shows the current frame again when the graph is not playing.
    void step();
    void stepmove();
    // Would open the stop position; every seek here already leaves it open.
    void destopper();

    // Compatible speed (no reference clock: samples are shown as soon as they
    // are decoded) and normal speed. The position is kept.
    void vitesseMaxi();
    void vitesseNormale();

    bool PositionEditInputActif() const { return FPositionEditInputActif; }
    void setPositionEditInputActif(bool on) { FPositionEditInputActif = on; }
    bool PositionEditoutputActif() const { return FPositionEditOutputActif; }
    void setPositionEditoutputActif(bool on) { FPositionEditOutputActif = on; }
    bool SliderActif() const { return FSliderActif; }

    // The bar's buttons get their actions, its edit box and slider become the
    // manager's. Null detaches. A destroyed bar, edit box or slider detaches itself.
    TNavBar* NavBar() const { return FNavBar; }
    void setNavBar(TNavBar* bar);
    QLineEdit* PositionEdit() const { return FPositionEdit; }
    void setPositionEdit(QLineEdit* edit);
    QSlider* Slider() const { return FSlider; }
    void setSlider(QSlider* slider);

    // The 40 ms refresh while playing.
    bool timerEnabled() const;
    void setTimerEnabled(bool on);

    std::function<void(qint64 position)> onAbsolutePosition;
    std::function<void(qint32 pos)> OnKPosition;
    std::function<void(const QString& atimeStr)> OnDisplayTime;
    std::function<void(const QString& aDurationStr)> OnDuration;
    std::function<void()> OnDisplaySeek;
    std::function<void()> OnDisplayNormal;
    std::function<void(bool isVitesseMaxi)> OnVitesse;

    qintptr windowProc(uint msg, qintptr wParam, qintptr lParam) override;

    void createActions() override;
    void initActions() override;
    void connectActions() override;

    // The time-per-frame message of the video notifier: wParam in 100 ns.
    static constexpr uint kTimePerFrameMessage = 9249;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    TCheckAction* crPlay = nullptr;
    TNopeAction* nrReculeDebut = nullptr;
    TNopeAction* nrReculeScene = nullptr;
    TNopeAction* nrReculeTrack = nullptr;
    TNopeAction* nrRecule10Minutes = nullptr;
    TNopeAction* nrReculeMinute = nullptr;
    TNopeAction* nrReculeHigh = nullptr;
    TNopeAction* nrRecule10Secondes = nullptr;
    TNopeAction* nrReculeSeconde = nullptr;
    TNopeAction* nrReculeMedium = nullptr;
    TNopeAction* nrRecule10Frames = nullptr;
    TNopeAction* nrReculeFrame = nullptr;
    TNopeAction* nrReculeLow = nullptr;
    TNopeAction* nrAvanceFin = nullptr;
    TNopeAction* nrAvanceScene = nullptr;
    TNopeAction* nrAvanceTrack = nullptr;
    TNopeAction* nrAvance10Minutes = nullptr;
    TNopeAction* nrAvanceMinute = nullptr;
    TNopeAction* nrAvanceHigh = nullptr;
    TNopeAction* nrAvance10Secondes = nullptr;
    TNopeAction* nrAvanceSeconde = nullptr;
    TNopeAction* nrAvanceMedium = nullptr;
    TNopeAction* nrAvance10Frames = nullptr;
    TNopeAction* nrAvanceFrame = nullptr;
    TNopeAction* nrAvanceLow = nullptr;
    TCheckAction* crVitesseCompatible = nullptr;
    TCheckAction* crSeekPrecision = nullptr;
    TIntegerAction* irSeekPrepos = nullptr;
    TStringAction* wrStrPosition = nullptr;

private:
    void avance(qint64 d, bool frames = false);
    void recule(qint64 d, bool frames = false);
    void seek(qint64 aposition, bool fWait, bool frameStep);
    void changeSpeed(bool maxi);
    void reselectClock();
    void displaySeek(bool seeking);
    void tick();
    void wireNavBar();
    void unwireNavBar();
    void showOnButton(QToolButton* button, TCustomAbstractAction* shown, TNopeAction* plain, TNopeAction* shifted);
    void applyShiftVariant(TNopeAction* plain, TNopeAction* shifted);
    void sliderMoved();
    void focusNext(QLineEdit* edit);

    qint64 FDebut = 0;
    qint64 FFin = 2147483647;
    qint64 FDuration = 0;
    bool FNavigating = false;
    bool FSeeking = false;
    qint64 FTimePerFrame = 0;
    bool FNavigationEnabled = true;
    bool FFastSteps = true;
    TFrameStepper FSteps;
    // The position of the picture a fast frame step showed, while the graph
    // itself stands elsewhere.
    std::optional<qint64> FShownPosition;

    QPointer<QLineEdit> FPositionEdit;
    QPointer<QSlider> FSlider;
    QPointer<TNavBar> FNavBar;
    QString FLastTimestampStr;
    QTimer* FTimer = nullptr;
    bool FPositionEditOutputActif = false;
    bool FPositionEditInputActif = true;
    bool FSliderActif = false;

    QList<QMetaObject::Connection> FEditLinks;
    QList<QMetaObject::Connection> FSliderLinks;
    QList<QMetaObject::Connection> FBarLinks;
};
