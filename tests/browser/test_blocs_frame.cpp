#include "CatalogueFixture.h"
#include "uBlocsFrame.h"
#include "uSR2FichierBloc.h"
#include "uVideoFichiers.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

#include <atomic>
#include <chrono>
#include <ostream>
#include <thread>

// Readable failures.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct LayoutCase {
    const char* name;
    bool realClass;
    int width, height, blocWidth, blocHeight;
    int lig, col, nbBlocs;
    // Index and expected top-left corner of a few tiles.
    std::vector<std::pair<int, QPoint>> places;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class BlocsLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BlocsLayout, PlacesTilesInTheFreeSpace)
{
    const LayoutCase& c = GetParam();
    TBlocsFrame grid;
    // The numbers are those of a 96 dpi screen, where the scroll bar is 20 pixels wide.
    grid.AfterDPIChanged(grid.dpi(), 96);
    grid.resize(c.width, c.height);
    grid.show();
    grid.setBlocClass(c.realClass ? &makeBloc<TSR2FichierBloc> : nullptr, c.blocWidth, c.blocHeight);

    EXPECT_EQ(grid.nbBlocs(), c.nbBlocs);
    if (c.nbBlocs > 0) {
        EXPECT_EQ(grid.Lig(), c.lig);
        EXPECT_EQ(grid.Col(), c.col);
    }
    EXPECT_EQ(grid.nbActualBlocs(), 0);
    EXPECT_EQ(grid.scrollBar()->geometry(), QRect(c.width - 20, 0, 20, c.height));
    for (const auto& [index, place] : c.places) {
        ASSERT_NE(grid.bloc(index), nullptr) << index;
        EXPECT_EQ(grid.bloc(index)->geometry(), QRect(place, QSize(c.blocWidth, c.blocHeight))) << index;
        EXPECT_EQ(grid.bloc(index)->objectName(), QStringLiteral("Bloc%1").arg(index));
        EXPECT_EQ(grid.bloc(index)->Findex, index);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grid, BlocsLayout,
    ::testing::Values(
        // One column: no horizontal gap or margin; 12 pixels left over vertically give a top margin of 6.
        LayoutCase{"OneColumn272", true, 272, 272, 252, 20, 13, 1, 13, {{0, {0, 6}}, {1, {0, 26}}, {12, {0, 246}}}},
        // 80 pixels over 5 columns: gaps of 13, margin 14; 10 pixels over 3 rows: gaps of 2, margin 3.
        LayoutCase{"FiveColumns", true, 600, 100, 100, 30, 3, 5, 15, {{0, {14, 3}}, {6, {127, 35}}, {14, {466, 67}}}},
        LayoutCase{"NarrowerThanOneTile", true, 271, 272, 252, 20, 0, 0, 0, {}},
        LayoutCase{"LowerThanOneTile", true, 272, 19, 252, 20, 0, 1, 0, {}},
        LayoutCase{"AtMost300Tiles", true, 120, 400, 10, 10, 40, 10, 300, {{299, {90, 290}}}},
        LayoutCase{"BaseClassBuildsNothing", false, 272, 272, 252, 20, 0, 0, 0, {}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(SR2FichierBloc, SizeFollowsTheScreenDensity)
{
    EXPECT_EQ(TSR2FichierBloc::blocSize(96), QSize(252, 20));
    EXPECT_EQ(TSR2FichierBloc::blocSize(120), QSize(315, 25));
    EXPECT_EQ(TSR2FichierBloc::blocSize(144), QSize(378, 30));
}

// A real catalogue with listed videos, shown in a grid of one column of 13 tiles.
class GridTest : public CatalogueTest {
protected:
    static constexpr const char* kNames = "ABCDEFGHIJKLMN";

    void SetUp() override
    {
        CatalogueTest::SetUp();
        for (int i = 0; i < 14; ++i)
            numeros.append(addVideo(QString(QLatin1Char(kNames[i])) + QStringLiteral(".mp4")));
        source.prepare(db, QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"), QStringLiteral("ListName ASC"));
        tile = TSR2FichierBloc::blocSize(grid.dpi());
        const int sbWidth = grid.scrollBar()->width();
        grid.resize(tile.width() + sbWidth, 13 * tile.height() + tile.height() / 2);
        grid.setBlocClass(&makeBloc<TSR2FichierBloc>, tile.width(), tile.height());
        grid.FonSelect = [this](int position) { selects.append(position); };
        grid.setBlocsSource(&source);
        grid.show();
    }

    qint32 addVideo(const QString& name, int listed = 1)
    {
        TVideoFichier v;
        v.FListName = name;
        v.FExtension = QStringLiteral(".mp4");
        v.FFolder = QStringLiteral("/media/films/");
        v.FFilename = v.FFolder + name;
        v.Fcaption = QStringLiteral("1A2B-3C4D|films/") + name;
        v.FListed = listed;
        EXPECT_TRUE(v.insertnew());
        return v.numero;
    }

    qint32 numeroOf(char name) const { return numeros.at(static_cast<int>(std::string(kNames).find(name))); }

    QString caption(int i) const { return static_cast<TSR2FichierBloc*>(grid.bloc(i))->labListName->text(); }

    QList<QString> captions() const
    {
        QList<QString> shown;
        for (int i = 0; i < grid.nbActualBlocs(); ++i)
            shown.append(caption(i));
        return shown;
    }

    // The selection as file names, in the order it was made.
    QString selection() const
    {
        QString names;
        for (int i = 0; i < grid.FSelectedList.count(); ++i)
            names += QLatin1Char(kNames[numeros.indexOf(grid.FSelectedList.geti(i))]);
        return names;
    }

    // The tiles the user sees selected (yellow-less strip, bold name).
    QString shownSelected() const
    {
        QString names;
        for (int i = 0; i < grid.nbActualBlocs(); ++i) {
            auto* b = static_cast<TSR2FichierBloc*>(grid.bloc(i));
            EXPECT_EQ(b->selected(), b->labListName->font().bold()) << i;
            if (b->selected())
                names += caption(i).at(0);
        }
        return names;
    }

    // A press where the user would press: on whatever is under the point.
    void clickAt(QPoint point, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        QWidget* target = grid.childAt(point);
        if (!target)
            target = &grid;
        QTest::mouseClick(target, button, mods, target->mapFrom(&grid, point));
    }

    void clickTile(int i, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        clickAt(grid.bloc(i)->geometry().center(), mods, button);
    }

    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(grid.scrollBar(), k, mods); }

    void wheel(QWidget* target, int angle)
    {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    QList<qint32> numeros;
    TTableSource source;
    TBlocsFrame grid;
    QSize tile;
    QList<int> selects;
};

TEST_F(GridTest, ScrollBarRunsToTheLastRecordAlone)
{
    EXPECT_EQ(grid.nbBlocs(), 13);
    EXPECT_EQ(grid.nbItems(), 14);
    EXPECT_EQ(grid.scrollBar()->minimum(), 0);
    EXPECT_EQ(grid.scrollBar()->maximum(), 13);
    EXPECT_EQ(captions(), QList<QString>({"A.mp4", "B.mp4", "C.mp4", "D.mp4", "E.mp4", "F.mp4", "G.mp4", "H.mp4",
                                          "I.mp4", "J.mp4", "K.mp4", "L.mp4", "M.mp4"}));

    grid.scrollBar()->setValue(1);
    EXPECT_EQ(grid.Prem(), 1);
    EXPECT_EQ(grid.nbActualBlocs(), 13);
    EXPECT_EQ(caption(0), "B.mp4");
    EXPECT_EQ(caption(12), "N.mp4");

    grid.scrollBar()->setValue(13);
    EXPECT_EQ(grid.Prem(), 13);
    EXPECT_EQ(grid.nbActualBlocs(), 1);
    EXPECT_EQ(caption(0), "N.mp4");
    EXPECT_TRUE(grid.bloc(0)->isVisible());
    for (int i = 1; i < 13; ++i)
        EXPECT_FALSE(grid.bloc(i)->isVisible()) << i;
}

TEST_F(GridTest, ClickOutsideAnyFilledTileRaisesNothing)
{
    grid.scrollBar()->setValue(13);
    clickAt(grid.bloc(5)->geometry().center()); // where a hidden tile lies
    clickAt(QPoint(2, 1));                       // the top margin
    EXPECT_TRUE(selects.isEmpty());
    EXPECT_EQ(grid.FSelectedList.count(), 0);
    EXPECT_EQ(grid.Select(), -1);

    clickTile(0);
    EXPECT_EQ(selects, QList<int>({13}));
    EXPECT_EQ(selection(), "N");
}

TEST_F(GridTest, ShiftCtrlAndPlainClicks)
{
    struct Step {
        int tile;
        Qt::KeyboardModifiers mods;
        const char* selected;
    };
    const Step steps[] = {
        {0, Qt::NoModifier, "A"},
        {3, Qt::ShiftModifier, "ABCD"},
        {2, Qt::ControlModifier, "ABD"},
        {1, Qt::ShiftModifier, "BC"}, // the range from the anchor C to B
        {4, Qt::ShiftModifier | Qt::ControlModifier, "BCDE"},
        {2, Qt::NoModifier, "C"}, // a plain click on a selected tile keeps that one alone
    };
    for (const Step& s : steps) {
        clickTile(s.tile, s.mods);
        EXPECT_EQ(selection(), s.selected) << "tile " << s.tile;
        QString sorted = selection();
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(shownSelected(), sorted) << "tile " << s.tile;
        EXPECT_EQ(grid.Select(), s.tile);
        EXPECT_EQ(selects.last(), s.tile);
    }
    EXPECT_EQ(selects.size(), 6);
    EXPECT_EQ(grid.focusWidget(), grid.scrollBar());
}

TEST_F(GridTest, OtherButtonsAnnounceThePositionWithoutSelecting)
{
    clickTile(2);
    clickTile(5, {}, Qt::RightButton);
    clickAt(QPoint(2, 1), {}, Qt::RightButton);
    EXPECT_EQ(selects, QList<int>({2, 2, 2}));
    EXPECT_EQ(selection(), "C");
}

TEST_F(GridTest, CtrlASelectsRecordsOffScreen)
{
    clickTile(1);
    bool keyingWhileAnnounced = false;
    grid.FonSelect = [&](int position) {
        selects.append(position);
        keyingWhileAnnounced = grid.fisKeying.load();
    };
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selection(), "BACDEFGHIJKLMN");
    EXPECT_EQ(grid.FSelectedList.indexof(numeroOf('N')), 13);
    EXPECT_EQ(shownSelected(), "ABCDEFGHIJKLM");
    EXPECT_EQ(selects, QList<int>({1, 1}));
    EXPECT_TRUE(keyingWhileAnnounced);
    EXPECT_FALSE(grid.fisKeying.load());
}

TEST_F(GridTest, SelectionSurvivesResorting)
{
    clickTile(1);
    clickTile(3, Qt::ControlModifier);
    source.prepare(db, QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"), QStringLiteral("ListName DESC"));
    grid.updateSource();
    EXPECT_EQ(caption(0), "N.mp4");
    EXPECT_EQ(shownSelected(), "DB");
    EXPECT_EQ(selection(), "BD");
}

TEST_F(GridTest, EmptyingTheSelection)
{
    clickTile(1);
    clickTile(4, Qt::ShiftModifier);
    grid.viderSelection();
    EXPECT_EQ(grid.FSelectedList.count(), 0);
    EXPECT_EQ(shownSelected(), "");
}

TEST_F(GridTest, KeyboardMovesTheCurrentPosition)
{
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int select, prem;
        const char* selected;
    };
    const Step steps[] = {
        {Qt::Key_Down, {}, 1, 0, "B"},
        {Qt::Key_PageDown, {}, 13, 2, "N"}, // near the end: the last record
        {Qt::Key_Right, {}, 13, 2, "N"},    // nothing beyond it
        {Qt::Key_Home, {}, 0, 0, "A"},
        {Qt::Key_Up, {}, 0, 0, "A"},
        {Qt::Key_End, {}, 13, 1, "N"},
        {Qt::Key_PageUp, {}, 0, 0, "A"},
        {Qt::Key_Down, Qt::ShiftModifier, 1, 0, "AB"},
        {Qt::Key_Down, Qt::ShiftModifier, 2, 0, "ABC"},
        {Qt::Key_Down, Qt::ControlModifier, 3, 0, "ABCD"},
        {Qt::Key_Up, Qt::ControlModifier, 2, 0, "ABD"},
        {Qt::Key_Left, {}, 1, 0, "B"},
        {Qt::Key_X, {}, 1, 0, "B"}, // other keys do nothing
    };
    clickTile(0);
    selects.clear();
    int announced = 0;
    for (const Step& s : steps) {
        key(s.key, s.mods);
        EXPECT_EQ(grid.Select(), s.select) << s.key;
        EXPECT_EQ(grid.Prem(), s.prem) << s.key;
        EXPECT_EQ(grid.scrollBar()->value(), s.prem) << s.key;
        EXPECT_EQ(caption(0), QString(QLatin1Char(kNames[s.prem])) + ".mp4") << s.key;
        EXPECT_EQ(selection(), s.selected) << s.key;
        if (s.key != Qt::Key_X)
            ++announced;
        EXPECT_EQ(selects.size(), announced) << s.key;
        EXPECT_EQ(selects.last(), s.select) << s.key;
    }
}

TEST_F(GridTest, HeldKeyIsAnnouncedOnceAtItsRelease)
{
    clickTile(0);
    selects.clear();
    QWidget* sb = grid.scrollBar();
    for (bool repeat : {false, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(sb, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
        if (repeat)
            QApplication::sendEvent(sb, &release);
    }
    EXPECT_TRUE(selects.isEmpty());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(sb, &release);
    EXPECT_EQ(selects, QList<int>({3}));
}

TEST_F(GridTest, WheelScrollsOneRowPerNotch)
{
    struct Turn {
        QWidget* target;
        int angle;
        int prem;
    };
    const Turn turns[] = {
        {grid.bloc(3), -120, 1}, // towards the user, over a tile
        {&grid, -240, 3},
        {grid.scrollBar(), 120, 2},
        {&grid, -60, 2}, // half a notch on a fine wheel
        {&grid, -60, 3},
        {&grid, 240 * 10, 0}, // stops at the top
    };
    for (const Turn& t : turns) {
        wheel(t.target, t.angle);
        EXPECT_EQ(grid.Prem(), t.prem) << t.angle;
        EXPECT_EQ(caption(0), QString(QLatin1Char(kNames[t.prem])) + ".mp4");
    }
}

TEST_F(GridTest, DragOffersTheSelectedFilesAsUrls)
{
    EXPECT_EQ(grid.selectionMimeData(), nullptr); // no provider: nothing to drag

    const qint32 accented = addVideo(QStringLiteral("Été 2023.mp4"));
    grid.updateSource();
    clickTile(1);
    clickTile(3, Qt::ControlModifier);
    grid.FSelectedList.add(accented);
    QList<qint32> asked;
    grid.FonDragFileNames = [&](const TintegerList& selection, QStringList& files) {
        for (int i = 0; i < selection.count(); ++i) {
            TVideoFichier v;
            v.numero = selection.geti(i);
            asked.append(v.numero);
            if (v.getByNum())
                files.append(v.FFilename);
        }
    };
    const std::unique_ptr<QMimeData> data = grid.selectionMimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QStringLiteral("text/uri-list")));
    ASSERT_EQ(data->urls().size(), 3);
    EXPECT_EQ(data->urls().at(0), QUrl(QStringLiteral("file:///media/films/B.mp4")));
    EXPECT_EQ(data->urls().at(1).toLocalFile(), QStringLiteral("/media/films/D.mp4"));
    EXPECT_EQ(data->urls().at(2).toLocalFile(), QStringLiteral("/media/films/Été 2023.mp4"));
    EXPECT_EQ(asked, QList<qint32>({numeroOf('B'), numeroOf('D'), accented}));

    grid.viderSelection();
    EXPECT_EQ(grid.selectionMimeData(), nullptr); // nothing selected, no file
}

TEST_F(GridTest, DragStartsTenPixelsAwayOncePerPress)
{
    int asked = 0;
    // Gives no file, so no drag loop runs.
    grid.FonDragFileNames = [&](const TintegerList&, QStringList&) { ++asked; };
    TBloc* b = grid.bloc(1);
    const auto moveTo = [&](QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, local, b->mapToGlobal(local), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(b, &move);
    };
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 5));
    moveTo(QPoint(19, 14), Qt::LeftButton);
    EXPECT_EQ(asked, 0);
    moveTo(QPoint(10, 15), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    moveTo(QPoint(40, 15), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(40, 15));

    QTest::mousePress(b, Qt::RightButton, {}, QPoint(10, 5));
    moveTo(QPoint(0, 5), Qt::RightButton);
    EXPECT_EQ(asked, 2);
    QTest::mouseRelease(b, Qt::RightButton, {}, QPoint(0, 5));

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 5));
    moveTo(QPoint(40, 5), Qt::NoButton);
    EXPECT_EQ(asked, 2);
}

TEST_F(GridTest, BusyPressesAndRedrawsAreSkipped)
{
    bool mouseingWhileAnnounced = false;
    grid.FonSelect = [&](int position) {
        selects.append(position);
        mouseingWhileAnnounced = grid.fisMouseing.load();
    };
    clickTile(1);
    EXPECT_TRUE(mouseingWhileAnnounced);
    EXPECT_FALSE(grid.fisMouseing.load());

    grid.fisMouseing = true;
    clickTile(4);
    grid.fisMouseing = false;
    EXPECT_EQ(selects, QList<int>({1}));
    EXPECT_EQ(selection(), "B");

    // The main window holds the grid while it loads the selected record.
    grid.fisAffiching = true;
    grid.afficher(5);
    grid.fisAffiching = false;
    EXPECT_EQ(caption(0), "A.mp4");
}

TEST_F(GridTest, RedrawWaitsForTheListingStepWhileHandlingEvents)
{
    QObject mainSide;
    std::atomic<bool> handledOnMainThread{false};
    grid.fisListing = true;
    std::thread listing([&] {
        // As the listing thread does: an event run on the main thread, then a write.
        QMetaObject::invokeMethod(&mainSide, [&] { handledOnMainThread = true; }, Qt::QueuedConnection);
        QElapsedTimer waited;
        waited.start();
        while (!handledOnMainThread && waited.elapsed() < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        addVideo(QStringLiteral("0 first.mp4"));
        grid.fisListing = false;
    });
    grid.afficher(0);
    listing.join();
    EXPECT_TRUE(handledOnMainThread);
    EXPECT_EQ(caption(0), "0 first.mp4");
    EXPECT_FALSE(grid.fisAffiching.load());
}

TEST_F(GridTest, WithoutSourceNothingIsShown)
{
    grid.scrollBar()->setValue(4);
    grid.setBlocsSource(nullptr);
    EXPECT_EQ(grid.nbActualBlocs(), 0);
    EXPECT_EQ(grid.Prem(), 0);
    EXPECT_EQ(grid.scrollBar()->value(), 0);
    EXPECT_EQ(grid.scrollBar()->maximum(), 1);
    EXPECT_FALSE(grid.bloc(0)->isVisible());
    key(Qt::Key_Down);
    clickAt(QPoint(2, 1));
    EXPECT_TRUE(selects.isEmpty());
}

TEST_F(GridTest, DensityChangeScalesTheTiles)
{
    const int dpi = grid.dpi();
    const int newDpi = dpi * 3 / 2;
    grid.BeforeDPIChanged(dpi, newDpi);
    grid.AfterDPIChanged(dpi, newDpi);
    EXPECT_EQ(grid.blocWidth(), tile.width() * newDpi / dpi);
    EXPECT_EQ(grid.blocHeight(), tile.height() * newDpi / dpi);
    EXPECT_EQ(grid.scrollBar()->width(), scalePixels(20, newDpi));

    // The window grows with the density.
    grid.resize(grid.blocWidth() + scalePixels(20, newDpi), 13 * grid.blocHeight());
    EXPECT_EQ(grid.nbBlocs(), 13);
    EXPECT_EQ(grid.bloc(12)->geometry(), QRect(0, 12 * grid.blocHeight(), grid.blocWidth(), grid.blocHeight()));
    EXPECT_EQ(caption(0), "A.mp4");
}

TEST_F(GridTest, TilesAreListItemsNamedAfterTheirCaption)
{
    clickTile(2);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_TRUE(list->state().multiSelectable);

    QList<QString> visibleItems;
    QString selectedItems;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* item = list->child(i);
        if (item->role() != QAccessible::ListItem || item->state().invisible)
            continue;
        visibleItems.append(item->text(QAccessible::Name));
        EXPECT_TRUE(item->state().selectable);
        if (item->state().selected)
            selectedItems += item->text(QAccessible::Name);
    }
    EXPECT_EQ(visibleItems, captions());
    EXPECT_EQ(selectedItems, "C.mp4");

    grid.scrollBar()->setValue(13);
    QAccessibleInterface* first = QAccessible::queryAccessibleInterface(grid.bloc(0));
    EXPECT_EQ(first->text(QAccessible::Name), "N.mp4");
    EXPECT_FALSE(first->state().invisible);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(grid.bloc(1))->state().invisible);
}

} // namespace
