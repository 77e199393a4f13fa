#pragma once

#include "uBase.h"

// The drive level: a volume on which files were found.
class TBaseDrive : public TItem {
public:
    QString FVolumeName;
    qint32 FSerialNo = 0; // the 32-bit serial, stored signed
    QString FFileSystem;
    qint64 FTotalSpace = 0; // MiB
    QString FRootPath;
    qint32 FDriveType = 0;
    QString FFriendlyName;

protected:
    using TItem::TItem;
    void describeFields(TFieldList& fields) override;
};
