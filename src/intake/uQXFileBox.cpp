#include "uQXFileBox.h"

#include "uBlocsFrame.h"
#include "uExif.h"
#include "uExifSession.h"
#include "uFiles.h"
#include "uLog.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"
#include "uVolumes.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace {

constexpr qsizetype kMaxPastedName = 65530;
// A playlist is a short text; anything larger is not one and is not read whole.
constexpr qint64 kMaxPlaylistBytes = 16 * 1024 * 1024;

const QString kTextFilter = QStringLiteral("Text files (*.txt)|*.txt");
const QString kClearBaseQuestion = QStringLiteral(
    "Do you really want to empty the entire File Database ?\r\n"
    "You will need to reload them from your system to be able to use them.\r\n"
    "However, no files will be deleted from your system.\r\n"
    "Only their records in the database will be deleted.");

// An absolute, clean path; a relative one is taken from base.
QString absolutePath(const QString& path, const QString& base)
{
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : base + QLatin1Char('/') + path);
}

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// A LIKE pattern that matches text itself: its own wildcards are escaped with "\".
QString likeLiteral(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return escaped;
}

// Raises the grid's listing flag for the length of a store.
class TListingFlag {
public:
    explicit TListingFlag(TBlocsFrame* grid) : FGrid(grid)
    {
        if (FGrid)
            FGrid->fisListing = true;
    }
    ~TListingFlag()
    {
        if (FGrid)
            FGrid->fisListing = false;
    }
    TListingFlag(const TListingFlag&) = delete;
    TListingFlag& operator=(const TListingFlag&) = delete;

private:
    TBlocsFrame* FGrid;
};

} // namespace

QString qtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file; here it would only take names with a dot.
        for (QString& pattern : patterns) {
            if (pattern.trimmed() == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return result.join(QStringLiteral(";;"));
}

QStringList playListEntries(const QByteArray& data, const QString& base)
{
    QString text;
    if (const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(data)) {
        QStringDecoder decoder(*bom);
        text = decoder(data);
    } else if (data.contains('\0')) {
        return {}; // binary: no text without a byte-order mark holds a NUL
    } else {
        text = QString::fromUtf8(data);
    }
    // Split by hand, not by a regular expression: one stray half of a UTF-16
    // pair would make the expression match nothing, and the whole file one name.
    QStringList entries;
    for (const QString& raw : splitLines(text)) {
        const QString line = trimControl(raw);
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            entries.append(absolutePath(line, base));
    }
    return entries;
}

QStringList pastedFileNames(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        const QString name = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!name.isEmpty() && name.size() <= kMaxPastedName)
            files.append(name);
    }
    return files;
}

void showFileInFolder(const QString& fileName)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(fileName).toString()} << QString();
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(fileName).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    // Asked without waiting: starting a file manager may take a while.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher* w) {
        if (w->isError())
            QDesktopServices::openUrl(folder);
        w->deleteLater();
    });
}

TFileBoxDesktop TFileBoxDesktop::real()
{
    TFileBoxDesktop d;
    d.openFiles = [](const QString& title, const QString& filter, const QString& initialDir) {
        return QFileDialog::getOpenFileNames(nullptr, title, initialDir, qtFileFilter(filter));
    };
    d.openFile = [](const QString& title, const QString& filter, const QString& initialDir) {
        return QFileDialog::getOpenFileName(nullptr, title, initialDir, qtFileFilter(filter));
    };
    d.saveFile = [](const QString& title, const QString& filter, const QString& initialDir) {
        return QFileDialog::getSaveFileName(nullptr, title, initialDir, qtFileFilter(filter));
    };
    d.chooseFolder = [](const QString& title, const QString& initialDir) {
        return QFileDialog::getExistingDirectory(nullptr, title, initialDir, QFileDialog::ShowDirsOnly);
    };
    d.confirm = [](const QString& text) {
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return QMessageBox::question(nullptr, QStringLiteral("Confirm"), shown,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    };
    d.showInFolder = showFileInFolder;
    return d;
}

// ---------------------------------------------------------------------------

TThreadOpen::TThreadOpen(TQXFileBox* aOwner) : fOwner(aOwner)
{
    QThread::start();
}

TThreadOpen::~TThreadOpen()
{
    {
        std::lock_guard guard(FLock);
        FTerminated = true;
    }
    FWake.notify_all();
    wait();
    fOwner->toActive = false;
}

void TThreadOpen::start(TOpenCmd aOpenCmd, const QStringList& params, TQXFileBox* aAowner)
{
    {
        std::lock_guard guard(FLock);
        FNextCmd = aOpenCmd;
        FNextParams = params;
        fOwner = aAowner;
        FPending = true;
    }
    FWake.notify_all();
}

void TThreadOpen::raise(const std::function<void()>& fn)
{
    QMetaObject::invokeMethod(
        fOwner, [this, &fn] { fOwner->runThreadEvent(fn); }, Qt::BlockingQueuedConnection);
}

void TThreadOpen::run()
{
    for (;;) {
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FPending || FTerminated; });
            if (FTerminated)
                return;
            toCmd = FNextCmd;
            toParams = FNextParams;
            FPending = false;
        }
        FVolumeFolder.clear(); // disks may have come and gone since the last command
        fOwner->FStoreFailures = 0;
        fOwner->FStoreError = SQLITE_OK;
        raise([this] {
            if (fOwner->OnOpenStart)
                fOwner->OnOpenStart();
        });
        try {
            // One metadata tool for the whole command, ended with it; an abort ends it at once.
            TExifListing exif(&fOwner->FsrAbort);
            execute();
        } catch (...) {
            // The command ends here; its end is raised all the same.
        }
        toFichier.reset();
        fOwner->FsrAbort = false;
        raise([this] {
            if (fOwner->OnOpenEnd)
                fOwner->OnOpenEnd();
        });
        // Cleared only now, so that a command started next waits for this end.
        fOwner->toActive = false;
    }
}

