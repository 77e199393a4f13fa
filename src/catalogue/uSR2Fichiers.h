#pragma once

#include "uBaseSR2Fichiers.h"
#include "uFiles.h"

class TSR2Fichier : public TBaseSR2Fichier {
public:
    TSR2Fichier();

    // Fills the file level from a search result found in wfolder (with its trailing "/").
    virtual void loadfromSR(const QString& wfolder, const TSearchRec& sr);
    // Searches the file and loads it; a file that is not found leaves the record unchanged
    // and answers false.
    bool loadFromFilename(const QString& wFilename);
    // 0: no stored row with this caption; else the file's modification date against
    // the row's: later 1, equal 2, earlier 3.
    int isPresent();
    QString nameWithoutExtension() const;

protected:
    explicit TSR2Fichier(TTable* table);
};

// The extension with its dot, as spelled; empty when the name has none.
QString fileExtension(const QString& name);
