#include "uQXAppliMan.h"

#include "uAboutFrame.h"
#include "uHelpForm.h"
#include "uMacroEngine.h"
#include "uScriptAction.h"
#include "uScriptForm.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QUrlQuery>

namespace {

constexpr int kVersion[] = {1, 0, 3, 9};
constexpr int kLastUpdate[] = {18, 8, 2024}; // day, month, year

const QColor kSilver(192, 192, 192);
const QColor kMaroon(128, 0, 0);

const QString kCloseHint = QStringLiteral("Click to close that page\r\nand return to the application");

QString closeLineText(const QString& key, const QString& link)
{
    return QStringLiteral("Type %1 to close this page or <link %2>click here</link>.").arg(key, link);
}

// a × b ÷ c rounded to the nearest, halves away from zero, as the Windows MulDiv
// that the saved rectangles were scaled with; -1 for a zero divisor.
qint32 mulDiv(qint32 a, qint32 b, qint32 c)
{
    if (c == 0)
        return -1;
    qint64 product = qint64(a) * b;
    qint64 divisor = c;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const qint64 half = divisor / 2;
    return static_cast<qint32>((product >= 0 ? product + half : product - half) / divisor);
}

QColor appWorkspaceColor(const QWidget* form)
{
    QColor color;
    markupColor(QStringLiteral("APPWORKSPACE"), form->palette(), color);
    return color;
}

} // namespace

// ---------------------------------------------------------------------------

TPagePanel::TPagePanel(QWidget* form, const QColor& color) : QWidget(form)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
    hide();
    setGeometry(form->rect());
    form->installEventFilter(this);
}

void TPagePanel::setFrame(QWidget* frame)
{
    if (FFrame == frame)
        return;
    if (FFrame)
        FFrame->hide();
    FFrame = frame;
    if (!frame)
        return;
    frame->setParent(this);
    frame->hide();
    // A page that nobody sized takes the size its layout asks for, and keeps
    // following it (a density change, a longer text); a page sized by its
    // owner keeps that size.
    FFitsLayout = !frame->testAttribute(Qt::WA_Resized);
    frame->installEventFilter(this);
    fit();
}

void TPagePanel::showPage()
{
    if (!FFrame)
        return;
    setEnabled(true);
    show();
    raise();
    FFrame->show();
    FFrame->raise();
    fit();
}

void TPagePanel::hidePage()
{
    if (FFrame)
        FFrame->hide();
    hide();
}

bool TPagePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    if (watched == FFrame) {
        if (event->type() == QEvent::Resize)
            centre();
        else if (event->type() == QEvent::LayoutRequest)
            fit();
    }
    return false;
}

void TPagePanel::fit()
{
    if (!FFrame)
        return;
    if (FFitsLayout) {
        const QSize wanted = FFrame->sizeHint().expandedTo(FFrame->minimumSizeHint());
        if (wanted.isValid() && wanted != FFrame->size())
            FFrame->resize(wanted);
    }
    centre();
}

void TPagePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    centre();
}

void TPagePanel::centre()
{
    // Integer halving truncates toward zero, also when the page is the larger.
    if (FFrame)
        FFrame->move((width() - FFrame->width()) / 2, (height() - FFrame->height()) / 2);
}

// ---------------------------------------------------------------------------

TCloseLine::TCloseLine(const QString& key, const QString& link, QWidget* parent) : TLinkEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = font();
    f.setPointSize(8);
    f.setBold(true);
    f.setItalic(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::Text, kMaroon);
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    viewport()->setAutoFillBackground(false);
    const double scale = logicalDpiY() / 96.0;
    resize(qRound(180 * scale), qRound(40 * scale));
    setRichText(closeLineText(key, link));
    watchParent();
}

bool TCloseLine::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        watchParent();
    return TLinkEdit::event(event);
}

bool TCloseLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FWatched && event->type() == QEvent::Resize)
        place();
    return TLinkEdit::eventFilter(watched, event);
}

