#include "uTimerNavMan.h"

#include "uNavBar.h"
#include "uScriptAction.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <iterator>
#include <limits>

namespace {

constexpr int kRefreshMs = 40;
constexpr qint64 kFrameUnitsWhenUnknown = 10000;
constexpr qint64 kSliderScale = 1024;
const QColor kSeekingText(0xC0, 0xC0, 0xC0);

// Positions in the displays are 32-bit; a longer video pins them at the end.
int toInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

qint64 saturatedAdd(qint64 a, qint64 b)
{
    qint64 sum;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

qint64 saturatedMul(qint64 a, qint64 b)
{
    qint64 product;
    if (!__builtin_mul_overflow(a, b, &product))
        return product;
    return (a < 0) == (b < 0) ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

// The images of the navigation list, by index: 0 forward frame, 1 forward
// second, 2 forward minute, 3 end, 4 back frame, 5 back minute, 6 back second,
// 7 start, 8 pause, 9 play.
QIcon navigationImage(int index)
{
    static constexpr QStyle::StandardPixmap images[] = {
        QStyle::SP_ArrowRight,       QStyle::SP_ArrowForward,       QStyle::SP_MediaSeekForward, QStyle::SP_MediaSkipForward,
        QStyle::SP_ArrowLeft,        QStyle::SP_MediaSeekBackward, QStyle::SP_ArrowBack,        QStyle::SP_MediaSkipBackward,
        QStyle::SP_MediaPause,       QStyle::SP_MediaPlay};
    if (index < 0 || index >= static_cast<int>(std::size(images)) || !qobject_cast<QApplication*>(qApp))
        return {};
    return QApplication::style()->standardIcon(images[index]);
}

// The image a check action shows in its present state.
int shownImage(const TCheckAction* action)
{
    return action->Checked() ? action->TrueImageIndex() : action->FalseImageIndex();
}

// Hints break their lines with CR LF; a tool tip wants one line feed.
QString tipText(const QString& hint)
{
    QString text = hint;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// What assistive tools say for a button: its caption, or the first line of its
// hint when it shows no caption.
QString spokenName(const QAction* action)
{
    return action->text().isEmpty() ? action->toolTip().section(QStringLiteral("\r\n"), 0, 0) : action->text();
}

bool shiftHeld()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

enum class TField { tfNumber, tfNotNumber, tfTooLarge };

// A field of the position text: an optional sign and decimal digits, nothing else.
TField readField(QStringView text, qint64& value)
{
    constexpr qint64 kLargest = 1000000000000000; // far beyond any 32-bit count of seconds
    value = 0;
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == QLatin1Char('-');
    if (!text.isEmpty() && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')))
        ++i;
    if (i == text.size())
        return TField::tfNotNumber;
    bool tooLarge = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            value = 0; // the digits before another character are no value
            return TField::tfNotNumber;
        }
        if (!tooLarge)
            value = value * 10 + (c - u'0');
        tooLarge = tooLarge || value > kLargest;
    }
    if (tooLarge)
        return TField::tfTooLarge;
    if (negative)
        value = -value;
    return TField::tfNumber;
}

// The characters of positions from .. from + count - 1 (1-based) that lie in the text.
QStringView clippedField(const QString& text, qsizetype from, qsizetype count)
{
    const qsizetype first = std::max<qsizetype>(from, 1);
    const qsizetype last = std::min(from + count - 1, text.size());
    if (last < first)
        return {};
    return QStringView(text).mid(first - 1, last - first + 1);
}

// Clears a flag when the scope ends, also when a callback inside throws.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

} // namespace

QString positionText(qint64 position, qint64 timePerFrame)
{
    const quint64 tpf = static_cast<quint64>(timePerFrame > 0 ? timePerFrame : kFrameUnitsWhenUnknown);
    const bool negative = position < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(position) : static_cast<quint64>(position);
    const quint64 second = static_cast<quint64>(kUnitsPerSecond);
    quint64 s = magnitude / second;
    quint64 r = magnitude % second;
    if (second - r < tpf / 2) {
        ++s;
        r = 0;
    }
    quint64 ff = r / tpf;
    const quint64 rest = r % tpf;
    if (rest > tpf - rest || (rest == tpf - rest && (ff & 1) != 0))
        ++ff;
    return QString::asprintf("%s%llu:%02llu:%02llu:%02llu", negative ? "-" : "", static_cast<unsigned long long>(s / 3600),
                             static_cast<unsigned long long>((s / 60) % 60), static_cast<unsigned long long>(s % 60),
                             static_cast<unsigned long long>(ff));
}

bool parsePositionText(const QString& text, qint64 timePerFrame, qint64& position)
{
    const qsizetype n = text.size();
    const QStringView fields[] = {clippedField(text, 1, n - 9), clippedField(text, n - 7, 2),
                                  clippedField(text, n - 4, 2), clippedField(text, n - 1, 2)};
    qint64 values[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (readField(fields[i], values[i]) == TField::tfTooLarge)
            return false;
    }
    // Every field is bounded far below the 64-bit range here, so this sum cannot
    // overflow; the 32-bit limit on seconds is what is checked.
    const qint64 seconds = values[0] * 3600 + values[1] * 60 + values[2];
    if (seconds > std::numeric_limits<qint32>::max() || seconds < std::numeric_limits<qint32>::min())
        return false;
    qint64 frames;
    qint64 result;
    if (__builtin_mul_overflow(values[3], timePerFrame, &frames)
        || __builtin_add_overflow(seconds * kUnitsPerSecond, frames, &result))
        return false;
    position = result;
    return true;
}

// ---------------------------------------------------------------------------

TTimerNavman::TTimerNavman(QObject* owner) : TDVMan(owner), FTimer(new QTimer(this))
{
    FTimer->setInterval(kRefreshMs);
    connect(FTimer, &QTimer::timeout, this, &TTimerNavman::tick);
    initialize();
}

TTimerNavman::~TTimerNavman()
{
    FTimer->stop();
    unwireNavBar();
    setPositionEdit(nullptr);
    setSlider(nullptr);
}

void TTimerNavman::createActions()
{
    crPlay = new TCheckAction(QStringLiteral("caPlay"), this);
    nrReculeDebut = new TNopeAction(QStringLiteral("naReculeDebut"), this);
    nrReculeScene = new TNopeAction(QStringLiteral("naReculeScene"), this);
    nrReculeTrack = new TNopeAction(QStringLiteral("naReculeTrack"), this);
    nrRecule10Minutes = new TNopeAction(QStringLiteral("naRecule10Minutes"), this);
    nrReculeMinute = new TNopeAction(QStringLiteral("naReculeMinute"), this);
    nrReculeHigh = new TNopeAction(QStringLiteral("naReculeHigh"), this);
    nrRecule10Secondes = new TNopeAction(QStringLiteral("naRecule10Secondes"), this);
    nrReculeSeconde = new TNopeAction(QStringLiteral("naReculeSeconde"), this);
    nrReculeMedium = new TNopeAction(QStringLiteral("naReculeMedium"), this);
    nrRecule10Frames = new TNopeAction(QStringLiteral("naRecule10Frames"), this);
    nrReculeFrame = new TNopeAction(QStringLiteral("naReculeFrame"), this);
    nrReculeLow = new TNopeAction(QStringLiteral("naReculeLow"), this);
    nrAvanceFin = new TNopeAction(QStringLiteral("naAvanceFin"), this);
    nrAvanceScene = new TNopeAction(QStringLiteral("naAvanceScene"), this);
    nrAvanceTrack = new TNopeAction(QStringLiteral("naAvanceTrack"), this);
    nrAvance10Minutes = new TNopeAction(QStringLiteral("naAvance10Minutes"), this);
    nrAvanceMinute = new TNopeAction(QStringLiteral("naAvanceMinute"), this);
    nrAvanceHigh = new TNopeAction(QStringLiteral("naAvanceHigh"), this);
    nrAvance10Secondes = new TNopeAction(QStringLiteral("naAvance10Secondes"), this);
    nrAvanceSeconde = new TNopeAction(QStringLiteral("naAvanceSeconde"), this);
    nrAvanceMedium = new TNopeAction(QStringLiteral("naAvanceMedium"), this);
    nrAvance10Frames = new TNopeAction(QStringLiteral("naAvance10Frames"), this);
    nrAvanceFrame = new TNopeAction(QStringLiteral("naAvanceFrame"), this);
    nrAvanceLow = new TNopeAction(QStringLiteral("naAvanceLow"), this);
    crVitesseCompatible = new TCheckAction(QStringLiteral("caVitesseCompatible"), this);
    crSeekPrecision = new TCheckAction(QStringLiteral("caSeekPrecision"), this);
    irSeekPrepos = new TIntegerAction(QStringLiteral("iaSeekPrepos"), this);
    wrStrPosition = new TStringAction(QStringLiteral("waStrPosition"), this);
}

void TTimerNavman::initActions()
{
    const auto ctrl = [](Qt::Key key) { return QKeySequence(QKeyCombination(Qt::ControlModifier, key)); };
    const auto ctrlShift = [](Qt::Key key) {
        return QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, key));
    };
    const struct {
        TNopeAction* action;
        QKeySequence key;
        const char* caption;
        const char* hint;
        int image;
    } commands[] = {
        {nrReculeDebut, ctrlShift(Qt::Key_Home), "Début", "Reculer au début", 7},
        {nrReculeScene, ctrl(Qt::Key_Home), "", "Reculer à la scène précédente", 7},
        {nrReculeTrack, ctrl(Qt::Key_Home), "", "Reculer à la scène précédente\r\nou tenez Shift pour Reculer au Début", 7},
        {nrRecule10Minutes, ctrlShift(Qt::Key_PageDown), "", "Reculer de dix minutes", -1},
        {nrReculeMinute, ctrl(Qt::Key_PageDown), "", "Reculer d'une minute", 5},
        {nrReculeHigh, {}, "", "Reculer d'une minute\r\nou tenez Shift pour Reculer de 10 minutes", 5},
        {nrRecule10Secondes, ctrlShift(Qt::Key_Down), "", "Reculer de dix secondes", -1},
        {nrReculeSeconde, ctrl(Qt::Key_Down), "", "Reculer d'une seconde", 6},
        {nrReculeMedium, {}, "", "Reculer d'une seconde\r\nou tenez Shift pour Reculer de 10 secondes", 6},
        {nrRecule10Frames, ctrlShift(Qt::Key_Left), "", "Reculer de dix frames", -1},
        {nrReculeFrame, ctrl(Qt::Key_Left), "", "Reculer d'une frame", 4},
        {nrReculeLow, {}, "", "Reculer d'une frame\r\nou tenez Shift pour Reculer de 10 frames", 4},
        {nrAvanceFin, ctrlShift(Qt::Key_End), "Fin", "Cliquez pour aller à la fin", 3},
        {nrAvanceScene, ctrl(Qt::Key_End), "Scène suivante", "Cliquez pour avancer à la Scène suivante", 3},
        {nrAvanceTrack, ctrl(Qt::Key_End), "Scène suivante",
         "Cliquez pour avancer à la Scène suivante.\r\nSi vous pressez Shift vous avancerez à la Fin", 3},
        {nrAvance10Minutes, ctrlShift(Qt::Key_PageUp), "Avancer de 10 minutes", "Cliquez pour avancer de 10 minutes",
         -1},
        {nrAvanceMinute, ctrl(Qt::Key_PageUp), "Avancer d'une minute", "Cliquez pour avancer d'une minute", 2},
        {nrAvanceHigh, {}, "Avancer d'une ou 10 minutes",
         "Cliquez pour avancer d'une minute.\r\nSi vous pressez Shift vous avancerez de 10 minutes", 2},
        {nrAvance10Secondes, ctrlShift(Qt::Key_Up), "Avancer de 10 secondes", "Cliquez pour avancer de 10 secondes",
         -1},
        {nrAvanceSeconde, ctrl(Qt::Key_Up), "Avancer d'une seconde", "Cliquez pour avancer d'une seconde", 1},
        {nrAvanceMedium, {}, "Avancer d'une ou 10 secondes",
         "Cliquez pour avancer d'une seconde.\r\nSi vous pressez Shift vous avancerez de 10 secondes", 1},
        {nrAvance10Frames, ctrlShift(Qt::Key_Right), "Avancer de 10 frames", "Cliquez pour avancer de 10 frames", -1},
        {nrAvanceFrame, ctrl(Qt::Key_Right), "Avancer d'une frame", "Cliquez pour avancer d'une frame", 0},
        {nrAvanceLow, {}, "Avancer d'une ou 10 frames",
         "Cliquez pour avancer d'une frame.\r\nSi vous pressez Shift vous avancerez de 10 frames", 0},
    };
    for (const auto& command : commands) {
        command.action->setShortCut(command.key);
        command.action->setCaption(QString::fromUtf8(command.caption));
        command.action->setHint(QString::fromUtf8(command.hint));
        command.action->ImageIndex = command.image;
        command.action->setIcon(navigationImage(command.image));
    }

