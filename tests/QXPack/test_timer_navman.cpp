#include "MediaClips.h"
#include "uMacroRecorder.h"
#include "uNavBar.h"
#include "uScriptAction.h"
#include "uTimerNavMan.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <ostream>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

constexpr qint64 kTpf25 = 400000;
constexpr qint64 kSecond = 10000000;

// The file through decodebin into one clock-synchronised fakesink per stream,
// built in the manager's own graph and brought to its first frame.
bool openClip(TTimerNavman& nav, const QString& path, qint64 tpf = kTpf25)
{
    if (path.isEmpty())
        return false;
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    if (!source || !decode)
        return false;
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    if (nav.AddFilter(source, QStringLiteral("source")) != S_OK || nav.AddFilter(decode, QStringLiteral("decode")) != S_OK
        || !gst_element_link(source, decode))
        return false;
    g_signal_connect(decode, "pad-added", G_CALLBACK(+[](GstElement* element, GstPad* pad, gpointer) {
                         GstObject* graph = gst_element_get_parent(element);
                         GstElement* sink = gst_element_factory_make("fakesink", nullptr);
                         g_object_set(sink, "sync", TRUE, nullptr);
                         gst_bin_add(GST_BIN(graph), sink);
                         GstPad* input = gst_element_get_static_pad(sink, "sink");
                         gst_pad_link(pad, input);
                         gst_object_unref(input);
                         gst_element_sync_state_with_parent(sink);
                         gst_object_unref(graph);
                     }),
                     nullptr);
    if (!nav.pause())
        return false;
    nav.init();
    postMessage(nav.Handle(), TTimerNavman::kTimePerFrameMessage, tpf);
    QCoreApplication::processEvents();
    return nav.timeperframe() == tpf && nav.duration() > 0;
}

template <typename A>
A* action(TTimerNavman& nav, const char* name)
{
    return nav.recuperer<A>(QString::fromLatin1(name));
}

// A shown window around a navigation bar and one more control, so that focus can move.
struct TBarWindow {
    TBarWindow()
    {
        window.resize(500, 200);
        bar = new TNavBar(&window);
        after = new QLineEdit(&window);
        after->move(0, 150);
        window.show();
        QApplication::setActiveWindow(&window);
        (void)QTest::qWaitForWindowActive(&window);
    }
    QWidget window;
    TNavBar* bar;
    QLineEdit* after;
};

// Records the macro lines written while it lives.
struct TRecording {
    TRecording()
    {
        TMacroRecorder::setTarget([this](const QString& line) { lines << line; });
    }
    ~TRecording() { TMacroRecorder::clearTarget(); }
    QStringList lines;
};

bool sameImage(const QIcon& icon, QStyle::StandardPixmap standard)
{
    return icon.pixmap(16).toImage() == QApplication::style()->standardIcon(standard).pixmap(16).toImage();
}

} // namespace

// ---------------------------------------------------------------------------
// Position text

