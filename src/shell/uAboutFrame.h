#pragma once

#include <QFrame>

class QLabel;
class TLinkEdit;

// The about page: the program's full caption as a title over an information
// text with its links. The application manager fills both (remplir).
class TAboutFrame : public QFrame {
    Q_OBJECT
public:
    explicit TAboutFrame(QWidget* parent = nullptr);

    QLabel* Titre;
    TLinkEdit* Info;
};
