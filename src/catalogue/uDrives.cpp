#include "uDrives.h"

#include "uCatalogueTables.h"
#include "uVolumes.h"

#include <limits>

TDrive::TDrive() : TBaseDrive(&catalogueTables().Drives) {}

void TDrive::loadFromRootPath()
{
    const TVolumeInfo volume = TVolumeService::instance().volumeOf(FRootPath);
    FVolumeName = volume.label.left(260);
    FSerialNo = static_cast<qint32>(volume.serial);
    FFileSystem = volume.fileSystem.left(260);
    FDriveType = volume.driveType;
    FTotalSpace = volume.totalMiB;
}

bool TDrive::findbySerialNo()
{
    sqlite3* base = db();
    if (!base)
        return false;
    TStatement statement;
    if (noteResult(statement.prepare(base, QStringLiteral("SELECT numero FROM ") + FTable->name
                                               + QStringLiteral(" WHERE SerialNo= ?")))
            != SQLITE_OK
        || sqlite3_bind_int(statement.get(), 1, FSerialNo) != SQLITE_OK || noteResult(statement.step()) != SQLITE_ROW)
        return false;
    const qint64 key = sqlite3_column_int64(statement.get(), 0);
    if (key < 0 || key > std::numeric_limits<qint32>::max())
        return false;
    numero = static_cast<qint32>(key);
    return getByNum();
}