void TThreadOpen::execute()
{
    const QString here = QDir::currentPath();
    // A folder walks "folder/*.*"; the root already ends with its delimiter.
    const auto folderMask = [&here](const QString& folder) {
        return withTrailingSlash(absolutePath(folder, here)) + QStringLiteral("*.*");
    };
    switch (toCmd) {
    case ocOpenListofFiles:
        for (const QString& name : std::as_const(toParams)) {
            if (fOwner->FsrAbort)
                break;
            if (!name.isEmpty())
                walk(absolutePath(name, here), false);
        }
        break;
    case ocOpenFolder:
    case ocOpenFolderFiles:
        // An empty name would walk the whole root.
        if (!toParams.value(0).isEmpty())
            walk(folderMask(toParams.value(0)), toCmd == ocOpenFolder);
        break;
    case ocOpenPlayList:
        readPlayList(toParams.value(0));
        break;
    case ocOpenAll: {
        QSet<QString> devices;
        QStringList roots;
        const QList<TMountEntry> mounts = TVolumeService::instance().mountTable();
        for (const TMountEntry& m : mounts) {
            FStopAt.insert(m.mountPoint);
            // A disk mounted twice is walked once.
            if (devices.contains(m.majorMinor))
                continue;
            if (TVolumeService::instance().volumeOf(m.mountPoint).driveType == dtFixed) {
                devices.insert(m.majorMinor);
                roots.append(m.mountPoint);
            }
        }
        for (const QString& root : std::as_const(roots)) {
            if (fOwner->FsrAbort)
                break;
            walk(folderMask(root), true);
        }
        FStopAt.clear();
        break;
    }
    case ocPasteFiles:
        for (const QString& name : std::as_const(toParams)) {
            if (fOwner->FsrAbort)
                break;
            const QString path = absolutePath(name, here);
            walk(path.endsWith(QLatin1Char('/')) ? path + QStringLiteral("*.*") : path, true);
        }
        break;
    }
}

int TThreadOpen::walk(const QString& path, bool subFolders)
{
    if (fOwner->FsrAbort)
        return 0;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString mask = path.mid(slash + 1);
    TFileSearch search;
    TSearchRec sr;
    bool found = search.findFirst(path, faAnyFile, sr);
    toFolder = folder;
    if (subFolders) {
        raise([this, &folder] {
            if (fOwner->OnOpenFolderFound)
                fOwner->OnOpenFolderFound(folder);
        });
    }
    int count = 0;
    for (; found && !fOwner->FsrAbort; found = search.findNext(sr)) {
        if (sr.attr & faDirectory) {
            if (!subFolders || sr.name == QLatin1String(".") || sr.name == QLatin1String(".."))
                continue;
            const QString inner = folder + sr.name;
            if (FStopAt.contains(inner))
                continue;
            count += walk(inner + QLatin1Char('/') + (sr.name == mask ? QStringLiteral("*.*") : mask), true);
            continue;
        }
        ++count;
        // Only plain files are taken: a symbolic link is never followed, and a
        // device or a pipe named like a video is no video.
        if ((sr.attr & faSymLink) || !(sr.attr & faArchive))
            continue;
        if (!fOwner->testExtension(fileExtension(sr.name).toLower()) || fOwner->FsrAbort)
            continue;
        toFileName = folder + sr.name;
        toFichier = fOwner->Catch(toFileName);
        raise([this] {
            if (fOwner->OnOpenFileFound)
                fOwner->OnOpenFileFound(*toFichier);
        });
        fOwner->lister(*toFichier);
        toFichier.reset();
    }
    return count;
}

