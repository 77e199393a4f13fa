#include "TestSupport.h"
#include "uMacroRecorder.h"
#include "uScriptAction.h"
#include "uShortcutDispatch.h"
#include "uWndComponent.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QWidget>

namespace {

// Collects what the recorder writes while a test records.
struct Recording {
    QStringList lines;
    Recording()
    {
        TMacroRecorder::setTarget([this](const QString& line) { lines << line; });
    }
    ~Recording() { TMacroRecorder::clearTarget(); }
};

} // namespace

TEST(TypedActions, ValueActionAppliesPublishedAroundInternal)
{
    TQXActionList list;
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    QStringList order;
    volume.OnBeforeApply = [&](const qint32& v) { order << QStringLiteral("before %1").arg(v); };
    volume.internalApply = [&](const qint32& v) { order << QStringLiteral("internal %1").arg(v); };
    volume.OnAfterApply = [&](const qint32& v) { order << QStringLiteral("after %1").arg(v); };
    volume.setValue(80);
    EXPECT_EQ(order, QStringList({QStringLiteral("before 80"), QStringLiteral("internal 80"), QStringLiteral("after 80")}));
    EXPECT_EQ(volume.ScriptName(), QStringLiteral("Volume"));
    EXPECT_EQ(volume.Caption(), QStringLiteral("Volume"));
    EXPECT_EQ(volume.InternalId, QStringLiteral("iaVolume"));
    EXPECT_EQ(volume.Category, QStringLiteral("internal"));
}

TEST(TypedActions, CheckActionAppliesPerStateThenShowsItsState)
{
    TQXActionList list;
    TCheckAction full(QStringLiteral("caFullscreen"), &list);
    full.setTrueCaption(QStringLiteral("Window"));
    full.setFalseCaption(QStringLiteral("Full screen"));
    full.setTrueHint(QStringLiteral("Back to the window"));
    full.setFalseHint(QStringLiteral("Show full screen"));
    full.setTrueImageIndex(4);
    full.setFalseImageIndex(5);
    EXPECT_EQ(full.Caption(), QStringLiteral("Full screen"));
    QStringList order;
    full.OnBeforeTrueApply = [&] { order << QStringLiteral("before true"); };
    full.internalTrueApply = [&] { order << QStringLiteral("internal true"); };
    full.OnAfterTrueApply = [&] { order << QStringLiteral("after true"); };
    full.OnBeforeFalseApply = [&] { order << QStringLiteral("before false"); };
    full.internalFalseApply = [&] { order << QStringLiteral("internal false"); };
    full.OnAfterFalseApply = [&] { order << QStringLiteral("after false"); };

    full.doExecute();
    EXPECT_TRUE(full.Checked());
    EXPECT_EQ(full.Caption(), QStringLiteral("Window"));
    EXPECT_EQ(full.Hint(), QStringLiteral("Back to the window"));
    EXPECT_EQ(full.ImageIndex, 4);
    full.toggle();
    EXPECT_EQ(order, QStringList({QStringLiteral("before true"), QStringLiteral("internal true"),
                                  QStringLiteral("after true"), QStringLiteral("before false"),
                                  QStringLiteral("internal false"), QStringLiteral("after false")}));
    EXPECT_EQ(full.Caption(), QStringLiteral("Full screen"));
    EXPECT_EQ(full.ImageIndex, 5);

    // Qt's own trigger (a tool button) does not flip the state behind the action's back.
    full.OnPrepare = [] { return false; };
    full.trigger();
    EXPECT_FALSE(full.Checked());
    EXPECT_FALSE(full.isChecked());
}

TEST(TypedActions, TriggerNeedsAPrepareHandlerThatAgrees)
{
    TQXActionList list;
    TStringAction folder(QStringLiteral("waFolder"), &list);
    int applied = 0;
    folder.internalApply = [&](const QString&) { ++applied; };
    folder.doExecute();
    EXPECT_EQ(applied, 0);

    folder.OnPrepare = [](QString& v) {
        v = QStringLiteral("/videos");
        return true;
    };
    folder.InternalPrepare = [](QString& v) { return !v.isEmpty(); };
    folder.doExecute();
    EXPECT_EQ(folder.Value, QStringLiteral("/videos"));
    EXPECT_EQ(applied, 1);

    folder.OnPrepare = [](QString&) { return false; };
    folder.doExecute();
    EXPECT_EQ(applied, 1);
}

