#include "TestSupport.h"
#include "uHelpForm.h"
#include "uMacroEngine.h"
#include "uScriptAction.h"
#include "uScriptForm.h"
#include "uWndComponent.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeWidget>

TEST(ScriptWindow, RecordStopAndRun)
{
    TQXActionList list;
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    TMacroEngine engine;
    list.setPascalScript(&engine);
    TScriptForm form(&engine);

    form.record();
    volume.setValue(30);
    form.stop();
    const QStringList lines = form.editor()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("//Macro saved on ")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" at ")));
    EXPECT_EQ(lines.mid(1), QStringList({QString(), QStringLiteral("begin"), QStringLiteral("    Volume(30);"),
                                         QStringLiteral("end.")}));
    volume.setValue(1);
    EXPECT_EQ(lines.size(), form.editor()->toPlainText().split(QLatin1Char('\n')).size());

    EXPECT_TRUE(form.runMacro());
    EXPECT_EQ(volume.Value, 30);
    EXPECT_EQ(form.status(), QStringLiteral("Done"));

    form.editor()->setPlainText(QStringLiteral("begin\n  Volume(2);\n  Volume(x);\nend."));
    EXPECT_FALSE(form.runMacro());
    EXPECT_EQ(form.status(), QStringLiteral("Line 3: Unknown value 'x'"));
    EXPECT_EQ(form.editor()->textCursor().block().blockNumber(), 2);
    EXPECT_EQ(volume.Value, 30);
}

TEST(ScriptWindow, ClosingTellsItsOwner)
{
    TMacroEngine engine;
    TScriptForm script(&engine);
    THelpForm help;
    int closed = 0;
    script.OnClose = [&] { ++closed; };
    help.OnClose = [&] { ++closed; };
    script.show();
    help.show();
    script.close();
    help.close();
    EXPECT_EQ(closed, 2);
}

TEST(HelpWindow, ListsEveryActionSortedByNameOrShortcut)
{
    TQXActionList first;
    TQXActionList second;
    TNopeAction quit(QStringLiteral("naQuit"), &first);
    quit.setHint(QStringLiteral("Quit Movarium"));
    quit.setShortCut(QKeySequence(Qt::ALT | Qt::Key_F4));
    TCheckAction about(QStringLiteral("caAbout"), &first);
    about.setFalseCaption(QStringLiteral("About"));
    about.setShortCut(QKeySequence(Qt::Key_F11));
    TIntegerAction volume(QStringLiteral("iaVolume"), &second);

    THelpForm help;
    help.fill(QStringLiteral("Movarium"), {&first, &second});
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Movarium"));
    QTreeWidget* table = help.table();
    ASSERT_EQ(table->topLevelItemCount(), 3);

    const auto column = [table](int c) {
        QStringList texts;
        for (int i = 0; i < table->topLevelItemCount(); ++i)
            texts << table->topLevelItem(i)->text(c);
        return texts;
    };
    help.sortBy(THelpForm::colName);
    EXPECT_EQ(column(THelpForm::colName), QStringList({QStringLiteral("About"), QStringLiteral("Quit"), QStringLiteral("Volume")}));
    EXPECT_EQ(column(THelpForm::colHint)[1], QStringLiteral("Quit Movarium"));
    EXPECT_EQ(column(THelpForm::colDeclaration)[2], QStringLiteral("procedure Volume(const aInteger:integer);"));
    help.sortBy(THelpForm::colShortcut);
    EXPECT_EQ(column(THelpForm::colName), QStringList({QStringLiteral("Quit"), QStringLiteral("About"), QStringLiteral("Volume")}));
}