QString TThreadOpen::captionOf(const QString& fileName)
{
    const QString folder = fileName.left(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    if (folder.isEmpty() || folder != FVolumeFolder) {
        const TVolumeInfo volume = TVolumeService::instance().volumeOf(fileName);
        FVolumeFolder = folder;
        FVolumeRoot = volume.root;
        FVolumeSerial = volume.serial;
    }
    return serialText(FVolumeSerial) + QLatin1Char('|') + fileName.mid(FVolumeRoot.size());
}

void TThreadOpen::readPlayList(const QString& wplaylist)
{
    QFile file(wplaylist);
    if (wplaylist.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxPlaylistBytes)
        return;
    // Relative lines name files beside the playlist.
    const QStringList entries = playListEntries(file.readAll(), QFileInfo(wplaylist).absolutePath());
    for (const QString& path : entries) {
        if (fOwner->FsrAbort)
            break;
        walk(path, false);
    }
}

// ---------------------------------------------------------------------------

TQXFileBox::TQXFileBox(QObject* owner)
    : TQXActionComponent(owner),
      FDriveFichierClass([] { return std::make_unique<TVideoFichier>(); }),
      thop(std::make_unique<TThreadOpen>(this))
{
    initialize();
}

TQXFileBox::~TQXFileBox()
{
    abort();
    thop.reset();
    FSource.close();
    if (FBlocsFrame)
        FBlocsFrame->FonDragFileNames = nullptr;
}

void TQXFileBox::createActions()
{
    srFileNames = new TStringsAction(QStringLiteral("saFileNames"), this);
    brOpenLastFiles = new TBooleanAction(QStringLiteral("baOpenlastFiles"), this);
    wrActiveFile = new TStringAction(QStringLiteral("waActiveFile"), this);
    srOpenFiles = new TStringsAction(QStringLiteral("saOpenFiles"), this);
    wrOpenFolder = new TStringAction(QStringLiteral("waOpenFolder"), this);
    wrRecallFolder = new TStringAction(QStringLiteral("waRecallFolder"), this);
    wrOpenPlayList = new TStringAction(QStringLiteral("waOpenPlayList"), this);
    nrOpenPreferredFolder = new TNopeAction(QStringLiteral("naOpenPreferredFolder"), this);
    nrOpenPreferredPlayList = new TNopeAction(QStringLiteral("naOpenPreferredPlayList"), this);
    nrPasteFiles = new TNopeAction(QStringLiteral("naPasteFiles"), this);
    nrOpenAll = new TNopeAction(QStringLiteral("naOpenAll"), this);
    nrVider = new TNopeAction(QStringLiteral("naVider"), this);
    nrClearSelected = new TNopeAction(QStringLiteral("naClearSelected"), this);
    nrClearBase = new TNopeAction(QStringLiteral("naClearBase"), this);
    nrAbort = new TNopeAction(QStringLiteral("naAbort"), this);
    wrSavePlayList = new TStringAction(QStringLiteral("waSavePlayList"), this);
    nrSavePreferredPlayList = new TNopeAction(QStringLiteral("naSavePreferredPlayList"), this);
    irParentFolder = new TIntegerAction(QStringLiteral("iaParentFolder"), this);
    wrPreferredFolderName = new TStringAction(QStringLiteral("waPreferredFolderName"), this);
    wrPreferredPlayListName = new TStringAction(QStringLiteral("waPreferredPlayListName"), this);
    wrSort = new TStringAction(QStringLiteral("waSort"), this);
    wrFiltre = new TStringAction(QStringLiteral("waFiltre"), this);
    crFiltrer = new TCheckAction(QStringLiteral("caFiltrer"), this);
}

void TQXFileBox::initActions()
{
    const auto set = [](TCustomAbstractAction* a, const char* caption, const QKeySequence& key, const char* hint) {
        a->setCaption(QString::fromUtf8(caption));
        a->setShortCut(key);
        a->setHint(QString::fromUtf8(hint));
    };
    const QKeySequence none;
    set(srFileNames, "FileNames", none, "");
    set(brOpenLastFiles, "ReOpen", none, "ReOpen the files");
    brOpenLastFiles->DefaultValue = true;
    brOpenLastFiles->Value = true;
    brOpenLastFiles->ApplyWhenLoad = true;
    set(wrActiveFile, "Active File", none, "Change the active file");
    wrActiveFile->ApplyWhenLoad = true;
    set(srOpenFiles, "Open...", QKeySequence(Qt::CTRL | Qt::Key_O), "Open files");
    set(wrOpenFolder, "Folder", QKeySequence(Qt::CTRL | Qt::Key_F), "Open a folder");
    set(wrRecallFolder, "Folder", QKeySequence(Qt::CTRL | Qt::Key_F), "Recall a folder");
    set(wrOpenPlayList, "Playlist", QKeySequence(Qt::CTRL | Qt::Key_U), "Open a playlist");
    set(nrOpenPreferredFolder, "Preferred Folder", QKeySequence(Qt::Key_F7), "Open the preferred folder");
    set(nrOpenPreferredPlayList, "Preferred playlist", QKeySequence(Qt::Key_F8), "Open the preferred playlist");
    set(nrPasteFiles, "Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "Paste files");
    set(nrOpenAll, "All", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F7), "Open all files");
    set(nrVider, "Empty", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X), "Empty the list");
    set(nrClearSelected, "Remove", QKeySequence(Qt::CTRL | Qt::Key_X),
        "Remove the selected files without destroying them");
    set(nrClearBase, "Clear the Database", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X),
        "Empty the whole database of files.\r\n"
        "You will need to recharge them from your system to be able to use them");
    set(nrAbort, "Abort", QKeySequence(Qt::Key_Escape), "Abort the current operations");
    set(wrSavePlayList, "Save as...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        "Save the list of files in a text file");
    set(nrSavePreferredPlayList, "Save", QKeySequence(Qt::CTRL | Qt::Key_S), "Save the playlist");
    set(irParentFolder, "Parent folder", none, "Open the parent folder of the selected file");
    set(wrPreferredFolderName, "Preferred Folder", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        "Change the name of the preferred folder");
    set(wrPreferredPlayListName, "Preferred playlist", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
        "Change the name of the preferred Playlist");
    // Applying only stores the name: without it a restart would forget the preferred targets.
    wrPreferredFolderName->ApplyWhenLoad = true;
    wrPreferredPlayListName->ApplyWhenLoad = true;
    set(wrSort, "Columns for Sorting", none, "Change the Columns for Sorting");
    set(wrFiltre, "Filter", none, "Filter for the database of files");
    wrFiltre->ApplyWhenLoad = true;
    crFiltrer->setTrueCaption(QStringLiteral("Apply Filter"));
    crFiltrer->setFalseCaption(QStringLiteral("Do not Filter"));
    crFiltrer->setTrueHint(QStringLiteral("Filter the list of database files"));
    crFiltrer->setFalseHint(QStringLiteral("do not filter the list of database files"));
    crFiltrer->setDefaultValue(false);
}

