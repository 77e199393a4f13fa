#pragma once

#include "uBase.h"
#include "uBloc.h"
#include "uDropFileSource.h"

#include <QMetaObject>
#include <QPoint>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QKeyEvent;
class QMimeData;
class QScrollBar;
class QWheelEvent;
class TDensityWatch;

// The catalogue list as a scrolling grid of equal tiles. Only the tiles that fit
// exist; they are refilled from the row source, one page per move of the view.
// The selection holds record numbers, so it survives scrolling and re-sorting.
class TBlocsFrame : public QWidget {
    Q_OBJECT

public:
    using TSelectEvent = std::function<void(int position)>;
    // Fills fileNames with the full paths of the records numbered in selection.
    using TDragFileNamesEvent = std::function<void(const TintegerList& selection, QStringList& fileNames)>;

    static constexpr int maxBlocs = 300;

    explicit TBlocsFrame(QWidget* parent = nullptr);
    ~TBlocsFrame() override;

    // The tile class and size; the layout is redone when one of them changes.
    void setBlocClass(TBlocClass bc, int blocwidth, int blocheight);

    TBlocsSource* BlocsSource() const { return FBlocsSource; }
    // Recounts the source and redraws from the position shown before; the source is not owned.
    void setBlocsSource(TBlocsSource* source);
    // The same source again, after the list changed.
    void updateSource() { setBlocsSource(FBlocsSource); }

    void viderSelection();
    // Fills the tiles from list position prem.
    void afficher(int prem);
    // Marks each tile whose record is in the selection.
    void afficherSelection();

    // The tile size follows the screen's density: scaled before the change, laid out after it.
    void BeforeDPIChanged(int OldDPI, int NewDPI);
    void AfterDPIChanged(int OldDPI, int NewDPI);

    // What a drag of the selection offers: the provider's full paths as file URLs;
    // none without a provider or when it gives no file.
    std::unique_ptr<QMimeData> selectionMimeData();

    int Lig() const { return lig; }
    int Col() const { return col; }
    int nbBlocs() const { return FnbBlocs; }
    int nbActualBlocs() const { return FnbActualBlocs; }
    int Prem() const { return Fprem; }
    // The current position: the last one clicked or keyed; -1 before any.
    int Select() const { return Fselect; }
    int nbItems() const { return nbSourceItems; }
    int blocWidth() const { return Bloc_Width; }
    int blocHeight() const { return Bloc_Height; }
    int dpi() const { return FDpi; }
    TBloc* bloc(int i) const { return i >= 0 && i < FnbBlocs ? blocs[static_cast<size_t>(i)] : nullptr; }
    QScrollBar* scrollBar() const { return sb; }

    // Record numbers, in the order they were added.
    TintegerList FSelectedList;
    TSelectEvent FonSelect;
    // Installed by the owner of the list, which knows where its files are.
    TDragFileNamesEvent FonDragFileNames;
    // Passed to the source when it is asked for the group of a position.
    bool FGroupSelection = false;

    // Busy flags shared with the listing thread, which stores files only while the
    // grid is neither filling tiles nor handling a press or a key, and raises
    // fisListing while it writes.
    std::atomic<bool> fisAffiching{false};
    std::atomic<bool> fisMouseing{false};
    std::atomic<bool> fisKeying{false};
    std::atomic<bool> fisListing{false};

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutBlocs();
    int scrollBarWidth() const { return scalePixels(20, FDpi); }
    void scrollChanged(int position);
    void mouseDown(TBloc* sender, QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void wheelTurned(QWheelEvent* event);
    void keyDown(QKeyEvent* event);
    void keyUp(QKeyEvent* event);
    void bringIntoView();
    // Selects the group [g0, g1] as a click or a key with these modifiers does.
    void selectGroup(int g0, int g1, bool shift, bool ctrl);
    void addRange(int a, int b);
    void toggleOnScreen(int g0, int g1);
    void raiseSelect();
    void screenDpiChanged();

    TBlocsSource* FBlocsSource = nullptr;
    TBlocClass Bloc_Class = nullptr;
    int Bloc_Width;
    int Bloc_Height;
    int lig = 0;
    int col = 0;
    int FnbBlocs = 0;
    int FnbActualBlocs = 0;
    std::vector<TBloc*> blocs; // children of the grid
    int Fprem = 0;
    int Fselect = -1;
    int start0 = 0;
    int start1 = 0;
    int nbSourceItems = 0;
    QPoint DragPoint; // global, so that moves over the grid and over a tile compare alike
    bool FDragArmed = false;
    bool FKeyPress = false;
    bool fIsResizing = false;
    int FWheelDelta = 0;
    int FDpi;
    QScrollBar* sb;
    TDensityWatch* FDensity;
    TDropFileSource FDropFileSource;
};
