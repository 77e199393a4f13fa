#pragma once

#include <QString>
#include <QStringList>

// The run log: one plain text file per run, rewritten whole after every line
// so that the file on disk is complete even if the process ends abruptly.
// Every operation answers false when the file could not be written; the line
// stays in memory and reaches the file with the next successful write.
bool logStart(const QString& path);
bool logLine(const QString& text);
bool logSeparator();
bool logEnd();
QString logPath();
QStringList logLines();

// The user's standard folders, from which the defaults of several settings are built.
QString getPersonalFolder();
QString getMyVideoFolder();
QString getAppDataFolder();
QString getCommonAppDataFolder();

// "LUNDI 3 MARS" -> "Lundi 3 Mars": lower-cased, then upper-cased after each space.
QString capitalizeWords(const QString& text);
// 3723004 -> "1:02:03.004"; hours are not wrapped at 24.
QString durationText(qint64 milliseconds);
// Lines joined with CR LF after each one, and the reverse (CR, LF or CR LF end a line).
QString joinLines(const QStringList& lines);
QStringList splitLines(const QString& text);
