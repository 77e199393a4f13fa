#include "TestSupport.h"
#include "uMacroEngine.h"
#include "uMacroRecorder.h"
#include "uScriptAction.h"
#include "uWndComponent.h"

namespace {

// One action of every class in a list bound to an engine.
struct Actions {
    TQXActionList list;
    TNopeAction nope{QStringLiteral("naPing"), &list};
    TCheckAction check{QStringLiteral("caLoop"), &list};
    TBooleanAction boolean{QStringLiteral("baMute"), &list};
    TStringAction string{QStringLiteral("waTitle"), &list};
    TStringsAction strings{QStringLiteral("saFiles"), &list};
    TIntegerAction integer{QStringLiteral("iaVolume"), &list};
    TColorAction color{QStringLiteral("iaColor"), &list};
    TDoubleAction number{QStringLiteral("daRatio"), &list};
    TPointAction point{QStringLiteral("paWhere"), &list};
    TRectAction rect{QStringLiteral("raFormSave"), &list};
    TFontAction font{QStringLiteral("faInsertFont"), &list};
    int pings = 0;
    TMacroEngine engine;

    Actions()
    {
        nope.internalApply = [this] { ++pings; };
        list.setPascalScript(&engine);
        engine.compile();
    }
};

TFontValue sampleFont()
{
    TFontValue f;
    f.Name = QStringLiteral("DejaVu Sans");
    f.Size = 14;
    f.Color = static_cast<TColor>(0x80000005u); // a system colour: the high bit set
    f.Italic = true;
    f.StrikeOut = true;
    return f;
}

} // namespace

TEST(MacroEngine, ARecordedMacroReplaysToTheSameValues)
{
    Actions a;
    QStringList macro = {QStringLiteral("begin")};
    TMacroRecorder::setTarget([&macro](const QString& line) { macro << QStringLiteral("    ") + line; });
    a.nope.doExecute();
    a.check.setChecked(true);
    a.boolean.setValue(true);
    a.string.setValue(QStringLiteral("l'été // à \"Paris\""));
    a.strings.setValue({QStringLiteral("a.mp4"), QStringLiteral("it's, here.mov")});
    a.integer.setValue(-42);
    a.color.setValue(0x00C0FFEE);
    a.number.setValue(29.97);
    a.point.setValue(TPoint(-5, 7));
    a.rect.setValue(TRect{10, 20, 1210, 820});
    a.font.setValue(sampleFont());
    TMacroRecorder::clearTarget();
    macro << QStringLiteral("end.");

    Actions b;
    const TMacroEngine::TResult result = b.engine.run(macro.join(QStringLiteral("\r\n")));
    ASSERT_TRUE(result.ok) << result.line << " " << result.reason.toStdString();
    EXPECT_EQ(b.pings, 1);
    EXPECT_TRUE(b.check.Checked());
    EXPECT_TRUE(b.boolean.Value);
    EXPECT_EQ(b.string.Value, a.string.Value);
    EXPECT_EQ(b.strings.Value, a.strings.Value);
    EXPECT_EQ(b.integer.Value, -42);
    EXPECT_EQ(b.color.Value, 0x00C0FFEE);
    EXPECT_EQ(b.number.Value, 29.97);
    EXPECT_EQ(b.point.Value, TPoint(-5, 7));
    EXPECT_EQ(b.rect.Value, a.rect.Value);
    EXPECT_EQ(b.font.Value.Name, a.font.Value.Name);
    EXPECT_EQ(b.font.Value.Size, 14);
    EXPECT_EQ(b.font.Value.Color, sampleFont().Color);
    EXPECT_EQ(b.font.Value.Italic, true);
    EXPECT_EQ(b.font.Value.Bold, false);
    EXPECT_EQ(b.font.Value.StrikeOut, true);
}

TEST(MacroEngine, CommentsCaseAndTheToggleRoutine)
{
    Actions a;
    const auto result = a.engine.run(QStringLiteral("// a macro\n\nBEGIN\n  loop; // toggles\n  VOLUME(7)\n  Files([]);\nEnd.\n"));
    ASSERT_TRUE(result.ok) << result.reason.toStdString();
    EXPECT_TRUE(a.check.Checked());
    EXPECT_EQ(a.integer.Value, 7);
    EXPECT_TRUE(a.strings.Value.isEmpty());
}

// A macro read from a damaged UTF-16 file may hold half of a surrogate pair;
// its lines are still lines, and the error still names the right one.
TEST(MacroEngine, HalfASurrogatePairKeepsTheLines)
{
    const QString half(QChar(0xD800));
    Actions a;
    const auto ran = a.engine.run(QStringLiteral("begin\n  Volume(7);\n  // ") + half + QStringLiteral("\nend."));
    ASSERT_TRUE(ran.ok) << ran.line << " " << ran.reason.toStdString();
    EXPECT_EQ(a.integer.Value, 7);

    const auto refused = a.engine.run(QStringLiteral("begin\n  Title('") + half + QStringLiteral("');\n  Nowhere;\nend."));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.line, 3);
    EXPECT_EQ(refused.reason, QStringLiteral("Unknown routine 'Nowhere'"));
}

