#include "TestSupport.h"
#include "uAboutFrame.h"
#include "uHelpForm.h"
#include "uLinkEdit.h"
#include "uMacroEngine.h"
#include "uPreferences.h"
#include "uQXAppliMan.h"
#include "uScriptAction.h"
#include "uScriptForm.h"
#include "uShortcutDispatch.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <functional>

#include <ostream>

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

// The middle of the second character of a text shown by a link control, in viewport coordinates.
QPoint pointOf(const TLinkEdit* edit, const QString& text)
{
    const int index = static_cast<int>(edit->toPlainText().indexOf(text)) + 1;
    QTextCursor c(edit->document());
    c.setPosition(index);
    const QRect left = edit->cursorRect(c);
    c.setPosition(index + 1);
    const QRect right = edit->cursorRect(c);
    return QPoint((left.x() + right.x()) / 2, left.center().y());
}

void mouse(TLinkEdit* edit, QEvent::Type type, const QPoint& pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, pos, edit->viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(edit->viewport(), &e);
}

void clickText(TLinkEdit* edit, const QString& text)
{
    mouse(edit, QEvent::MouseButtonPress, pointOf(edit, text));
    mouse(edit, QEvent::MouseButtonRelease, pointOf(edit, text));
}

QString hintOver(TLinkEdit* edit, const QString& text)
{
    mouse(edit, QEvent::MouseMove, pointOf(edit, text));
    return edit->toolTip();
}

// The main window as the manager sees it: shown, with its about and options
// pages assigned, the program's shortcut dispatch installed, and every address
// the manager opens caught instead of reaching a browser or a mail client.
class AppliManTest : public ::testing::Test {
protected:
    AppliManTest()
    {
        am->OpenUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        window.resize(1010, 648);
        options->resize(500, 400);
        am->setAboutFrame(about);
        am->setOptionsFrame(options);
        TShortcutDispatcher::install(&window);
        window.show();
    }

    TCheckAction* check(const QString& id) const { return am->recuperer<TCheckAction>(id); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(&window, k, mods); }
    // Which of the three pages are shown, as checked switches and as visible panels.
    QString pagesShown() const
    {
        QStringList shown;
        const struct {
            const char* id;
            TPagePanel* panel;
        } pages[] = {{"caAbout", am->AboutPanel()}, {"caOptions", am->OptionsPanel()}, {"caCustom", am->CustomPanel()}};
        for (const auto& page : pages) {
            const QString id = QString::fromLatin1(page.id);
            if (check(id)->Checked())
                shown << id;
            if (page.panel->isVisible() && page.panel->frame() && page.panel->frame()->isVisible())
                shown << page.panel->accessibleName();
        }
        return shown.join(QLatin1Char(' '));
    }

    QWidget window;
    TQXAppliMan* am = new TQXAppliMan(&window);
    TAboutFrame* about = new TAboutFrame;
    QWidget* options = new QWidget;
    QList<QUrl> opened;
};

} // namespace

TEST(AppliManVersion, TextsComposedFromTheNumbers)
{
    EXPECT_EQ(TQXAppliMan::version(), QStringLiteral("1.0.3.9"));
    EXPECT_EQ(TQXAppliMan::language(), QStringLiteral("fr"));
    EXPECT_EQ(TQXAppliMan::fullCaption(), QStringLiteral("Movarium 1.0.3.9 fr"));
    EXPECT_EQ(TQXAppliMan::lastUpdate(), QStringLiteral("18/08/2024"));
}

TEST(AppliManWithoutWindow, HasItsActionsAndNoPages)
{
    TQXAppliMan am(nullptr);
    EXPECT_EQ(am.ParentForm(), nullptr);
    EXPECT_EQ(am.OptionsPanel(), nullptr);
    EXPECT_EQ(am.HelpForm(), nullptr);
    for (const char* id : {"caAbout", "caOptions", "caCustom", "caHelp", "caScript"}) {
        TCheckAction* page = am.recuperer<TCheckAction>(QString::fromLatin1(id));
        ASSERT_NE(page, nullptr) << id;
        page->toggle();
        EXPECT_TRUE(page->Checked()) << id;
    }
    am.recuperer<TRectAction>(QStringLiteral("raFormSave"))->setValue(TRect{0, 0, 10, 10});
    am.recuperer<TNopeAction>(QStringLiteral("naQuit"))->doExecute();
}

