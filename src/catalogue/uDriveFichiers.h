#pragma once

#include "uBaseDriveFichiers.h"

class TDriveFichier : public TBaseDriveFichier {
public:
    TDriveFichier();

    // The file level, then its drive row (found by serial or inserted) and its caption.
    void loadfromSR(const QString& wfolder, const TSearchRec& sr) override;

protected:
    explicit TDriveFichier(TTable* table);
};

// "1A2B-3C4D": high 16 bits, "-", low 16 bits, upper-case hexadecimal.
QString serialText(quint32 serial);
// The catalogue caption of a full path: the volume's serial, "|", the path below its root.
QString fileCaption(const QString& path);