void TQXFileBox::connectActions()
{
    srFileNames->internalApply = [this](const QStringList& v) {
        if (!v.isEmpty())
            openlistoffiles(v);
    };
    srFileNames->internalBeforeSave = [this](QStringList& v) {
        getFileNames(v);
        return true;
    };
    brOpenLastFiles->internalApply = [this](const bool& v) { openLastFiles(v); };
    brOpenLastFiles->internalBeforeSave = [this](bool& v) {
        v = FOpenLastFiles;
        if (!FOpenLastFiles)
            srFileNames->Value.clear();
        return true;
    };
    wrActiveFile->InternalApply = [this](const QString& v) {
        if (v.isEmpty() || !QFileInfo(v).isFile())
            return;
        std::unique_ptr<TDriveFichier> record = Catch(v);
        lister(*record);
    };
    wrActiveFile->InternalBeforeSave = [](QString& v) {
        v.clear();
        return true;
    };
    srOpenFiles->internalPrepare = [this](QStringList& v) {
        const QString filter = (FFilter.isEmpty() ? QString() : FFilter + QLatin1Char('|'))
                             + QStringLiteral("All files (*.*)|*.*");
        v = Desktop.openFiles(QStringLiteral("Select the files to open"), filter, FInitialDir);
        return !v.isEmpty();
    };
    srOpenFiles->internalApply = [this](const QStringList& v) {
        if (!v.isEmpty())
            openlistoffiles(v);
    };
    const auto pickFolder = [this](QString& v) {
        v = Desktop.chooseFolder(QStringLiteral("Select a folder"), v.isEmpty() ? FInitialDir : v);
        return !v.isEmpty();
    };
    wrOpenFolder->InternalPrepare = pickFolder;
    wrOpenFolder->InternalApply = [this](const QString& v) { openFolder(v); };
    wrRecallFolder->InternalPrepare = pickFolder;
    wrRecallFolder->InternalApply = [this](const QString& v) { recallFolder(v); };
    wrOpenPlayList->InternalPrepare = [this](QString& v) {
        v = Desktop.openFile(QStringLiteral("Select the playlist to open"), kTextFilter, FInitialDir);
        return !v.isEmpty();
    };
    wrOpenPlayList->InternalApply = [this](const QString& v) { openplaylist(v); };
    nrOpenPreferredFolder->internalApply = [this] { openpreferredFolder(); };
    nrOpenPreferredPlayList->internalApply = [this] { openPreferredPlaylist(); };
    nrPasteFiles->internalApply = [this] { pastefiles(); };
    nrOpenAll->internalApply = [this] { openallFiles(); };
    nrVider->internalApply = [this] { vider(); };
    nrClearSelected->internalApply = [this] { oterselection(); };
    nrClearBase->internalPrepare = [this] { return Desktop.confirm(kClearBaseQuestion); };
    nrClearBase->internalApply = [this] { clearBase(); };
    nrAbort->internalApply = [this] { abort(); };
    wrSavePlayList->InternalPrepare = [this](QString& v) {
        v = Desktop.saveFile(QStringLiteral("Save the playlist as..."), kTextFilter, FInitialDir);
        return !v.isEmpty();
    };
    wrSavePlayList->InternalApply = [this](const QString& v) { saveplaylist(v, FTitre, FSlogan); };
    nrSavePreferredPlayList->internalApply = [this] { savePreferredplaylist(FTitre, FSlogan); };
    irParentFolder->internalApply = [this](const qint32& v) { parentFolder(v); };
    wrPreferredFolderName->InternalPrepare = pickFolder;
    wrPreferredFolderName->InternalApply = [this](const QString& v) { FPreferredFolder = v; };
    wrPreferredPlayListName->InternalPrepare = [this](QString& v) {
        v = Desktop.openFile(QStringLiteral("Choose the preferred playlist"), kTextFilter, FInitialDir);
        return !v.isEmpty();
    };
    wrPreferredPlayListName->InternalApply = [this](const QString& v) { FPreferredPlayList = v; };
    wrSort->InternalApply = [this](const QString& v) {
        Fsort = v;
        prepareSource();
    };
    wrFiltre->InternalApply = [this](const QString& v) { listByCaption(v); };
    crFiltrer->internalTrueApply = [this] { prepareSource(); };
    crFiltrer->internalFalseApply = [this] { prepareSource(); };
}

