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
#include <QUrl>

#include <sys/statvfs.h>

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

namespace {

// SQLite opens any file lazily; reading the schema tells a database from anything else.
sqlite3* openReadable(const QByteArray& name, int flags)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(name.constData(), &handle, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK
        || execSql(handle, QStringLiteral("SELECT count(*) FROM sqlite_master")) != SQLITE_ROW) {
        sqlite3_close(handle);
        return nullptr;
    }
    return handle;
}

bool onReadOnlyMedium(const QString& path)
{
    struct statvfs vfs {};
    return statvfs(QFile::encodeName(path).constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
}

} // namespace

sqlite3* TBaseCommon::openBase(const QString& path)
{
    // A file that cannot be written is opened for reading by SQLite itself.
    sqlite3* handle = openReadable(QFile::encodeName(path), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // On a read-only medium a catalogue kept with a write-ahead journal cannot
    // make its shared-memory file: nothing can change the file there, so it is
    // read as it stands.
    if (!handle && QFileInfo(path).isFile() && onReadOnlyMedium(path))
        handle = openReadable(QUrl::fromLocalFile(path).toEncoded() + "?immutable=1",
                              SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (!handle)
        return nullptr;
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
        FOpenError = SQLITE_CANTOPEN;
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
    FOpenError = FBase ? SQLITE_OK : SQLITE_CANTOPEN;
    for (const TTable* table : {&tables.Drives, &tables.VideoFichiers}) {
        if (FBase && table->createError() != SQLITE_OK)
            FOpenError = table->createError();
    }
    if (FOpenError != SQLITE_OK && FBase) {
        // A file that cannot hold the catalogue's tables (a full disk at its first
        // opening) is no catalogue: the program goes on without one, and the next
        // opening tries again.
        logLine(QStringLiteral("### The tables could not be created: ") + catalogueFailureReason(FOpenError)
                + QStringLiteral(" ###"));
        tables.Drives.setBase(nullptr);
        tables.VideoFichiers.setBase(nullptr);
        closeBase(FBase);
        FBase = nullptr;
    }
    if (FBase && registerWideUpper(FBase) == SQLITE_OK)
        logLine(QStringLiteral("wideupper function has been created"));
    else
        logLine(QStringLiteral("wideupper failed"));
    if (OnBaseOpened)
        OnBaseOpened(path, FBase);
}

QString catalogueFailureReason(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("the disk of the catalogue is full");
    case SQLITE_READONLY:
        return QStringLiteral("the catalogue is read-only");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the catalogue is locked by another program");
    case SQLITE_CANTOPEN:
        return QStringLiteral("no catalogue is open");
    default:
        return QStringLiteral("the catalogue could not be written (") + QString::fromUtf8(sqlite3_errstr(sqliteCode))
            + QLatin1Char(')');
    }
}