TEST_F(AppliManTest, F10WhileTheAboutPageIsShownSwitchesToOptions)
{
    EXPECT_EQ(pagesShown(), QString());
    key(Qt::Key_F11);
    EXPECT_EQ(pagesShown(), QStringLiteral("caAbout About"));
    EXPECT_EQ(check(QStringLiteral("caAbout"))->Hint(), QStringLiteral("Click to close the page About..."));
    key(Qt::Key_F10);
    EXPECT_EQ(pagesShown(), QStringLiteral("caOptions Options"));
    EXPECT_EQ(check(QStringLiteral("caAbout"))->Hint(), QStringLiteral("Click to open the page About..."));
    key(Qt::Key_F10);
    EXPECT_EQ(pagesShown(), QString());
}

TEST_F(AppliManTest, PagesAreMutuallyExclusive)
{
    auto* custom = new QWidget;
    custom->resize(200, 100);
    am->setCustomFrame(custom);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* shown;
    } pages[] = {
        {Qt::Key_F11, {}, "caAbout About"},
        {Qt::Key_F10, {}, "caOptions Options"},
        {Qt::Key_F10, Qt::AltModifier, "caCustom Custom"},
    };
    for (const auto& first : pages) {
        for (const auto& second : pages) {
            if (&first == &second)
                continue;
            key(first.key, first.mods);
            ASSERT_EQ(pagesShown(), QString::fromLatin1(first.shown));
            key(second.key, second.mods);
            EXPECT_EQ(pagesShown(), QString::fromLatin1(second.shown)) << first.shown << " then " << second.shown;
            key(second.key, second.mods);
            EXPECT_EQ(pagesShown(), QString());
        }
    }
    // The help and script windows stand beside a page.
    key(Qt::Key_F11);
    key(Qt::Key_F1);
    key(Qt::Key_F12);
    EXPECT_EQ(pagesShown(), QStringLiteral("caAbout About"));
    EXPECT_TRUE(am->HelpForm()->isVisible());
    EXPECT_TRUE(am->ScriptForm()->isVisible());
}

TEST_F(AppliManTest, CustomKeyWithoutCustomPageShowsNothingButPutsThePageAway)
{
    key(Qt::Key_F11);
    key(Qt::Key_F10, Qt::AltModifier);
    EXPECT_EQ(pagesShown(), QStringLiteral("caCustom"));
    EXPECT_FALSE(am->CustomPanel()->isVisible());
}

TEST_F(AppliManTest, ClosingTheHelpOrScriptWindowUnchecksItsSwitch)
{
    const struct {
        Qt::Key key;
        const char* id;
        QWidget* shown;
    } windows[] = {
        {Qt::Key_F1, "caHelp", am->HelpForm()},
        {Qt::Key_F12, "caScript", am->ScriptForm()},
    };
    for (const auto& w : windows) {
        TCheckAction* action = check(QString::fromLatin1(w.id));
        key(w.key);
        EXPECT_TRUE(action->Checked()) << w.id;
        EXPECT_TRUE(w.shown->isVisible()) << w.id;
        w.shown->close();
        EXPECT_FALSE(action->Checked()) << w.id;
        key(w.key);
        EXPECT_TRUE(action->Checked()) << w.id;
        EXPECT_TRUE(w.shown->isVisible()) << w.id;
        key(w.key);
        EXPECT_FALSE(w.shown->isVisible()) << w.id;
    }
}

TEST_F(AppliManTest, PanelsCoverTheWindowAndCentreTheirPage)
{
    const QColor silver(192, 192, 192);
    QColor workspace;
    markupColor(QStringLiteral("APPWORKSPACE"), window.palette(), workspace);
    EXPECT_EQ(am->AboutPanel()->palette().color(QPalette::Window), workspace);
    EXPECT_EQ(am->OptionsPanel()->palette().color(QPalette::Window), silver);
    EXPECT_EQ(am->CustomPanel()->palette().color(QPalette::Window), silver);

    key(Qt::Key_F10);
    const struct {
        QSize window;
        QPoint page;
    } cases[] = {
        {{1010, 648}, {255, 124}},
        {{1011, 649}, {255, 124}}, // halves truncated
        {{300, 200}, {-100, -100}},
        {{301, 201}, {-99, -99}}, // toward zero, not down
    };
    for (const auto& c : cases) {
        window.resize(c.window);
        EXPECT_EQ(am->OptionsPanel()->geometry(), window.rect());
        EXPECT_EQ(options->pos(), c.page) << c.window.width() << 'x' << c.window.height();
    }
}

