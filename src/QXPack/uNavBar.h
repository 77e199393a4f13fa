#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;

// The play and step controls under the video: the position slider, the row of
// buttons, the position box and the duration. It only holds and places them; the
// navigation manager gives them their actions and handlers.
class TNavBar : public QWidget {
    Q_OBJECT

public:
    explicit TNavBar(QWidget* parent = nullptr);

    // Places and sizes the controls for a screen density: 394 x 115 at 96 dpi.
    void setDpi(int dpi);

    QSlider* tb;
    QLabel* DureeLab;
    QLineEdit* CurrentEdit;
    QFrame* Panel;
    QToolButton* ReculeTrackBtn;
    QToolButton* ReculeMediumBtn;
    QToolButton* PlayBtn;
    QToolButton* ReculeLowBtn;
    QToolButton* AvanceLowBtn;
    QToolButton* AvanceTrackBtn;
    QToolButton* AvanceHighBtn;
    QToolButton* AvanceMediumBtn;
    QToolButton* ReculeHighBtn;
};
