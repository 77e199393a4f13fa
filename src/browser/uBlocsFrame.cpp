#include "uBlocsFrame.h"

#include "uBlocsAccessible.h"
#include "uDensityWatch.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace {

// Clears a busy flag when the work it marks ends, however it ends.
class TBusyRelease {
public:
    explicit TBusyRelease(std::atomic<bool>& flag) : F(flag) {}
    ~TBusyRelease() { F.store(false); }
    TBusyRelease(const TBusyRelease&) = delete;
    TBusyRelease& operator=(const TBusyRelease&) = delete;

private:
    std::atomic<bool>& F;
};

QSet<qint32> asSet(const TintegerList& list)
{
    QSet<qint32> set;
    set.reserve(list.count());
    for (int i = 0; i < list.count(); ++i)
        set.insert(list.geti(i));
    return set;
}

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

} // namespace

TBlocsFrame::TBlocsFrame(QWidget* parent)
    : QWidget(parent),
      Bloc_Width(width()),
      Bloc_Height(height()),
      FDpi(logicalDpiY()),
      sb(new QScrollBar(Qt::Vertical, this)),
      // A move to a screen of another density, or a change of the density itself,
      // scales the tiles as a change of the system's setting would.
      FDensity(new TDensityWatch(this, [this] { screenDpiChanged(); }))
{
    installBlocsAccessibility();
    sb->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(sb);
    sb->installEventFilter(this);
    sb->setRange(0, 1);
    connect(sb, &QScrollBar::valueChanged, this, &TBlocsFrame::scrollChanged);
    sb->setGeometry(width() - scrollBarWidth(), 0, scrollBarWidth(), height());
}

TBlocsFrame::~TBlocsFrame()
{
    // The scroll bar and the tiles outlive this part of the grid: nothing of theirs may reach it.
    sb->removeEventFilter(this);
    disconnect(sb, nullptr, this, nullptr);
}

void TBlocsFrame::setBlocClass(TBlocClass bc, int blocwidth, int blocheight)
{
    if (bc == Bloc_Class && blocwidth == Bloc_Width && blocheight == Bloc_Height)
        return;
    Bloc_Class = bc;
    Bloc_Width = blocwidth;
    Bloc_Height = blocheight;
    layoutBlocs();
}

void TBlocsFrame::layoutBlocs()
{
    if (!Bloc_Class || fIsResizing)
        return;
    QScopedValueRollback resizing(fIsResizing, true);
    setUpdatesEnabled(false);

    // Tiles go later: this may run from a handler of one of them.
    for (TBloc* b : blocs) {
        b->hide();
        b->deleteLater();
    }
    blocs.clear();
    FnbBlocs = 0;
    FnbActualBlocs = 0;

    const int sbWidth = scrollBarWidth();
    const int w = width();
    const int h = height();
    lig = Bloc_Height > 0 ? h / Bloc_Height : 0;
    col = Bloc_Width > 0 ? std::max(0, (w - sbWidth) / Bloc_Width) : 0;
    FnbBlocs = std::min(lig * col, maxBlocs);

    if (FnbBlocs > 0) {
        sb->setValue(0);
        const int fw = w - sbWidth - col * Bloc_Width;
        const int hg = fw / (col + 1);
        const int leftMargin = (fw - (col - 1) * hg) / 2;
        const int fh = h - lig * Bloc_Height;
        const int vg = fh / (lig + 1);
        const int topMargin = (fh - (lig - 1) * vg) / 2;
        blocs.reserve(static_cast<size_t>(FnbBlocs));
        for (int i = 0; i < FnbBlocs; ++i) {
            TBloc* b = Bloc_Class(this);
            b->setObjectName(QStringLiteral("Bloc%1").arg(i));
            b->setGeometry((i % col) * (Bloc_Width + hg) + leftMargin, (i / col) * (Bloc_Height + vg) + topMargin,
                           Bloc_Width, Bloc_Height);
            b->Findex = i;
            b->FonMouseDown = [this](TBloc* sender, QMouseEvent* event) { mouseDown(sender, event); };
            b->FonMouseMove = [this](TBloc*, QMouseEvent* event) { mouseMove(event); };
            b->FonWheel = [this](QWheelEvent* event) { wheelTurned(event); };
            b->show();
            blocs.push_back(b);
        }
    }

    sb->setGeometry(w - sbWidth, 0, sbWidth, h);
    sb->raise();
    sb->setSingleStep(1);
    sb->setPageStep(std::max(lig, 1));
    int maximum = 1;
    if (FBlocsSource) {
        nbSourceItems = FBlocsSource->count();
        if (nbSourceItems >= 1 && col > 0)
            maximum = (nbSourceItems - 1) / col;
    }
    sb->setRange(0, maximum);
    setUpdatesEnabled(true);
    afficher(Fprem);
}

