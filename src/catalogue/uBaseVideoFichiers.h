#pragma once

#include "uDriveFichiers.h"

// The video level: the technical data the metadata tool reports.
class TBaseVideoFichier : public TDriveFichier {
public:
    bool FHasVideo = false;
    bool FHasAudio = false;
    bool FHasScn = false;
    bool FHasSrt = false;
    qint32 FWidth = 0;
    qint32 FHeight = 0;
    double FFps = 0;
    qint32 FDuration = 0; // milliseconds
    qint32 FAspectRatioX = 0;
    qint32 FAspectratioY = 0;
    qint32 FAudioFrequency = 0;
    qint32 FRotation = 0;
    qint32 FAudioBits = 0;
    QString FAudioCompression;
    QString FVideoCompression;
    qint32 FAudioChannels = 0;
    QString FAlbum;
    QString FChapitre;
    QString FSequence;
    QStringList FDescription;
    QStringList FExif;
    TDateTime FCreationDate = 0;

protected:
    using TDriveFichier::TDriveFichier;
    void describeFields(TFieldList& fields) override;
};
