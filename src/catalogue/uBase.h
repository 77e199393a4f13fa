#pragma once

#include "uDateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <atomic>
#include <mutex>
#include <vector>

// A column of a catalogue table.
struct TGridColumn {
    QString name;
    QString caption;
    QString sqliteType; // "int", "double" or "text"
    bool Filtered = false;
    bool Masked = false;
};

// The ordered columns of a table; column 0 is always the key "Numero".
class TGridColumnsList {
public:
    TGridColumnsList() = default;

    void add(const QString& name, const QString& caption, const QString& sqliteType, bool filtered, bool masked);
    qsizetype count() const { return FItems.size(); }
    const TGridColumn& at(qsizetype i) const { return FItems.at(i); }
    qsizetype indexOf(const QString& name) const;

private:
    QList<TGridColumn> FItems;
};

// The statement lock: held around every statement preparation on the shared connection.
std::mutex& statementLock();

// Compiles the first statement of sql under the statement lock.
int prepareSql(sqlite3* db, const QString& sql, sqlite3_stmt** statement);
// prepareSql, one step, finalize: the step's code, or the preparation's error.
int execSql(sqlite3* db, const QString& sql);

// Settings of a freshly opened catalogue connection:
// - UTF-8 storage for a new file (an existing file keeps its encoding): the
//   metadata text is mostly ASCII and takes half the room;
// - a page cache that holds the list's indexes of a large catalogue, so that a
//   page deep in the list is read from memory;
// - on a local disk, a write-ahead journal with normal syncing: a scan stores
//   each file in its own statement, and this makes such writes several times
//   faster than the default journal while a crash still loses no committed
//   row. It needs shared memory beside the file, which network file systems
//   do not give, so there the default journal stays.
//
// A statement that finds the file locked by another program waits up to
// kBusyTimeoutMs for it, so that a short write of that program loses nothing.
constexpr int kBusyTimeoutMs = 2000;
void tuneConnection(sqlite3* db, bool localDisk);