void TBlocsFrame::setBlocsSource(TBlocsSource* source)
{
    FBlocsSource = source;
    if (source) {
        nbSourceItems = source->count();
        sb->setRange(0, nbSourceItems >= 1 && col >= 1 ? (nbSourceItems - 1) / col : 0);
    } else {
        nbSourceItems = 0;
        sb->setRange(0, 1);
        sb->setValue(0);
        Fprem = 0;
    }
    afficher(Fprem);
}

void TBlocsFrame::afficher(int prem)
{
    if (fisAffiching.load())
        return;
    // Raise our flag before looking at the listing step's, so that of two sides
    // starting together at least one sees the other and waits.
    for (;;) {
        fisAffiching.store(true);
        if (!fisListing.load())
            break;
        fisAffiching.store(false);
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    TBusyRelease release(fisAffiching);

    FnbActualBlocs = 0;
    Fprem = prem;
    if (FBlocsSource && FnbBlocs > 0) {
        for (bool row = FBlocsSource->first(prem, FnbBlocs); row && FnbActualBlocs < FnbBlocs;
             row = FBlocsSource->next()) {
            TBloc* b = blocs[static_cast<size_t>(FnbActualBlocs)];
            b->getFrom(*FBlocsSource);
            b->setVisible(true);
            ++FnbActualBlocs;
        }
        FBlocsSource->close();
    }
    for (int i = FnbActualBlocs; i < FnbBlocs; ++i)
        blocs[static_cast<size_t>(i)]->hide();
    afficherSelection();
}

void TBlocsFrame::afficherSelection()
{
    const QSet<qint32> selected = asSet(FSelectedList);
    for (TBloc* b : blocs)
        b->setSelected(selected.contains(b->numero()));
}

void TBlocsFrame::viderSelection()
{
    FSelectedList.clear();
    afficherSelection();
}

void TBlocsFrame::BeforeDPIChanged(int OldDPI, int NewDPI)
{
    if (OldDPI <= 0)
        return;
    Bloc_Width = Bloc_Width * NewDPI / OldDPI;
    Bloc_Height = Bloc_Height * NewDPI / OldDPI;
}

void TBlocsFrame::AfterDPIChanged(int, int NewDPI)
{
    FDpi = NewDPI;
    layoutBlocs();
}

void TBlocsFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (Bloc_Class)
        layoutBlocs();
    else
        sb->setGeometry(width() - scrollBarWidth(), 0, scrollBarWidth(), height());
}

void TBlocsFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FDensity->watch();
}

void TBlocsFrame::screenDpiChanged()
{
    const int newDpi = logicalDpiY();
    if (newDpi == FDpi || newDpi <= 0)
        return;
    const int oldDpi = FDpi;
    BeforeDPIChanged(oldDpi, newDpi);
    AfterDPIChanged(oldDpi, newDpi);
}

void TBlocsFrame::scrollChanged(int position)
{
    const int p = position * col;
    if (p == Fprem)
        return;
    Fprem = p;
    if (!fIsResizing)
        afficher(p);
}

void TBlocsFrame::raiseSelect()
{
    if (FonSelect)
        FonSelect(Fselect);
}

// ---------------------------------------------------------------------------
// Mouse

