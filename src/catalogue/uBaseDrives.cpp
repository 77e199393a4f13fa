#include "uBaseDrives.h"

void TBaseDrive::describeFields(TFieldList& f)
{
    TItem::describeFields(f);
    f.push_back({TFieldRef::Text, &FVolumeName});
    f.push_back({TFieldRef::Int, &FSerialNo});
    f.push_back({TFieldRef::Text, &FFileSystem});
    f.push_back({TFieldRef::Int64, &FTotalSpace});
    f.push_back({TFieldRef::Text, &FRootPath});
    f.push_back({TFieldRef::Int, &FDriveType});
    f.push_back({TFieldRef::Text, &FFriendlyName});
}