void TCloseLine::watchParent()
{
    if (FWatched)
        FWatched->removeEventFilter(this);
    FWatched = parentWidget();
    if (FWatched)
        FWatched->installEventFilter(this);
    place();
}

void TCloseLine::place()
{
    if (!FWatched)
        return;
    const int margin = qRound(16 * logicalDpiY() / 96.0);
    move(FWatched->width() - width() - margin, FWatched->height() - height() - margin);
    raise();
}

// ---------------------------------------------------------------------------

TQXAppliMan::TQXAppliMan(QWidget* owner)
    : TQXActionComponent(owner),
      OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      CurrentScreen([this] {
          QScreen* screen = FParentForm ? FParentForm->screen() : QGuiApplication::primaryScreen();
          TScreenInfo info;
          if (screen) {
              info.PixelsPerInch = qRound(screen->logicalDotsPerInch());
              info.Available = screen->availableGeometry();
          }
          return info;
      })
{
    initialize();
    if (!owner)
        return;
    FParentForm = owner->window();
    FOptionsPanel = new TPagePanel(FParentForm, kSilver);
    FCustomPanel = new TPagePanel(FParentForm, kSilver);
    FAboutPanel = new TPagePanel(FParentForm, appWorkspaceColor(FParentForm));
    FOptionsPanel->setAccessibleName(QStringLiteral("Options"));
    FCustomPanel->setAccessibleName(QStringLiteral("Custom"));
    FAboutPanel->setAccessibleName(QStringLiteral("About"));

    FMacroEngine = new TMacroEngine(this);
    FHelpForm = new THelpForm(FParentForm);
    FScriptForm = new TScriptForm(FMacroEngine, FParentForm);
    // The user closed the window: the switch follows, so that the key opens it again.
    FHelpForm->OnClose = [this] { crHelp->_setcheck(false); };
    FScriptForm->OnClose = [this] { crScript->_setcheck(false); };
    setPascalScript(FMacroEngine);

    FOptionsClose = new TCloseLine(QStringLiteral("F10"), QStringLiteral("closeOptions"), FOptionsPanel);
    FOptionsClose->OnCustomLinkClick = [this](const QString& link) { closePage(link); };
    FOptionsClose->OnCustomLinkHint = [](const QString&, QString& hint) { hint = kCloseHint; };
    FOptionsClose->hide();
}

TQXAppliMan::~TQXAppliMan()
{
    // The windows and pages call back into the manager: they go first.
    delete FHelpForm;
    delete FScriptForm;
    delete FOptionsPanel;
    delete FCustomPanel;
    delete FAboutPanel;
}

QString TQXAppliMan::version()
{
    static const QString text =
        QString::asprintf("%d.%d.%d.%d", kVersion[0], kVersion[1], kVersion[2], kVersion[3]);
    return text;
}

QString TQXAppliMan::language()
{
    return QStringLiteral("fr");
}

QString TQXAppliMan::fullCaption()
{
    return QStringLiteral("Movarium ") + version() + QLatin1Char(' ') + language();
}

QString TQXAppliMan::lastUpdate()
{
    static const QString text = QString::asprintf("%.2d/%.2d/%.4d", kLastUpdate[0], kLastUpdate[1], kLastUpdate[2]);
    return text;
}

QString TQXAppliMan::contactAddress()
{
    return QStringLiteral("movarium@tessaly.example");
}

QString TQXAppliMan::homePage()
{
    return QStringLiteral("https://www.tessaly.example/movarium/");
}

QString TQXAppliMan::documentationPage()
{
    return QStringLiteral("https://www.tessaly.example/movarium/documentation/");
}

QString TQXAppliMan::forumPage()
{
    return QStringLiteral("https://www.tessaly.example/movarium/forum/");
}

// ---------------------------------------------------------------------------

QWidget* TQXAppliMan::OptionsFrame() const
{
    return FOptionsPanel ? FOptionsPanel->frame() : nullptr;
}

