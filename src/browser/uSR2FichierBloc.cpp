#include "uSR2FichierBloc.h"

#include <QLabel>
#include <QResizeEvent>

QSize TSR2FichierBloc::blocSize(int dpi)
{
    return {scalePixels(252, dpi), scalePixels(20, dpi)};
}

TSR2FichierBloc::TSR2FichierBloc(QWidget* parent) : TBorderBloc(parent), labListName(new QLabel(InnerPanel))
{
    fillWith(this, palette().color(QPalette::Dark));
    BorderShape->hide();
    passMouseThrough(labListName);
    labListName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(scaled(13));
    labListName->setFont(font);
    resize(blocSize(logicalDpiY()));
    paintLabel(false);
}

void TSR2FichierBloc::setSelected(bool value)
{
    if (value == selected())
        return;
    TBorderBloc::setSelected(value);
    paintLabel(value);
}

void TSR2FichierBloc::paintLabel(bool selected)
{
    QPalette palette = labListName->palette();
    palette.setColor(QPalette::Window, this->palette().color(selected ? QPalette::ToolTipBase : QPalette::Midlight));
    palette.setColor(QPalette::WindowText, Qt::black);
    labListName->setPalette(palette);
    labListName->setAutoFillBackground(true);
    QFont font = labListName->font();
    font.setBold(selected);
    labListName->setFont(font);
}

void TSR2FichierBloc::getFrom(TBlocsSource& blocsSource)
{
    bs.getFromSource(blocsSource);
    labListName->setText(bs.FListName);
    setAccessibleName(bs.FListName);
}

void TSR2FichierBloc::resizeEvent(QResizeEvent* event)
{
    TBorderBloc::resizeEvent(event);
    // The inner panel fills the whole strip: the border is not shown.
    InnerPanel->setGeometry(rect());
    const int h = height();
    labListName->setGeometry(scaled(8), 0, width() - h, h);
}
