#include "uBase.h"

#include "uLog.h"

#include <QPair>

#include <limits>

void TGridColumnsList::add(const QString& name, const QString& caption, const QString& sqliteType, bool filtered,
                           bool masked)
{
    FItems.append(TGridColumn{name, caption.isEmpty() ? name : caption, sqliteType, filtered, masked});
}

qsizetype TGridColumnsList::indexOf(const QString& name) const
{
    for (qsizetype i = 0; i < FItems.size(); ++i) {
        if (FItems.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::mutex& statementLock()
{
    static std::mutex lock;
    return lock;
}

int prepareSql(sqlite3* db, const QString& sql, sqlite3_stmt** statement)
{
    *statement = nullptr;
    if (!db)
        return SQLITE_MISUSE;
    std::lock_guard guard(statementLock());
    // The length in bytes plus the terminating NUL, so SQLite stops at the NUL.
    return sqlite3_prepare16_v2(db, sql.utf16(), static_cast<int>((sql.size() + 1) * sizeof(char16_t)), statement,
                                nullptr);
}

int execSql(sqlite3* db, const QString& sql)
{
    TStatement statement;
    const int rc = statement.prepare(db, sql);
    if (rc != SQLITE_OK)
        return rc;
    return statement.step();
}

void tuneConnection(sqlite3* db, bool localDisk)
{
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    execSql(db, QStringLiteral("PRAGMA encoding='UTF-8'"));
    execSql(db, QStringLiteral("PRAGMA cache_size=-65536"));
    if (localDisk) {
        execSql(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        execSql(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
}

int TStatement::prepare(sqlite3* db, const QString& sql)
{
    sqlite3_finalize(FStmt);
    FStmt = nullptr;
    const int rc = prepareSql(db, sql, &FStmt);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(FStmt);
        FStmt = nullptr;
    } else if (!FStmt) {
        return SQLITE_MISUSE; // an empty text compiles to nothing
    }
    return rc;
}

int bindText(sqlite3_stmt* statement, int index, const QString& text)
{
    return sqlite3_bind_text16(statement, index, text.utf16(), static_cast<int>(text.size() * sizeof(char16_t)),
                               SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* statement, int column)
{
    const void* data = sqlite3_column_text16(statement, column);
    if (!data)
        return {};
    const int bytes = sqlite3_column_bytes16(statement, column);
    return QString::fromUtf16(static_cast<const char16_t*>(data), bytes / 2);
}

QString trimControl(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start).unicode() <= 32)
        ++start;
    while (end > start && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

// ---------------------------------------------------------------------------

TTable::TTable(const QString& zname, const TGridColumnsList* aColumns) : FColumns(aColumns), name(zname)
{
    buildStatements();
}

void TTable::buildStatements()
{
    createTableStr = QStringLiteral("(Numero INTEGER PRIMARY KEY AUTOINCREMENT");
    insertStr = QStringLiteral(" (");
    updateStr.clear();
    QString values = QStringLiteral(") VALUES (");
    for (qsizetype i = 1; i < FColumns->count(); ++i) {
        const TGridColumn& c = FColumns->at(i);
        createTableStr += QStringLiteral(", ") + c.name + QLatin1Char(' ') + c.sqliteType + QStringLiteral(" COLLATE NOCASE");
        insertStr += (i > 1 ? QStringLiteral(", ") : QString()) + c.name;
        values += i > 1 ? QStringLiteral(", ?") : QStringLiteral("?");
        updateStr += (i > 1 ? QStringLiteral(", ") : QStringLiteral(" ")) + c.name + QStringLiteral("=?");
    }
    if (hasCaptionKey()) {
        // Compared exactly: the key is already upper-cased.
        createTableStr += QStringLiteral(", CaptionKey text");
        insertStr += QStringLiteral(", CaptionKey");
        values += QStringLiteral(", ?");
        updateStr += QStringLiteral(", CaptionKey=?");
    }
    createTableStr += QStringLiteral(");");
    insertStr += values + QLatin1Char(')');
}

void TTable::setCaptionKey(const QString& indexName)
{
    FCaptionKeyIndex = indexName;
    buildStatements();
}

QString captionKeyOf(const QString& caption)
{
    qsizetype start = 0;
    qsizetype end = caption.size();
    while (start < end && caption.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && caption.at(end - 1) == QLatin1Char(' '))
        --end;
    return caption.mid(start, end - start).toUpper();
}

// Brings a catalogue of an earlier build to the key column: the column is added
// (every row stays), the index on an expression of the program's own function
// (which plain SQLite cannot maintain) goes, and the keys are written. All of it
// or nothing: a file that cannot be changed stays as it was.
bool TTable::upgradeCaptionKey(sqlite3* abase)
{
    if (execSql(abase, QStringLiteral("BEGIN")) != SQLITE_DONE)
        return false;
    const bool ok = addCaptionKey(abase) && fillCaptionKeys(abase);
    return execSql(abase, ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")) == SQLITE_DONE && ok;
}

bool TTable::addCaptionKey(sqlite3* abase)
{
    bool oldIndex = false;
    {
        TStatement index;
        oldIndex = index.prepare(abase, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND name=?"))
                == SQLITE_OK
            && bindText(index.get(), 1, FCaptionKeyIndex) == SQLITE_OK && index.step() == SQLITE_ROW
            && !columnText(index.get(), 0).contains(QStringLiteral("(CaptionKey)"), Qt::CaseInsensitive);
    }
    if (oldIndex && execSql(abase, QStringLiteral("DROP INDEX ") + FCaptionKeyIndex) != SQLITE_DONE)
        return false;
    bool hasColumn = false;
    {
        TStatement info;
        if (info.prepare(abase, QStringLiteral("PRAGMA table_info(") + name + QLatin1Char(')')) != SQLITE_OK)
            return false;
        while (info.step() == SQLITE_ROW)
            hasColumn = hasColumn || columnText(info.get(), 1).compare(QStringLiteral("CaptionKey"), Qt::CaseInsensitive) == 0;
    }
    if (!hasColumn
        && execSql(abase, QStringLiteral("ALTER TABLE ") + name + QStringLiteral(" ADD COLUMN CaptionKey text"))
               != SQLITE_DONE)
        return false;
    // Another tool that changes a caption leaves a key that no longer fits it: it is
    // cleared, and such rows are looked up by their caption alone until rewritten.
    return execSql(abase, QStringLiteral("CREATE INDEX IF NOT EXISTS ") + FCaptionKeyIndex + QStringLiteral(" ON ")
                              + name + QStringLiteral(" (CaptionKey)"))
        == SQLITE_DONE
        && execSql(abase, QStringLiteral("CREATE TRIGGER IF NOT EXISTS t") + name
                              + QStringLiteral("_CaptionKey AFTER UPDATE OF Caption ON ") + name
                              + QStringLiteral(" WHEN new.Caption IS NOT old.Caption AND new.CaptionKey IS old.CaptionKey"
                                               " BEGIN UPDATE ")
                              + name + QStringLiteral(" SET CaptionKey=NULL WHERE Numero=new.Numero; END"))
        == SQLITE_DONE;
}

// Writes the key of every row that has none.
bool TTable::fillCaptionKeys(sqlite3* abase)
{
    QList<QPair<qint64, QString>> missing;
    {
        TStatement select;
        if (select.prepare(abase, QStringLiteral("SELECT Numero, Caption FROM ") + name
                                      + QStringLiteral(" WHERE CaptionKey IS NULL"))
            != SQLITE_OK)
            return false;
        while (select.step() == SQLITE_ROW)
            missing.append({sqlite3_column_int64(select.get(), 0), columnText(select.get(), 1)});
    }
    if (missing.isEmpty())
        return true;
    TStatement update;
    if (update.prepare(abase, QStringLiteral("UPDATE ") + name + QStringLiteral(" SET CaptionKey=?1 WHERE Numero=?2"))
        != SQLITE_OK)
        return false;
    for (const auto& row : missing) {
        if (bindText(update.get(), 1, captionKeyOf(row.second)) != SQLITE_OK
            || sqlite3_bind_int64(update.get(), 2, row.first) != SQLITE_OK || update.step() != SQLITE_DONE
            || sqlite3_reset(update.get()) != SQLITE_OK)
            return false;
    }
    return true;
}

void TTable::addIndex(const QString& indexName, const QString& columns)
{
    FIndexes.append(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + indexName + QStringLiteral(" ON ") + name
                    + QStringLiteral(" (") + columns + QLatin1Char(')'));
}

bool TTable::addToBase(sqlite3* abase)
{
    const int created =
        execSql(abase, QStringLiteral("CREATE TABLE IF NOT EXISTS ") + name + QLatin1Char(' ') + createTableStr);
    FCreateError = created == SQLITE_DONE ? SQLITE_OK : created;
    if (hasCaption())
        execSql(abase, QStringLiteral("CREATE INDEX IF NOT EXISTS x") + name + QStringLiteral("_Caption ON ") + name
                           + QStringLiteral(" (Caption)"));
    for (const QString& index : FIndexes)
        execSql(abase, index);
    const bool keyed = !hasCaptionKey() || !abase || upgradeCaptionKey(abase);
    FBase.store(abase);
    return keyed;
}

bool TTable::hasCaption() const
{
    return FColumns->indexOf(QStringLiteral("Caption")) >= 0;
}

// ---------------------------------------------------------------------------

TBaseItem::TBaseItem(TTable* table) : FTable(table) {}

void TBaseItem::describeFields(TFieldList& f)
{
    f.push_back({TFieldRef::Double, &Fdatecatalogue});
    f.push_back({TFieldRef::Double, &Fdatemodify});
    f.push_back({TFieldRef::Lines, &Fcommentaire});
}

TFieldList TBaseItem::fields()
{
    TFieldList list;
    list.reserve(40);
    describeFields(list);
    return list;
}

bool TBaseItem::bindValues(sqlite3_stmt* statement)
{
    const TFieldList list = fields();
    bool ok = true;
    for (size_t k = 0; k < list.size(); ++k) {
        const int index = static_cast<int>(k) + 1;
        const TFieldRef& f = list[k];
        int rc = SQLITE_OK;
        switch (f.kind) {
        case TFieldRef::Int:
            rc = sqlite3_bind_int(statement, index, *static_cast<qint32*>(f.ptr));
            break;
        case TFieldRef::Int64:
            rc = sqlite3_bind_int64(statement, index, *static_cast<qint64*>(f.ptr));
            break;
        case TFieldRef::Double:
            rc = sqlite3_bind_double(statement, index, *static_cast<double*>(f.ptr));
            break;
        case TFieldRef::Bool:
            rc = sqlite3_bind_int(statement, index, *static_cast<bool*>(f.ptr) ? 1 : 0);
            break;
        case TFieldRef::Text:
            rc = bindText(statement, index, *static_cast<QString*>(f.ptr));
            break;
        case TFieldRef::Lines:
            rc = bindText(statement, index, joinLines(*static_cast<QStringList*>(f.ptr)));
            break;
        }
        ok = ok && rc == SQLITE_OK;
    }
    return ok;
}

bool TBaseItem::getFromCurseur(sqlite3_stmt* curseur)
{
    if (!curseur)
        return false;
    const TFieldList list = fields();
    const int columns = sqlite3_column_count(curseur);
    if (columns < static_cast<int>(list.size()) + 1)
        return false;
    const qint64 key = sqlite3_column_int64(curseur, 0);
    if (key < 0 || key > std::numeric_limits<qint32>::max())
        return false;
    numero = static_cast<qint32>(key);
    for (size_t k = 0; k < list.size(); ++k) {
        const int column = static_cast<int>(k) + 1;
        const TFieldRef& f = list[k];
        switch (f.kind) {
        case TFieldRef::Int:
            *static_cast<qint32*>(f.ptr) = sqlite3_column_int(curseur, column);
            break;
        case TFieldRef::Int64:
            *static_cast<qint64*>(f.ptr) = sqlite3_column_int64(curseur, column);
            break;
        case TFieldRef::Double:
            *static_cast<double*>(f.ptr) = sqlite3_column_double(curseur, column);
            break;
        case TFieldRef::Bool:
            *static_cast<bool*>(f.ptr) = sqlite3_column_int64(curseur, column) != 0;
            break;
        case TFieldRef::Text:
            *static_cast<QString*>(f.ptr) = columnText(curseur, column);
            break;
        case TFieldRef::Lines:
            *static_cast<QStringList*>(f.ptr) = splitLines(columnText(curseur, column));
            break;
        }
    }
    return true;
}

bool TBaseItem::sameAs(sqlite3_stmt* statement)
{
    if (!statement)
        return false;
    const TFieldList list = fields();
    if (sqlite3_column_count(statement) < static_cast<int>(list.size()) + 1)
        return false;
    // The key and both bookkeeping dates are not compared.
    for (size_t k = 2; k < list.size(); ++k) {
        const int column = static_cast<int>(k) + 1;
        const TFieldRef& f = list[k];
        bool same = true;
        switch (f.kind) {
        case TFieldRef::Int:
            same = sqlite3_column_int64(statement, column) == *static_cast<qint32*>(f.ptr);
            break;
        case TFieldRef::Int64:
            same = sqlite3_column_int64(statement, column) == *static_cast<qint64*>(f.ptr);
            break;
        case TFieldRef::Double:
            same = sqlite3_column_double(statement, column) == *static_cast<double*>(f.ptr);
            break;
        case TFieldRef::Bool:
            same = (sqlite3_column_int64(statement, column) != 0) == *static_cast<bool*>(f.ptr);
            break;
        case TFieldRef::Text:
            same = columnText(statement, column) == *static_cast<QString*>(f.ptr);
            break;
        case TFieldRef::Lines:
            same = columnText(statement, column) == joinLines(*static_cast<QStringList*>(f.ptr));
            break;
        }
        if (!same)
            return false;
    }
    return true;
}

void TBaseItem::clear()
{
    numero = 0;
    for (const TFieldRef& f : fields()) {
        switch (f.kind) {
        case TFieldRef::Int:
            *static_cast<qint32*>(f.ptr) = 0;
            break;
        case TFieldRef::Int64:
            *static_cast<qint64*>(f.ptr) = 0;
            break;
        case TFieldRef::Double:
            *static_cast<double*>(f.ptr) = 0;
            break;
        case TFieldRef::Bool:
            *static_cast<bool*>(f.ptr) = false;
            break;
        case TFieldRef::Text:
            static_cast<QString*>(f.ptr)->clear();
            break;
        case TFieldRef::Lines:
            static_cast<QStringList*>(f.ptr)->clear();
            break;
        }
    }
}

void TBaseItem::assign(const TBaseItem& bb)
{
    numero = bb.numero;
    const TFieldList mine = fields();
    const TFieldList theirs = const_cast<TBaseItem&>(bb).fields();
    // Copies the levels both records share; the table is not copied.
    for (size_t k = 0; k < mine.size() && k < theirs.size(); ++k) {
        const TFieldRef& to = mine[k];
        const TFieldRef& from = theirs[k];
        if (to.kind != from.kind)
            break;
        switch (to.kind) {
        case TFieldRef::Int:
            *static_cast<qint32*>(to.ptr) = *static_cast<const qint32*>(from.ptr);
            break;
        case TFieldRef::Int64:
            *static_cast<qint64*>(to.ptr) = *static_cast<const qint64*>(from.ptr);
            break;
        case TFieldRef::Double:
            *static_cast<double*>(to.ptr) = *static_cast<const double*>(from.ptr);
            break;
        case TFieldRef::Bool:
            *static_cast<bool*>(to.ptr) = *static_cast<const bool*>(from.ptr);
            break;
        case TFieldRef::Text:
            *static_cast<QString*>(to.ptr) = *static_cast<const QString*>(from.ptr);
            break;
        case TFieldRef::Lines:
            *static_cast<QStringList*>(to.ptr) = *static_cast<const QStringList*>(from.ptr);
            break;
        }
    }
}

QString TBaseItem::getCaption() const
{
    return QString::asprintf("%d", numero);
}

bool TBaseItem::insertnew()
{
    sqlite3* base = db();
    if (!base) {
        noteResult(SQLITE_CANTOPEN); // no catalogue is open
        return false;
    }
    Fdatecatalogue = nowDateTime();
    Fdatemodify = Fdatecatalogue;
    TStatement statement;
    if (noteResult(statement.prepare(base, QStringLiteral("INSERT INTO ") + FTable->name + QLatin1Char(' ')
                                               + FTable->insertStr))
        != SQLITE_OK)
        return false;
    if (!bindValues(statement.get()) || !bindCaptionKey(statement.get()) || noteResult(statement.step()) != SQLITE_DONE)
        return false;
    const sqlite3_int64 rowid = sqlite3_last_insert_rowid(base);
    if (rowid > std::numeric_limits<qint32>::max()) {
        // The key cannot be held: take the row back rather than keep one nobody can address.
        execSql(base, QStringLiteral("DELETE FROM ") + FTable->name + QStringLiteral(" WHERE numero= ")
                          + QString::number(rowid));
        return false;
    }
    numero = static_cast<qint32>(rowid);
    return true;
}

bool TBaseItem::putByNum()
{
    sqlite3* base = db();
    if (!base) {
        noteResult(SQLITE_CANTOPEN); // no catalogue is open
        return false;
    }
    {
        TStatement select;
        if (select.prepare(base, QStringLiteral("SELECT Datecatalogue FROM ") + FTable->name
                                     + QStringLiteral(" WHERE numero=") + QString::number(numero))
                == SQLITE_OK
            && select.step() == SQLITE_ROW)
            Fdatecatalogue = sqlite3_column_double(select.get(), 0);
    }
    Fdatemodify = nowDateTime();
    TStatement statement;
    if (noteResult(statement.prepare(base, QStringLiteral("UPDATE ") + FTable->name + QStringLiteral(" SET")
                                               + FTable->updateStr + QStringLiteral(" WHERE numero=")
                                               + QString::number(numero)))
        != SQLITE_OK)
        return false;
    return bindValues(statement.get()) && bindCaptionKey(statement.get())
        && noteResult(statement.step()) == SQLITE_DONE;
}

bool TBaseItem::bindCaptionKey(sqlite3_stmt* statement)
{
    if (!FTable->hasCaptionKey())
        return true;
    return bindText(statement, static_cast<int>(fields().size()) + 1, captionKeyOf(getCaption())) == SQLITE_OK;
}

bool TBaseItem::getByNum()
{
    sqlite3* base = db();
    if (!base) {
        noteResult(SQLITE_CANTOPEN); // no catalogue is open
        return false;
    }
    TStatement statement;
    if (noteResult(statement.prepare(base, QStringLiteral("SELECT * FROM ") + FTable->name
                                               + QStringLiteral(" WHERE numero= ") + QString::number(numero)))
            != SQLITE_OK
        || noteResult(statement.step()) != SQLITE_ROW)
        return false;
    return getFromCurseur(statement.get());
}

void TBaseItem::supprimer()
{
    if (sqlite3* base = db())
        execSql(base, QStringLiteral("DELETE FROM ") + FTable->name + QStringLiteral(" WHERE numero= ")
                          + QString::number(numero));
}

int TBaseItem::noteResult(int rc)
{
    FLastError = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    return rc;
}

bool TBaseItem::getFromSource(TBlocsSource& source)
{
    return getFromCurseur(source.curseur());
}

// ---------------------------------------------------------------------------

void TBaseCaption::describeFields(TFieldList& f)
{
    TBaseItem::describeFields(f);
    f.push_back({TFieldRef::Text, &Fcaption});
}

bool TBaseCaption::getNumByCaption()
{
    Fcaption = trimControl(Fcaption);
    sqlite3* base = db();
    if (!base) {
        noteResult(SQLITE_CANTOPEN); // no catalogue is open
        return false;
    }
    // The upper-cased key narrows the search through its index to the few rows that
    // may match (and to the rows another tool left without a key), and the collation
    // then decides as it always did. Upper-casing is the same in every locale, so
    // the keys stay valid whatever the user's locale.
    TStatement statement;
    // A file that could not be given its key column is searched row by row.
    const bool keyed = FTable->hasCaptionKey()
        && statement.prepare(base, QStringLiteral("SELECT numero FROM ") + FTable->name
                                       + QStringLiteral(" WHERE (CaptionKey = ?2 OR CaptionKey IS NULL)"
                                                        " AND trim(Caption)= ?1 COLLATE NOWIDECASE"))
            == SQLITE_OK;
    if (!keyed
        && noteResult(statement.prepare(base, QStringLiteral("SELECT numero FROM ") + FTable->name
                                                  + QStringLiteral(" WHERE trim(Caption)= ?1 COLLATE NOWIDECASE")))
               != SQLITE_OK)
        return false;
    if (bindText(statement.get(), 1, Fcaption) != SQLITE_OK
        || (keyed && bindText(statement.get(), 2, captionKeyOf(Fcaption)) != SQLITE_OK)
        || noteResult(statement.step()) != SQLITE_ROW)
        return false;
    const qint64 key = sqlite3_column_int64(statement.get(), 0);
    if (key < 0 || key > std::numeric_limits<qint32>::max())
        return false;
    numero = static_cast<qint32>(key);
    return true;
}

bool TBaseCaption::findbyCaption()
{
    return getNumByCaption() && getByNum();
}

// ---------------------------------------------------------------------------

TTableSource::~TTableSource()
{
    close();
}

void TTableSource::prepare(sqlite3* aBasePtr, const QString& aTable, const QString& aCondition, const QString& aSort)
{
    close();
    FbasePtr = aBasePtr;
    FTable = aTable;
    FWhere = aCondition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + aCondition;
    FOrderBy = aSort.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + aSort;
}

int TTableSource::count()
{
    TStatement statement;
    if (statement.prepare(FbasePtr, QStringLiteral("SELECT COUNT(*) FROM ") + FTable + FWhere) != SQLITE_OK
        || statement.step() != SQLITE_ROW)
        return 0;
    return sqlite3_column_int(statement.get(), 0);
}

bool TTableSource::first(int prem, int nb)
{
    close();
    if (prem < 0)
        return false;
    if (prepareSql(FbasePtr,
                   QStringLiteral("SELECT * FROM ") + FTable + FWhere + FOrderBy + QStringLiteral(" LIMIT ")
                       + QString::number(nb) + QStringLiteral(" OFFSET ") + QString::number(prem),
                   &pCurseur)
        != SQLITE_OK) {
        close();
        return false;
    }
    if (next())
        return true;
    close();
    return false;
}

bool TTableSource::next()
{
    return pCurseur && sqlite3_step(pCurseur) == SQLITE_ROW;
}

bool TTableSource::close()
{
    sqlite3_finalize(pCurseur);
    pCurseur = nullptr;
    return true;
}

int TTableSource::getnumero()
{
    if (!pCurseur)
        return -1;
    return sqlite3_column_int(pCurseur, 0);
}

void TTableSource::getbornes(int num, bool, int& num0, int& num1)
{
    num0 = num;
    num1 = num;
}