void TQXAppliMan::setOptionsFrame(QWidget* frame)
{
    if (!FOptionsPanel)
        return;
    FOptionsPanel->setFrame(frame);
    if (FOptionsClose) {
        FOptionsClose->setParent(frame ? frame : static_cast<QWidget*>(FOptionsPanel));
        FOptionsClose->setVisible(frame && FOptionsCloseVisible);
    }
}

QWidget* TQXAppliMan::CustomFrame() const
{
    return FCustomPanel ? FCustomPanel->frame() : nullptr;
}

void TQXAppliMan::setCustomFrame(QWidget* frame)
{
    if (FCustomPanel)
        FCustomPanel->setFrame(frame);
}

void TQXAppliMan::setAboutFrame(TAboutFrame* frame)
{
    if (!FAboutPanel)
        return;
    FAboutFrame = frame;
    FAboutPanel->setFrame(frame);
    if (!frame)
        return;
    frame->Info->OnUrlClick = [this](const QString& link) { openWebPage(link); };
    frame->Info->OnUrlHint = [](const QString& link, QString& hint) {
        hint = QStringLiteral("Click to open the web page ") + link;
    };
    frame->Info->OnCustomLinkClick = [this](const QString& link) { closePage(link); };
    frame->Info->OnCustomLinkHint = [](const QString&, QString& hint) { hint = kCloseHint; };
    remplir();
}

void TQXAppliMan::setOptionsCloseVisible(bool visible)
{
    FOptionsCloseVisible = visible;
    if (FOptionsClose)
        FOptionsClose->setVisible(visible && OptionsFrame());
}

void TQXAppliMan::remplir()
{
    if (!FAboutFrame)
        return;
    FAboutFrame->Titre->setText(fullCaption());

    const auto link = [](const QString& url, const QString& title) {
        return QStringLiteral("<url ") + url + QLatin1Char('>') + title + QStringLiteral("</url>");
    };
    QString uses;
    QStringList credits;
    for (qsizetype i = 0; i < FTitreUses.size(); ++i)
        credits << link(FUrlUses.value(i), FTitreUses[i]);
    if (!credits.isEmpty())
        uses = QStringLiteral("It uses ") + credits.join(QStringLiteral(", ")) + QStringLiteral(".<br><br>");

    FAboutFrame->Info->setRichText(
        QStringLiteral("<b>Movarium</b> catalogues and plays the videos of your disks.<br>"
                       "It is written by <b>Tessaly</b>.<br><br>")
        + uses + QStringLiteral("Last update: ") + lastUpdate() + QStringLiteral("<br><br>")
        + link(homePage(), QStringLiteral("Home page")) + QStringLiteral("<br>")
        + link(documentationPage(), QStringLiteral("Documentation")) + QStringLiteral("<br>")
        + link(forumPage(), QStringLiteral("Forum")) + QStringLiteral("<br><br>")
        + QStringLiteral("<color maroon><b><i>") + closeLineText(QStringLiteral("F11"), QStringLiteral("closeAbout"))
        + QStringLiteral("</i></b></color>"));
}

// ---------------------------------------------------------------------------

void TQXAppliMan::createActions()
{
    crScript = new TCheckAction(QStringLiteral("caScript"), this);
    crHelp = new TCheckAction(QStringLiteral("caHelp"), this);
    crAbout = new TCheckAction(QStringLiteral("caAbout"), this);
    crOptions = new TCheckAction(QStringLiteral("caOptions"), this);
    crCustom = new TCheckAction(QStringLiteral("caCustom"), this);
    nrQuit = new TNopeAction(QStringLiteral("naQuit"), this);
    nrEMail = new TNopeAction(QStringLiteral("naEMail"), this);
    nrHomePage = new TNopeAction(QStringLiteral("naHomePage"), this);
    // The rectangle comes first, so that at load it is applied again once its density is known.
    rrFormSave = new TRectAction(QStringLiteral("raFormSave"), this);
    irFormPixelsPerInch = new TIntegerAction(QStringLiteral("iaFormPixelsPerInch"), this);
}

