#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTextEdit>

#include <functional>

class QPalette;

// The tag markup of every informative text of the program:
//   <b> <i> <u> <s>                       bold, italic, underline, strike-out (and their </...>)
//   <color NAME> </color>                 a colour of markupColor's table
//   <size N> </size>                      N percent of the control's font size, in whole points
//   <font NAME> </font>                   a font family
//   <url T> <mail T> <link T> and closes  links with target T, drawn underlined in the link colour
//   <br> <br left|right|center>           a line break that aligns the line it ends
// Tags are read case-insensitively; a "<" inside a tag is shown ("<<>" shows "<"), other
// tags show nothing, an unterminated tag at the end is dropped. There are no entities.
// Colour, style, size and font name each have one saved slot, not a stack: a closing tag
// restores the value saved by the latest opening tag of that slot, and URL, MAIL, LINK and
// COLOR share the colour slot.

// The colour that <color name> selects (name in any case); false for an unknown name,
// which leaves the colour unchanged. BTNFACE and APPWORKSPACE follow the palette.
bool markupColor(const QString& name, const QPalette& palette, QColor& color);

// The text a markup shows, line breaks as "\n".
QString markupPlainText(const QString& markup);

enum TLinkKind { lkNone, lkUrl, lkMail, lkCustom };

// A link of the shown text: the characters [Start, End) of the document, from its opening
// tag to the next closing tag of its kind (or the end of the text).
struct TMarkupLink {
    TLinkKind Kind = lkNone;
    QString Target;
    int Start = 0;
    int End = 0;
};

using TLinkClickEvent = std::function<void(const QString& link)>;
using TLinkHintEvent = std::function<void(const QString& link, QString& hint)>;

// A read-only text control that shows a markup text and reports clicks on its links.
// The control's font, text colour (palette Text) and alignment are the start of every
// rendering; a change of font or palette renders the markup again. Its accessible name
// is the text it shows, for screen readers and UI tests.
class TLinkEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit TLinkEdit(QWidget* parent = nullptr);

    // Setting the markup renders it at once; richText() answers it as last set.
    void setRichText(const QString& markup);
    const QString& richText() const { return FRichText; }

    // The alignment of every line that no <br left|right|center> aligns: Qt::AlignLeft,
    // Qt::AlignRight or Qt::AlignHCenter (other flags are ignored). Changing it renders again.
    Qt::Alignment alignmentDefault() const { return FAlignment; }
    void setAlignmentDefault(Qt::Alignment alignment);

    // The link under a point of the viewport, by the character drawn there: kind lkNone
    // on blank space, on plain text and on a link without target.
    TMarkupLink linkAt(const QPoint& pos) const;

    // Link colours, read at each rendering.
    QColor UrlColor = QColor(0x00, 0x00, 0x80);
    QColor MailColor = QColor(0x00, 0x00, 0x80);
    QColor LinkColor = QColor(0x00, 0x00, 0x80);
    // When true, the pointer is a hand over links and an arrow elsewhere; when false it
    // keeps the text pointer, except over a link whose kind has a hint event.
    bool UseInternalCursor = true;

    // Called when the left button is released over a link of that kind; may be unset.
    TLinkClickEvent OnUrlClick;
    TLinkClickEvent OnMailClick;
    TLinkClickEvent OnCustomLinkClick;
    // Asked for the tool tip of a link of that kind while the pointer is over it; may be unset.
    TLinkHintEvent OnUrlHint;
    TLinkHintEvent OnMailHint;
    TLinkHintEvent OnCustomLinkHint;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void render();
    int characterAt(const QPoint& pos) const;
    qreal baseFontPoints() const;
    const TLinkClickEvent* clickEventOf(TLinkKind kind) const;
    const TLinkHintEvent* hintEventOf(TLinkKind kind) const;

    QString FRichText;
    Qt::Alignment FAlignment = Qt::AlignLeft;
    QList<TMarkupLink> FLinks;
    Qt::CursorShape FTextPointer = Qt::IBeamCursor; // the viewport's own pointer, for UseInternalCursor false
    bool FHintShown = false;
};
