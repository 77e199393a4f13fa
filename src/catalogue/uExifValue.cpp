#include "uExifValue.h"

QString exifValue(const QString& key, const QStringList& lines)
{
    const QString wanted = key.trimmed().toLower();
    for (const QString& line : lines) {
        if (line.left(wanted.size()).trimmed().toLower() != wanted)
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        return (colon < 0 ? line : line.mid(colon + 1)).trimmed();
    }
    return QString();
}