void TQXAppliMan::initActions()
{
    const struct {
        TCheckAction* action;
        const char* caption;
        QKeyCombination key;
        const char* trueHint;
        const char* falseHint;
    } pages[] = {
        {crScript, "Script", QKeyCombination(Qt::Key_F12), "Click to close the page of Scripts",
         "Click to open the page of Scripts"},
        {crHelp, "Help", QKeyCombination(Qt::Key_F1), "Click to close the page of Help",
         "Click to open the page of Help"},
        {crAbout, "About", QKeyCombination(Qt::Key_F11), "Click to close the page About...",
         "Click to open the page About..."},
        {crOptions, "Settings", QKeyCombination(Qt::Key_F10), "Click to close the page of Options",
         "Click to open the page of Options"},
        {crCustom, "Custom Frame", QKeyCombination(Qt::AltModifier, Qt::Key_F10), "Click to close the page Custom",
         "Click to open the page Custom"},
    };
    for (const auto& page : pages) {
        page.action->IncludePrefs = false;
        page.action->setShortCut(QKeySequence(page.key));
        page.action->setTrueCaption(QString::fromUtf8(page.caption));
        page.action->setFalseCaption(QString::fromUtf8(page.caption));
        page.action->setTrueHint(QString::fromUtf8(page.trueHint));
        page.action->setFalseHint(QString::fromUtf8(page.falseHint));
    }

    const struct {
        TNopeAction* action;
        const char* caption;
        Qt::Key key;
        const char* hint;
    } commands[] = {
        {nrQuit, "Quit", Qt::Key_F4, "Quit Movarium"},
        {nrEMail, "E-mail", Qt::Key_F5, "Send an e-mail to Tessaly"},
        {nrHomePage, "Homepage", Qt::Key_F6, "Open the homepage of Movarium"},
    };
    for (const auto& command : commands) {
        command.action->setCaption(QString::fromUtf8(command.caption));
        command.action->setShortCut(QKeySequence(QKeyCombination(Qt::AltModifier, command.key)));
        command.action->setHint(QString::fromUtf8(command.hint));
    }
    nrQuit->IncludePrefs = false;

    rrFormSave->ApplyWhenLoad = true;
    irFormPixelsPerInch->setCaption(QStringLiteral("FormPixelsPerInch"));
    irFormPixelsPerInch->DefaultValue = 120;
    irFormPixelsPerInch->Value = 120;
    irFormPixelsPerInch->ApplyWhenLoad = true;
}