TEST(MacroRecording, UnchangedBooleanDoesNothingWhileIntegerRecordsAgain)
{
    TQXActionList list;
    TBooleanAction mute(QStringLiteral("baMute"), &list);
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    int applies = 0;
    mute.internalApply = [&](const bool&) { ++applies; };
    volume.internalApply = [&](const qint32&) { ++applies; };
    Recording rec;
    mute.setValue(false);
    EXPECT_EQ(applies, 0);
    mute.setValue(true);
    volume.setValue(0);
    volume.setValue(0);
    EXPECT_EQ(applies, 3);
    EXPECT_EQ(rec.lines, QStringList({QStringLiteral("Mute(True);"), QStringLiteral("Volume(0);"),
                                      QStringLiteral("Volume(0);")}));
}

TEST(MacroRecording, OnlyTheOuterChangeOfAChainIsWritten)
{
    TQXActionList list;
    TIntegerAction outer(QStringLiteral("iaOuter"), &list);
    TIntegerAction inner(QStringLiteral("iaInner"), &list);
    TNopeAction command(QStringLiteral("naCommand"), &list);
    outer.OnAfterApply = [&](const qint32& v) { inner.setValue(v * 2); };
    command.internalApply = [&] { outer.setValue(7); };
    Recording rec;
    outer.setValue(3);
    EXPECT_EQ(inner.Value, 6);
    command.doExecute();
    EXPECT_EQ(inner.Value, 14);
    EXPECT_EQ(rec.lines, QStringList({QStringLiteral("Outer(3);"), QStringLiteral("Command;")}));
    EXPECT_FALSE(TMacroRecorder::busy());
}

TEST(MacroRecording, TheScriptPageSwitchWritesNothing)
{
    TQXActionList list;
    TCheckAction script(QStringLiteral("caScript"), &list);
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    script.internalTrueApply = [&] { volume.setValue(5); };
    Recording rec;
    script.toggle();
    EXPECT_TRUE(script.Checked());
    EXPECT_EQ(volume.Value, 5);
    EXPECT_TRUE(rec.lines.isEmpty());
    script._setcheck(false);
    EXPECT_TRUE(rec.lines.isEmpty());
}

TEST(MacroRecording, LinesOfEveryKind)
{
    TQXActionList list;
    TStringAction s(QStringLiteral("waTitle"), &list);
    TStringsAction l(QStringLiteral("saFiles"), &list);
    TFontAction f(QStringLiteral("faInsertFont"), &list);
    TColorAction c(QStringLiteral("iaColor"), &list);
    TDoubleAction d(QStringLiteral("daRatio"), &list);
    TPointAction p(QStringLiteral("paWhere"), &list);
    TRectAction r(QStringLiteral("raFormSave"), &list);
    TCheckAction k(QStringLiteral("caLoop"), &list);
    Recording rec;
    s.setValue(QStringLiteral("it's"));
    l.setValue({QStringLiteral("a.mp4"), QStringLiteral("b c.mov")});
    l.setValue({});
    TFontValue font;
    font.Name = QStringLiteral("Arial");
    font.Size = 12;
    font.Color = 0xFF;
    font.Bold = true;
    f.setValue(font);
    c.setValue(0x123);
    d.setValue(1.5);
    p.setValue(TPoint(3, -4));
    r.setValue(TRect{10, 20, 110, 220});
    k.setChecked(true);
    EXPECT_EQ(rec.lines, QStringList({
                             QStringLiteral("Title('it''s');"),
                             QStringLiteral("Files(['a.mp4', 'b c.mov']);"),
                             QStringLiteral("Files([]);"),
                             QStringLiteral("InsertFont('Arial', 12, $0000FF, True, False, False, False);"),
                             QStringLiteral("Color($000123);"),
                             QStringLiteral("Ratio(1.5);"),
                             QStringLiteral("Where(3,-4);"),
                             QStringLiteral("FormSave(10,110,20,220);"),
                             QStringLiteral("setLoop(True);"),
                         }));
}