    const struct {
        TCheckAction* action;
        QKeySequence key;
        const char* trueCaption;
        const char* falseCaption;
        const char* trueHint;
        const char* falseHint;
        int trueImage;
        int falseImage;
        bool applyWhenLoad;
    } checks[] = {
        {crPlay, ctrl(Qt::Key_Space), "Pause", "Play", "Mettre en pause", "Jouer le flux vidéo et/ou audio", 8, 9,
         false},
        {crVitesseCompatible, ctrl(Qt::Key_B), "Vitesse Compatible", "Vitesse Normale",
         "Jouer la vidéo à la plus grande vitesse compatible avec les ressources du CPU",
         "Jouer la vidéo à la vitesse normale", -1, -1, true},
        {crSeekPrecision, {}, "Normal navigation", "Precise Navigation", "Click to remove precise navigation",
         "Click to activate precise navigation", -1, -1, true},
    };
    for (const auto& check : checks) {
        check.action->setShortCut(check.key);
        check.action->setTrueCaption(QString::fromUtf8(check.trueCaption));
        check.action->setFalseCaption(QString::fromUtf8(check.falseCaption));
        check.action->setTrueHint(QString::fromUtf8(check.trueHint));
        check.action->setFalseHint(QString::fromUtf8(check.falseHint));
        check.action->setTrueImageIndex(check.trueImage);
        check.action->setFalseImageIndex(check.falseImage);
        check.action->setDefaultValue(false);
        check.action->setIcon(navigationImage(shownImage(check.action)));
        check.action->ApplyWhenLoad = check.applyWhenLoad;
    }
    // The play image follows the state: pause while playing, play otherwise.
    connect(crPlay, &QAction::changed, this, [this, iconImage = shownImage(crPlay)]() mutable {
        const int image = shownImage(crPlay);
        if (image == iconImage)
            return;
        iconImage = image;
        crPlay->setIcon(navigationImage(image));
    });

