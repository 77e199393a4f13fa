#include "TestSupport.h"
#include "uPreferences.h"
#include "uScriptAction.h"
#include "uWndComponent.h"

#include <QWidget>

namespace {

// A portable store in a fresh program folder, with the user's hive kept aside.
class ActionPrefsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
        prefs.setProgramFolder(dir.path() + QLatin1Char('/'));
        prefs.setTitre(QStringLiteral("ActionsTest"));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString iniText()
    {
        prefs.store().endUpdate();
        return QString::fromUtf8(readAll(dir.file(QStringLiteral("ActionsTest.ini"))));
    }

    TempFolder dir;
    QWidget owner;
    TOrvanePreferences prefs{&owner};
};

} // namespace

TEST_F(ActionPrefsTest, EmptyStoreGivesTheAdjustedDefault)
{
    TQXActionList list;
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    TCheckAction loop(QStringLiteral("caLoop"), &list);
    volume.DefaultValue = 50;
    QStringList order;
    volume.OnDefault = [&](qint32& v) {
        order << QStringLiteral("published");
        v += 10;
        return true;
    };
    volume.internalDefault = [&](qint32& v) {
        order << QStringLiteral("internal");
        v *= 2;
        return true;
    };
    volume.internalApply = [&](const qint32&) { order << QStringLiteral("apply"); };
    loop.internalDefault = [](bool& v) {
        v = true;
        return true;
    };
    loop.setTrueCaption(QStringLiteral("Looping"));
    ASSERT_EQ(prefs.mode(), spNone);
    EXPECT_TRUE(list.loadfromprefs(prefs));
    EXPECT_EQ(volume.Value, 120);
    EXPECT_TRUE(loop.Checked());
    EXPECT_EQ(loop.Caption(), QStringLiteral("Looping"));
    EXPECT_EQ(order, QStringList({QStringLiteral("published"), QStringLiteral("internal")}));

    volume.ApplyWhenLoad = true;
    volume.DefaultValue = 1;
    order.clear();
    EXPECT_TRUE(volume.loadfromprefs(prefs));
    EXPECT_EQ(order, QStringList({QStringLiteral("published"), QStringLiteral("internal"), QStringLiteral("apply")}));
}

TEST_F(ActionPrefsTest, BeforeSaveChangesTheValueOfAValueActionOnly)
{
    prefs.setMode(spPortable);
    TQXActionList list;
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    TCheckAction loop(QStringLiteral("caLoop"), &list);
    int applies = 0;
    volume.internalApply = [&](const qint32&) { ++applies; };
    volume.Value = 10;
    volume.BeforeSave = [](qint32& v) {
        v = 99;
        return true;
    };
    loop.setChecked(false);
    loop.BeforeSave = [](bool& v) {
        v = true;
        return true;
    };
    ASSERT_TRUE(prefs.openkey(QStringLiteral("MainForm")));
    EXPECT_TRUE(list.savetoprefs(prefs));
    prefs.closekey();
    EXPECT_EQ(volume.Value, 99);
    EXPECT_EQ(applies, 0);
    EXPECT_FALSE(loop.Checked());
    EXPECT_EQ(iniText(), QStringLiteral("[]\n\n[MainForm]\nVolume=99\nLoop=True\n"));
}

TEST_F(ActionPrefsTest, ValuesOfEveryKindComeBack)
{
    prefs.setMode(spPortable);
    TQXActionList saved;
    TStringAction s(QStringLiteral("waTitle"), &saved);
    TStringsAction l(QStringLiteral("saFiles"), &saved);
    TFontAction f(QStringLiteral("faInsertFont"), &saved);
    TColorAction c(QStringLiteral("iaColor"), &saved);
    TDoubleAction d(QStringLiteral("daRatio"), &saved);
    TPointAction p(QStringLiteral("paWhere"), &saved);
    TRectAction r(QStringLiteral("raFormSave"), &saved);
    TBooleanAction b(QStringLiteral("baMute"), &saved);
    s.Value = QStringLiteral("Été");
    l.Value = {QStringLiteral("a"), QStringLiteral("b")};
    f.Value.Name = QStringLiteral("DejaVu Sans");
    f.Value.Bold = true;
    c.Value = 0x00FF8000;
    d.Value = 0.1;
    p.Value = TPoint(1, 2);
    r.Value = TRect{1, 2, 3, 4};
    b.Value = true;
    prefs.openkey(QStringLiteral("MainForm"));
    EXPECT_TRUE(saved.savetoprefs(prefs));
    prefs.closekey();

    TQXActionList loaded;
    TStringAction s2(QStringLiteral("waTitle"), &loaded);
    TStringsAction l2(QStringLiteral("saFiles"), &loaded);
    TFontAction f2(QStringLiteral("faInsertFont"), &loaded);
    TColorAction c2(QStringLiteral("iaColor"), &loaded);
    TDoubleAction d2(QStringLiteral("daRatio"), &loaded);
    TPointAction p2(QStringLiteral("paWhere"), &loaded);
    TRectAction r2(QStringLiteral("raFormSave"), &loaded);
    TBooleanAction b2(QStringLiteral("baMute"), &loaded);
    prefs.openkey(QStringLiteral("MainForm"));
    EXPECT_TRUE(loaded.loadfromprefs(prefs));
    prefs.closekey();
    EXPECT_EQ(s2.Value, s.Value);
    EXPECT_EQ(l2.Value, l.Value);
    EXPECT_EQ(f2.Value, f.Value);
    EXPECT_EQ(c2.Value, c.Value);
    EXPECT_EQ(d2.Value, 0.1);
    EXPECT_EQ(p2.Value, p.Value);
    EXPECT_EQ(r2.Value, r.Value);
    EXPECT_TRUE(b2.Value);
}

TEST_F(ActionPrefsTest, AValueOfTheWrongTypeGivesTheDefaultAndTheRestLoads)
{
    dir.write(QStringLiteral("ActionsTest.ini"), "[]\n\n[MainForm]\nMute=yes\nVolume=abc\nTitle=kept\n");
    prefs.setMode(spPortable);
    TQXActionList list;
    TBooleanAction mute(QStringLiteral("baMute"), &list);
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    TStringAction title(QStringLiteral("waTitle"), &list);
    mute.DefaultValue = true;
    volume.DefaultValue = 40;
    prefs.openkey(QStringLiteral("MainForm"));
    EXPECT_TRUE(list.loadfromprefs(prefs));
    prefs.closekey();
    EXPECT_TRUE(mute.Value);
    EXPECT_EQ(title.Value, QStringLiteral("kept"));
    EXPECT_EQ(volume.Value, 40);
}

TEST_F(ActionPrefsTest, AListThatKeepsNothingStoresNothing)
{
    prefs.setMode(spPortable);
    TQXActionList list;
    TIntegerAction volume(QStringLiteral("iaVolume"), &list);
    TCheckAction loop(QStringLiteral("caLoop"), &list);
    volume.IncludePrefs = false;
    loop.IncludePrefs = false;
    prefs.openkey(QStringLiteral("MainForm"));
    EXPECT_TRUE(list.savetoprefs(prefs));
    EXPECT_TRUE(list.loadfromprefs(prefs));
    list.OnSaveToPrefs = [](TOrvanePreferences&) { return false; };
    EXPECT_FALSE(list.savetoprefs(prefs));
    prefs.closekey();
    EXPECT_EQ(iniText(), QStringLiteral("[]\n\n[MainForm]\n"));
}