TEST(ScriptHeaders, EachClassDeclaresItself)
{
    TQXActionList list;
    TCheckAction check(QStringLiteral("caLoop"), &list);
    const struct {
        TCustomAbstractAction* action;
        const char* header;
    } cases[] = {
        {new TNopeAction(QStringLiteral("naQuit"), &list), "procedure Quit;"},
        {new TStringAction(QStringLiteral("waFichierBase"), &list), "procedure FichierBase(const aString:string);"},
        {new TIntegerAction(QStringLiteral("iaVolume"), &list), "procedure Volume(const aInteger:integer);"},
        {new TColorAction(QStringLiteral("iaColor"), &list), "procedure Color(const aColor:TColor);"},
        {new TDoubleAction(QStringLiteral("daRatio"), &list), "procedure Ratio(const aDouble:Double);"},
        {new TBooleanAction(QStringLiteral("baMute"), &list), "procedure Mute(const aBoolean:Boolean);"},
        {new TPointAction(QStringLiteral("paWhere"), &list), "procedure Where(const x,y:integer);"},
        {new TRectAction(QStringLiteral("raFormSave"), &list),
         "procedure FormSave(const left,right,top,bottom:integer);"},
        {new TStringsAction(QStringLiteral("saFiles"), &list), "procedure Files(ws:array of string);"},
        {new TFontAction(QStringLiteral("faFont"), &list),
         "procedure Font(aName:string;aSize:integer;aColor:TColor;isBold:Boolean;isItalic:Boolean;"
         "isUnderline:Boolean;isStrikeOut:Boolean);"},
        {&check, "procedure setLoop(const fisTrue:Boolean);\r\nprocedure Loop;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.action->ScriptHeader(), QString::fromLatin1(c.header)) << c.header;

    TIntegerAction named(QStringLiteral("iaLevel"), &list);
    named.Variables = QStringLiteral("aLevel");
    EXPECT_EQ(named.ScriptHeader(), QStringLiteral("procedure Level(const aLevel:integer);"));
}

TEST(ActionLists, RecupererAndUniqueNames)
{
    QObject owner;
    TQXActionList list(&owner);
    TNopeAction first(QStringLiteral("naQuit"), &list);
    TNopeAction second(QStringLiteral("naQuit"), &list);
    TNopeAction third(QStringLiteral("naQuit"), &list);
    EXPECT_EQ(list.recuperer(QStringLiteral("naQuit")), &first);
    EXPECT_EQ(list.recuperer<TNopeAction>(QStringLiteral("naQuit")), &first);
    EXPECT_EQ(list.recuperer(QStringLiteral("naquit")), nullptr);
    EXPECT_EQ(list.recuperer(QStringLiteral("naNone")), nullptr);
    EXPECT_EQ(list.recuperer<TCheckAction>(QStringLiteral("naQuit")), nullptr);
    EXPECT_EQ(first.Name(), QStringLiteral("naQuit"));
    EXPECT_EQ(second.Name(), QStringLiteral("naQuit2"));
    EXPECT_EQ(third.Name(), QStringLiteral("naQuit3"));

    QObject taken(&owner);
    taken.setObjectName(QStringLiteral("naHelp_"));
    TNopeAction help(QStringLiteral("naHelp"), &list);
    EXPECT_EQ(help.Name(), QStringLiteral("naHelp2"));
}

TEST(ActionLists, ActionsLeaveWithTheirList)
{
    auto* list = new TQXActionList;
    QPointer<TNopeAction> action = new TNopeAction(QStringLiteral("naQuit"), list);
    auto* alone = new TNopeAction(QStringLiteral("naHelp"), list);
    delete alone;
    EXPECT_EQ(list->actions().size(), 1);
    delete list;
    EXPECT_TRUE(action.isNull());
}

TEST(Shortcuts, FirstEnabledActionOfTheWindowThenTheMainWindow)
{
    QWidget main;
    QWidget other;
    auto* edit = new QLineEdit(&main);
    auto* otherEdit = new QLineEdit(&other);
    TShortcutDispatcher::install(&main);
    auto* mainList = new TQXActionList(&main);
    auto* otherList = new TQXActionList(&other);

    QStringList ran;
    auto* first = new TNopeAction(QStringLiteral("naFirst"), mainList);
    auto* second = new TNopeAction(QStringLiteral("naSecond"), mainList);
    auto* selectAll = new TNopeAction(QStringLiteral("naSelectAll"), mainList);
    first->setShortCut(QKeySequence(Qt::Key_F5));
    second->setShortCut(QKeySequence(Qt::Key_F6));
    second->SecondaryShortcuts = {QKeySequence(Qt::Key_F5)};
    selectAll->setShortCut(QKeySequence(Qt::CTRL | Qt::Key_A));
    first->internalApply = [&] { ran << QStringLiteral("first"); };
    second->internalApply = [&] { ran << QStringLiteral("second"); };
    selectAll->internalApply = [&] { ran << QStringLiteral("select all"); };
    auto* local = new TNopeAction(QStringLiteral("naLocal"), otherList);
    local->setShortCut(QKeySequence(Qt::Key_F6));
    local->internalApply = [&] { ran << QStringLiteral("local"); };

    main.show();
    other.show();
    edit->setText(QStringLiteral("text"));
    QTest::keyClick(edit, Qt::Key_F5);
    first->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_F5);
    second->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_F5);
    // The program's shortcut wins over the line edit's own Ctrl+A.
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(edit->hasSelectedText());
    // Another window's lists come first, then the main window's.
    second->setEnabled(true);
    QTest::keyClick(otherEdit, Qt::Key_F6);
    local->setEnabled(false);
    QTest::keyClick(otherEdit, Qt::Key_F6);
    main.setEnabled(false);
    QTest::keyClick(otherEdit, Qt::Key_F6);
    EXPECT_EQ(ran, QStringList({QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("select all"),
                                QStringLiteral("local"), QStringLiteral("second")}));
}