    irSeekPrepos->setCaption(QStringLiteral("SeekPrepos"));
    irSeekPrepos->DefaultValue = 1000;
    irSeekPrepos->Value = 1000;
    irSeekPrepos->ApplyWhenLoad = true;

    wrStrPosition->setScriptName(QStringLiteral("Position"));
    wrStrPosition->setCaption(QStringLiteral("StrPosition"));
    wrStrPosition->setHint(QStringLiteral("Select the position in hh:mm:ss:ff and type Enter"));
    wrStrPosition->DefaultValue = QStringLiteral("0:00:00:00");
    wrStrPosition->Value = wrStrPosition->DefaultValue;
}

void TTimerNavman::connectActions()
{
    crPlay->internalTrueApply = [this] {
        setTimerEnabled(true);
        if (FNavigationEnabled)
            play();
    };
    crPlay->internalFalseApply = [this] {
        if (FNavigationEnabled)
            pause();
        setTimerEnabled(false);
        // The last tick may be a frame behind where the pause stopped.
        if (FNavigationEnabled)
            getposition();
    };

    const struct {
        TNopeAction* action;
        void (TTimerNavman::*move)();
    } moves[] = {
        {nrReculeDebut, &TTimerNavman::reculeDebut},
        {nrReculeScene, &TTimerNavman::reculeScene},
        {nrRecule10Minutes, &TTimerNavman::recule10Minutes},
        {nrReculeMinute, &TTimerNavman::reculeMinute},
        {nrRecule10Secondes, &TTimerNavman::recule10Secondes},
        {nrReculeSeconde, &TTimerNavman::reculeSeconde},
        {nrRecule10Frames, &TTimerNavman::recule10Frames},
        {nrReculeFrame, &TTimerNavman::reculeFrame},
        {nrAvanceFin, &TTimerNavman::avanceFin},
        {nrAvanceScene, &TTimerNavman::avanceScene},
        {nrAvance10Minutes, &TTimerNavman::avance10Minutes},
        {nrAvanceMinute, &TTimerNavman::avanceMinute},
        {nrAvance10Secondes, &TTimerNavman::avance10Secondes},
        {nrAvanceSeconde, &TTimerNavman::avanceSeconde},
        {nrAvance10Frames, &TTimerNavman::avance10Frames},
        {nrAvanceFrame, &TTimerNavman::avanceFrame},
    };
    for (const auto& m : moves)
        m.action->internalApply = [this, move = m.move] { (this->*move)(); };

    // The combined commands look at Shift when they run.
    const struct {
        TNopeAction* action;
        void (TTimerNavman::*plain)();
        void (TTimerNavman::*shifted)();
    } combined[] = {
        {nrReculeTrack, &TTimerNavman::reculeScene, &TTimerNavman::reculeDebut},
        {nrReculeHigh, &TTimerNavman::reculeMinute, &TTimerNavman::recule10Minutes},
        {nrReculeMedium, &TTimerNavman::reculeSeconde, &TTimerNavman::recule10Secondes},
        {nrReculeLow, &TTimerNavman::reculeFrame, &TTimerNavman::recule10Frames},
        {nrAvanceTrack, &TTimerNavman::avanceScene, &TTimerNavman::avanceFin},
        {nrAvanceHigh, &TTimerNavman::avanceMinute, &TTimerNavman::avance10Minutes},
        {nrAvanceMedium, &TTimerNavman::avanceSeconde, &TTimerNavman::avance10Secondes},
        {nrAvanceLow, &TTimerNavman::avanceFrame, &TTimerNavman::avance10Frames},
    };
    for (const auto& c : combined)
        c.action->internalApply = [this, plain = c.plain, shifted = c.shifted] {
            (this->*(shiftHeld() ? shifted : plain))();
        };

    crVitesseCompatible->internalTrueApply = [this] { vitesseMaxi(); };
    crVitesseCompatible->internalFalseApply = [this] { vitesseNormale(); };
    wrStrPosition->internalApply = [this](const QString& text) { setStrposition(text); };
}

