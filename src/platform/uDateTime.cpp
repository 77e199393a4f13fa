#include "uDateTime.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

} // namespace

TDateTime toDateTime(const QDateTime& moment)
{
    const QDateTime local = moment.toLocalTime();
    const double days = kEpoch.daysTo(local.date());
    return days + local.time().msecsSinceStartOfDay() / kMsPerDay;
}

QDateTime fromDateTime(TDateTime value)
{
    // Before the epoch the fraction counts forward from the whole day, as the format defines.
    const double whole = std::trunc(value);
    qint64 days = static_cast<qint64>(whole);
    qint64 ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        ms = 0;
        days += value < 0 ? -1 : 1;
    }
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

TDateTime nowDateTime()
{
    return toDateTime(QDateTime::currentDateTime());
}

TDateTime fileTimeToDateTime(const FileTime& time)
{
    if (!time.valid)
        return 0;
    const qint64 ms = time.seconds * 1000 + time.nanoseconds / 1000000;
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    if (!utc.isValid())
        return 0;
    return toDateTime(utc);
}