TEST(Components, MessagesFromAnotherThreadArriveInOrderOnTheInterfaceThread)
{
    class TCounter : public TQXActionComponent {
    public:
        QList<uint> seen;
        bool onInterfaceThread = true;
        qintptr windowProc(uint msg, qintptr wParam, qintptr lParam) override
        {
            onInterfaceThread = onInterfaceThread && QThread::currentThread() == qApp->thread();
            seen << msg;
            EXPECT_EQ(wParam, qintptr(msg) * 2);
            EXPECT_EQ(lParam, -1);
            return TQXActionComponent::windowProc(msg, wParam, lParam);
        }
    } component;
    std::unique_ptr<QThread> thread(QThread::create([&component] {
        for (uint msg : {3029u, 3027u, 9249u})
            postMessage(component.Handle(), msg, msg * 2, -1);
    }));
    thread->start();
    thread->wait();
    QCoreApplication::processEvents();
    EXPECT_EQ(component.seen, QList<uint>({3029u, 3027u, 9249u}));
    EXPECT_TRUE(component.onInterfaceThread);
}

TEST(Components, InitializeCreatesInitialisesThenConnects)
{
    class TManager : public TQXActionComponent {
    public:
        QStringList steps;
        TManager()
        {
            initialize();
        }
        void createActions() override
        {
            steps << QStringLiteral("create");
            new TNopeAction(QStringLiteral("naQuit"), this);
        }
        void initActions() override { steps << QStringLiteral("init"); }
        void connectActions() override
        {
            steps << QStringLiteral("connect");
            EXPECT_NE(recuperer(QStringLiteral("naQuit")), nullptr);
        }
    } manager;
    EXPECT_EQ(manager.steps, QStringList({QStringLiteral("create"), QStringLiteral("init"), QStringLiteral("connect")}));
}