// ---------------------------------------------------------------------------

void TTimerNavman::init()
{
    qint64 length = 0;
    FDuration = getDuration(length) ? length : 0;
    FDebut = 0;
    FNavigationEnabled = true;
    setTimeperframe(1);
    FLastTimestampStr.clear();
    clearAbort();
    FSeeking = false;
    FNavigating = false;
    FShownPosition.reset();
    FSteps.sought(0);
}

void TTimerNavman::setNavigationEnabled(bool enabled)
{
    FNavigationEnabled = enabled;
}

void TTimerNavman::setTimeperframe(qint64 value)
{
    if (value <= 0)
        return;
    FTimePerFrame = value;
    FFin = FDuration - value;
    const QString text = positionText(FDuration, value);
    if (FNavBar)
        FNavBar->DureeLab->setText(text);
    if (OnDuration)
        OnDuration(text);
    if (FSlider)
        FSlider->setMaximum(toInt(FFin / kSliderScale));
}

qintptr TTimerNavman::windowProc(uint msg, qintptr wParam, qintptr lParam)
{
    if (msg != kTimePerFrameMessage)
        return TDVMan::windowProc(msg, wParam, lParam);
    // A report from the graph being replaced says nothing about the next file.
    if (FNavigationEnabled)
        setTimeperframe(wParam);
    return 0;
}

