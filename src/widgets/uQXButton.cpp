#include "uQXButton.h"

#include <QAction>

TQXButton::TQXButton(QAction* action, const QIcon& icon, QWidget* parent) : QToolButton(parent)
{
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(18, 18));
    // The action keeps its own icon-less look in menus; the button shows this image.
    setDefaultAction(action);
    setIcon(icon);
    connect(action, &QAction::changed, this, [this, icon] { setIcon(icon); });
    setAccessibleName(action->text());
    connect(action, &QAction::changed, this, [this, action] { setAccessibleName(action->text()); });
}

TQXSeparator::TQXSeparator(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
    setAccessibleName(QStringLiteral("Separator"));
}
