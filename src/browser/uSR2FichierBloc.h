#pragma once

#include "uBorderBloc.h"
#include "uSR2Fichiers.h"

class QLabel;

// The tile of the catalogue list: a strip with the file's name.
class TSR2FichierBloc : public TBorderBloc {
    Q_OBJECT

public:
    explicit TSR2FichierBloc(QWidget* parent);

    // The tile's size at a screen density: 252 by 20 at 96 dpi.
    static QSize blocSize(int dpi);

    void setSelected(bool value) override;
    int numero() const override { return bs.numero; }
    void getFrom(TBlocsSource& blocsSource) override;

    TSR2Fichier& CurrentBloc() { return bs; }

    QLabel* labListName;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintLabel(bool selected);

    TSR2Fichier bs;
};
