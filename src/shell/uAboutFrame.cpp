#include "uAboutFrame.h"

#include "uLinkEdit.h"

#include <QLabel>
#include <QVBoxLayout>

TAboutFrame::TAboutFrame(QWidget* parent) : QFrame(parent), Titre(new QLabel(this)), Info(new TLinkEdit(this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    QFont titleFont = Titre->font();
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    Titre->setFont(titleFont);
    Titre->setAlignment(Qt::AlignCenter);

    Info->setFrameShape(QFrame::NoFrame);
    Info->setAlignmentDefault(Qt::AlignHCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Titre);
    layout->addWidget(Info, 1);

    // 400 x 300 at 96 dots per inch, growing with the density as its text does.
    const double scale = logicalDpiY() / 96.0;
    resize(qRound(400 * scale), qRound(300 * scale));
}