void TTimerNavman::displaySeek(bool seeking)
{
    if (FPositionEdit) {
        QFont font = FPositionEdit->font();
        font.setItalic(seeking);
        FPositionEdit->setFont(font);
        QPalette colours = FPositionEdit->palette();
        colours.setColor(QPalette::Text, seeking ? kSeekingText : QColor(Qt::black));
        FPositionEdit->setPalette(colours);
    }
    const auto& signal = seeking ? OnDisplaySeek : OnDisplayNormal;
    if (signal)
        signal();
}

void TTimerNavman::setposition(qint64 aposition, bool fWait)
{
    seek(aposition, fWait, false);
}

void TTimerNavman::seek(qint64 aposition, bool fWait, bool frameStep)
{
    if (!FNavigationEnabled || FSeeking)
        return;
    {
        const TFlagScope seeking(FSeeking);
        displaySeek(true);
        const qint64 last = saturatedAdd(FFin, -FTimePerFrame);
        qint64 target = aposition;
        if (target >= last)
            target = last;
        if (target < FDebut)
            target = FDebut;
        try {
            const bool wasPaused = state() == gmPaused;
            pause();
            if (onAbsolutePosition)
                onAbsolutePosition(target);
            // A step goes on from the picture of the last seek: one still on
            // its way (a slow machine, a long group of pictures) is awaited,
            // and one that does not come in time is sought again.
            const bool fastStep = frameStep && FFastSteps && wasPaused;
            if (fastStep)
                CompleteSeek();
            if (fastStep && settled() && FSteps.show(target, FTimePerFrame)) {
                FShownPosition = target;
            } else {
                FShownPosition.reset();
                FSteps.seeking(target);
                if (setPositionAbsolute(target) && fWait)
                    CompleteSeek();
                FSteps.sought(target);
            }
        } catch (const std::exception&) {
            // A failed seek leaves the position where it was.
        }
        displaySeek(false);
    }
    getposition();
}