void TBlocsFrame::mousePressEvent(QMouseEvent* event)
{
    mouseDown(nullptr, event);
    event->accept();
}

void TBlocsFrame::mouseMoveEvent(QMouseEvent* event)
{
    mouseMove(event);
    event->accept();
}

void TBlocsFrame::mouseDown(TBloc* sender, QMouseEvent* event)
{
    if (fisMouseing.load())
        return;
    fisMouseing.store(true);
    TBusyRelease release(fisMouseing);

    DragPoint = event->globalPosition().toPoint();
    FDragArmed = true;
    if (event->button() == Qt::LeftButton) {
        // The background, its margins and the place of hidden tiles hold no row.
        if (!sender || sender->Findex >= FnbActualBlocs || !FBlocsSource)
            return;
        const int pos = Fprem + sender->Findex;
        int g0 = pos;
        int g1 = pos;
        FBlocsSource->getbornes(pos, FGroupSelection, g0, g1);
        Fselect = pos;
        const Qt::KeyboardModifiers mods = event->modifiers();
        const bool shift = mods.testFlag(Qt::ShiftModifier);
        const bool ctrl = mods.testFlag(Qt::ControlModifier);
        if (!shift && !ctrl && sender->selected()) {
            FSelectedList.clear();
            FSelectedList.add(sender->numero());
            start0 = g0;
            start1 = g1;
            afficherSelection();
        } else {
            selectGroup(g0, g1, shift, ctrl);
        }
    }
    raiseSelect();
    sb->setFocus(Qt::MouseFocusReason);
}

void TBlocsFrame::mouseMove(QMouseEvent* event)
{
    if (!FDragArmed || !(event->buttons() & (Qt::LeftButton | Qt::RightButton)))
        return;
    const QPoint d = event->globalPosition().toPoint() - DragPoint;
    if (std::abs(d.x()) < 10 && std::abs(d.y()) < 10)
        return;
    // One drag per press: asking the provider costs a query for each selected row.
    FDragArmed = false;
    if (std::unique_ptr<QMimeData> data = selectionMimeData())
        FDropFileSource.execute(this);
    sb->setFocus(Qt::OtherFocusReason);
}

std::unique_ptr<QMimeData> TBlocsFrame::selectionMimeData()
{
    FDropFileSource.Files.clear();
    FDropFileSource.Effect = Qt::CopyAction;
    if (!FonDragFileNames)
        return nullptr;
    FonDragFileNames(FSelectedList, FDropFileSource.Files);
    return FDropFileSource.mimeData();
}

void TBlocsFrame::wheelEvent(QWheelEvent* event)
{
    wheelTurned(event);
}

void TBlocsFrame::wheelTurned(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    // A turn the other way starts a new notch.
    if ((delta > 0 && FWheelDelta < 0) || (delta < 0 && FWheelDelta > 0))
        FWheelDelta = 0;
    FWheelDelta += delta;
    while (FWheelDelta <= -QWheelEvent::DefaultDeltasPerStep) {
        FWheelDelta += QWheelEvent::DefaultDeltasPerStep;
        sb->setValue(sb->value() + 1);
    }
    while (FWheelDelta >= QWheelEvent::DefaultDeltasPerStep) {
        FWheelDelta -= QWheelEvent::DefaultDeltasPerStep;
        sb->setValue(sb->value() - 1);
    }
    event->accept();
}

// ---------------------------------------------------------------------------
// Selection

void TBlocsFrame::selectGroup(int g0, int g1, bool shift, bool ctrl)
{
    if (!shift) {
        start0 = g0;
        start1 = g1;
        if (ctrl) {
            toggleOnScreen(g0, g1);
        } else {
            FSelectedList.clear();
            addRange(g0, g1);
        }
    } else {
        if (!ctrl)
            FSelectedList.clear();
        addRange(std::min(g0, start0), std::max(start1, g1));
    }
    afficherSelection();
}