TEST(PositionText, FormatsHoursMinutesSecondsAndNearestFrame)
{
    const struct {
        qint64 position;
        qint64 tpf;
        const char* text;
    } cases[] = {
        {9999900000, kTpf25, "0:16:40:00"}, // less than half a frame before the second: that second
        {9999700000, kTpf25, "0:16:39:24"},
        {36012000000, kTpf25, "1:00:01:05"},
        {0, kTpf25, "0:00:00:00"},
        {200000, kTpf25, "0:00:00:00"}, // half a frame: ties go to the even frame
        {600000, kTpf25, "0:00:00:02"},
        {1000000, kTpf25, "0:00:00:02"},
        {15000, 0, "0:00:00:02"}, // no time per frame yet: 10 000
        {12345678, 1, "0:00:01:2345678"},
        {360000000000, kTpf25, "10:00:00:00"},
        {-kSecond, kTpf25, "-0:00:01:00"},
        {std::numeric_limits<qint64>::max(), 0, "256204778:48:05:478"},
        {std::numeric_limits<qint64>::min(), 0, "-256204778:48:05:478"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(positionText(c.position, c.tpf), QString::fromLatin1(c.text)) << c.position << " / " << c.tpf;
}

TEST(PositionText, NtscFramesRunFrom00To29AndRoundToTheNearest)
{
    constexpr qint64 tpf = 333667;
    QSet<QString> frames;
    QString previous;
    for (qint64 n = 0; n < 30 * 120; ++n) {
        const QString text = positionText(n * tpf, tpf);
        const int ff = text.section(QLatin1Char(':'), 3).toInt();
        ASSERT_GE(ff, 0) << text.toStdString();
        ASSERT_LE(ff, 29) << text.toStdString();
        ASSERT_NE(text, previous) << "frame " << n << " shows as the one before";
        frames.insert(text.section(QLatin1Char(':'), 3));
        previous = text;
    }
    EXPECT_EQ(frames.size(), 30);
    EXPECT_EQ(positionText(10 * tpf + 166833, tpf), QStringLiteral("0:00:00:10"));
    EXPECT_EQ(positionText(10 * tpf + 166834, tpf), QStringLiteral("0:00:00:11"));
}

TEST(PositionText, ParsesByPlacesFromTheEnd)
{
    const struct {
        const char* text;
        qint64 position;
    } cases[] = {
        {"1:02:03:04", 37231600000},
        {"10:00:00:00", 360000000000},
        {"0:00:00:00", 0},
        {"12:34:56:07", 452960000000 + 7 * kTpf25},
        {"ab:cd:ef:gh", 0},
        {"1:0x:03:04", 3603 * kSecond + 4 * kTpf25}, // a non-number counts as 0
        {"1:2x:03:04", 3603 * kSecond + 4 * kTpf25}, // also when it starts with digits
        {"5200000000000000000000x:00:00:00", 0},     // and however many
        {"", 0},
        {"12", 12 * kTpf25}, // frames, not hours
        {"3:04", 3 * kSecond + 4 * kTpf25},
        {"2:03:04", 123 * kSecond + 4 * kTpf25},
        {"-1:00:00:00", -3600 * kSecond},
        {"596523:00:00:00", 2147482800 * kSecond},
    };
    for (const auto& c : cases) {
        qint64 position = -1;
        EXPECT_TRUE(parsePositionText(QString::fromLatin1(c.text), kTpf25, position)) << c.text;
        EXPECT_EQ(position, c.position) << c.text;
    }
}

TEST(PositionText, RefusesTextsWhoseSecondsOrResultOverflow)
{
    const struct {
        const char* text;
        qint64 tpf;
    } cases[] = {
        {"596523:99:99:00", kTpf25}, // one field short of 596 524 hours already passes 2^31 seconds
        {"596524:00:00:00", kTpf25},
        {"-596524:00:00:00", kTpf25},
        {"99999999999999999999999999999:00:00:00", kTpf25},
        {"0:00:00:99", std::numeric_limits<qint64>::max()},
        {"596523:00:00:99", std::numeric_limits<qint64>::max() / 99},
    };
    for (const auto& c : cases) {
        qint64 position = 42;
        EXPECT_FALSE(parsePositionText(QString::fromLatin1(c.text), c.tpf, position)) << c.text;
        EXPECT_EQ(position, 42) << c.text;
    }
}

// ---------------------------------------------------------------------------
// Actions

TEST(TimerNavmanActions, CarryTheirNamesKeysTextsAndImages)
{
    TTimerNavman nav;
    const auto key = [](Qt::KeyboardModifiers modifiers, Qt::Key k) { return QKeySequence(QKeyCombination(modifiers, k)); };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const struct {
        const char* name;
        const char* script;
        QKeySequence shortcut;
        const char* caption;
        const char* hint;
        int image;
    } cases[] = {
        {"caPlay", "Play", key(ctrl, Qt::Key_Space), "Play", "Jouer le flux vidéo et/ou audio", 9},
        {"naReculeDebut", "ReculeDebut", key(ctrlShift, Qt::Key_Home), "Début", "Reculer au début", 7},
        {"naReculeScene", "ReculeScene", key(ctrl, Qt::Key_Home), "", "Reculer à la scène précédente", 7},
        {"naReculeTrack", "ReculeTrack", key(ctrl, Qt::Key_Home), "",
         "Reculer à la scène précédente\r\nou tenez Shift pour Reculer au Début", 7},
        {"naRecule10Minutes", "Recule10Minutes", key(ctrlShift, Qt::Key_PageDown), "", "Reculer de dix minutes", -1},
        {"naReculeMinute", "ReculeMinute", key(ctrl, Qt::Key_PageDown), "", "Reculer d'une minute", 5},
        {"naReculeHigh", "ReculeHigh", {}, "", "Reculer d'une minute\r\nou tenez Shift pour Reculer de 10 minutes", 5},
        {"naRecule10Secondes", "Recule10Secondes", key(ctrlShift, Qt::Key_Down), "", "Reculer de dix secondes", -1},
        {"naReculeSeconde", "ReculeSeconde", key(ctrl, Qt::Key_Down), "", "Reculer d'une seconde", 6},
        {"naReculeMedium", "ReculeMedium", {}, "", "Reculer d'une seconde\r\nou tenez Shift pour Reculer de 10 secondes",
         6},
        {"naRecule10Frames", "Recule10Frames", key(ctrlShift, Qt::Key_Left), "", "Reculer de dix frames", -1},
        {"naReculeFrame", "ReculeFrame", key(ctrl, Qt::Key_Left), "", "Reculer d'une frame", 4},
        {"naReculeLow", "ReculeLow", {}, "", "Reculer d'une frame\r\nou tenez Shift pour Reculer de 10 frames", 4},
        {"naAvanceFin", "AvanceFin", key(ctrlShift, Qt::Key_End), "Fin", "Cliquez pour aller à la fin", 3},
        {"naAvanceScene", "AvanceScene", key(ctrl, Qt::Key_End), "Scène suivante",
         "Cliquez pour avancer à la Scène suivante", 3},
        {"naAvanceTrack", "AvanceTrack", key(ctrl, Qt::Key_End), "Scène suivante",
         "Cliquez pour avancer à la Scène suivante.\r\nSi vous pressez Shift vous avancerez à la Fin", 3},
        {"naAvance10Minutes", "Avance10Minutes", key(ctrlShift, Qt::Key_PageUp), "Avancer de 10 minutes",
         "Cliquez pour avancer de 10 minutes", -1},
        {"naAvanceMinute", "AvanceMinute", key(ctrl, Qt::Key_PageUp), "Avancer d'une minute",
         "Cliquez pour avancer d'une minute", 2},
        {"naAvanceHigh", "AvanceHigh", {}, "Avancer d'une ou 10 minutes",
         "Cliquez pour avancer d'une minute.\r\nSi vous pressez Shift vous avancerez de 10 minutes", 2},
        {"naAvance10Secondes", "Avance10Secondes", key(ctrlShift, Qt::Key_Up), "Avancer de 10 secondes",
         "Cliquez pour avancer de 10 secondes", -1},
        {"naAvanceSeconde", "AvanceSeconde", key(ctrl, Qt::Key_Up), "Avancer d'une seconde",
         "Cliquez pour avancer d'une seconde", 1},
        {"naAvanceMedium", "AvanceMedium", {}, "Avancer d'une ou 10 secondes",
         "Cliquez pour avancer d'une seconde.\r\nSi vous pressez Shift vous avancerez de 10 secondes", 1},
        {"naAvance10Frames", "Avance10Frames", key(ctrlShift, Qt::Key_Right), "Avancer de 10 frames",
         "Cliquez pour avancer de 10 frames", -1},
        {"naAvanceFrame", "AvanceFrame", key(ctrl, Qt::Key_Right), "Avancer d'une frame",
         "Cliquez pour avancer d'une frame", 0},
        {"naAvanceLow", "AvanceLow", {}, "Avancer d'une ou 10 frames",
         "Cliquez pour avancer d'une frame.\r\nSi vous pressez Shift vous avancerez de 10 frames", 0},
        {"caVitesseCompatible", "VitesseCompatible", key(ctrl, Qt::Key_B), "Vitesse Normale",
         "Jouer la vidéo à la vitesse normale", -1},
        {"caSeekPrecision", "SeekPrecision", {}, "Precise Navigation", "Click to activate precise navigation", -1},
        {"iaSeekPrepos", "SeekPrepos", {}, "SeekPrepos", nullptr, -1}, // no hint of its own
        {"waStrPosition", "Position", {}, "StrPosition", "Select the position in hh:mm:ss:ff and type Enter", -1},
    };
    ASSERT_EQ(nav.actions().size(), static_cast<qsizetype>(std::size(cases)));
    for (const auto& c : cases) {
        const auto* a = action<TCustomAbstractAction>(nav, c.name);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_EQ(a->ScriptName().toStdString(), c.script) << c.name;
        EXPECT_EQ(a->ShortCut(), c.shortcut) << c.name;
        EXPECT_EQ(a->Caption().toStdString(), c.caption) << c.name;
        if (c.hint)
            EXPECT_EQ(a->Hint().toStdString(), c.hint) << c.name;
        EXPECT_EQ(a->ImageIndex, c.image) << c.name;
        EXPECT_EQ(a->Category, QStringLiteral("internal")) << c.name;
        EXPECT_TRUE(a->IncludePrefs) << c.name;
        const bool appliedAtLoad = QByteArray(c.name) == "caVitesseCompatible" || QByteArray(c.name) == "caSeekPrecision"
                                   || QByteArray(c.name) == "iaSeekPrepos";
        EXPECT_EQ(a->ApplyWhenLoad, appliedAtLoad) << c.name;
    }
    EXPECT_EQ(action<TIntegerAction>(nav, "iaSeekPrepos")->DefaultValue, 1000);
    EXPECT_EQ(action<TStringAction>(nav, "waStrPosition")->DefaultValue, QStringLiteral("0:00:00:00"));

    // The scene and track commands share their keys: the earlier in the list wins.
    EXPECT_EQ(nav.findShortcut(QKeyCombination(Qt::ControlModifier, Qt::Key_Home)), action<TNopeAction>(nav, "naReculeScene"));
    EXPECT_EQ(nav.findShortcut(QKeyCombination(Qt::ControlModifier, Qt::Key_End)), action<TNopeAction>(nav, "naAvanceScene"));

    auto* play = action<TCheckAction>(nav, "caPlay");
    play->_setcheck(true);
    EXPECT_EQ(play->Caption(), QStringLiteral("Pause"));
    EXPECT_EQ(play->Hint(), QStringLiteral("Mettre en pause"));
    EXPECT_EQ(play->ImageIndex, 8);
    EXPECT_TRUE(sameImage(play->icon(), QStyle::SP_MediaPause));
    play->_setcheck(false);
    EXPECT_TRUE(sameImage(play->icon(), QStyle::SP_MediaPlay));
}

// ---------------------------------------------------------------------------
// Navigation on a real graph

namespace {

class TimerNavman : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openClip(nav, MediaClips::h264AacMp4())); }

    qint64 position()
    {
        qint64 p = -1;
        return nav.getCurrentPosition(p) ? p : -1;
    }
    void goTo(const char* text) { ASSERT_TRUE(nav.setStrposition(QString::fromLatin1(text))); }
    qint64 lastReachable() const { return nav.duration() - 2 * nav.timeperframe(); }

    TTimerNavman nav;
};

