#pragma once

#include "uPreferences.h"

#include <QDialog>

class QPushButton;
class TLinkEdit;

// The question asked at the first close: where to keep the preferences.
// One of the three buttons answers it; any other way of closing leaves it
// unanswered.
class TSavePrefsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSavePrefsForm(QWidget* parent = nullptr);

    // Shows the question modally; true when a button answered it.
    bool ask();
    bool answered() const { return FAnswered; }
    TSavePreferences choice() const { return FChoice; }

    QPushButton* button(TSavePreferences which) const { return FButtons[which]; }
    TLinkEdit* text() const { return FText; }

private:
    void choose(TSavePreferences which);

    TLinkEdit* FText = nullptr;
    QPushButton* FButtons[3] = {};
    bool FAnswered = false;
    TSavePreferences FChoice = spNone;
};