// A macro typed by hand need not keep to the recorder's one statement a line.
TEST(MacroEngine, StatementsShareLinesAsInPascal)
{
    const struct {
        const char* body;
        int volume;
        bool loop;
        const char* title;
    } cases[] = {
        {"begin Volume(5); Loop; end.", 5, true, ""},
        {"begin Volume(5); Title('a; b'); end .", 5, false, "a; b"},
        {"BEGIN\n  Volume(6); Title('x') ;\n  Loop;;\nEND.", 6, true, "x"},
        {"begin\n  Volume(7)\nend.  // done", 7, false, ""},
    };
    for (const auto& c : cases) {
        Actions a;
        const TMacroEngine::TResult result = a.engine.run(QString::fromUtf8(c.body));
        ASSERT_TRUE(result.ok) << c.body << ": " << result.line << " " << result.reason.toStdString();
        EXPECT_EQ(a.integer.Value, c.volume) << c.body;
        EXPECT_EQ(a.check.Checked(), c.loop) << c.body;
        EXPECT_EQ(a.string.Value, QString::fromUtf8(c.title)) << c.body;
    }
}

TEST(MacroEngine, ErrorsNameTheirLineAndChangeNothing)
{
    const struct {
        const char* body;
        int line;
        const char* reason;
    } cases[] = {
        {"begin\n  Volume(5);\n  Nowhere(1);\nend.", 3, "Unknown routine 'Nowhere'"},
        {"begin\n  Volume(5, 6);\nend.", 2, "'Volume' takes 1 argument(s), 2 given"},
        {"begin\n  Volume('five');\nend.", 2, "Argument 1 of 'Volume' must be an integer"},
        {"begin\n  Mute(1);\nend.", 2, "Argument 1 of 'Mute' must be True or False"},
        {"begin\n  Title('open);\nend.", 2, "Unterminated string"},
        {"begin\n  Volume(12x);\nend.", 2, "Broken number '12x'"},
        {"begin\n  Color($FFG);\nend.", 2, "',' or ')' expected"},
        {"begin\n  Files(['a', 3]);\nend.", 2, "Array items must be strings"},
        {"begin\n  Volume(99999999999);\nend.", 2, "Argument 1 of 'Volume' must be an integer"},
        {"  Volume(5);\nend.", 1, "'begin' expected"},
        {"begin\n  Volume(5);\n", 2, "'end.' expected"},
        {"begin\nend.\nVolume(5);", 3, "Text after 'end.'"},
        {"begin\n  Volume(5) Mute(True);\nend.", 2, "';' expected"},
        {"begin Volume(5); end. Mute(True);", 1, "Text after 'end.'"},
        {"begin Volume(5); Nowhere; end.", 1, "Unknown routine 'Nowhere'"},
        {"beginning; Volume(5); end.", 1, "'begin' expected"},
        {"begin Volume(5);\n  Mute(True); end", 2, "Unknown routine 'end'"},
    };
    for (const auto& c : cases) {
        Actions a;
        a.integer.Value = 1;
        const TMacroEngine::TResult result = a.engine.run(QString::fromUtf8(c.body));
        EXPECT_FALSE(result.ok) << c.body;
        EXPECT_EQ(result.line, c.line) << c.body;
        EXPECT_EQ(result.reason, QString::fromUtf8(c.reason)) << c.body;
        EXPECT_EQ(a.integer.Value, 1) << c.body;
    }
}

TEST(MacroEngine, DeclarationsTheEngineRefuses)
{
    TMacroEngine engine;
    const auto nothing = [](const QVariantList&) {};
    EXPECT_TRUE(engine.addRoutine("procedure Go;", nothing));
    EXPECT_FALSE(engine.addRoutine("procedure go;", nothing));
    EXPECT_FALSE(engine.addRoutine("function Go: integer;", nothing));
    EXPECT_FALSE(engine.addRoutine("procedure Odd(const a:Variant);", nothing));
    EXPECT_TRUE(engine.addRoutine("procedure Two(const x,y:integer);", nothing));

    TQXActionList list;
    TNopeAction unnamed(QStringLiteral("naX"), &list);
    unnamed.setScriptName(QString());
    EXPECT_FALSE(unnamed.registerInScript(engine));
}

TEST(MacroEngine, ListsChainTheEnginesCompileHandler)
{
    TMacroEngine engine;
    QStringList order;
    engine.OnCompile = [&](TScriptEngine&) { order << QStringLiteral("engine's own"); };
    {
        TQXActionList list;
        TNopeAction ping(QStringLiteral("naPing"), &list);
        list.setPascalScript(&engine);
        engine.compile();
        EXPECT_TRUE(engine.hasRoutine(QStringLiteral("Ping")));
    }
    // The list is gone: the engine has its own handler back.
    engine.compile();
    EXPECT_EQ(order, QStringList({QStringLiteral("engine's own"), QStringLiteral("engine's own")}));
    EXPECT_FALSE(engine.hasRoutine(QStringLiteral("Ping")));
}