// The same on a clip long enough for steps of ten seconds.
class TimerNavmanLong : public TimerNavman {
protected:
    void SetUp() override { ASSERT_TRUE(openClip(nav, MediaClips::h264AacMp4(30))); }
};

} // namespace

TEST_F(TimerNavman, MovesClampToThePlayableRange)
{
    ASSERT_GT(nav.duration(), 15000000);
    EXPECT_EQ(nav.Fin(), nav.duration() - kTpf25);
    const qint64 end = lastReachable();
    const struct {
        const char* from;
        std::function<void()> move;
        qint64 expected;
        const char* what;
    } cases[] = {
        {"0:00:01:00", [&] { nav.avance10Minutes(); }, end, "forward 10 minutes near the end"},
        {"0:00:01:00", [&] { nav.avanceMinute(); }, end, "forward 1 minute near the end"},
        {"0:00:01:00", [&] { nav.recule10Minutes(); }, 0, "back 10 minutes near the start"},
        {"0:00:01:00", [&] { nav.reculeSeconde(); }, 0, "back 1 second from 1 second"},
        {"0:00:00:10", [&] { nav.avanceFin(); }, end, "to the end"},
        {"0:00:00:10", [&] { nav.avanceScene(); }, end, "next scene with no scene list"},
        {"0:00:01:00", [&] { nav.reculeDebut(); }, 0, "to the start"},
        {"0:00:01:00", [&] { nav.reculeScene(); }, 0, "previous scene with no scene list"},
        {"0:00:01:00", [&] { nav.setposition(-kSecond, true); }, 0, "before the start"},
        {"0:00:00:00", [&] { nav.setposition(nav.duration() + kSecond, true); }, end, "past the end"},
        {"0:00:00:00", [&] { nav.setKposition(1024); }, end, "1024 / 1024"},
        {"0:00:00:00", [&] { nav.setKposition(512); }, nav.duration() / 2, "512 / 1024"},
        {"0:00:00:00", [&] { nav.setMilliPosition(1500); }, 15000000, "1500 ms"},
        {"0:00:00:00", [&] { nav.avance10Frames(); }, 10 * kTpf25, "10 frames"},
        {"0:00:01:00", [&] { nav.recule10Frames(); }, 15 * kTpf25, "back 10 frames"},
    };
    for (const auto& c : cases) {
        goTo(c.from);
        c.move();
        EXPECT_EQ(position(), c.expected) << c.what;
        EXPECT_EQ(nav.Strposition(), positionText(c.expected, kTpf25)) << c.what;
        EXPECT_EQ(nav.state(), gmPaused) << c.what;
    }
}

