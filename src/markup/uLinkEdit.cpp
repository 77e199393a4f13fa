#include "uLinkEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPalette>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QToolTip>

#include <cmath>

namespace {

struct TTag {
    QString name;
    QString argument;
};

TTag parseTag(const QString& content)
{
    const qsizetype space = content.indexOf(QLatin1Char(' '));
    TTag tag;
    tag.name = (space < 0 ? content : content.left(space)).trimmed().toUpper();
    if (space >= 0)
        tag.argument = content.mid(space + 1).trimmed();
    // Colour, font and alignment names are read in any case; link targets keep theirs,
    // being addresses and identifiers.
    if (tag.name == u"COLOR" || tag.name == u"FONT" || tag.name == u"BR")
        tag.argument = tag.argument.toUpper();
    return tag;
}

// Calls shown(c) for every character the markup shows and tag(t) at the ">" of every
// tag, in markup order. A break of the text itself (CR LF, CR or LF) is one "\n", as it
// is one paragraph mark in the document.
template <typename Shown, typename OnTag>
void walkMarkup(const QString& markup, Shown shown, OnTag onTag)
{
    bool inTag = false;
    QString content;
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const QChar c = markup.at(i);
        if (c == QLatin1Char('<')) {
            if (inTag)
                shown(c);
            else
                inTag = true;
        } else if (inTag) {
            if (c == QLatin1Char('>')) {
                inTag = false;
                onTag(parseTag(content));
                content.clear();
            } else {
                content += c;
            }
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 < markup.size() && markup.at(i + 1) == QLatin1Char('\n'))
                ++i;
            shown(QLatin1Char('\n'));
        } else {
            shown(c);
        }
    }
}

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TAttributes {
    QString font;
    qreal size = 0;
    QColor color;
    unsigned style = 0;
};

// Glyphs beyond this size take more memory to draw than any text needs.
constexpr qreal largestPoints = 1638;

QTextCharFormat charFormat(const TAttributes& a)
{
    QTextCharFormat f;
    // No family means the control's own font.
    if (!a.font.isEmpty())
        f.setFontFamilies(QStringList{a.font});
    // A size below one point (SIZE 0, a bad SIZE argument, a closing SIZE with nothing
    // saved) draws at the smallest size rather than at a size the font cannot take.
    f.setFontPointSize(qBound(qreal(1), a.size, largestPoints));
    f.setFontWeight((a.style & fsBold) ? QFont::Bold : QFont::Normal);
    f.setFontItalic(a.style & fsItalic);
    f.setFontUnderline(a.style & fsUnderline);
    f.setFontStrikeOut(a.style & fsStrikeOut);
    f.setForeground(a.color);
    return f;
}

TLinkKind linkKind(QStringView name)
{
    if (name == u"URL")
        return lkUrl;
    if (name == u"MAIL")
        return lkMail;
    if (name == u"LINK")
        return lkCustom;
    return lkNone;
}

Qt::Alignment horizontalAlignment(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignRight)
        return Qt::AlignRight;
    if (alignment & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

} // namespace

bool markupColor(const QString& name, const QPalette& palette, QColor& color)
{
    static const struct {
        const char* name;
        QRgb rgb;
    } named[] = {
        {"RED", 0xFF0000},    {"GREEN", 0x008000},      {"YELLOW", 0xFFFF00}, {"BLUE", 0x0000FF},
        {"BLACK", 0x000000},  {"WHITE", 0xFFFFFF},      {"AQUA", 0x00FFFF},   {"DKGRAY", 0x808080},
        {"OLIVE", 0x808000},  {"PURPLE", 0x800080},     {"FUCHSIA", 0xFF00FF}, {"GRAY", 0x808080},
        {"LIME", 0x00FF00},   {"MAROON", 0x800000},     {"NAVY", 0x000080},   {"LTGRAY", 0xC0C0C0},
        {"MEDGRAY", 0xA0A0A4}, {"SILVER", 0xC0C0C0},    {"TEAL", 0x008080},   {"MONEYGREEN", 0xC0DCC0},
        {"CREAM", 0xFFFBF0},  {"SKYBLUE", 0xA6CAF0},
    };
    const QString upper = name.toUpper();
    if (upper == u"BTNFACE") {
        color = palette.color(QPalette::Button);
        return true;
    }
    if (upper == u"APPWORKSPACE") {
        color = palette.color(QPalette::Base);
        return true;
    }
    for (const auto& entry : named) {
        if (upper == QLatin1String(entry.name)) {
            color = QColor::fromRgb(entry.rgb);
            return true;
        }
    }
    return false;
}

