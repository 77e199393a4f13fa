#pragma once

#include <QString>
#include <QUuid>

class TFilterRec;

// The splitter and decoders that play a file: the project's own private set,
// loaded by path from the private folder, and the same filters registered in
// process. Their settings live under HKEY_CURRENT_USER\Software\LBV in the
// user hive.

extern const QUuid CLSID_LAVSplitterSource;
extern const QUuid CLSID_LAVSplitter;
extern const QUuid CLSID_LAVAudio;
extern const QUuid CLSID_LAVVideo;

// Names of the records the main window chooses from.
namespace LAVRecords {
inline const QString PrivateSplitterSource = QStringLiteral("Private LAV Splitter Source");
inline const QString PrivateSplitter = QStringLiteral("Private LAV Splitter");
inline const QString PrivateAudio = QStringLiteral("Private LAV Audio Decoder");
inline const QString PrivateVideo = QStringLiteral("Private LAV Video Decoder");
inline const QString Video = QStringLiteral("LAV Video Decoder");
inline const QString Audio = QStringLiteral("LAV Audio Decoder");
inline const QString SplitterSource = QStringLiteral("LAV Splitter Source");
} // namespace LAVRecords

// Lists the factories of the private files found in folder (ending in "/")
// and creates the private and the registered records anew; the records exist
// even when a file is missing, and then create nothing.
void registerPrivateLAV(const QString& folder);

// "reg delete HKCU\Software\LBV /F" on the user hive.
bool clearLBVSettings();
// "reg import" of a registry file into the user hive; false, importing
// nothing, when the file is missing or malformed.
bool importLBVSettings(const QString& regFile);

// Writes a DWORD under \SOFTWARE\LBV\Video\HWAccel only when that key already
// exists; answers whether it was written.
bool writeHWAccelValue(const QString& name, quint32 value);