TEST_F(TimerNavman, FrameStepsMoveThePositionTextByExactlyOneFrame)
{
    for (const char* from : {"0:00:00:00", "0:00:00:10", "0:00:00:24", "0:00:01:00", "0:00:01:13"}) {
        goTo(from);
        qint64 start = 0;
        ASSERT_TRUE(parsePositionText(QString::fromLatin1(from), kTpf25, start));
        nav.avanceFrame();
        EXPECT_EQ(nav.Strposition(), positionText(start + kTpf25, kTpf25)) << "forward from " << from;
        nav.reculeFrame();
        EXPECT_EQ(nav.Strposition(), QString::fromLatin1(from)) << "back to " << from;
        nav.step();
        EXPECT_EQ(nav.Strposition(), QString::fromLatin1(from)) << "step shows " << from << " again";
    }
}

TEST_F(TimerNavman, ARequestMadeWhileASeekRunsIsDropped)
{
    const struct {
        const char* what;
        std::function<void()> request;
    } inner[] = {
        {"a second forward frame", [&] { nav.avanceFrame(); }},
        {"a second forward minute", [&] { nav.avanceMinute(); }},
        {"an absolute seek", [&] { nav.setposition(5 * kTpf25, true); }},
        {"the start", [&] { nav.reculeDebut(); }},
        {"a typed position", [&] { nav.setStrposition(QStringLiteral("0:00:00:05")); }},
        {"the end", [&] { nav.avanceFin(); }},
    };
    for (const auto& c : inner) {
        goTo("0:00:00:10");
        QList<qint64> targets;
        nav.onAbsolutePosition = [&](qint64 target) {
            targets << target;
            if (targets.size() == 1)
                c.request();
        };
        nav.avanceFrame();
        nav.onAbsolutePosition = nullptr;
        EXPECT_EQ(targets, QList<qint64>{11 * kTpf25}) << c.what;
        EXPECT_EQ(nav.Strposition(), QStringLiteral("0:00:00:11")) << c.what;
    }
    // The guard ends with the move: the next one runs.
    nav.avanceFrame();
    EXPECT_EQ(nav.Strposition(), QStringLiteral("0:00:00:12"));
}

