#include "uBaseDriveFichiers.h"

void TBaseDriveFichier::describeFields(TFieldList& f)
{
    TSR2Fichier::describeFields(f);
    f.push_back({TFieldRef::Int, &FDriveNumero});
    f.push_back({TFieldRef::Text, &FFilename});
}
