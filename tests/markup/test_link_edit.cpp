#include "uLinkEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// "family size colour [b] [i] [u] [s]" of a character format; "-" when no family is set.
QString describe(const QTextCharFormat& f)
{
    const QString families = f.fontFamilies().toStringList().join(QLatin1Char(','));
    QStringList parts{families.isEmpty() ? QStringLiteral("-") : families,
                      QString::number(f.fontPointSize()) + QStringLiteral("pt"), f.foreground().color().name()};
    if (f.fontWeight() >= QFont::Bold)
        parts << QStringLiteral("b");
    if (f.fontItalic())
        parts << QStringLiteral("i");
    if (f.fontUnderline())
        parts << QStringLiteral("u");
    if (f.fontStrikeOut())
        parts << QStringLiteral("s");
    return parts.join(QLatin1Char(' '));
}

// A control on a 10 point "Sans" font whose colours all differ from the markup's own:
// text #404040, button face #123456, base #abcdef, and one colour per link kind.
class LinkEditTest : public ::testing::Test {
protected:
    LinkEditTest()
    {
        edit.setFont(QFont(QStringLiteral("Sans"), 10));
        QPalette p = edit.palette();
        p.setColor(QPalette::Text, QColor(0x404040));
        p.setColor(QPalette::Button, QColor(0x123456));
        p.setColor(QPalette::Base, QColor(0xabcdef));
        edit.setPalette(p);
        edit.UrlColor = QColor(0x0000a1);
        edit.MailColor = QColor(0x0000a2);
        edit.LinkColor = QColor(0x0000a3);
        edit.resize(400, 300);
    }

    QString formatAt(int index) const
    {
        QTextCursor c(edit.document());
        c.setPosition(index + 1);
        return describe(c.charFormat());
    }

    QList<int> alignments() const
    {
        QList<int> result;
        for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next())
            result << int(b.blockFormat().alignment());
        return result;
    }

    // The middle of a shown character, in viewport coordinates.
    QPoint centreOf(int index) const
    {
        QTextCursor c(edit.document());
        c.setPosition(index);
        const QRect left = edit.cursorRect(c);
        c.setPosition(index + 1);
        const QRect right = edit.cursorRect(c);
        return QPoint((left.x() + right.x()) / 2, left.center().y());
    }

    // A mouse event as the window system delivers it to the viewport.
    void mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButton button = Qt::NoButton)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
        QMouseEvent e(type, pos, edit.viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(edit.viewport(), &e);
    }

    void click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton)
    {
        mouse(QEvent::MouseButtonPress, pos, button);
        mouse(QEvent::MouseButtonRelease, pos, button);
    }

    TLinkEdit edit;
};

} // namespace