// ---------------------------------------------------------------------------

void TQXFileBox::setBase(sqlite3* aBase)
{
    FBase = aBase;
    FSource.prepare(FBase, FTableName, listCondition(), Fsort);
}

void TQXFileBox::setClass(TDriveFichierClass aDriveFichierClass)
{
    FDriveFichierClass = std::move(aDriveFichierClass);
}

void TQXFileBox::setTableName(const QString& aTableName)
{
    FTableName = aTableName;
}

void TQXFileBox::setBlocsFrame(TBlocsFrame* grid)
{
    if (FBlocsFrame && FBlocsFrame != grid)
        FBlocsFrame->FonDragFileNames = nullptr;
    FBlocsFrame = grid;
    FGrid = grid;
    QObject::disconnect(FGridWatch);
    if (grid) {
        FGridWatch = connect(grid, &QObject::destroyed, this, [this] { FGrid = nullptr; });
        // Other programs need where the files are, not their catalogue captions.
        grid->FonDragFileNames = [this](const TintegerList& selection, QStringList& fileNames) {
            getSelectionPaths(selection, fileNames);
        };
    }
    prepareSource();
}

void TQXFileBox::setWhereFiltre(const QString& condition)
{
    FWhereFiltre = condition;
    prepareSource();
}

void TQXFileBox::setInitialDir(const QString& folder)
{
    FInitialDir = folder.isEmpty() ? folder : withTrailingSlash(folder);
}

