#include "uCollations.h"

#include <QCollator>
#include <QString>

namespace {

int noWideCaseCompare(void*, int length1, const void* text1, int length2, const void* text2)
{
    // One collator per thread: QCollator is not safe to share, and building one costs far more than a comparison.
    thread_local QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const QStringView a(static_cast<const char16_t*>(text1), length1 / 2);
    const QStringView b(static_cast<const char16_t*>(text2), length2 / 2);
    const int order = collator.compare(a, b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void wideUpper(sqlite3_context* context, int, sqlite3_value** argv)
{
    const void* data = sqlite3_value_text16(argv[0]);
    if (!data) {
        sqlite3_result_text16(context, u"", 0, SQLITE_TRANSIENT);
        return;
    }
    const int bytes = sqlite3_value_bytes16(argv[0]);
    const QString upper = QStringView(static_cast<const char16_t*>(data), bytes / 2).toString().toUpper();
    sqlite3_result_text16(context, upper.utf16(), static_cast<int>(upper.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
}

} // namespace

int registerNoWideCase(sqlite3* db)
{
    return sqlite3_create_collation16(db, u"NOWIDECASE", SQLITE_UTF16LE, nullptr, noWideCaseCompare);
}

int registerWideUpper(sqlite3* db)
{
    return sqlite3_create_function16(db, u"wideupper", 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr, wideUpper,
                                     nullptr, nullptr);
}