// A page laid out by its controls and never sized by hand, as the options page
// is: it takes the size its layout asks for before it is centred, and follows
// that size when its contents grow (a density change scales its fonts).
TEST(PagePanel, CentresAPageSizedByItsLayout)
{
    QWidget window;
    window.resize(1010, 648);
    TPagePanel panel(&window, Qt::gray);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* content = new QWidget(page);
    content->setMinimumSize(600, 300);
    layout->addWidget(content);
    panel.setFrame(page);
    window.show();
    panel.showPage();
    QApplication::processEvents();

    const auto centred = [&] {
        return QPoint((panel.width() - page->width()) / 2, (panel.height() - page->height()) / 2);
    };
    EXPECT_EQ(page->size(), page->sizeHint());
    EXPECT_GE(page->width(), 600);
    EXPECT_EQ(page->pos(), centred());

    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"window resized", [&] { window.resize(1200, 800); }},
        {"window smaller than the page", [&] { window.resize(500, 250); }},
        {"contents grown", [&] { content->setMinimumSize(700, 380); }},
        {"back to the first size", [&] { window.resize(1010, 648); }},
    };
    for (const auto& c : cases) {
        c.change();
        QApplication::processEvents();
        EXPECT_EQ(panel.geometry(), window.rect()) << c.what;
        EXPECT_EQ(page->size(), page->sizeHint()) << c.what;
        EXPECT_EQ(page->pos(), centred()) << c.what;
    }
    EXPECT_GE(page->width(), 700);

    // A page its owner sized keeps that size.
    auto* sized = new QWidget;
    sized->resize(123, 45);
    panel.setFrame(sized);
    panel.showPage();
    QApplication::processEvents();
    EXPECT_EQ(sized->size(), QSize(123, 45));
    EXPECT_EQ(sized->pos(), QPoint((1010 - 123) / 2, (648 - 45) / 2));
}

TEST_F(AppliManTest, OptionsCloseLine)
{
    TLinkEdit* line = am->OptionsCloseLine();
    ASSERT_EQ(line->parentWidget(), options);
    EXPECT_EQ(line->toPlainText(), QStringLiteral("Type F10 to close this page or click here."));
    EXPECT_EQ(line->accessibleName(), line->toPlainText());
    EXPECT_EQ(line->geometry(), QRect(500 - 180 - 16, 400 - 40 - 16, 180, 40));
    EXPECT_TRUE(line->font().bold() && line->font().italic());
    EXPECT_EQ(line->font().pointSize(), 8);

    key(Qt::Key_F10);
    EXPECT_TRUE(line->isVisible());
    options->resize(600, 450);
    EXPECT_EQ(line->pos(), QPoint(600 - 180 - 16, 450 - 40 - 16));
    EXPECT_EQ(hintOver(line, QStringLiteral("click here")),
              QStringLiteral("Click to close that page\r\nand return to the application"));
    EXPECT_EQ(hintOver(line, QStringLiteral("Type")), QString());
    clickText(line, QStringLiteral("click here"));
    EXPECT_EQ(pagesShown(), QString());

    am->setOptionsCloseVisible(false);
    key(Qt::Key_F10);
    EXPECT_FALSE(line->isVisible());
    am->setOptionsCloseVisible(true);
    EXPECT_TRUE(line->isVisible());
}

