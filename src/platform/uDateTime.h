#pragma once

#include <QDateTime>

// The program's date-time: days since 30 December 1899 as a double, the
// fraction being the time of day, in local time.
using TDateTime = double;

TDateTime nowDateTime();
TDateTime toDateTime(const QDateTime& moment);
QDateTime fromDateTime(TDateTime value);

// A time as the file system gives it: UTC, nanoseconds since the Unix epoch.
struct FileTime {
    qint64 seconds = 0;
    qint32 nanoseconds = 0;
    bool valid = false;
};

// File time to the program's date-time in local time, to the millisecond; 0 when invalid.
TDateTime fileTimeToDateTime(const FileTime& time);
