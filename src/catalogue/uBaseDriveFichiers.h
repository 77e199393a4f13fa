#pragma once

#include "uSR2Fichiers.h"

// The drive-file level: which drive row holds the file, and its full path.
class TBaseDriveFichier : public TSR2Fichier {
public:
    qint32 FDriveNumero = 0;
    QString FFilename;

protected:
    using TSR2Fichier::TSR2Fichier;
    void describeFields(TFieldList& fields) override;
};
