#pragma once

#include <QString>
#include <QStringList>

#include "uExifValue.h"

class TCustomQXActionList;
class TStringAction;
class TVideoFichier;

// How long one run of the tool may take; a run still going then is stopped.
constexpr int kExifTimeoutMs = 5000;

// The tool's full path for the whole process; the setting that holds it sets it
// when it applies. Until then it is the default. Empty: no metadata is read.
void setExifToolPath(const QString& path);
QString exifToolPath();
// The program's own copy under the common application-data folder when it is
// there, else exiftool from the PATH, else empty.
QString defaultExifToolPath();

// Runs the tool on one file and, when it started, replaces lines with the lines
// it printed. False only when no tool is set or the run failed inside. Within
// a TExifListing (uExifSession.h) the listing's kept-open tool reads the file
// and gives the same lines; a file it could not read in time gets none.
bool readExif(const QString& fileName, QStringList& lines);
// Whether the last readExif on this thread was cut short by its listing's
// abort: the file was not read, and its record is not to be stored as read.
bool exifReadAborted();
// Whether listings keep one tool running (the default) or start one per file;
// the second is there to compare the two.
void setExifKeptOpen(bool keptOpen);
bool exifKeptOpen();

// The typed fields of the video level from the lines in video.FExif.
void fillFromExif(TVideoFichier& video);
// The video level of a record whose file and drive levels are loaded: side
// files, the tool's output, then the typed fields from it.
void readVideoMetadata(TVideoFichier& video);
// Makes every TVideoFichier loaded from a file read its metadata this way.
void installExifReader();

// The setting that names the tool ("ExifToolFile"), created in the given list:
// saved, applied when loaded, defaulting to defaultExifToolPath(); applying it
// makes every later read use that tool.
TStringAction* createExifToolAction(TCustomQXActionList* list);