void TQXFileBox::setPlaylistHeader(const QString& titre, const QString& slogan)
{
    FTitre = titre;
    FSlogan = slogan;
}

QString TQXFileBox::listCondition() const
{
    // Without a condition to add, filtering adds nothing: a bare "and" is no SQL.
    if (crFiltrer && crFiltrer->Checked() && !FWhereFiltre.isEmpty())
        return QStringLiteral("Listed=1 and (") + FWhereFiltre + QLatin1Char(')');
    return QStringLiteral("Listed=1");
}

void TQXFileBox::prepareSource()
{
    FSource.prepare(FBase, FTableName, listCondition(), Fsort);
    if (FBlocsFrame)
        FBlocsFrame->setBlocsSource(&FSource);
}

void TQXFileBox::raiseListCountChange()
{
    if (OnListCountChange)
        OnListCountChange();
}

std::unique_ptr<TDriveFichier> TQXFileBox::newRecord() const
{
    return FDriveFichierClass ? FDriveFichierClass() : std::make_unique<TVideoFichier>();
}

bool TQXFileBox::testExtension(const QString& wLowerExtension)
{
    return !OnOpenTestExtension || OnOpenTestExtension(wLowerExtension);
}

// ---------------------------------------------------------------------------

void TQXFileBox::runThreadEvent(const std::function<void()>& fn)
{
    ++FInThreadEvent;
    try {
        fn();
    } catch (...) {
        // A failing handler must not leave the listing thread waiting.
    }
    --FInThreadEvent;
}

void TQXFileBox::startCommand(TOpenCmd cmd, const QStringList& params)
{
    if (FInThreadEvent > 0) {
        // Called from a handler of the thread's events: the thread waits for this
        // handler, so it cannot be waited for here. Stop it and start afterwards.
        FsrAbort = true;
        QTimer::singleShot(10, this, [this, cmd, params] { startCommand(cmd, params); });
        return;
    }
    abort();
    FsrAbort = false;
    toActive = true;
    thop->start(cmd, params, this);
}

void TQXFileBox::abort()
{
    FsrAbort = true;
    if (FInThreadEvent > 0)
        return;
    // The thread's events still run meanwhile; the user's input waits.
    while (toActive) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (toActive)
            QThread::msleep(1);
    }
}

void TQXFileBox::openFolder(const QString& wfolder)
{
    startCommand(ocOpenFolder, {wfolder});
}

void TQXFileBox::openFolderFiles(const QString& wfolder)
{
    startCommand(ocOpenFolderFiles, {wfolder});
}

void TQXFileBox::openlistoffiles(const QStringList& sl)
{
    startCommand(ocOpenListofFiles, sl);
}

void TQXFileBox::openplaylist(const QString& wplaylist)
{
    startCommand(ocOpenPlayList, {wplaylist});
}

void TQXFileBox::openallFiles()
{
    startCommand(ocOpenAll, {});
}

void TQXFileBox::pastefiles()
{
    // The clipboard belongs to this thread; the listing thread gets the names.
    startCommand(ocPasteFiles, pastedFileNames(QGuiApplication::clipboard()->mimeData()));
}

void TQXFileBox::openpreferredFolder()
{
    if (!FPreferredFolder.isEmpty())
        openFolder(FPreferredFolder);
}

void TQXFileBox::openPreferredPlaylist()
{
    if (!FPreferredPlayList.isEmpty() && QFileInfo(FPreferredPlayList).isFile())
        openplaylist(FPreferredPlayList);
}

// ---------------------------------------------------------------------------

std::unique_ptr<TDriveFichier> TQXFileBox::Catch(const QString& wFileName)
{
    std::unique_ptr<TDriveFichier> record = newRecord();
    TSearchRec sr;
    if (findFile(wFileName, sr)) {
        record->FFilename = wFileName;
        record->Fcaption = QThread::currentThread() == thop.get() ? thop->captionOf(wFileName) : fileCaption(wFileName);
        record->FFileModifyDate = fileTimeToDateTime(sr.lastWriteTime);
    }
    return record;
}

void TQXFileBox::waitForGrid()
{
    if (QThread::currentThread() == thread())
        return; // the grid runs on this thread: it cannot be busy now
    for (TBlocsFrame* grid = FGrid; grid && !FsrAbort; grid = FGrid) {
        if (!grid->fisAffiching && !grid->fisMouseing && !grid->fisKeying)
            return;
        QThread::msleep(10);
    }
}

