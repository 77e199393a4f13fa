#pragma once

#include <QWidget>

#include <functional>

class TBlocsSource;
class QMouseEvent;
class QWheelEvent;

// Pixels given at 96 dpi, at another density; rounded to the nearest pixel.
int scalePixels(int pixels, int dpi);

// One tile of the grid: shows one row of the list and whether its record is selected.
class TBloc : public QWidget {
    Q_OBJECT

public:
    using TBlocMouseEvent = std::function<void(TBloc* sender, QMouseEvent* event)>;

    explicit TBloc(QWidget* parent);

    bool selected() const { return Fselected; }
    virtual void setSelected(bool value);
    // The record number of the row shown; -1 when the tile shows none.
    virtual int numero() const { return -1; }
    // Fills the tile from the source's current row.
    virtual void getFrom(TBlocsSource& blocsSource) = 0;

    // Place in the grid, 0 top-left, row by row.
    int Findex = 0;
    // The grid handles presses and moves on its tiles.
    TBlocMouseEvent FonMouseDown;
    TBlocMouseEvent FonMouseMove;
    // The wheel scrolls the grid, whichever tile the pointer is over.
    std::function<void(QWheelEvent* event)> FonWheel;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // A size given at 96 dpi, at this tile's screen density.
    int scaled(int pixels) const { return scalePixels(pixels, logicalDpiY()); }
    // The parts a tile is drawn with leave the mouse to the tile itself.
    static void passMouseThrough(QWidget* part);

private:
    bool Fselected = false;
};

// What the grid builds its tiles with; null is the base tile class, which builds none.
using TBlocClass = TBloc* (*)(QWidget* parent);

template <class T>
TBloc* makeBloc(QWidget* parent)
{
    return new T(parent); // owned by parent
}
