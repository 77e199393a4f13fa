#pragma once

#include <QObject>
#include <QString>

#include <sqlite3.h>

#include <functional>

class TQXActionList;
class TStringAction;

// The catalogue database file: the setting that names it, the one connection
// to it, the collation and function the program adds to SQLite, and the
// creation of the catalogue tables. Applying the setting (at start-up, when
// the preferences load, and whenever it changes) closes the current file and
// opens the new one, writing every step to the run log.
class TBaseCommon : public QObject {
    Q_OBJECT
public:
    using THandOver = std::function<void(const QString& path, sqlite3* connection)>;

    explicit TBaseCommon(QObject* parent = nullptr);
    ~TBaseCommon() override;

    TQXActionList* al;
    TStringAction* waFichierBase;

    sqlite3* base() const { return FBase; }
    // Why the last opening gave no connection, as an SQLite code: SQLITE_FULL
    // or SQLITE_READONLY when the catalogue's tables could not be made in the
    // file; SQLITE_CANTOPEN otherwise. SQLITE_OK after a successful opening.
    int openError() const { return FOpenError; }
    // Told after every opening, also a failed one (then with no connection).
    THandOver OnBaseOpened;

    // Opens or creates the file, in serialized mode so that the listing thread may
    // share the connection; none when the file cannot be opened or is no database.
    static sqlite3* openBase(const QString& path);
    static bool closeBase(sqlite3*& handle);

private:
    void applyFichierBase(const QString& path);

    sqlite3* FBase = nullptr;
    int FOpenError = SQLITE_OK;
};

// Why the catalogue refused a change, in words for the status bar, from the
// SQLite code of the refusal: "the disk of the catalogue is full"...
QString catalogueFailureReason(int sqliteCode);