void TQXFileBox::lister(TDriveFichier& bf)
{
    // Not found by its search: a file that vanished is skipped, not stored empty.
    if (bf.FFilename.isEmpty())
        return;
    waitForGrid();
    const std::lock_guard store(FStoreLock);
    const TListingFlag listing(FGrid);
    if (BeforeLister && !BeforeLister(bf))
        return;
    const QString path = bf.FFilename;
    const TDateTime modified = bf.FFileModifyDate;
    // A file whose metadata read an abort cut short is left for the next walk.
    if (!bf.findbyCaption()) {
        // A catalogue that could not answer may hold the file: a new row would be its double.
        if (bf.lastError() != SQLITE_OK) {
            noteStoreFailure(bf.lastError());
            return;
        }
        if (!bf.loadFromFilename(path) || exifReadAborted())
            return;
        bf.FListed = 1;
        if (!bf.insertnew())
            noteStoreFailure(bf.lastError());
        return;
    }
    // The stored row replaced the fields; the file's own date decides a refresh.
    // The row's write date is loaded with it: no need to ask the database again.
    bf.FFileModifyDate = modified;
    if (modified > bf.Fdatemodify) {
        if (!bf.loadFromFilename(path) || exifReadAborted())
            return;
    } else if (bf.FFilename != path) {
        // The disk came back under another mount point: the file is where the walk found it.
        bf.FFilename = path;
        bf.FFolder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    }
    bf.FListed = 1;
    if (!bf.putByNum())
        noteStoreFailure(bf.lastError());
}

void TQXFileBox::noteStoreFailure(int sqliteCode)
{
    FStoreError = sqliteCode;
    ++FStoreFailures;
}

void TQXFileBox::openLastFiles(bool v)
{
    FOpenLastFiles = v;
    if (v) {
        srFileNames->apply();
        wrActiveFile->apply();
    } else {
        srFileNames->Value.clear();
        wrActiveFile->Value.clear();
    }
}

// ---------------------------------------------------------------------------

void TQXFileBox::recallFolder(const QString& wfolder)
{
    abort();
    if (OnOpenStart)
        OnOpenStart();
    // Below the folder itself, not its namesakes: "/a/Clips" must not bring back "/a/Clips2".
    const QString folder = withTrailingSlash(QDir::cleanPath(wfolder));
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("UPDATE ") + FTableName
                                     + QStringLiteral(" SET Listed=1 WHERE wideupper(Folder) LIKE ? ESCAPE '\\'"))
        == SQLITE_OK) {
        bindText(statement.get(), 1, likeLiteral(folder.toUpper()) + QLatin1Char('%'));
        statement.step();
    }
    if (OnOpenEnd)
        OnOpenEnd();
    raiseListCountChange();
}

void TQXFileBox::listByCaption(const QString& text)
{
    abort();
    vider();
    if (OnOpenStart)
        OnOpenStart();
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("UPDATE ") + FTableName
                                     + QStringLiteral(" SET Listed=1 WHERE wideupper(Caption) LIKE ? ESCAPE '\\'"))
        == SQLITE_OK) {
        bindText(statement.get(), 1, QLatin1Char('%') + likeLiteral(text.toUpper()) + QLatin1Char('%'));
        statement.step();
    }
    if (OnOpenEnd)
        OnOpenEnd();
    raiseListCountChange();
}

void TQXFileBox::vider()
{
    if (execSql(FBase, QStringLiteral("UPDATE ") + FTableName + QStringLiteral("  SET Listed=0 WHERE   Listed=1"))
        != SQLITE_DONE)
        return;
    if (FBlocsFrame)
        FBlocsFrame->viderSelection();
    raiseListCountChange();
}

void TQXFileBox::oterselection()
{
    if (!FBlocsFrame)
        return;
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("UPDATE ") + FTableName
                                     + QStringLiteral("  SET Listed=0 WHERE   numero=?"))
        != SQLITE_OK)
        return;
    const TintegerList& selection = FBlocsFrame->FSelectedList;
    for (int i = 0; i < selection.count(); ++i) {
        sqlite3_bind_int(statement.get(), 1, selection.geti(i));
        statement.step();
        sqlite3_reset(statement.get());
    }
    FBlocsFrame->viderSelection();
    raiseListCountChange();
}

