#pragma once

#include "uBase.h"
#include "uBlocsFrame.h"
#include "uDriveFichiers.h"
#include "uWndComponent.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QMimeData;
class TBooleanAction;
class TCheckAction;
class TIntegerAction;
class TNopeAction;
class TStringAction;
class TStringsAction;
class TQXFileBox;

// The commands the listing thread executes.
enum TOpenCmd {
    ocOpenListofFiles,
    ocOpenFolder,
    ocOpenFolderFiles,
    ocOpenPlayList,
    ocOpenAll,
    ocPasteFiles,
};

using TDriveFichierClass = std::function<std::unique_ptr<TDriveFichier>()>;

using TOpenStartEvent = std::function<void()>;
using TOpenEndEvent = std::function<void()>;
using TFolderFoundEvent = std::function<void(const QString& wfolder)>;
using TfileFoundEvent = std::function<void(TDriveFichier& sf)>;
using TTestExtensionEvent = std::function<bool(const QString& wLowerExtension)>;
using TBeforeListerEvent = std::function<bool(TDriveFichier& bf)>;
using TListCountChangeEvent = std::function<void()>;

// What the file box asks of the desktop: dialogs, a confirmation and the file
// manager. Each defaults to the real thing; a test replaces the ones it meets.
// A filter is written "Description|patterns|Description|patterns".
struct TFileBoxDesktop {
    std::function<QStringList(const QString& title, const QString& filter, const QString& initialDir)> openFiles;
    std::function<QString(const QString& title, const QString& filter, const QString& initialDir)> openFile;
    std::function<QString(const QString& title, const QString& filter, const QString& initialDir)> saveFile;
    std::function<QString(const QString& title, const QString& initialDir)> chooseFolder;
    // Yes answers true.
    std::function<bool(const QString& text)> confirm;
    // Shows the file's folder with the file selected.
    std::function<void(const QString& fileName)> showInFolder;

    static TFileBoxDesktop real();
};

// "Text files (*.txt)|*.txt" as a Qt file dialog filter.
QString qtFileFilter(const QString& filter);
// Asks the desktop's file manager to show the file selected; with none
// answering, opens the file's folder.
void showFileInFolder(const QString& fileName);

// The files a playlist names, one a line (CR, LF or both end a line): blank
// lines and "#" comments are skipped, relative names are taken from base, and
// each name comes back absolute and clean. Without a byte-order mark the text
// is UTF-8, and bytes holding a NUL are no playlist at all.
QStringList playListEntries(const QByteArray& data, const QString& base);
// The local files of pasted or dropped data, in their order; other links and
// names too long for a path are left out.
QStringList pastedFileNames(const QMimeData* data);

// The file box's worker: waits for a command, executes it, waits again. It
// lives as long as its box. Its events reach the user-interface thread by
// blocking calls, so a handler sees the walk stopped where it raised them.
class TThreadOpen : public QThread {
    Q_OBJECT
public:
    explicit TThreadOpen(TQXFileBox* aOwner);
    ~TThreadOpen() override;

    // Hands the thread its next command; the arguments are copied.
    void start(TOpenCmd aOpenCmd, const QStringList& params, TQXFileBox* aAowner);
    // The catalogue caption of a file met by the walk. The files of a folder
    // share its volume, which is asked for once per folder rather than per file.
    QString captionOf(const QString& fileName);

    // Set by the thread for the command it executes; a handler of the thread's
    // events may read them, the thread being blocked meanwhile.
    QStringList toParams;
    TOpenCmd toCmd = ocOpenFolder;
    QString toFolder;
    QString toFileName;
    TQXFileBox* fOwner;
    std::unique_ptr<TDriveFichier> toFichier;

protected:
    void run() override;

private:
    void execute();
    // Walks one path; answers the number of entries other than folders seen.
    int walk(const QString& path, bool subFolders);
    void readPlayList(const QString& wplaylist);
    // Runs fn on the user-interface thread and waits for it.
    void raise(const std::function<void()>& fn);

    std::mutex FLock;
    std::condition_variable FWake;
    bool FPending = false;
    bool FTerminated = false;
    TOpenCmd FNextCmd = ocOpenFolder;
    QStringList FNextParams;
    // Other volumes' mount points, not entered while walking whole volumes.
    QSet<QString> FStopAt;
    // The volume of the folder whose files are being taken, for one command.
    QString FVolumeFolder;
    QString FVolumeRoot;
    quint32 FVolumeSerial = 0;
};

// Brings files into the catalogue and owns the list: the records of one table
// whose Listed column is 1. Walks run on the listing thread; everything else
// on the calling thread, which is the user-interface thread.
class TQXFileBox : public TQXActionComponent {
    Q_OBJECT
public:
    explicit TQXFileBox(QObject* owner = nullptr);
    ~TQXFileBox() override;

    // Set-up.
    void setBase(sqlite3* aBase);
    void setClass(TDriveFichierClass aDriveFichierClass);
    void setTableName(const QString& aTableName);
    // Hands the list to the grid and fills the grid's drag-out list. The grid
    // must outlive the box, or be unset first.
    void setBlocsFrame(TBlocsFrame* grid);
    TBlocsFrame* BlocsFrame() const { return FBlocsFrame; }
    // The extra condition that caFiltrer adds to the list; empty adds none.
    void setWhereFiltre(const QString& condition);
    void setFilter(const QString& filter) { FFilter = filter; }
    void setInitialDir(const QString& folder);
    void setPlaylistHeader(const QString& titre, const QString& slogan);

    TFileBoxDesktop Desktop = TFileBoxDesktop::real();