bool TTimerNavman::play()
{
    if (FNavigationEnabled && (FShownPosition || FSteps.needsSeekBeforePlay())) {
        qint64 position = 0;
        if (FShownPosition)
            position = *FShownPosition;
        else
            getCurrentPosition(position);
        FShownPosition.reset();
        if (setPositionAbsolute(position))
            CompleteSeek();
        FSteps.sought(position);
    }
    FSteps.setPlaying(true);
    return TDVMan::play();
}

bool TTimerNavman::pause()
{
    const bool paused = TDVMan::pause();
    FSteps.setPlaying(false);
    return paused;
}

bool TTimerNavman::stop()
{
    FShownPosition.reset();
    FSteps.seeking(0);
    return TDVMan::stop();
}

qint64 TTimerNavman::getposition()
{
    if (!FNavigationEnabled)
        return 0;
    qint64 position = 0;
    if (FShownPosition)
        position = *FShownPosition;
    else if (!getCurrentPosition(position))
        return 0;
    const QString text = positionText(position, FTimePerFrame);
    if (text == FLastTimestampStr)
        return position;
    FLastTimestampStr = text;
    if (FPositionEdit && FPositionEditOutputActif)
        FPositionEdit->setText(text);
    if (FSlider && FSliderActif)
        FSlider->setValue(toInt(position / kSliderScale));
    if (OnKPosition && FFin > FDebut)
        OnKPosition(toInt(static_cast<qint64>(static_cast<__int128>(position - FDebut) * kSliderScale / (FFin - FDebut))));
    if (OnDisplayTime)
        OnDisplayTime(text);
    return position;
}

void TTimerNavman::avance(qint64 d, bool frames)
{
    if (!FNavigationEnabled || FNavigating)
        return;
    const TFlagScope navigating(FNavigating);
    qint64 target = saturatedAdd(getposition(), d);
    if (target > FFin)
        target = FFin;
    if (target < FDebut)
        target = FDebut;
    seek(target, true, frames);
}

void TTimerNavman::recule(qint64 d, bool frames)
{
    if (!FNavigationEnabled || FNavigating)
        return;
    const TFlagScope navigating(FNavigating);
    qint64 target = saturatedAdd(getposition(), -d);
    if (target < FDebut)
        target = FDebut;
    seek(target, true, frames);
}

void TTimerNavman::avanceFrame() { avance(FTimePerFrame, true); }
void TTimerNavman::avance10Frames() { avance(saturatedMul(10, FTimePerFrame), true); }
void TTimerNavman::avanceSeconde() { avance(kUnitsPerSecond); }
void TTimerNavman::avance10Secondes() { avance(10 * kUnitsPerSecond); }
void TTimerNavman::avanceMinute() { avance(60 * kUnitsPerSecond); }
void TTimerNavman::avance10Minutes() { avance(600 * kUnitsPerSecond); }
void TTimerNavman::reculeFrame() { recule(FTimePerFrame, true); }
void TTimerNavman::recule10Frames() { recule(saturatedMul(10, FTimePerFrame), true); }
void TTimerNavman::reculeSeconde() { recule(kUnitsPerSecond); }
void TTimerNavman::recule10Secondes() { recule(10 * kUnitsPerSecond); }
void TTimerNavman::reculeMinute() { recule(60 * kUnitsPerSecond); }
void TTimerNavman::recule10Minutes() { recule(600 * kUnitsPerSecond); }

void TTimerNavman::reculeDebut()
{
    setposition(FDebut, true);
}

void TTimerNavman::avanceFin()
{
    setposition(saturatedAdd(FFin, -FTimePerFrame), true);
}

void TTimerNavman::reculeScene()
{
    reculeDebut();
}

void TTimerNavman::avanceScene()
{
    avanceFin();
}

void TTimerNavman::step()
{
    if (!FNavigationEnabled || state() == gmPlaying)
        return;
    avanceFrame();
    reculeFrame();
}

void TTimerNavman::stepmove()
{
    step();
}

void TTimerNavman::destopper()
{
    // Every seek of this manager already leaves the stop position open
    // (setPositionAbsolute), so there is nothing to reopen.
}

QString TTimerNavman::Strposition()
{
    return positionText(getposition(), FTimePerFrame);
}

bool TTimerNavman::setStrposition(const QString& text)
{
    qint64 position = 0;
    if (!parsePositionText(text, FTimePerFrame, position))
        return false;
    setposition(position, true);
    return true;
}

qint64 TTimerNavman::MilliPosition()
{
    return getposition() / 10000;
}

