#pragma once

#include <sqlite3.h>

// The collation NOWIDECASE: a locale-aware comparison that ignores letter case
// in every alphabet ("Été" equals "ÉTÉ"). Answers SQLite's result code.
int registerNoWideCase(sqlite3* db);
// The SQL function wideupper(x): full Unicode upper-casing; NULL gives an empty text.
int registerWideUpper(sqlite3* db);
