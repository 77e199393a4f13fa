#include "uBaseCommon.h"

#include "uCatalogueTables.h"
#include "uCollations.h"
#include "uLog.h"
#include "uScriptAction.h"
#include "uVolumes.h"
#include "uWndComponent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TBaseCommon::TBaseCommon(QObject* parent)
    : QObject(parent),
      al(new TQXActionList(this)),
      waFichierBase(new TStringAction(QStringLiteral("waFichierBase"), al))
{
    waFichierBase->setCaption(QStringLiteral("FichierBase"));
    waFichierBase->ApplyWhenLoad = true;
    waFichierBase->DefaultValue = getAppDataFolder() + QStringLiteral("Movarium/Movarium.db3");
    waFichierBase->Value = waFichierBase->DefaultValue;
    waFichierBase->InternalApply = [this](const QString& path) { applyFichierBase(path); };
}

TBaseCommon::~TBaseCommon()
{
    TCatalogueTables& tables = catalogueTables();
    tables.Drives.setBase(nullptr);
    tables.VideoFichiers.setBase(nullptr);
    closeBase(FBase);
}

sqlite3* TBaseCommon::openBase(const QString& path)
{
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    // SQLite opens any file lazily; reading the schema tells a database from anything else.
    if (rc != SQLITE_OK || execSql(handle, QStringLiteral("SELECT count(*) FROM sqlite_master")) != SQLITE_ROW) {
        sqlite3_close(handle);
        return nullptr;
    }
    registerNoWideCase(handle);
    // Registered before any table is touched: the caption index is built on it.
    registerWideUpper(handle);
    tuneConnection(handle, TVolumeService::instance().volumeOf(path).driveType != dtRemote);
    return handle;
}

bool TBaseCommon::closeBase(sqlite3*& handle)
{
    if (!handle)
        return true;
    const int rc = sqlite3_close(handle);
    if (rc != SQLITE_OK)
        return false;
    handle = nullptr;
    return true;
}

void TBaseCommon::applyFichierBase(const QString& path)
{
    if (QFileInfo::exists(path))
        logLine(QStringLiteral("... File ") + path + QStringLiteral(" exists"));
    else
        logLine(QStringLiteral("*** File ") + path + QStringLiteral(" does not exists ***"));
    logLine(QStringLiteral("Close Database"));
    TCatalogueTables& tables = catalogueTables();
    tables.Drives.setBase(nullptr);
    tables.VideoFichiers.setBase(nullptr);
    closeBase(FBase);
    FBase = nullptr;
    logLine(QStringLiteral("Trying to Open Database ") + path);

    const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (QFileInfo(folder).isDir())
        logLine(QStringLiteral("... Directory ") + folder + QStringLiteral(" exists"));
    else
        logLine(QStringLiteral("*** Directory ") + folder + QStringLiteral(" does not exist ***"));
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        logLine(QStringLiteral("*** ForceDirectories Returns False ***"));
        if (OnBaseOpened)
            OnBaseOpened(path, nullptr);
        return;
    }
    logLine(QStringLiteral("... Directories OK"));

    FBase = openBase(path);
    if (FBase && QFileInfo::exists(path))
        logLine(QStringLiteral("... Database created and assigned"));
    else
        logLine(QStringLiteral("### Database could not be created ###"));
    tables.Drives.addToBase(FBase);
    logLine(QStringLiteral("DrivesTable added"));
    tables.VideoFichiers.addToBase(FBase);
    logLine(QStringLiteral("VideoFichiers added"));
    if (FBase && registerWideUpper(FBase) == SQLITE_OK)
        logLine(QStringLiteral("wideupper function has been created"));
    else
        logLine(QStringLiteral("wideupper failed"));
    if (OnBaseOpened)
        OnBaseOpened(path, FBase);
}