void TTimerNavman::setMilliPosition(qint64 value)
{
    setposition(saturatedMul(value, 10000), true);
}

void TTimerNavman::setKposition(qint32 pos)
{
    const auto share = static_cast<__int128>(pos) * FDuration / kSliderScale;
    setposition(saturatedAdd(FDebut, static_cast<qint64>(std::clamp<__int128>(share, std::numeric_limits<qint64>::min(),
                                                                              std::numeric_limits<qint64>::max()))),
                true);
}

void TTimerNavman::vitesseMaxi()
{
    changeSpeed(true);
}

void TTimerNavman::vitesseNormale()
{
    changeSpeed(false);
}

void TTimerNavman::changeSpeed(bool maxi)
{
    // A new clock is taken when the graph goes from paused to playing: a
    // playing graph pauses and runs again, one that is not playing takes it at
    // its next play. A stop would throw the position away, and running a
    // paused graph would move it.
    const bool playing = FNavigationEnabled && state() == gmPlaying;
    if (playing)
        pause();
    if (OnVitesse)
        OnVitesse(maxi);
    if (maxi)
        removeClock();
    else
        restoreClock();
    reselectClock();
    if (playing)
        play();
}

void TTimerNavman::reselectClock()
{
    // A graph paused without a clock keeps having none when it runs again:
    // reporting its clock lost from within makes the next run choose afresh.
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(Graph()));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstClock* current = gst_element_get_clock(Graph());
        gst_element_post_message(child, gst_message_new_clock_lost(GST_OBJECT(child), current));
        if (current)
            gst_object_unref(current);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

// ---------------------------------------------------------------------------

bool TTimerNavman::timerEnabled() const
{
    return FTimer->isActive();
}

void TTimerNavman::setTimerEnabled(bool on)
{
    if (on)
        FTimer->start();
    else
        FTimer->stop();
}

void TTimerNavman::tick()
{
    try {
        getposition();
    } catch (const std::exception&) {
        // A failed refresh waits for the next tick.
    }
}

// ---------------------------------------------------------------------------

void TTimerNavman::setNavBar(TNavBar* bar)
{
    if (FNavBar == bar)
        return;
    unwireNavBar();
    FNavBar = bar;
    if (bar)
        wireNavBar();
}

void TTimerNavman::wireNavBar()
{
    TNavBar* bar = FNavBar;
    const struct {
        QToolButton* button;
        TCustomAbstractAction* action;
    } plainButtons[] = {{bar->PlayBtn, crPlay}, {bar->ReculeTrackBtn, nrReculeDebut}, {bar->AvanceTrackBtn, nrAvanceFin}};
    for (const auto& b : plainButtons) {
        b.button->setDefaultAction(b.action);
        b.button->setAccessibleName(spokenName(b.action));
        FBarLinks << connect(b.action, &QAction::changed, b.button,
                             [button = b.button, action = b.action] { button->setAccessibleName(spokenName(action)); });
    }
    showOnButton(bar->ReculeHighBtn, nrReculeHigh, nrReculeMinute, nrRecule10Minutes);
    showOnButton(bar->ReculeMediumBtn, nrReculeMedium, nrReculeSeconde, nrRecule10Secondes);
    showOnButton(bar->ReculeLowBtn, nrReculeLow, nrReculeFrame, nrRecule10Frames);
    showOnButton(bar->AvanceLowBtn, nrAvanceLow, nrAvanceFrame, nrAvance10Frames);
    showOnButton(bar->AvanceMediumBtn, nrAvanceMedium, nrAvanceSeconde, nrAvance10Secondes);
    showOnButton(bar->AvanceHighBtn, nrAvanceHigh, nrAvanceMinute, nrAvance10Minutes);
    setPositionEdit(bar->CurrentEdit);
    setSlider(bar->tb);
    // A bar attached after the file was opened shows its duration at once.
    if (FTimePerFrame > 0)
        bar->DureeLab->setText(positionText(FDuration, FTimePerFrame));
}

void TTimerNavman::showOnButton(QToolButton* button, TCustomAbstractAction* shown, TNopeAction* plain,
                                TNopeAction* shifted)
{
    // The button shows one action, but a click applies one of two others, so it
    // must not trigger the action it shows.
    const auto show = [button, shown] {
        button->setText(shown->text());
        button->setToolTip(tipText(shown->toolTip()));
        button->setStatusTip(tipText(shown->statusTip()));
        button->setIcon(shown->icon());
        button->setEnabled(shown->isEnabled());
        button->setAccessibleName(spokenName(shown));
    };
    show();
    FBarLinks << connect(shown, &QAction::changed, button, show);
    FBarLinks << connect(button, &QToolButton::clicked, this,
                         [this, plain, shifted] { applyShiftVariant(plain, shifted); });
}

