#pragma once

#include "uBloc.h"

// A tile with a border that turns yellow when its record is selected.
class TBorderBloc : public TBloc {
    Q_OBJECT

public:
    explicit TBorderBloc(QWidget* parent);

    void setSelected(bool value) override;

    // Fills the tile; its colour is the border.
    QWidget* BorderShape;
    // Inset 4 pixels on every side, over the border.
    QWidget* InnerPanel;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintBorder(bool selected);
};

// Gives a widget a solid background of this colour.
void fillWith(QWidget* widget, const QColor& colour);