// Finalizes its statement when it goes out of scope.
class TStatement {
public:
    TStatement() = default;
    ~TStatement() { sqlite3_finalize(FStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    int prepare(sqlite3* db, const QString& sql);
    sqlite3_stmt* get() const { return FStmt; }
    int step() { return sqlite3_step(FStmt); }

private:
    sqlite3_stmt* FStmt = nullptr;
};

// A table described by its columns, with the statement fragments derived from them.
class TTable {
public:
    TTable(const QString& zname, const TGridColumnsList* aColumns);

    bool addToBase(sqlite3* abase);
    // The SQLite code with which the last addToBase failed to create the table
    // (SQLITE_FULL, SQLITE_READONLY...); SQLITE_OK when the table is there.
    int createError() const { return FCreateError; }
    bool hasCaption() const;
    // Extra indexes created with the table, so that the list's pages stay fast.
    void addIndex(const QString& indexName, const QString& columns);
    // Gives the table the caption look-up's key: a last column CaptionKey that the
    // records write (the trimmed caption upper-cased in every alphabet, see
    // captionKeyOf) with an ordinary index, so that plain SQLite, without any
    // function of the program's, can check, vacuum and edit the file. A row
    // whose caption was changed or inserted by another tool has no key (a
    // trigger clears it); the look-up still finds it and the next addToBase
    // writes its key again.
    void setCaptionKey(const QString& indexName);
    bool hasCaptionKey() const { return !FCaptionKeyIndex.isEmpty(); }

    sqlite3* base() const { return FBase.load(); }
    void setBase(sqlite3* abase) { FBase.store(abase); }

    const TGridColumnsList* FColumns;
    QString name;
    QString createTableStr;
    QString insertStr;
    QString updateStr;

private:
    // Set on the user-interface thread, read by the listing thread.
    std::atomic<sqlite3*> FBase{nullptr};
    QStringList FIndexes;
    int FCreateError = SQLITE_OK;
    QString FCaptionKeyIndex;

    void buildStatements();
    bool upgradeCaptionKey(sqlite3* abase);
    bool addCaptionKey(sqlite3* abase);
    bool fillCaptionKeys(sqlite3* abase);
};

// The caption look-up's key: the caption without its leading and trailing
// spaces (as SQLite's trim), upper-cased by the full Unicode rules.
QString captionKeyOf(const QString& caption);

class TBlocsSource;

// The description of one field of a record, at its column's position.
struct TFieldRef {
    enum Kind { Int, Int64, Double, Bool, Text, Lines };
    Kind kind;
    void* ptr;
};
using TFieldList = std::vector<TFieldRef>;

// Base of every record: its fields mirror its table's columns in order and are
// bound to and read from statements by position.
class TBaseItem {
public:
    explicit TBaseItem(TTable* table);
    virtual ~TBaseItem() = default;
    TBaseItem(const TBaseItem&) = delete;
    TBaseItem& operator=(const TBaseItem&) = delete;

    virtual bool bindValues(sqlite3_stmt* statement);
    virtual bool getFromCurseur(sqlite3_stmt* curseur);
    virtual bool sameAs(sqlite3_stmt* statement);
    virtual bool putByNum();
    virtual bool insertnew();
    virtual void supprimer();
    virtual void clear();
    virtual QString getCaption() const;
    virtual bool hasCaption() const { return false; }
    virtual void assign(const TBaseItem& bb);

    bool getByNum();
    bool getFromSource(TBlocsSource& source);

    // The SQLite code that made this record's last read or write fail
    // (SQLITE_FULL, SQLITE_BUSY, SQLITE_READONLY...); SQLITE_OK after a success
    // and after a look-up that found nothing, so that callers can tell an
    // absent row from a catalogue that could not answer.
    int lastError() const { return FLastError; }

    TTable* FTable;
    qint32 numero = 0;
    TDateTime Fdatecatalogue = 0;
    TDateTime Fdatemodify = 0;
    QStringList Fcommentaire;

protected:
    // Appends this level's fields, columns 1 and up, after the parent's.
    virtual void describeFields(TFieldList& fields);
    TFieldList fields();
    sqlite3* db() const { return FTable ? FTable->base() : nullptr; }
    // Keeps a failing code as lastError (SQLITE_ROW and SQLITE_DONE are no failure) and answers it.
    int noteResult(int rc);

private:
    bool bindCaptionKey(sqlite3_stmt* statement);

    int FLastError = SQLITE_OK;
};

class TItem : public TBaseItem {
public:
    using TBaseItem::TBaseItem;
};

class TBaseCaption : public TBaseItem {
public:
    using TBaseItem::TBaseItem;

    QString getCaption() const override { return Fcaption; }
    bool hasCaption() const override { return true; }

    // Trims the caption and looks it up, letter case ignored in every alphabet;
    // on a match the whole stored row replaces the item's fields.
    bool findbyCaption();
    bool getNumByCaption();

    QString Fcaption;

protected:
    void describeFields(TFieldList& fields) override;
};

class TCaption : public TBaseCaption {
public:
    using TBaseCaption::TBaseCaption;
};

// A cursor over pages of a table, for the tile grid and the list readers.
class TBlocsSource {
public:
    virtual ~TBlocsSource() = default;
    virtual int count() = 0;
    virtual bool first(int prem, int nb) = 0;
    virtual bool next() = 0;
    virtual bool close() = 0;
    virtual void getbornes(int num, bool FGroupSelection, int& num0, int& num1) = 0;
    virtual int getnumero() = 0;
    virtual sqlite3_stmt* curseur() const = 0;
};

class TTableSource : public TBlocsSource {
public:
    TTableSource() = default;
    ~TTableSource() override;
    TTableSource(const TTableSource&) = delete;
    TTableSource& operator=(const TTableSource&) = delete;

    void prepare(sqlite3* aBasePtr, const QString& aTable, const QString& aCondition, const QString& aSort);
    int count() override;
    bool first(int prem, int nb) override;
    bool next() override;
    bool close() override;
    void getbornes(int num, bool FGroupSelection, int& num0, int& num1) override;
    int getnumero() override;
    sqlite3_stmt* curseur() const override { return pCurseur; }

    sqlite3* FbasePtr = nullptr;
    QString FWhere;
    QString FTable;
    QString FOrderBy;

private:
    sqlite3_stmt* pCurseur = nullptr;
};

// A list of 32-bit integers: the grid's selected record numbers.
class TintegerList {
public:
    int count() const { return static_cast<int>(FItems.size()); }
    qint32 geti(int i) const { return FItems.at(i); }
    void seti(int i, qint32 num) { FItems[i] = num; }
    void add(qint32 num) { FItems.append(num); }
    int indexof(qint32 num) const { return static_cast<int>(FItems.indexOf(num)); }
    void remove(int i) { FItems.removeAt(i); }
    void clear() { FItems.clear(); }

private:
    QList<qint32> FItems;
};

// Delete leading and trailing characters up to the space (code 32 and below).
QString trimControl(const QString& text);
// Binds a text as UTF-16 with its full length; SQLite keeps its own copy.
int bindText(sqlite3_stmt* statement, int index, const QString& text);
QString columnText(sqlite3_stmt* statement, int column);