void TQXFileBox::clearBase()
{
    // A walk storing meanwhile would write back rows that no longer exist.
    abort();
    execSql(FBase, QStringLiteral("DELETE FROM ") + FTableName);
    vider();
}

// ---------------------------------------------------------------------------

void TQXFileBox::saveplaylist(const QString& wplaylist, const QString& atitre, const QString& aSlogan)
{
    QStringList names;
    getFileNames(names);
    QString text;
    for (const QString& header : {atitre, aSlogan}) {
        if (!header.isEmpty())
            text += QStringLiteral("# ") + header + QLatin1Char('\n');
    }
    for (const QString& name : std::as_const(names))
        text += name + QLatin1Char('\n');
    QSaveFile file(wplaylist);
    if (wplaylist.isEmpty() || !file.open(QIODevice::WriteOnly))
        return;
    file.write(text.toUtf8());
    file.commit();
}

void TQXFileBox::savePreferredplaylist(const QString& atitre, const QString& aSlogan)
{
    saveplaylist(FPreferredPlayList, atitre, aSlogan);
}

void TQXFileBox::parentFolder(int i)
{
    const std::unique_ptr<TDriveFichier> record = get(i);
    if (record && Desktop.showInFolder)
        Desktop.showInFolder(record->FFilename);
}

// ---------------------------------------------------------------------------

int TQXFileBox::Count()
{
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT count(*) From ") + FTableName + QStringLiteral(" WHERE ")
                                     + listCondition())
            != SQLITE_OK
        || statement.step() != SQLITE_ROW)
        return 0;
    return sqlite3_column_int(statement.get(), 0);
}

int TQXFileBox::getCountWhere(const QString& zWhere)
{
    const QString extra = zWhere.isEmpty() ? QString() : QStringLiteral(" and (") + zWhere + QLatin1Char(')');
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT count(*) From ") + FTableName
                                     + QStringLiteral(" WHERE Listed=1") + extra)
            != SQLITE_OK
        || statement.step() != SQLITE_ROW)
        return 0;
    return sqlite3_column_int(statement.get(), 0);
}

std::unique_ptr<TDriveFichier> TQXFileBox::get(int i)
{
    // SQLite reads a negative offset as 0.
    if (i < 0)
        return nullptr;
    const QString order = Fsort.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + Fsort;
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT * FROM ") + FTableName + QStringLiteral(" WHERE ")
                                     + listCondition() + order + QStringLiteral(" LIMIT 1 OFFSET ")
                                     + QString::number(i))
            != SQLITE_OK
        || statement.step() != SQLITE_ROW)
        return nullptr;
    std::unique_ptr<TDriveFichier> record = newRecord();
    if (!record->getFromCurseur(statement.get()))
        return nullptr;
    return record;
}

void TQXFileBox::getFileNames(QStringList& wStrings)
{
    wStrings.clear();
    const QString order = Fsort.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + Fsort;
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT Filename From ") + FTableName + QStringLiteral(" WHERE ")
                                     + listCondition() + order)
        != SQLITE_OK)
        return;
    while (statement.step() == SQLITE_ROW)
        wStrings.append(columnText(statement.get(), 0));
}

void TQXFileBox::getSelectionFileNames(const TintegerList& aSelectionList, QStringList& wStrings)
{
    if (aSelectionList.count() == 0)
        return;
    wStrings.clear();
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT Caption FROM ") + FTableName
                                     + QStringLiteral(" WHERE Numero = ?"))
        != SQLITE_OK)
        return;
    for (int i = 0; i < aSelectionList.count(); ++i) {
        if (aSelectionList.geti(i) < 0)
            continue;
        sqlite3_bind_int(statement.get(), 1, aSelectionList.geti(i));
        if (statement.step() == SQLITE_ROW)
            wStrings.append(columnText(statement.get(), 0));
        sqlite3_reset(statement.get());
    }
}

void TQXFileBox::getSelectionPaths(const TintegerList& aSelectionList, QStringList& wStrings)
{
    wStrings.clear();
    TStatement statement;
    if (statement.prepare(FBase, QStringLiteral("SELECT Filename FROM ") + FTableName
                                     + QStringLiteral(" WHERE Numero = ?"))
        != SQLITE_OK)
        return;
    for (int i = 0; i < aSelectionList.count(); ++i) {
        sqlite3_bind_int(statement.get(), 1, aSelectionList.geti(i));
        if (statement.step() == SQLITE_ROW)
            wStrings.append(columnText(statement.get(), 0));
        sqlite3_reset(statement.get());
    }
}
