#pragma once

#include "TestSupport.h"
#include "uCatalogueTables.h"
#include "uCollations.h"

// A real catalogue file in a fresh folder, with both tables added.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.file(QStringLiteral("Movarium.db3"));
        ASSERT_EQ(sqlite3_open16(path.utf16(), &db), SQLITE_OK);
        registerNoWideCase(db);
        registerWideUpper(db);
        catalogueTables().Drives.addToBase(db);
        catalogueTables().VideoFichiers.addToBase(db);
    }

    void TearDown() override
    {
        catalogueTables().Drives.setBase(nullptr);
        catalogueTables().VideoFichiers.setBase(nullptr);
        sqlite3_close(db);
    }

    qint64 scalar(const QString& sql)
    {
        TStatement s;
        if (s.prepare(db, sql) != SQLITE_OK || s.step() != SQLITE_ROW)
            return -1;
        return sqlite3_column_int64(s.get(), 0);
    }

    QString text(const QString& sql)
    {
        TStatement s;
        if (s.prepare(db, sql) != SQLITE_OK || s.step() != SQLITE_ROW)
            return QStringLiteral("<no row>");
        return columnText(s.get(), 0);
    }

    TempFolder dir;
    QString path;
    sqlite3* db = nullptr;
};
