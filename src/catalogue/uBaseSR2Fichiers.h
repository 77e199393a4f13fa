#pragma once

#include "uBase.h"

// The file level of a record: what a directory search tells of a file.
class TBaseSR2Fichier : public TCaption {
public:
    QString FListName;
    QString FExtension;
    QString FFolder;
    qint64 FSize = 0;
    TDateTime FFileCreationDate = 0;
    TDateTime FFileModifyDate = 0;
    qint32 FAttribute = 0;
    qint32 FListed = 0;

protected:
    using TCaption::TCaption;
    void describeFields(TFieldList& fields) override;
};