TEST_F(AppliManTest, AboutPage)
{
    key(Qt::Key_F11);
    EXPECT_EQ(about->Titre->text(), QStringLiteral("Movarium 1.0.3.9 fr"));
    TLinkEdit* info = about->Info;
    const QString text = info->toPlainText();
    for (const char* part : {"Movarium", "Tessaly", "18/08/2024", "Home page", "Documentation", "Forum",
                             "Type F11 to close this page or click here."})
        EXPECT_TRUE(text.contains(QString::fromLatin1(part))) << part << " in " << text.toStdString();
    EXPECT_FALSE(info->richText().contains(QStringLiteral("It uses")));

    const struct {
        const char* shown;
        QString address;
    } links[] = {
        {"Home page", TQXAppliMan::homePage()},
        {"Documentation", TQXAppliMan::documentationPage()},
        {"Forum", TQXAppliMan::forumPage()},
    };
    for (const auto& link : links) {
        EXPECT_EQ(hintOver(info, QString::fromLatin1(link.shown)),
                  QStringLiteral("Click to open the web page ") + link.address);
        opened.clear();
        clickText(info, QString::fromLatin1(link.shown));
        EXPECT_EQ(opened, QList<QUrl>{QUrl(link.address)}) << link.shown;
    }

    EXPECT_EQ(hintOver(info, QStringLiteral("click here")),
              QStringLiteral("Click to close that page\r\nand return to the application"));
    clickText(info, QStringLiteral("click here"));
    EXPECT_EQ(pagesShown(), QString());
}

TEST_F(AppliManTest, AboutPageCreditsItsComponentsWhenThereAreAny)
{
    am->setTitreUses({QStringLiteral("LAV Filters"), QStringLiteral("SQLite")});
    am->setUrlUses({QStringLiteral("https://lav.example/\u00A9"), QStringLiteral("https://sqlite.example/")});
    key(Qt::Key_F11);
    EXPECT_TRUE(about->Info->richText().contains(
        QStringLiteral("It uses <url https://lav.example/\u00A9>LAV Filters</url>, "
                       "<url https://sqlite.example/>SQLite</url>.<br><br>")));
    // One trailing © is not part of the address.
    clickText(about->Info, QStringLiteral("LAV Filters"));
    clickText(about->Info, QStringLiteral("SQLite"));
    EXPECT_EQ(opened,
              QList<QUrl>({QUrl(QStringLiteral("https://lav.example/")), QUrl(QStringLiteral("https://sqlite.example/"))}));
}

TEST_F(AppliManTest, EMailAndHomePageGoToTheDesktop)
{
    key(Qt::Key_F5, Qt::AltModifier);
    key(Qt::Key_F6, Qt::AltModifier);
    ASSERT_EQ(opened.size(), 2);
    const QUrl mail = opened[0];
    EXPECT_EQ(mail.toString(QUrl::FullyEncoded),
              QStringLiteral("mailto:movarium@tessaly.example?subject=About%20Movarium%201.0.3.9%20fr&body="));
    EXPECT_EQ(QUrlQuery(mail).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("About Movarium 1.0.3.9 fr"));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("https://www.tessaly.example/movarium/")));
}

TEST_F(AppliManTest, QuitClosesTheWindow)
{
    key(Qt::Key_F4, Qt::AltModifier);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(AppliManTest, ScriptsSeeTheManagersActions)
{
    TMacroEngine* engine = am->MacroEngine();
    engine->compile();
    EXPECT_TRUE(engine->hasRoutine(QStringLiteral("setOptions")));
    EXPECT_TRUE(engine->run(QStringLiteral("begin\n    setOptions(True);\nend.")).ok);
    EXPECT_EQ(pagesShown(), QStringLiteral("caOptions Options"));
}

// ---------------------------------------------------------------------------

namespace {

// A window whose manager loads and saves through a portable store in a fresh
// program folder, the user's hive kept aside.
class FormRectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toUtf8());
        prefs.setProgramFolder(dir.path() + QLatin1Char('/'));
        prefs.setTitre(QStringLiteral("AppliManTest"));
        prefs.setMode(spPortable);
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    // A screen of that density and free area stands for the window's own.
    static void onScreen(TQXAppliMan& am, qint32 ppi, const QRect& area = QRect(0, 0, 1920, 1080))
    {
        am.CurrentScreen = [ppi, area] { return TQXAppliMan::TScreenInfo{ppi, area}; };
    }
    void store(const TRect& r, qint32 ppi)
    {
        prefs.openkey(QStringLiteral("MainForm"));
        prefs.writeRect(QStringLiteral("FormSave"), r);
        prefs.writeInteger(QStringLiteral("FormPixelsPerInch"), ppi);
        prefs.closekey();
    }
    void load(TQXAppliMan& am)
    {
        prefs.openkey(QStringLiteral("MainForm"));
        EXPECT_TRUE(am.loadfromprefs(prefs));
        prefs.closekey();
    }
    static QRect bounds(const QWidget& w) { return QRect(w.pos(), w.size()); }

    TempFolder dir;
    QWidget owner;
    TOrvanePreferences prefs{&owner};
};

} // namespace