TEST_F(TimerNavman, RefreshRedrawsOnlyWhenThePositionTextChanges)
{
    TNavBar bar;
    nav.setNavBar(&bar);
    QStringList shown;
    QList<qint32> proportions;
    nav.OnDisplayTime = [&](const QString& text) { shown << text; };
    nav.OnKPosition = [&](qint32 k) { proportions << k; };
    goTo("0:00:01:00");
    ASSERT_EQ(shown, QStringList{QStringLiteral("0:00:01:00")});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(nav.getposition(), kSecond);
    EXPECT_EQ(shown.size(), 1) << "a paused video redraws nothing";
    EXPECT_EQ(bar.CurrentEdit->text(), QStringLiteral("0:00:01:00"));
    EXPECT_EQ(bar.tb->value(), kSecond / 1024);
    EXPECT_EQ(proportions, QList<qint32>{static_cast<qint32>(kSecond * 1024 / nav.Fin())});

    // A new file redraws at its first refresh even on the same text.
    nav.init();
    nav.getposition();
    EXPECT_EQ(shown.size(), 2);
}

TEST_F(TimerNavman, TimePerFrameMessageSetsTheRangeTheDurationLabelAndTheSlider)
{
    TNavBar bar;
    nav.setNavBar(&bar);
    QStringList durations;
    nav.OnDuration = [&](const QString& text) { durations << text; };
    const struct {
        qint64 sent;
        qint64 expected;
    } cases[] = {{kTpf25, kTpf25}, {333667, 333667}, {0, 333667}, {-5, 333667}, {kTpf25, kTpf25}};
    for (const auto& c : cases) {
        durations.clear();
        postMessage(nav.Handle(), TTimerNavman::kTimePerFrameMessage, c.sent);
        QCoreApplication::processEvents();
        EXPECT_EQ(nav.timeperframe(), c.expected) << c.sent;
        EXPECT_EQ(nav.Fin(), nav.duration() - c.expected) << c.sent;
        EXPECT_EQ(bar.DureeLab->text(), positionText(nav.duration(), c.expected)) << c.sent;
        EXPECT_EQ(bar.tb->maximum(), (nav.duration() - c.expected) / 1024) << c.sent;
        EXPECT_EQ(durations, c.sent > 0 ? QStringList{bar.DureeLab->text()} : QStringList{}) << c.sent;
    }
    // init starts the new file at one unit a frame.
    nav.init();
    EXPECT_EQ(nav.timeperframe(), 1);
    EXPECT_EQ(nav.Fin(), nav.duration() - 1);
}