QString markupPlainText(const QString& markup)
{
    QString text;
    text.reserve(markup.size());
    walkMarkup(
        markup, [&](QChar c) { text += c; },
        [&](const TTag& tag) {
            if (tag.name == u"BR")
                text += QLatin1Char('\n');
        });
    return text;
}

TLinkEdit::TLinkEdit(QWidget* parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    viewport()->setMouseTracking(true);
    FTextPointer = viewport()->cursor().shape();
}

void TLinkEdit::setRichText(const QString& markup)
{
    FRichText = markup;
    render();
}

void TLinkEdit::setAlignmentDefault(Qt::Alignment alignment)
{
    FAlignment = horizontalAlignment(alignment);
    render();
}

qreal TLinkEdit::baseFontPoints() const
{
    const QFont f = font();
    if (f.pointSizeF() > 0)
        return f.pointSizeF();
    return f.pixelSize() * qreal(72) / logicalDpiY();
}

void TLinkEdit::render()
{
    // Nothing is drawn until the whole text is formatted, also when formatting stops half-way.
    // Updates held back by a parent stay in the parent's hands.
    const bool updates = updatesEnabled();
    if (updates)
        setUpdatesEnabled(false);
    const auto restoreUpdates = qScopeGuard([&] {
        if (updates)
            setUpdatesEnabled(true);
    });

    setPlainText(markupPlainText(FRichText));
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    const auto endBlock = qScopeGuard([&] { cursor.endEditBlock(); });
    cursor.select(QTextCursor::Document);
    QTextBlockFormat paragraph;
    paragraph.setAlignment(FAlignment);
    cursor.setBlockFormat(paragraph);

    const QFont base = font();
    TAttributes current;
    current.font = base.family();
    current.size = baseFontPoints();
    current.color = palette().color(QPalette::Text);
    if (base.bold())
        current.style |= fsBold;
    if (base.italic())
        current.style |= fsItalic;
    if (base.underline())
        current.style |= fsUnderline;
    if (base.strikeOut())
        current.style |= fsStrikeOut;
    TAttributes saved;
    saved.color = Qt::black;

    QList<TMarkupLink> links;
    int position = 0;
    int runStart = 0;
    const auto formatRun = [&] {
        if (position > runStart) {
            cursor.setPosition(runStart);
            cursor.setPosition(position, QTextCursor::KeepAnchor);
            cursor.setCharFormat(charFormat(current));
        }
        runStart = position;
    };

    walkMarkup(
        FRichText, [&](QChar) { ++position; },
        [&](const TTag& tag) {
            formatRun();
            const QString& name = tag.name;
            if (name == u"BR") {
                // The break is the last character of the line it ends.
                cursor.setPosition(position);
                QTextBlockFormat f = cursor.blockFormat();
                if (tag.argument == u"LEFT")
                    f.setAlignment(Qt::AlignLeft);
                else if (tag.argument == u"RIGHT")
                    f.setAlignment(Qt::AlignRight);
                else if (tag.argument == u"CENTER")
                    f.setAlignment(Qt::AlignHCenter);
                else
                    f.setAlignment(FAlignment);
                cursor.setBlockFormat(f);
                ++position;
                return;
            }
            const bool closing = name.startsWith(QLatin1Char('/'));
            const QStringView bare = closing ? QStringView(name).mid(1) : QStringView(name);
            const auto styleTag = [&](unsigned flag) {
                current.style = closing ? current.style & ~flag : current.style | flag;
            };
            if (bare == u"B") {
                styleTag(fsBold);
            } else if (bare == u"I") {
                styleTag(fsItalic);
            } else if (bare == u"U") {
                styleTag(fsUnderline);
            } else if (bare == u"S") {
                styleTag(fsStrikeOut);
            } else if (name == u"COLOR") {
                saved.color = current.color;
                markupColor(tag.argument, palette(), current.color);
            } else if (name == u"/COLOR") {
                current.color = saved.color;
            } else if (const TLinkKind kind = linkKind(bare); kind != lkNone) {
                if (closing) {
                    current.color = saved.color;
                    current.style = saved.style;
                    for (TMarkupLink& link : links)
                        if (link.Kind == kind && link.End < 0)
                            link.End = position;
                } else {
                    saved.color = current.color;
                    saved.style = current.style;
                    current.color = kind == lkUrl ? UrlColor : kind == lkMail ? MailColor : LinkColor;
                    current.style |= fsUnderline;
                    links.append(TMarkupLink{kind, tag.argument, position, -1});
                }
            } else if (name == u"SIZE") {
                saved.size = current.size;
                bool ok = false;
                const int percent = tag.argument.toInt(&ok);
                current.size = std::trunc((ok ? percent : 0) * baseFontPoints() / 100);
            } else if (name == u"/SIZE") {
                current.size = saved.size;
            } else if (name == u"FONT") {
                saved.font = current.font;
                current.font = tag.argument;
            } else if (name == u"/FONT") {
                current.font = saved.font;
            }
        });
    formatRun();
    // A link left open runs to the end, as its colour and underline do.
    for (TMarkupLink& link : links)
        if (link.End < 0)
            link.End = position;
    FLinks = links;
    setAccessibleName(toPlainText());
}

