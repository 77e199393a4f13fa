#include "uDriveFichiers.h"

#include "uCatalogueTables.h"
#include "uDrives.h"
#include "uVolumes.h"

TDriveFichier::TDriveFichier() : TDriveFichier(&catalogueTables().DriveFichiers) {}

TDriveFichier::TDriveFichier(TTable* table) : TBaseDriveFichier(table) {}

QString serialText(quint32 serial)
{
    return QString::asprintf("%.4X-%.4X", serial >> 16, serial & 0xFFFF);
}

QString fileCaption(const QString& path)
{
    const TVolumeInfo volume = TVolumeService::instance().volumeOf(path);
    return serialText(volume.serial) + QLatin1Char('|') + path.mid(volume.root.size());
}

void TDriveFichier::loadfromSR(const QString& wfolder, const TSearchRec& sr)
{
    TSR2Fichier::loadfromSR(wfolder, sr);
    FFilename = wfolder + sr.name;

    const TVolumeInfo volume = TVolumeService::instance().volumeOf(FFilename);
    TDrive drive;
    drive.FRootPath = volume.root;
    drive.FSerialNo = static_cast<qint32>(volume.serial);
    if (drive.findbySerialNo()) {
        drive.putByNum();
    } else if (drive.lastError() == SQLITE_OK) {
        // Only a drive the catalogue surely lacks is added: one it could not be asked about may be there.
        drive.loadFromRootPath();
        drive.insertnew();
    }
    FDriveNumero = drive.numero;
    Fcaption = serialText(volume.serial) + QLatin1Char('|') + FFilename.mid(volume.root.size());
}