TEST_F(TimerNavman, SeekShowsItselfInTheEditBoxWhileItRuns)
{
    TNavBar bar;
    nav.setNavBar(&bar);
    QStringList events;
    nav.OnDisplaySeek = [&] { events << QStringLiteral("seek"); };
    nav.OnDisplayNormal = [&] { events << QStringLiteral("normal"); };
    nav.onAbsolutePosition = [&](qint64) {
        events << QStringLiteral("position");
        EXPECT_TRUE(bar.CurrentEdit->font().italic());
        EXPECT_EQ(bar.CurrentEdit->palette().color(QPalette::Text), QColor(0xC0, 0xC0, 0xC0));
    };
    nav.avanceSeconde();
    EXPECT_EQ(events, (QStringList{QStringLiteral("seek"), QStringLiteral("position"), QStringLiteral("normal")}));
    EXPECT_FALSE(bar.CurrentEdit->font().italic());
    EXPECT_EQ(bar.CurrentEdit->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(bar.CurrentEdit->text(), QStringLiteral("0:00:01:00")) << "a seek while paused shows at once";
}

TEST_F(TimerNavman, PlayRunsTheRefreshAndAStepLeavesTheVideoPausedUnderPause)
{
    TNavBar bar;
    nav.setNavBar(&bar);
    auto* play = action<TCheckAction>(nav, "caPlay");
    EXPECT_EQ(bar.PlayBtn->text(), QStringLiteral("Play"));
    EXPECT_FALSE(nav.timerEnabled());

    QTest::mouseClick(bar.PlayBtn, Qt::LeftButton);
    EXPECT_TRUE(play->Checked());
    EXPECT_EQ(nav.state(), gmPlaying);
    EXPECT_TRUE(nav.timerEnabled());
    EXPECT_EQ(bar.PlayBtn->text(), QStringLiteral("Pause"));
    EXPECT_EQ(bar.PlayBtn->accessibleName(), QStringLiteral("Pause"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar.CurrentEdit->text() != QStringLiteral("0:00:00:00"); }, 5000))
        << "the ticks show the position while playing";
    EXPECT_GT(bar.tb->value(), 0);

    nav.avanceFrame();
    EXPECT_EQ(nav.state(), gmPaused);
    EXPECT_TRUE(play->Checked());
    EXPECT_EQ(bar.PlayBtn->text(), QStringLiteral("Pause"));

    // The next press pauses (it already is), the one after plays.
    QTest::mouseClick(bar.PlayBtn, Qt::LeftButton);
    EXPECT_FALSE(play->Checked());
    EXPECT_EQ(nav.state(), gmPaused);
    EXPECT_FALSE(nav.timerEnabled());
    EXPECT_EQ(bar.PlayBtn->text(), QStringLiteral("Play"));
    QTest::mouseClick(bar.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(nav.state(), gmPlaying);
    play->setChecked(false);
}

TEST_F(TimerNavman, CommandsWorkWithoutANavigationBarAndAfterItIsDestroyed)
{
    nav.avanceSeconde();
    EXPECT_EQ(nav.Strposition(), QStringLiteral("0:00:01:00"));
    EXPECT_EQ(nav.MilliPosition(), 1000);

    auto bar = std::make_unique<TNavBar>();
    nav.setNavBar(bar.get());
    EXPECT_EQ(nav.PositionEdit(), bar->CurrentEdit);
    EXPECT_EQ(nav.Slider(), bar->tb);
    bar.reset();
    EXPECT_EQ(nav.NavBar(), nullptr);
    EXPECT_EQ(nav.PositionEdit(), nullptr);
    EXPECT_EQ(nav.Slider(), nullptr);
    EXPECT_FALSE(nav.PositionEditoutputActif());
    EXPECT_FALSE(nav.SliderActif());
    nav.avanceFrame();
    nav.setTimeperframe(kTpf25);
    EXPECT_EQ(nav.Strposition(), QStringLiteral("0:00:01:01"));

    // A bar detached by hand keeps its controls but no longer follows.
    TNavBar second;
    nav.setNavBar(&second);
    nav.setNavBar(nullptr);
    EXPECT_EQ(nav.PositionEdit(), nullptr);
    nav.avanceFrame();
    EXPECT_NE(second.CurrentEdit->text(), QStringLiteral("0:00:01:02"));
}

TEST_F(TimerNavman, NavigationWaitsForTheNextFileWhileSuspended)
{
    goTo("0:00:00:10");
    nav.setNavigationEnabled(false);
    int seeks = 0;
    nav.onAbsolutePosition = [&](qint64) { ++seeks; };
    auto* play = action<TCheckAction>(nav, "caPlay");

    nav.avanceSeconde();
    nav.setposition(kSecond, true);
    action<TNopeAction>(nav, "naAvanceFin")->trigger();
    EXPECT_EQ(seeks, 0);
    EXPECT_EQ(nav.getposition(), 0) << "ticks leave the graph alone";
    play->setChecked(true);
    EXPECT_EQ(nav.state(), gmPaused) << "play waits for the file";
    postMessage(nav.Handle(), TTimerNavman::kTimePerFrameMessage, 333667);
    QCoreApplication::processEvents();
    EXPECT_EQ(nav.timeperframe(), kTpf25);

    nav.init();
    EXPECT_TRUE(nav.navigationEnabled());
    nav.setTimeperframe(kTpf25);
    nav.avanceSeconde();
    EXPECT_EQ(seeks, 1);
    play->_setcheck(false);
}

TEST_F(TimerNavman, SpeedModesKeepThePositionAndDropOrRestoreTheClock)
{
    goTo("0:00:01:00");
    QList<bool> modes;
    nav.OnVitesse = [&](bool maxi) { modes << maxi; };
    auto* compatible = action<TCheckAction>(nav, "caVitesseCompatible");

    // Paused: the mode changes, the picture stays where it is.
    compatible->setChecked(true);
    EXPECT_EQ(nav.state(), gmPaused);
    EXPECT_EQ(position(), kSecond);

    auto* play = action<TCheckAction>(nav, "caPlay");
    play->setChecked(true);
    ASSERT_EQ(nav.state(), gmPlaying);
    GstClock* clock = gst_element_get_clock(nav.Graph());
    EXPECT_EQ(clock, nullptr) << "compatible speed plays with no clock";
    if (clock)
        gst_object_unref(clock);

    compatible->setChecked(false);
    EXPECT_EQ(nav.state(), gmPlaying);
    EXPECT_GE(position(), kSecond) << "the video does not start over";
    clock = gst_element_get_clock(nav.Graph());
    EXPECT_NE(clock, nullptr);
    if (clock)
        gst_object_unref(clock);

    compatible->setChecked(true);
    EXPECT_EQ(nav.state(), gmPlaying);
    EXPECT_GE(position(), kSecond);
    clock = gst_element_get_clock(nav.Graph());
    EXPECT_EQ(clock, nullptr);
    if (clock)
        gst_object_unref(clock);
    EXPECT_EQ(modes, (QList<bool>{true, false, true}));
    play->setChecked(false);
    compatible->setChecked(false);
}

TEST_F(TimerNavman, SliderSeeksWhenTheUserEndsAMoveAndNeverOnItsOwnChanges)
{
    TNavBar bar;
    nav.setNavBar(&bar);
    QSlider* slider = bar.tb;
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), nav.Fin() / 1024);
    int seeks = 0;
    nav.onAbsolutePosition = [&](qint64) { ++seeks; };

    slider->setValue(5000);
    QCoreApplication::processEvents();
    EXPECT_EQ(seeks, 0);
    EXPECT_EQ(position(), 0);

    slider->setSliderDown(true);
    EXPECT_FALSE(nav.SliderActif());
    slider->setValue(10000);
    QCoreApplication::processEvents();
    EXPECT_EQ(seeks, 0) << "no seek while the thumb is held";
    nav.avanceFrame();
    EXPECT_EQ(slider->value(), 10000) << "the thumb under the mouse does not follow the position";
    slider->setSliderDown(false);
    EXPECT_TRUE(nav.SliderActif());
    EXPECT_EQ(seeks, 2);
    EXPECT_EQ(position(), 10000 * 1024);

    // A keyboard step ends a move as well.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(seeks, 3);
    EXPECT_EQ(position(), (10000 + slider->singleStep()) * 1024);
}

