#pragma once

#include <QFrame>
#include <QToolButton>

// A tool bar button that shows an action: its caption under an image, its
// hint, its checked state, and triggers it when clicked.
class TQXButton : public QToolButton {
    Q_OBJECT
public:
    TQXButton(QAction* action, const QIcon& icon, QWidget* parent = nullptr);
};

// A thin upright line between groups of tool bar buttons.
class TQXSeparator : public QFrame {
    Q_OBJECT
public:
    explicit TQXSeparator(QWidget* parent = nullptr);
};