TEST_F(FormRectTest, SavedAt120OpensScaledAt96)
{
    {
        QWidget saved;
        auto* am = new TQXAppliMan(&saved);
        onScreen(*am, 120);
        saved.show();
        saved.move(100, 50);
        saved.resize(1200, 800);
        am->recuperer<TCheckAction>(QStringLiteral("caAbout"))->setChecked(true);
        am->recuperer<TCheckAction>(QStringLiteral("caHelp"))->setChecked(true);
        prefs.openkey(QStringLiteral("MainForm"));
        EXPECT_TRUE(am->savetoprefs(prefs));
        prefs.closekey();
    }
    prefs.store().endUpdate();
    const QString ini = QString::fromUtf8(readAll(dir.file(QStringLiteral("AppliManTest.ini"))));
    EXPECT_TRUE(ini.contains(QStringLiteral("FormPixelsPerInch=120"))) << ini.toStdString();
    // The page switches and the commands are not kept.
    for (const char* name : {"About", "Options", "Custom", "Help", "Script", "Quit", "EMail", "HomePage"})
        EXPECT_FALSE(ini.contains(QString::fromLatin1(name) + QLatin1Char('='))) << name;

    QWidget restored;
    restored.resize(500, 400);
    auto* am = new TQXAppliMan(&restored);
    onScreen(*am, 96);
    restored.show();
    load(*am);
    EXPECT_EQ(bounds(restored), QRect(80, 40, 960, 640));
    EXPECT_EQ(am->FLastppi, 120);
}

TEST_F(FormRectTest, ScalingRoundsHalvesAwayFromZero)
{
    store(TRect{-2, 2, 1002, 802}, 96);
    QWidget window;
    auto* am = new TQXAppliMan(&window);
    onScreen(*am, 120, QRect(-2000, -2000, 6000, 6000));
    load(*am);
    EXPECT_EQ(bounds(window), QRect(-3, 3, 1255, 1000));
}

TEST_F(FormRectTest, WithoutStoredRectangleTheWindowOpensCentred)
{
    const struct {
        qint32 ppi;
        QRect expected;
    } cases[] = {
        {96, QRect(559, 259, 801, 561)},
        {120, QRect(459, 189, 1001, 701)},
        {144, QRect(359, 119, 1201, 841)},
    };
    for (const auto& c : cases) {
        QWidget window;
        window.resize(1001, 701);
        auto* am = new TQXAppliMan(&window);
        onScreen(*am, c.ppi);
        load(*am);
        EXPECT_EQ(bounds(window), c.expected) << c.ppi;
        EXPECT_EQ(am->FLastppi, c.ppi);
    }
}

TEST_F(FormRectTest, RectangleFromALargerScreenComesBackOnThisOne)
{
    const struct {
        TRect saved;
        QRect expected;
    } cases[] = {
        {{3000, 2000, 4600, 3200}, QRect(0, 0, 1024, 768)},
        {{900, 600, 1300, 900}, QRect(624, 468, 400, 300)},
        {{-1500, 100, -700, 700}, QRect(0, 100, 800, 600)},
        {{10, 20, 410, 320}, QRect(10, 20, 400, 300)},
    };
    for (const auto& c : cases) {
        store(c.saved, 96);
        QWidget window;
        auto* am = new TQXAppliMan(&window);
        onScreen(*am, 96, QRect(0, 0, 1024, 768));
        load(*am);
        EXPECT_EQ(bounds(window), c.expected) << c.saved.Left << ',' << c.saved.Top;
    }

    // The same on the real screen of the window.
    store(TRect{5000, 4000, 9000, 7000}, qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
    QWidget window;
    auto* am = new TQXAppliMan(&window);
    load(*am);
    EXPECT_TRUE(window.screen()->availableGeometry().contains(bounds(window))) << bounds(window).x();
}
