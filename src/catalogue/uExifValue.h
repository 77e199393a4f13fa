#pragma once

#include <QString>
#include <QStringList>

// The value of the first metadata line whose tag name starts with key, letter
// case and surrounding spaces ignored; the text after the line's first ":",
// trimmed; empty when no line carries the key.
QString exifValue(const QString& key, const QStringList& lines);
