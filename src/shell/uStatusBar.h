#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "uScanFrame.h"


// The main window's status bar: two panels drawn by the program, each with one
// line of centred text. Panel 0 sits on the left; which of the two holds the
// count and which the message follows the list's side.
class TStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    QString text(int panel) const { return FText[panel]; }
    void setText(int panel, const QString& text);
    int panelWidth(int panel) const { return FWidth[panel]; }
    void setPanelWidth(int panel, int width);
    // The panel whose text is the count (black italic); the other is the message panel.
    int countPanel() const { return FCountPanel; }
    void setCountPanel(int panel);
    TPanelState state() const { return FState; }
    void setState(TPanelState state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void announce();

    QString FText[2];
    int FWidth[2] = {0, 0};
    int FCountPanel = 0;
    TPanelState FState = psReady;
};