TEST_F(TimerNavman, EnterInThePositionBoxSeeksAndMovesTheFocusOn)
{
    TBarWindow w;
    nav.setNavBar(w.bar);
    QLineEdit* edit = w.bar->CurrentEdit;
    const struct {
        const char* typed;
        qint64 expected;
    } cases[] = {
        {"0:00:01:00", kSecond},
        {"12", 12 * kTpf25},
        {"700000:00:00:00", 12 * kTpf25}, // refused: the position stays
        {"0:00:00:03", 3 * kTpf25},
    };
    for (const auto& c : cases) {
        edit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000)) << c.typed;
        EXPECT_FALSE(nav.timerEnabled()) << "the box has the focus";
        EXPECT_FALSE(nav.PositionEditoutputActif());
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(position(), c.expected) << c.typed;
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.typed)) << "the box is left alone while it has the focus";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !edit->hasFocus(); }, 2000)) << c.typed;
        EXPECT_TRUE(nav.timerEnabled());
        EXPECT_EQ(edit->text(), positionText(c.expected, kTpf25)) << "the box shows the position again";
    }
    EXPECT_EQ(action<TStringAction>(nav, "waStrPosition")->Value, QStringLiteral("0:00:00:03"));
}

TEST_F(TimerNavmanLong, ButtonsApplyTheirActionAndShiftClicksTheShiftVariant)
{
    TBarWindow w;
    nav.setNavBar(w.bar);
    TNavBar& bar = *w.bar;
    const struct {
        QToolButton* button;
        Qt::KeyboardModifiers modifiers;
        const char* from;
        qint64 expected;
        const char* line;
    } cases[] = {
        {bar.AvanceMediumBtn, Qt::ShiftModifier, "0:00:05:00", 15 * kSecond, "Avance10Secondes;"},
        {bar.AvanceMediumBtn, Qt::NoModifier, "0:00:05:00", 6 * kSecond, "AvanceSeconde;"},
        {bar.AvanceLowBtn, Qt::ShiftModifier, "0:00:05:00", 5 * kSecond + 10 * kTpf25, "Avance10Frames;"},
        {bar.AvanceLowBtn, Qt::NoModifier, "0:00:05:00", 5 * kSecond + kTpf25, "AvanceFrame;"},
        {bar.AvanceHighBtn, Qt::NoModifier, "0:00:05:00", nav.duration() - 2 * kTpf25, "AvanceMinute;"},
        {bar.ReculeMediumBtn, Qt::ShiftModifier, "0:00:15:00", 5 * kSecond, "Recule10Secondes;"},
        {bar.ReculeMediumBtn, Qt::NoModifier, "0:00:15:00", 14 * kSecond, "ReculeSeconde;"},
        {bar.ReculeLowBtn, Qt::ShiftModifier, "0:00:15:00", 15 * kSecond - 10 * kTpf25, "Recule10Frames;"},
        {bar.ReculeHighBtn, Qt::ShiftModifier, "0:00:15:00", 0, "Recule10Minutes;"},
        {bar.ReculeTrackBtn, Qt::NoModifier, "0:00:15:00", 0, "ReculeDebut;"},
        {bar.AvanceTrackBtn, Qt::NoModifier, "0:00:15:00", nav.duration() - 2 * kTpf25, "AvanceFin;"},
    };
    for (const auto& c : cases) {
        goTo(c.from);
        TRecording recording;
        QTest::mouseClick(c.button, Qt::LeftButton, c.modifiers);
        EXPECT_EQ(position(), c.expected) << c.line;
        EXPECT_EQ(recording.lines.join(QLatin1Char('|')).toStdString(), c.line)
            << "the click applies the variant, not the action shown";
    }
    // The buttons show their action and are named after it.
    EXPECT_EQ(bar.AvanceMediumBtn->toolTip(),
              QStringLiteral("Cliquez pour avancer d'une seconde.\nSi vous pressez Shift vous avancerez de 10 secondes"));
    EXPECT_EQ(bar.AvanceMediumBtn->accessibleName(), QStringLiteral("Avancer d'une ou 10 secondes"));
    EXPECT_EQ(bar.ReculeMediumBtn->accessibleName(), QStringLiteral("Reculer d'une seconde"));
    EXPECT_EQ(bar.ReculeTrackBtn->accessibleName(), QStringLiteral("Début"));
    EXPECT_TRUE(sameImage(bar.AvanceMediumBtn->icon(), QStyle::SP_ArrowForward));
    action<TNopeAction>(nav, "naAvanceMedium")->setEnabled(false);
    EXPECT_FALSE(bar.AvanceMediumBtn->isEnabled());
}

TEST_F(TimerNavmanLong, CombinedCommandsReadShiftWhenTheyRun)
{
    TBarWindow w;
    const struct {
        const char* name;
        bool shift;
        const char* from;
        qint64 expected;
    } cases[] = {
        {"naAvanceMedium", true, "0:00:05:00", 15 * kSecond},
        {"naAvanceMedium", false, "0:00:05:00", 6 * kSecond},
        {"naReculeLow", true, "0:00:05:00", 5 * kSecond - 10 * kTpf25},
        {"naReculeLow", false, "0:00:05:00", 5 * kSecond - kTpf25},
        {"naAvanceTrack", true, "0:00:05:00", nav.duration() - 2 * kTpf25},
        {"naReculeTrack", false, "0:00:05:00", 0},
    };
    for (const auto& c : cases) {
        goTo(c.from);
        if (c.shift)
            QTest::keyPress(w.after, Qt::Key_Shift, Qt::ShiftModifier);
        action<TNopeAction>(nav, c.name)->trigger();
        if (c.shift)
            QTest::keyRelease(w.after, Qt::Key_Shift, Qt::NoModifier);
        EXPECT_EQ(position(), c.expected) << c.name << (c.shift ? " with Shift" : "");
    }
}
