#include "uNavBar.h"

#include "uDensity.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <iterator>

namespace {

// A button of the row: its name is what assistive tools say, its hint what the
// pointer shows; both are replaced by its action once the bar is wired.
QToolButton* imageButton(QWidget* panel, QStyle::StandardPixmap image, const QString& name, const QString& hint)
{
    auto* button = new QToolButton(panel);
    button->setIcon(panel->style()->standardIcon(image));
    button->setText(name);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    return button;
}

} // namespace

TNavBar::TNavBar(QWidget* parent)
    : QWidget(parent),
      tb(new QSlider(Qt::Horizontal, this)),
      DureeLab(new QLabel(QStringLiteral("duration"), this)),
      CurrentEdit(new QLineEdit(QStringLiteral("0:00:00:00"), this)),
      Panel(new QFrame(this))
{
    setAccessibleName(QStringLiteral("Navigation bar"));

    tb->setMaximum(1000000);
    tb->setPageStep(50000);
    tb->setTickInterval(50000);
    tb->setTickPosition(QSlider::TicksBelow);
    tb->setAccessibleName(QStringLiteral("Position in the video"));

    Panel->setFrameShape(QFrame::NoFrame);
    Panel->setAccessibleName(QStringLiteral("Navigation buttons"));
    ReculeTrackBtn = imageButton(Panel, QStyle::SP_MediaSkipBackward, QStringLiteral("Début"),
                                 QStringLiteral("Reculer au début"));
    ReculeHighBtn = imageButton(Panel, QStyle::SP_MediaSeekBackward, QStringLiteral("Reculer d'une minute"),
                                QStringLiteral("Reculer d'une minute\nou tenez Shift pour Reculer de 10 minutes"));
    ReculeMediumBtn = imageButton(Panel, QStyle::SP_ArrowBack, QStringLiteral("Reculer d'une seconde"),
                                  QStringLiteral("Reculer d'une seconde\nou tenez Shift pour Reculer de 10 secondes"));
    ReculeLowBtn = imageButton(Panel, QStyle::SP_ArrowLeft, QStringLiteral("Reculer d'une frame"),
                               QStringLiteral("Reculer d'une frame\nou tenez Shift pour Reculer de 10 frames"));
    PlayBtn = imageButton(Panel, QStyle::SP_MediaPlay, QStringLiteral("Play"),
                          QStringLiteral("Jouer le flux vidéo et/ou audio"));
    PlayBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    AvanceLowBtn = imageButton(
        Panel, QStyle::SP_ArrowRight, QStringLiteral("Avancer d'une ou 10 frames"),
        QStringLiteral("Cliquez pour avancer d'une frame.\nSi vous pressez Shift vous avancerez de 10 frames"));
    AvanceMediumBtn = imageButton(
        Panel, QStyle::SP_ArrowForward, QStringLiteral("Avancer d'une ou 10 secondes"),
        QStringLiteral("Cliquez pour avancer d'une seconde.\nSi vous pressez Shift vous avancerez de 10 secondes"));
    AvanceHighBtn = imageButton(
        Panel, QStyle::SP_MediaSeekForward, QStringLiteral("Avancer d'une ou 10 minutes"),
        QStringLiteral("Cliquez pour avancer d'une minute.\nSi vous pressez Shift vous avancerez de 10 minutes"));
    AvanceTrackBtn = imageButton(Panel, QStyle::SP_MediaSkipForward, QStringLiteral("Fin"),
                                 QStringLiteral("Cliquez pour aller à la fin"));

    CurrentEdit->setFrame(false);
    CurrentEdit->setAccessibleName(QStringLiteral("Position"));
    CurrentEdit->setToolTip(QStringLiteral("Select the position in hh:mm:ss:ff and type Enter"));
    QPalette editColours = CurrentEdit->palette();
    editColours.setColor(QPalette::Base, palette().color(QPalette::Window));
    editColours.setColor(QPalette::Text, Qt::black);
    CurrentEdit->setPalette(editColours);

    QPalette maroon = DureeLab->palette();
    maroon.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    DureeLab->setPalette(maroon);
    DureeLab->setToolTip(QStringLiteral("Duration of the current video"));

    // Keyboard order follows the row from left to right.
    QWidget* const order[] = {tb,           ReculeTrackBtn,  ReculeHighBtn,  ReculeMediumBtn,
                                    ReculeLowBtn, PlayBtn,         AvanceLowBtn,   AvanceMediumBtn,
                                    AvanceHighBtn, AvanceTrackBtn, CurrentEdit};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    setDpi(logicalDpiY());
}

void TNavBar::setDpi(int dpi)
{
    const auto place = [dpi](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(scaleToDpi(left, dpi), scaleToDpi(top, dpi), scaleToDpi(width, dpi), scaleToDpi(height, dpi));
    };
    resize(scaleToDpi(394, dpi), scaleToDpi(115, dpi));
    place(tb, 0, 0, 394, 30);
    place(Panel, 0, 32, 394, 40);
    place(ReculeTrackBtn, 0, 4, 32, 32);
    place(ReculeHighBtn, 38, 4, 32, 32);
    place(ReculeMediumBtn, 80, 4, 32, 32);
    place(ReculeLowBtn, 120, 4, 32, 32);
    place(PlayBtn, 160, 4, 73, 32);
    place(AvanceLowBtn, 241, 4, 32, 32);
    place(AvanceMediumBtn, 281, 4, 32, 32);
    place(AvanceHighBtn, 321, 4, 32, 32);
    place(AvanceTrackBtn, 361, 4, 32, 32);
    place(CurrentEdit, 144, 80, 108, 29);
    // 67 pixels cut the last digit of "0:00:20:00" at 15 pixels: the label takes the room up to the bar's edge.
    place(DureeLab, 278, 82, 116, 16);

    const QSize icon(scaleToDpi(24, dpi), scaleToDpi(24, dpi));
    for (auto* button : Panel->findChildren<QToolButton*>())
        button->setIconSize(icon);

    QFont position(QStringLiteral("Arial"));
    position.setPixelSize(scaleToDpi(18, dpi));
    position.setBold(true);
    CurrentEdit->setFont(position);
    QFont duration(QStringLiteral("Arial"));
    duration.setPixelSize(scaleToDpi(15, dpi));
    DureeLab->setFont(duration);
}