void TBlocsFrame::addRange(int a, int b)
{
    if (!FBlocsSource || b < a)
        return;
    QSet<qint32> present = asSet(FSelectedList);
    for (bool row = FBlocsSource->first(a, b - a + 1); row; row = FBlocsSource->next()) {
        const int n = FBlocsSource->getnumero();
        if (!present.contains(n)) {
            FSelectedList.add(n);
            present.insert(n);
        }
    }
    FBlocsSource->close();
}

void TBlocsFrame::toggleOnScreen(int g0, int g1)
{
    for (int p = std::max(g0, Fprem); p <= g1 && p < Fprem + FnbActualBlocs; ++p) {
        const int n = blocs[static_cast<size_t>(p - Fprem)]->numero();
        const int i = FSelectedList.indexof(n);
        if (i >= 0)
            FSelectedList.remove(i);
        else
            FSelectedList.add(n);
    }
}

// ---------------------------------------------------------------------------
// Keyboard, on the scroll bar that holds the focus

bool TBlocsFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != sb)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        // Tab and Shift+Tab still move the focus out of the grid.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        keyDown(key);
        return true;
    }
    case QEvent::KeyRelease:
        keyUp(static_cast<QKeyEvent*>(event));
        return false;
    case QEvent::Wheel:
        wheelTurned(static_cast<QWheelEvent*>(event));
        return true;
    default:
        return false;
    }
}

void TBlocsFrame::keyDown(QKeyEvent* event)
{
    if (fisKeying.load() || nbSourceItems <= 0 || !FBlocsSource || FnbBlocs <= 0 || col <= 0)
        return;
    fisKeying.store(true);
    TBusyRelease release(fisKeying);

    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    const bool ctrl = mods.testFlag(Qt::ControlModifier);

    if (key == Qt::Key_A && ctrl) {
        start0 = 0;
        start1 = nbSourceItems - 1;
        addRange(0, nbSourceItems - 1);
        afficherSelection();
        raiseSelect();
        return;
    }
    if (!isNavigationKey(key))
        return;

    FKeyPress = true;
    const int last = nbSourceItems - 1;
    int g0 = Fselect;
    int g1 = Fselect;
    switch (key) {
    case Qt::Key_PageUp:
        Fselect -= FnbBlocs;
        break;
    case Qt::Key_PageDown:
        Fselect += FnbBlocs;
        break;
    case Qt::Key_End:
        Fselect = last;
        break;
    case Qt::Key_Home:
        Fselect = 0;
        break;
    case Qt::Key_Left:
        FBlocsSource->getbornes(Fselect, FGroupSelection, g0, g1);
        Fselect = std::max(0, g0 - 1);
        break;
    case Qt::Key_Right:
        FBlocsSource->getbornes(Fselect, FGroupSelection, g0, g1);
        Fselect = std::min(last, g1 + 1);
        break;
    case Qt::Key_Up:
        Fselect -= col;
        break;
    case Qt::Key_Down:
        Fselect += col;
        break;
    }

    const int oldPrem = Fprem;
    bringIntoView();
    sb->setValue(Fprem / col);
    if (Fprem != oldPrem)
        afficher(Fprem);

    FBlocsSource->getbornes(Fselect, FGroupSelection, g0, g1);
    selectGroup(g0, g1, shift, ctrl);
}

void TBlocsFrame::bringIntoView()
{
    while (Fselect < Fprem)
        Fprem -= col;
    while (Fselect >= Fprem + FnbBlocs)
        Fprem += col;
    while (Fprem < 0)
        Fprem += col;
    while (Fprem >= nbSourceItems)
        Fprem -= col;
    while (Fselect < 0)
        Fselect += col;
    while (Fselect >= nbSourceItems)
        Fselect -= col;
    while (Fselect < Fprem)
        Fprem -= col;
    while (Fselect >= Fprem + FnbBlocs)
        Fprem += col;
}

void TBlocsFrame::keyUp(QKeyEvent* event)
{
    // Held keys repeat their press only; the selection is announced once, at the release.
    if (event->isAutoRepeat() || !FKeyPress)
        return;
    FKeyPress = false;
    raiseSelect();
}
