#include "uBaseVideoFichiers.h"

void TBaseVideoFichier::describeFields(TFieldList& f)
{
    TDriveFichier::describeFields(f);
    f.push_back({TFieldRef::Bool, &FHasVideo});
    f.push_back({TFieldRef::Bool, &FHasAudio});
    f.push_back({TFieldRef::Bool, &FHasScn});
    f.push_back({TFieldRef::Bool, &FHasSrt});
    f.push_back({TFieldRef::Int, &FWidth});
    f.push_back({TFieldRef::Int, &FHeight});
    f.push_back({TFieldRef::Double, &FFps});
    f.push_back({TFieldRef::Int, &FDuration});
    f.push_back({TFieldRef::Int, &FAspectRatioX});
    f.push_back({TFieldRef::Int, &FAspectratioY});
    f.push_back({TFieldRef::Int, &FAudioFrequency});
    f.push_back({TFieldRef::Int, &FRotation});
    f.push_back({TFieldRef::Int, &FAudioBits});
    f.push_back({TFieldRef::Text, &FAudioCompression});
    f.push_back({TFieldRef::Text, &FVideoCompression});
    f.push_back({TFieldRef::Int, &FAudioChannels});
    f.push_back({TFieldRef::Text, &FAlbum});
    f.push_back({TFieldRef::Text, &FChapitre});
    f.push_back({TFieldRef::Text, &FSequence});
    f.push_back({TFieldRef::Lines, &FDescription});
    f.push_back({TFieldRef::Lines, &FExif});
    f.push_back({TFieldRef::Double, &FCreationDate});
}
