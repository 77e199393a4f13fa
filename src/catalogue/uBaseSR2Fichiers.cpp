#include "uBaseSR2Fichiers.h"

void TBaseSR2Fichier::describeFields(TFieldList& f)
{
    TCaption::describeFields(f);
    f.push_back({TFieldRef::Text, &FListName});
    f.push_back({TFieldRef::Text, &FExtension});
    f.push_back({TFieldRef::Text, &FFolder});
    f.push_back({TFieldRef::Int64, &FSize});
    f.push_back({TFieldRef::Double, &FFileCreationDate});
    f.push_back({TFieldRef::Double, &FFileModifyDate});
    f.push_back({TFieldRef::Int, &FAttribute});
    f.push_back({TFieldRef::Int, &FListed});
}