int TLinkEdit::characterAt(const QPoint& pos) const
{
    const QScrollBar* h = horizontalScrollBar();
    const QPointF point(pos.x() + (isRightToLeft() ? h->maximum() - h->value() : h->value()),
                        pos.y() + verticalScrollBar()->value());
    // cursorForPosition answers the nearest boundary between characters: the character
    // under the point, if any, is on one side of it.
    const int boundary = cursorForPosition(pos).position();
    for (const int index : {boundary - 1, boundary}) {
        const QTextBlock block = document()->findBlock(index);
        const int offset = index - block.position();
        // A paragraph mark draws nothing.
        if (index < 0 || !block.isValid() || offset >= block.length() - 1)
            continue;
        const QTextLine line = block.layout()->lineForTextPosition(offset);
        if (!line.isValid())
            continue;
        const QPointF origin = document()->documentLayout()->blockBoundingRect(block).topLeft();
        const qreal from = line.cursorToX(offset);
        const qreal to = line.cursorToX(offset + 1);
        const QRectF box(origin.x() + qMin(from, to), origin.y() + line.y(), qAbs(to - from), line.height());
        if (box.contains(point))
            return index;
    }
    return -1;
}

TMarkupLink TLinkEdit::linkAt(const QPoint& pos) const
{
    const int index = characterAt(pos);
    if (index < 0)
        return {};
    for (const TMarkupLink& link : FLinks)
        if (index >= link.Start && index < link.End)
            return link.Target.isEmpty() ? TMarkupLink() : link;
    return {};
}

const TLinkClickEvent* TLinkEdit::clickEventOf(TLinkKind kind) const
{
    switch (kind) {
    case lkUrl:
        return &OnUrlClick;
    case lkMail:
        return &OnMailClick;
    case lkCustom:
        return &OnCustomLinkClick;
    case lkNone:
        break;
    }
    return nullptr;
}

const TLinkHintEvent* TLinkEdit::hintEventOf(TLinkKind kind) const
{
    switch (kind) {
    case lkUrl:
        return &OnUrlHint;
    case lkMail:
        return &OnMailHint;
    case lkCustom:
        return &OnCustomLinkHint;
    case lkNone:
        break;
    }
    return nullptr;
}

void TLinkEdit::mouseMoveEvent(QMouseEvent* event)
{
    QTextEdit::mouseMoveEvent(event);
    const TMarkupLink link = linkAt(event->position().toPoint());
    const TLinkHintEvent* hintEvent = hintEventOf(link.Kind);
    const bool asksHint = hintEvent && *hintEvent;

    Qt::CursorShape shape = viewport()->cursor().shape();
    if (link.Kind == lkNone)
        shape = UseInternalCursor ? Qt::ArrowCursor : FTextPointer;
    else if (UseInternalCursor || asksHint)
        shape = Qt::PointingHandCursor;
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);

    if (asksHint) {
        // A copy: the handler may assign the event it runs from.
        const TLinkHintEvent handler = *hintEvent;
        QString hint;
        handler(link.Target, hint);
        setToolTip(hint);
        QToolTip::showText(event->globalPosition().toPoint(), hint, viewport());
        FHintShown = true;
    } else if (FHintShown) {
        QToolTip::hideText();
        setToolTip(QString());
        FHintShown = false;
    }
}

void TLinkEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    // Only the left button follows links: the right one opens the context menu.
    if (event->button() != Qt::LeftButton)
        return;
    const TMarkupLink link = linkAt(event->position().toPoint());
    const TLinkClickEvent* clickEvent = clickEventOf(link.Kind);
    if (clickEvent && *clickEvent) {
        const TLinkClickEvent handler = *clickEvent;
        handler(link.Target);
    }
}

void TLinkEdit::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        render();
}