void TTimerNavman::applyShiftVariant(TNopeAction* plain, TNopeAction* shifted)
{
    (shiftHeld() ? shifted : plain)->trigger();
}

void TTimerNavman::unwireNavBar()
{
    for (const QMetaObject::Connection& link : std::as_const(FBarLinks))
        disconnect(link);
    FBarLinks.clear();
    TNavBar* bar = FNavBar;
    if (!bar)
        return;
    bar->PlayBtn->removeAction(crPlay);
    bar->ReculeTrackBtn->removeAction(nrReculeDebut);
    bar->AvanceTrackBtn->removeAction(nrAvanceFin);
    if (FPositionEdit == bar->CurrentEdit)
        setPositionEdit(nullptr);
    if (FSlider == bar->tb)
        setSlider(nullptr);
    FNavBar = nullptr;
}

void TTimerNavman::setPositionEdit(QLineEdit* edit)
{
    if (FPositionEdit)
        FPositionEdit->removeEventFilter(this);
    for (const QMetaObject::Connection& link : std::as_const(FEditLinks))
        disconnect(link);
    FEditLinks.clear();
    FPositionEdit = edit;
    FPositionEditInputActif = true;
    FPositionEditOutputActif = edit != nullptr;
    if (!edit)
        return;
    edit->installEventFilter(this);
    FEditLinks << connect(edit, &QObject::destroyed, this, [this] {
        FPositionEdit = nullptr;
        FPositionEditOutputActif = false;
    });
}

void TTimerNavman::setSlider(QSlider* slider)
{
    for (const QMetaObject::Connection& link : std::as_const(FSliderLinks))
        disconnect(link);
    FSliderLinks.clear();
    FSlider = slider;
    FSliderActif = slider != nullptr;
    if (!slider)
        return;
    slider->setMinimum(toInt(FDebut / kSliderScale));
    slider->setMaximum(toInt(FFin / kSliderScale));
    FSliderLinks << connect(slider, &QAbstractSlider::sliderPressed, this, [this] { FSliderActif = false; });
    FSliderLinks << connect(slider, &QAbstractSlider::sliderReleased, this, [this] {
        FSliderActif = true;
        sliderMoved();
    });
    // A step or a page from the keyboard, the wheel or a click beside the thumb
    // ends there; the value is taken once the slider has moved to it.
    FSliderLinks << connect(slider, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderNoAction && FSlider && !FSlider->isSliderDown())
            QMetaObject::invokeMethod(this, &TTimerNavman::sliderMoved, Qt::QueuedConnection);
    });
    FSliderLinks << connect(slider, &QObject::destroyed, this, [this] {
        FSlider = nullptr;
        FSliderActif = false;
    });
}

void TTimerNavman::sliderMoved()
{
    if (FSlider)
        setposition(static_cast<qint64>(FSlider->value()) * kSliderScale, true);
}

bool TTimerNavman::eventFilter(QObject* watched, QEvent* event)
{
    if (!FPositionEdit || watched != FPositionEdit)
        return TDVMan::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!FPositionEditInputActif || (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
            break;
        const QPointer<QLineEdit> edit = FPositionEdit;
        wrStrPosition->setValue(edit->text());
        // The focus moves on once the key is done with, as a dialog's next control would.
        QMetaObject::invokeMethod(
            this,
            [this, edit] {
                if (edit)
                    focusNext(edit);
            },
            Qt::QueuedConnection);
        return true;
    }
    case QEvent::FocusIn:
        FPositionEditOutputActif = false;
        setTimerEnabled(false);
        break;
    case QEvent::FocusOut:
        FPositionEditOutputActif = true;
        setTimerEnabled(true);
        // The box may still hold what was typed: show the position again at once.
        FLastTimestampStr.clear();
        getposition();
        break;
    default:
        break;
    }
    return TDVMan::eventFilter(watched, event);
}

void TTimerNavman::focusNext(QLineEdit* edit)
{
    for (QWidget* next = edit->nextInFocusChain(); next && next != edit; next = next->nextInFocusChain()) {
        if (next->window() == edit->window() && (next->focusPolicy() & Qt::TabFocus) && next->isEnabled()
            && next->isVisible()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    edit->clearFocus();
}