void TQXAppliMan::connectActions()
{
    crScript->internalTrueApply = [this] { showWindow(FScriptForm); };
    crScript->internalFalseApply = [this] {
        if (FScriptForm)
            FScriptForm->hide();
    };
    crHelp->internalTrueApply = [this] { showWindow(FHelpForm); };
    crHelp->internalFalseApply = [this] {
        if (FHelpForm)
            FHelpForm->hide();
    };

    // At most one page at a time: each page shown puts the other two away.
    crAbout->internalTrueApply = [this] {
        crOptions->_setcheck(false);
        crCustom->_setcheck(false);
        remplir();
        if (FAboutPanel)
            FAboutPanel->showPage();
    };
    crAbout->internalFalseApply = [this] {
        if (FAboutPanel)
            FAboutPanel->hidePage();
    };
    crOptions->internalTrueApply = [this] {
        crAbout->_setcheck(false);
        crCustom->_setcheck(false);
        if (FOptionsPanel)
            FOptionsPanel->showPage();
    };
    crOptions->internalFalseApply = [this] {
        if (FOptionsPanel)
            FOptionsPanel->hidePage();
    };
    crCustom->internalTrueApply = [this] {
        if (FCustomPanel)
            FCustomPanel->showPage();
        crAbout->_setcheck(false);
        crOptions->_setcheck(false);
    };
    crCustom->internalFalseApply = [this] {
        if (FCustomPanel)
            FCustomPanel->hidePage();
    };

    nrQuit->internalApply = [this] {
        if (FParentForm)
            FParentForm->close();
    };
    nrEMail->internalApply = [this] {
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), QStringLiteral("About ") + fullCaption());
        query.addQueryItem(QStringLiteral("body"), QStringLiteral(""));
        QUrl url(QStringLiteral("mailto:") + contactAddress());
        url.setQuery(query);
        OpenUrl(url);
    };
    nrHomePage->internalApply = [this] { OpenUrl(QUrl(homePage())); };

    rrFormSave->internalApply = [this](const TRect& r) { applyFormRect(r); };
    rrFormSave->internalDefault = [this](TRect& r) {
        defaultFormRect(r);
        return true;
    };
    rrFormSave->internalBeforeSave = [this](TRect& r) {
        if (FParentForm)
            r = TRect{FParentForm->x(), FParentForm->y(), FParentForm->x() + FParentForm->width(),
                      FParentForm->y() + FParentForm->height()};
        return true;
    };
    irFormPixelsPerInch->internalApply = [this](const qint32& v) {
        FLastppi = v;
        rrFormSave->apply();
    };
    // Without a stored density the rectangle is at the density its default was made for;
    // a fixed 120 would scale the centred default window a second time.
    irFormPixelsPerInch->internalDefault = [this](qint32& v) {
        if (FLastppi >= 1)
            v = FLastppi;
        return true;
    };
    irFormPixelsPerInch->internalBeforeSave = [this](qint32& v) {
        v = CurrentScreen().PixelsPerInch;
        return true;
    };
}

// ---------------------------------------------------------------------------

void TQXAppliMan::showWindow(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void TQXAppliMan::closePage(const QString& link)
{
    if (link == QLatin1String("closeAbout"))
        crAbout->setChecked(false);
    else if (link == QLatin1String("closeOptions"))
        crOptions->setChecked(false);
}

void TQXAppliMan::openWebPage(const QString& link)
{
    QString address = link;
    if (address.endsWith(QChar(0x00A9)))
        address.chop(1);
    OpenUrl(QUrl(address));
}

void TQXAppliMan::applyFormRect(const TRect& r)
{
    if (!FParentForm)
        return;
    const TScreenInfo screen = CurrentScreen();
    const qint32 d = screen.PixelsPerInch;
    const qint32 from = FLastppi >= 1 ? FLastppi : d;
    QRect bounds(mulDiv(r.Left, d, from), mulDiv(r.Top, d, from), mulDiv(r.Right - r.Left, d, from),
                 mulDiv(r.Bottom - r.Top, d, from));
    // A rectangle saved on a larger or another screen is brought back onto this one.
    const QRect area = screen.Available;
    if (area.isValid()) {
        bounds.setWidth(qMin(bounds.width(), area.width()));
        bounds.setHeight(qMin(bounds.height(), area.height()));
        bounds.moveLeft(qBound(area.left(), bounds.left(), area.left() + area.width() - bounds.width()));
        bounds.moveTop(qBound(area.top(), bounds.top(), area.top() + area.height() - bounds.height()));
    }
    FParentForm->move(bounds.topLeft());
    FParentForm->resize(bounds.size());
}

void TQXAppliMan::defaultFormRect(TRect& r)
{
    if (!FParentForm)
        return;
    if (FLastppi < 1)
        FLastppi = 120;
    const TScreenInfo screen = CurrentScreen();
    const qint32 d = screen.PixelsPerInch;
    const qint32 width = mulDiv(FParentForm->width(), d, FLastppi);
    const qint32 height = mulDiv(FParentForm->height(), d, FLastppi);
    const QRect area = screen.Available;
    const qint32 left = area.left() + (area.width() - width) / 2;
    const qint32 top = area.top() + (area.height() - height) / 2;
    r = TRect{left, top, left + width, top + height};
    FLastppi = d;
}