    // Events. Assign them before the first command: the listing thread reads
    // OnOpenTestExtension and BeforeLister while it walks.
    TOpenStartEvent OnOpenStart;
    TOpenEndEvent OnOpenEnd;
    TFolderFoundEvent OnOpenFolderFound;
    TfileFoundEvent OnOpenFileFound;
    TTestExtensionEvent OnOpenTestExtension;
    TBeforeListerEvent BeforeLister;
    TListCountChangeEvent OnListCountChange;

    // Commands of the listing thread; each first ends the running one.
    void openFolder(const QString& wfolder);
    void openFolderFiles(const QString& wfolder);
    void openlistoffiles(const QStringList& sl);
    void openplaylist(const QString& wplaylist);
    void openallFiles();
    // Reads the clipboard's file list here, then walks it on the thread.
    void pastefiles();
    void openpreferredFolder();
    void openPreferredPlaylist();

    // Stops the running command and waits until it has ended.
    void abort();
    bool isActive() const { return toActive.load(); }

    void recallFolder(const QString& wfolder);
    void listByCaption(const QString& text);
    void vider();
    void oterselection();
    void clearBase();

    // A record for the file, filled with its path, caption and last-write time
    // when the file is there; empty otherwise.
    virtual std::unique_ptr<TDriveFichier> Catch(const QString& wFileName);
    // Stores the record (inserted, or refreshed when known) and lists it.
    void lister(TDriveFichier& bf);
    // The files of the last command that the catalogue refused or could not be
    // asked about, and the SQLite code of the last refusal (SQLITE_FULL,
    // SQLITE_READONLY, SQLITE_BUSY...). Counted from each command's start.
    int storeFailures() const { return FStoreFailures.load(); }
    int storeError() const { return FStoreError.load(); }

    void saveplaylist(const QString& wplaylist, const QString& atitre, const QString& aSlogan);
    void savePreferredplaylist(const QString& atitre, const QString& aSlogan);
    // Shows the folder of the file at list position i; nothing past the end.
    void parentFolder(int i);

    int Count();
    int getCountWhere(const QString& zWhere);
    // The record at list position i, or none.
    std::unique_ptr<TDriveFichier> get(int i);
    void getFileNames(QStringList& wStrings);
    // The captions of the selected records.
    void getSelectionFileNames(const TintegerList& aSelectionList, QStringList& wStrings);
    // The full paths of the selected records, for dragging them to other programs.
    void getSelectionPaths(const TintegerList& aSelectionList, QStringList& wStrings);

    TTableSource& Source() { return FSource; }
    QString Sort() const { return Fsort; }

    TStringsAction* srFileNames = nullptr;
    TBooleanAction* brOpenLastFiles = nullptr;
    TStringAction* wrActiveFile = nullptr;
    TStringsAction* srOpenFiles = nullptr;
    TStringAction* wrOpenFolder = nullptr;
    TStringAction* wrRecallFolder = nullptr;
    TStringAction* wrOpenPlayList = nullptr;
    TNopeAction* nrOpenPreferredFolder = nullptr;
    TNopeAction* nrOpenPreferredPlayList = nullptr;
    TNopeAction* nrPasteFiles = nullptr;
    TNopeAction* nrOpenAll = nullptr;
    TNopeAction* nrVider = nullptr;
    TNopeAction* nrClearSelected = nullptr;
    TNopeAction* nrClearBase = nullptr;
    TNopeAction* nrAbort = nullptr;
    TStringAction* wrSavePlayList = nullptr;
    TNopeAction* nrSavePreferredPlayList = nullptr;
    TIntegerAction* irParentFolder = nullptr;
    TStringAction* wrPreferredFolderName = nullptr;
    TStringAction* wrPreferredPlayListName = nullptr;
    TStringAction* wrSort = nullptr;
    TStringAction* wrFiltre = nullptr;

    void createActions() override;
    void initActions() override;
    void connectActions() override;

protected:
    TCheckAction* crFiltrer = nullptr;

private:
    friend class TThreadOpen;

    void startCommand(TOpenCmd cmd, const QStringList& params);
    // Runs a handler of the thread's events on this thread.
    void runThreadEvent(const std::function<void()>& fn);
    // "Listed=1", and the extra condition while filtering.
    QString listCondition() const;
    void prepareSource();
    void raiseListCountChange();
    bool testExtension(const QString& wLowerExtension);
    void waitForGrid();
    void openLastFiles(bool v);
    std::unique_ptr<TDriveFichier> newRecord() const;

    QPointer<TBlocsFrame> FBlocsFrame;
    // The grid's busy flags, as the listing thread sees them.
    std::atomic<TBlocsFrame*> FGrid{nullptr};
    QMetaObject::Connection FGridWatch;
    std::atomic<bool> FsrAbort{false};
    std::atomic<bool> toActive{false};
    // Handlers of the thread's events being run; a command started from one
    // cannot wait for the thread, which waits for the handler.
    int FInThreadEvent = 0;
    // One store at a time: the active file is stored on the user-interface
    // thread, possibly while a walk stores the same file.
    std::mutex FStoreLock;
    std::atomic<int> FStoreFailures{0};
    std::atomic<int> FStoreError{0};
    void noteStoreFailure(int sqliteCode);

    QString FTitre;
    QString FSlogan;
    QString FFilter;
    QString FInitialDir;
    bool FOpenLastFiles = true;
    sqlite3* FBase = nullptr;
    TDriveFichierClass FDriveFichierClass;
    QString FTableName;
    TTableSource FSource;
    QString Fsort = QStringLiteral("ListName ASC");
    QString FWhereFiltre;
    QString FPreferredFolder;
    QString FPreferredPlayList;
    std::unique_ptr<TThreadOpen> thop;
};