TEST_F(LinkEditTest, ShownText)
{
    const struct {
        const char* markup;
        const char* shown;
    } cases[] = {
        {"no tags at all", "no tags at all"},
        {"<b>Bold</b> plain", "Bold plain"},
        {"a<br>b", "a\nb"},
        {"a<brx>b", "ab"},
        {"a<BR center>b<br  right >c<br justify>d", "a\nb\nc\nd"},
        {"<<>", "<"},
        {"<b<>x", "<x"},
        {"x>y", "x>y"},
        {"a<unknown tag>b<>c< b>d", "abcd"},
        {"a<b", "a"},
        {"a<url T", "a"},
        {"x<<y", "x<"},
        {"&lt;b&gt;", "&lt;b&gt;"},
        {"one\r\ntwo\rthree\nfour", "one\ntwo\nthree\nfour"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const QString markup = QString::fromUtf8(c.markup);
        edit.setRichText(markup);
        EXPECT_EQ(edit.toPlainText(), QString::fromUtf8(c.shown)) << c.markup;
        EXPECT_EQ(markupPlainText(markup), QString::fromUtf8(c.shown)) << c.markup;
        EXPECT_EQ(edit.richText(), markup);
        // Screen readers and UI tests find the control by the text it shows.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&edit);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), edit.toPlainText()) << c.markup;
        EXPECT_EQ(accessible->text(QAccessible::Value), edit.toPlainText()) << c.markup;
    }
}

TEST_F(LinkEditTest, CharacterFormats)
{
    const struct {
        const char* markup;
        int index;
        const char* format;
    } cases[] = {
        // Styles, tag names in any case.
        {"no tags", 0, "Sans 10pt #404040"},
        {"<b>Bold</b> plain", 0, "Sans 10pt #404040 b"},
        {"<b>Bold</b> plain", 5, "Sans 10pt #404040"},
        {"<I>x</i><u>y</U><s>z</s>w", 0, "Sans 10pt #404040 i"},
        {"<I>x</i><u>y</U><s>z</s>w", 1, "Sans 10pt #404040 u"},
        {"<I>x</i><u>y</U><s>z</s>w", 2, "Sans 10pt #404040 s"},
        {"<I>x</i><u>y</U><s>z</s>w", 3, "Sans 10pt #404040"},
        {"<b<>x", 0, "Sans 10pt #404040"},
        {"<b<>x", 1, "Sans 10pt #404040 b"},
        {"<unknown arg>x<>y", 1, "Sans 10pt #404040"},
        {"a<b", 0, "Sans 10pt #404040"},
        // Colours: one saved colour, not a stack.
        {"<color navy>x</color>y", 0, "Sans 10pt #000080"},
        {"<color navy>x</color>y", 1, "Sans 10pt #404040"},
        {"<COLOR NAVY>x", 0, "Sans 10pt #000080"},
        {"<color red>a<color orange>b", 1, "Sans 10pt #ff0000"},
        {"<color red>a<color blue>b</color>c</color>d", 2, "Sans 10pt #ff0000"},
        {"<color red>a<color blue>b</color>c</color>d", 3, "Sans 10pt #ff0000"},
        {"</color>x", 0, "Sans 10pt #000000"},
        {"<color btnface>x<color appworkspace>y", 0, "Sans 10pt #123456"},
        {"<color btnface>x<color appworkspace>y", 1, "Sans 10pt #abcdef"},
        {"<color MoneyGreen>x<color medgray>y<color skyblue>z<color cream>w<color dkgray>v", 0, "Sans 10pt #c0dcc0"},
        {"<color MoneyGreen>x<color medgray>y<color skyblue>z<color cream>w<color dkgray>v", 1, "Sans 10pt #a0a0a4"},
        {"<color MoneyGreen>x<color medgray>y<color skyblue>z<color cream>w<color dkgray>v", 2, "Sans 10pt #a6caf0"},
        {"<color MoneyGreen>x<color medgray>y<color skyblue>z<color cream>w<color dkgray>v", 3, "Sans 10pt #fffbf0"},
        {"<color MoneyGreen>x<color medgray>y<color skyblue>z<color cream>w<color dkgray>v", 4, "Sans 10pt #808080"},
        // Sizes are percentages of the control's 10 points, in whole points.
        {"<SIZE 140>x</size>y", 0, "Sans 14pt #404040"},
        {"<SIZE 140>x</size>y", 1, "Sans 10pt #404040"},
        {"<size 10>x", 0, "Sans 1pt #404040"},
        {"<size 95>x", 0, "Sans 9pt #404040"},
        {"<size big>x", 0, "Sans 1pt #404040"},
        {"</size>x", 0, "Sans 1pt #404040"},
        {"<size 250>x<size 50>y</size>z</size>w", 1, "Sans 5pt #404040"},
        {"<size 250>x<size 50>y</size>z</size>w", 2, "Sans 25pt #404040"},
        {"<size 250>x<size 50>y</size>z</size>w", 3, "Sans 25pt #404040"},
        {"<size 200>a<br>b", 2, "Sans 20pt #404040"},
        // Font names.
        {"<font courier new>x</font>y", 0, "COURIER NEW 10pt #404040"},
        {"<font courier new>x</font>y", 1, "Sans 10pt #404040"},
        {"</font>x", 0, "- 10pt #404040"},
        // Links share the saved colour with COLOR and save the style.
        {"<url T>here</url> more", 0, "Sans 10pt #0000a1 u"},
        {"<url T>here</url> more", 5, "Sans 10pt #404040"},
        {"<url>here</url>", 0, "Sans 10pt #0000a1 u"},
        {"<mail m>x</mail><link l>y</link>", 0, "Sans 10pt #0000a2 u"},
        {"<mail m>x</mail><link l>y</link>", 1, "Sans 10pt #0000a3 u"},
        {"<url T><b>x</url>y", 1, "Sans 10pt #404040"},
        {"<s><url T>x</url>y", 0, "Sans 10pt #0000a1 u s"},
        {"<s><url T>x</url>y", 1, "Sans 10pt #404040 s"},
        {"<color red><url T>x</url>y</color>z", 1, "Sans 10pt #ff0000"},
        {"<color red><url T>x</url>y</color>z", 2, "Sans 10pt #ff0000"},
        {"<url T>x<color red>y</color>z</url>w", 1, "Sans 10pt #ff0000 u"},
        {"<url T>x<color red>y</color>z</url>w", 2, "Sans 10pt #0000a1 u"},
        {"<url T>x<color red>y</color>z</url>w", 3, "Sans 10pt #0000a1"},
    };
    for (const auto& c : cases) {
        edit.setRichText(QString::fromUtf8(c.markup));
        EXPECT_EQ(formatAt(c.index), QString::fromUtf8(c.format)) << c.markup << " at " << c.index;
    }
}

TEST(LinkEdit, NewControlDrawsLinksInNavy)
{
    TLinkEdit edit;
    EXPECT_TRUE(edit.isReadOnly());
    edit.setRichText(QStringLiteral("<url a>x</url><mail b>y</mail><link c>z</link>"));
    for (int i = 0; i < 3; ++i) {
        QTextCursor c(edit.document());
        c.setPosition(i + 1);
        EXPECT_EQ(c.charFormat().foreground().color(), QColor(0x000080)) << i;
    }
}

TEST_F(LinkEditTest, ReRendersWhenFontOrPaletteChange)
{
    edit.setRichText(QStringLiteral("<size 200>x</size>y"));
    edit.setFont(QFont(QStringLiteral("Sans"), 20));
    EXPECT_EQ(formatAt(0), QStringLiteral("Sans 40pt #404040"));
    EXPECT_EQ(formatAt(1), QStringLiteral("Sans 20pt #404040"));

    QPalette p = edit.palette();
    p.setColor(QPalette::Text, Qt::red);
    edit.setPalette(p);
    EXPECT_EQ(formatAt(1), QStringLiteral("Sans 20pt #ff0000"));
    EXPECT_TRUE(edit.updatesEnabled());
}

TEST(LinkEdit, UpdatesHeldBackByTheParentComeBackWithIt)
{
    QWidget parent;
    TLinkEdit* edit = new TLinkEdit(&parent);
    parent.setUpdatesEnabled(false);
    edit->setRichText(QStringLiteral("<b>x</b>"));
    EXPECT_FALSE(edit->updatesEnabled());
    parent.setUpdatesEnabled(true);
    EXPECT_TRUE(edit->updatesEnabled());
}

TEST_F(LinkEditTest, PixelFontKeepsItsSize)
{
    QFont f(QStringLiteral("Sans"));
    f.setPixelSize(13);
    edit.setFont(f);
    edit.setRichText(QStringLiteral("<size 200>x</size>y"));
    QTextCursor c(edit.document());
    c.setPosition(1);
    const qreal enlarged = c.charFormat().fontPointSize();
    c.setPosition(2);
    const qreal plain = c.charFormat().fontPointSize();
    EXPECT_NEAR(plain * edit.logicalDpiY() / 72, 13, 0.01);
    EXPECT_EQ(enlarged, std::floor(enlarged));
    EXPECT_NEAR(enlarged, 2 * plain, 1);
}

TEST_F(LinkEditTest, LineAlignments)
{
    const int left = Qt::AlignLeft, right = Qt::AlignRight, centre = Qt::AlignHCenter;
    const struct {
        const char* markup;
        Qt::Alignment alignment;
        QList<int> lines;
    } cases[] = {
        {"Title<br center>Text", Qt::AlignLeft, {centre, left}},
        {"a<br right>b<br LEFT>c<br>d<br justify>e", Qt::AlignHCenter, {right, left, centre, centre, centre}},
        {"a\nb<br center>c", Qt::AlignRight, {right, centre, right}},
        {"<br center><br center>", Qt::AlignLeft, {centre, centre, left}},
        {"plain", Qt::AlignCenter, {centre}},
    };
    for (const auto& c : cases) {
        edit.setAlignmentDefault(c.alignment);
        edit.setRichText(QString::fromUtf8(c.markup));
        EXPECT_EQ(alignments(), c.lines) << c.markup;
    }

    edit.setRichText(QStringLiteral("Title<br center>Text"));
    edit.setAlignmentDefault(Qt::AlignRight | Qt::AlignTop);
    EXPECT_EQ(int(edit.alignmentDefault()), right);
    EXPECT_EQ(alignments(), QList<int>({centre, right}));
}

TEST_F(LinkEditTest, LinkUnderCharacter)
{
    edit.show();
    const struct {
        const char* markup;
        int index;
        TLinkKind kind;
        const char* target;
    } cases[] = {
        {"<url T>here</url> x", 0, lkUrl, "T"},
        {"<url T>here</url> x", 3, lkUrl, "T"},
        {"<url T>here</url> x", 4, lkNone, ""},
        {"<url T>here</url> x", 5, lkNone, ""},
        {"<url>here</url>", 1, lkNone, ""},
        {"<mail Someone@Example.org>m</mail>", 0, lkMail, "Someone@Example.org"},
        {"<LINK closeAbout>click</Link>", 2, lkCustom, "closeAbout"},
        {"<url   spaced   >x</url>", 0, lkUrl, "spaced"},
        {"a<br><url T>x<br>y</url>z", 4, lkUrl, "T"},
        {"a<br><url T>x<br>y</url>z", 5, lkNone, ""},
        {"<<>x<url T>y</url>", 1, lkNone, ""},
        {"<<>x<url T>y</url>", 2, lkUrl, "T"},
        // An opening tag is closed by the next closing tag of its kind.
        {"<url A>x<url B>y</url>z</url>", 1, lkUrl, "A"},
        {"<url A>x<url B>y</url>z</url>", 2, lkNone, ""},
        {"<url>x<url T>y</url>", 1, lkNone, ""},
        {"<url T>x</mail>y", 1, lkUrl, "T"},
        {"<url T>x", 0, lkUrl, "T"},
    };
    for (const auto& c : cases) {
        edit.setRichText(QString::fromUtf8(c.markup));
        const TMarkupLink link = edit.linkAt(centreOf(c.index));
        EXPECT_EQ(link.Kind, c.kind) << c.markup << " at " << c.index;
        EXPECT_EQ(link.Target, QString::fromUtf8(c.target)) << c.markup << " at " << c.index;
    }
    // Blank space beside and below the text is on no character.
    edit.setRichText(QStringLiteral("<url T>here</url>"));
    EXPECT_EQ(edit.linkAt(centreOf(3) + QPoint(30, 0)).Kind, lkNone);
    EXPECT_EQ(edit.linkAt(centreOf(0) + QPoint(0, 100)).Kind, lkNone);
}

TEST_F(LinkEditTest, ReleaseOverLinkCallsItsClickEvent)
{
    edit.show();
    QStringList calls;
    edit.OnUrlClick = [&](const QString& link) { calls << QStringLiteral("url ") + link; };
    edit.OnMailClick = [&](const QString& link) { calls << QStringLiteral("mail ") + link; };
    edit.OnCustomLinkClick = [&](const QString& link) { calls << QStringLiteral("link ") + link; };
    const char* const markup = "<url T>here</url> and <mail M>there</mail> and <link L>that</link>";
    const struct {
        const char* markup;
        int index; // -1: below the text
        Qt::MouseButton button;
        const char* call;
    } cases[] = {
        {markup, 1, Qt::LeftButton, "url T"},
        {markup, 10, Qt::LeftButton, "mail M"},
        {markup, 20, Qt::LeftButton, "link L"},
        {markup, 6, Qt::LeftButton, nullptr},
        {markup, -1, Qt::LeftButton, nullptr},
        {markup, 1, Qt::RightButton, nullptr},
        {"<url>here</url>", 1, Qt::LeftButton, nullptr},
    };
    for (const auto& c : cases) {
        edit.setRichText(QString::fromUtf8(c.markup));
        calls.clear();
        const QPoint at = c.index < 0 ? QPoint(centreOf(0).x(), 250) : centreOf(c.index);
        click(at, c.button);
        EXPECT_EQ(calls, c.call ? QStringList{QString::fromUtf8(c.call)} : QStringList()) << c.markup << " at " << c.index;
    }

    // The target is the one under the release, wherever the press was.
    edit.setRichText(QString::fromUtf8(markup));
    calls.clear();
    mouse(QEvent::MouseButtonPress, centreOf(6), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, centreOf(11), Qt::LeftButton);
    EXPECT_EQ(calls, QStringList{QStringLiteral("mail M")});

    // Unset events are skipped.
    edit.OnUrlClick = nullptr;
    calls.clear();
    click(centreOf(1));
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(LinkEditTest, PointerAndHintOverLinks)
{
    edit.show();
    const Qt::CursorShape textPointer = edit.viewport()->cursor().shape();
    const struct {
        bool internalCursor;
        bool hintEvent;
        Qt::CursorShape onLink;
        Qt::CursorShape offLink;
    } cases[] = {
        {true, false, Qt::PointingHandCursor, Qt::ArrowCursor},
        {true, true, Qt::PointingHandCursor, Qt::ArrowCursor},
        {false, false, textPointer, textPointer},
        {false, true, Qt::PointingHandCursor, textPointer},
    };
    edit.setRichText(QStringLiteral("<mail M>there</mail> plain"));
    for (const auto& c : cases) {
        edit.UseInternalCursor = c.internalCursor;
        QStringList asked;
        edit.OnMailHint = nullptr;
        if (c.hintEvent)
            edit.OnMailHint = [&](const QString& link, QString& hint) {
                asked << link + QLatin1Char('|') + hint;
                hint = QStringLiteral("Write to ") + link;
            };
        mouse(QEvent::MouseMove, centreOf(8));
        EXPECT_EQ(edit.viewport()->cursor().shape(), c.offLink) << c.internalCursor << c.hintEvent;
        mouse(QEvent::MouseMove, centreOf(1));
        EXPECT_EQ(edit.viewport()->cursor().shape(), c.onLink) << c.internalCursor << c.hintEvent;
        EXPECT_EQ(edit.toolTip(), c.hintEvent ? QStringLiteral("Write to M") : QString());
        EXPECT_EQ(asked, c.hintEvent ? QStringList{QStringLiteral("M|")} : QStringList());
        mouse(QEvent::MouseMove, centreOf(8));
        EXPECT_EQ(edit.viewport()->cursor().shape(), c.offLink) << c.internalCursor << c.hintEvent;
        EXPECT_EQ(edit.toolTip(), QString());
    }
}
