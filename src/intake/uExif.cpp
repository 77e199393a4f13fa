#include "uExif.h"

#include "uDateTime.h"
#include "uExifSession.h"
#include "uLog.h"
#include "uProcess.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace {

struct ToolPath {
    std::mutex lock;
    QString path;
    bool set = false;
};

ToolPath& toolPath()
{
    static ToolPath tool;
    return tool;
}

std::atomic<bool> keptOpen{true};

// The tool's output for one file, whole lines only: a run stopped mid-write
// may leave half a line, whose value would be wrong.
QStringList outputLines(const QByteArray& output, bool finished)
{
    QString text = decodeOutput(output);
    if (!finished) {
        const qsizetype lineEnd = std::max(text.lastIndexOf(QLatin1Char('\n')), text.lastIndexOf(QLatin1Char('\r')));
        text.truncate(lineEnd + 1);
    }
    return splitLines(text);
}

// The tool's numbers are written the same in every locale: read them as such.
int toInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

double toDouble(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

// A wall-clock date and time taken as is: no time zone or daylight-saving shift.
TDateTime encodeDateTime(const QDate& date, const QTime& time)
{
    return QDate(1899, 12, 30).daysTo(date) + time.msecsSinceStartOfDay() / 86400000.0;
}

// "YYYY:MM:DD HH:MM:SS", read by position; anything after it (a time zone) is ignored.
void fillCreationDate(TVideoFichier& video, const QString& value)
{
    if (value.isEmpty()) {
        video.FAlbum = QStringLiteral("No date");
        return;
    }
    const auto part = [&value](qsizetype from, qsizetype length) { return toInt(value.mid(from, length)); };
    const int year = part(0, 4);
    const QDate date(year, part(5, 2), part(8, 2));
    const QTime time(part(11, 2), part(14, 2), part(17, 2));
    if (year < 1 || !date.isValid() || !time.isValid()) {
        video.FAlbum = QStringLiteral("---");
        video.FChapitre = QStringLiteral("---");
        video.FSequence = QStringLiteral("---");
        return;
    }
    video.FCreationDate = encodeDateTime(date, time);
    const QLocale locale;
    video.FAlbum = QStringLiteral("Year ") + QString::number(year).rightJustified(4, QLatin1Char('0'));
    video.FChapitre = capitalizeWords(locale.standaloneMonthName(date.month()));
    video.FSequence = capitalizeWords(locale.toString(date, QLocale::LongFormat));
}

// "H:MM:SS" (after "N days " beyond a day, possibly followed by " (approx)"),
// or "S.ss s" below 30 seconds. Any other form leaves the duration as it was.
void fillDuration(TVideoFichier& video, const QString& value)
{
    qint64 ms = 0;
    if (value.contains(QLatin1Char(':'))) {
        QString clock = value;
        qint64 hours = 0;
        const qsizetype days = clock.indexOf(QStringLiteral(" days "));
        if (days >= 0) {
            hours = 24LL * toInt(clock.left(days));
            clock = clock.mid(days + 6);
        }
        const qsizetype colon = clock.indexOf(QLatin1Char(':'));
        hours += toInt(clock.left(colon));
        const qint64 minutes = toInt(clock.mid(colon + 1, 2));
        const qint64 seconds = toInt(clock.mid(colon + 4, 2));
        ms = (hours * 3600 + minutes * 60 + seconds) * 1000;
    } else if (value.contains(QStringLiteral(" s"))) {
        const qsizetype dot = value.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            qsizetype end = dot + 1;
            while (end < value.size() && value.at(end) >= QLatin1Char('0') && value.at(end) <= QLatin1Char('9'))
                ++end;
            const QString fraction = value.mid(dot + 1, end - dot - 1);
            // Tenths, hundredths or thousandths; a finer fraction is dropped.
            static const int unitMs[] = {0, 100, 10, 1};
            const int unit = fraction.size() < 4 ? unitMs[fraction.size()] : 0;
            ms = toInt(value.left(dot)) * 1000LL + toInt(fraction) * unit;
        }
    } else {
        return;
    }
    video.FDuration = static_cast<qint32>(
        std::clamp<qint64>(ms, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

// Windows finds "clip.SRT" for "clip.srt"; here the usual upper-case spelling counts too.
bool sideFileExists(const QString& base, const QString& extension)
{
    return QFileInfo(base + extension).isFile() || QFileInfo(base + extension.toUpper()).isFile();
}

void readMetadataSafely(TVideoFichier& video)
{
    try {
        readVideoMetadata(video);
    } catch (...) {
        // The record keeps what was filled; the catalogue must not see the failure.
    }
}

} // namespace

void setExifToolPath(const QString& path)
{
    ToolPath& tool = toolPath();
    std::lock_guard guard(tool.lock);
    tool.path = path;
    tool.set = true;
}

QString exifToolPath()
{
    ToolPath& tool = toolPath();
    std::lock_guard guard(tool.lock);
    if (!tool.set) {
        tool.path = defaultExifToolPath();
        tool.set = true;
    }
    return tool.path;
}

QString defaultExifToolPath()
{
    const QString own = getCommonAppDataFolder() + QStringLiteral("Tessaly/Exif/exiftool");
    if (QFileInfo::exists(own))
        return own;
    return QStandardPaths::findExecutable(QStringLiteral("exiftool"));
}

bool readExif(const QString& fileName, QStringList& lines)
{
    TExifListing* listing = TExifListing::current();
    if (listing)
        listing->setLastReadAborted(false);
    try {
        const QString tool = exifToolPath();
        if (tool.isEmpty())
            return false;
        // An absolute path never starts with "-", so the tool cannot take the file for an option.
        const QString path = QFileInfo(fileName).absoluteFilePath();
        if (listing && keptOpen) {
            QByteArray output;
            switch (listing->session().read(tool, path, kExifTimeoutMs, output)) {
            case TExifAnswer::eaRead:
                lines = outputLines(output, true);
                return true;
            case TExifAnswer::eaTimedOut:
                lines.clear();
                return true;
            case TExifAnswer::eaAborted:
                listing->setLastReadAborted(true);
                return true;
            case TExifAnswer::eaUnavailable:
                break;
            }
        }
        // "-fast", not "-fast2": the latter misses the index that ffmpeg writes after the media data.
        TCapturedRun run;
        if (!runCaptured(tool, {path, QStringLiteral("-fast")}, QString(), kExifTimeoutMs, run))
            return true;
        lines = outputLines(run.output, run.finished);
        return true;
    } catch (...) {
        return false;
    }
}

bool exifReadAborted()
{
    const TExifListing* listing = TExifListing::current();
    return listing && listing->lastReadAborted();
}

void setExifKeptOpen(bool on)
{
    keptOpen = on;
}

bool exifKeptOpen()
{
    return keptOpen;
}

void fillFromExif(TVideoFichier& video)
{
    const QStringList& lines = video.FExif;
    const auto value = [&lines](const char* key) { return exifValue(QLatin1String(key), lines); };
    fillCreationDate(video, value("Create date"));
    video.FWidth = toInt(value("Image Width"));
    video.FHeight = toInt(value("Image Height"));
    video.computeAspectRatio();
    video.FFps = toDouble(value("Video Frame Rate"));
    fillDuration(video, value("Duration"));
    video.FAudioFrequency = toInt(value("Audio Sample Rate"));
    video.FAudioBits = toInt(value("Audio Bits per Sample"));
    video.FAudioCompression = value("Audio Format");
    video.FVideoCompression = value("Compressor ID");
    video.FAudioChannels = toInt(value("Audio Channels"));
    video.FRotation = toInt(value("Rotation"));
}

void readVideoMetadata(TVideoFichier& video)
{
    const QString base = video.FFilename.left(video.FFilename.size() - video.FExtension.size());
    video.FHasScn = sideFileExists(base, QStringLiteral(".scn"));
    video.FHasSrt = sideFileExists(base, QStringLiteral(".srt"));
    readExif(video.FFilename, video.FExif);
    fillFromExif(video);
}

void installExifReader()
{
    TVideoFichier::setMetadataReader(&readMetadataSafely);
}

TStringAction* createExifToolAction(TCustomQXActionList* list)
{
    auto* action = new TStringAction(QStringLiteral("waFichierExifTool"), list);
    action->setCaption(QStringLiteral("ExifToolFile"));
    action->ApplyWhenLoad = true;
    action->InternalDefault = [](QString& path) {
        if (path.isEmpty())
            path = defaultExifToolPath();
        return true;
    };
    action->InternalApply = [](const QString& path) { setExifToolPath(path); };
    return action;
}
