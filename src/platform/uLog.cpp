#include "uLog.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

#include <mutex>

namespace {

const QString kSeparator = QStringLiteral("{") + QString(77, QLatin1Char('-')) + QStringLiteral("}");
const QString kHeader = QStringLiteral("<<< Log file for Movarium >>>");

struct RunLog {
    std::mutex lock;
    QString path;
    QStringList lines;
    bool active = false;
};

RunLog& runLog()
{
    static RunLog log;
    return log;
}

// Called with the lock held.
bool writeFile(const RunLog& log)
{
    QSaveFile file(log.path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray data;
    for (const QString& line : log.lines) {
        data += line.toUtf8();
        data += "\r\n";
    }
    if (file.write(data) != data.size())
        return false;
    return file.commit();
}

QString nowText()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::LongFormat) + QStringLiteral(" at ")
        + locale.toString(now.time(), QLocale::LongFormat);
}

QString withTrailingSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

bool logStart(const QString& path)
{
    RunLog& log = runLog();
    {
        std::lock_guard guard(log.lock);
        log.lines.clear();
        log.path = path;
        log.active = true;
    }
    bool ok = logSeparator();
    ok = logLine(kHeader) && ok;
    ok = logLine(QStringLiteral("Started on ") + nowText()) && ok;
    return logSeparator() && ok;
}

bool logLine(const QString& text)
{
    RunLog& log = runLog();
    std::lock_guard guard(log.lock);
    if (!log.active)
        return false;
    log.lines.append(text);
    return writeFile(log);
}

bool logSeparator()
{
    bool ok = logLine(QString());
    return logLine(kSeparator) && ok;
}

bool logEnd()
{
    bool ok = logSeparator();
    ok = logLine(kHeader) && ok;
    ok = logLine(QStringLiteral("Terminated at ") + nowText()) && ok;
    RunLog& log = runLog();
    std::lock_guard guard(log.lock);
    log.lines.clear();
    log.active = false;
    return ok;
}

QString logPath()
{
    RunLog& log = runLog();
    std::lock_guard guard(log.lock);
    return log.path;
}

QStringList logLines()
{
    RunLog& log = runLog();
    std::lock_guard guard(log.lock);
    return log.lines;
}

QString getPersonalFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}

QString getMyVideoFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return folder.isEmpty() ? getPersonalFolder() : folder;
}

QString getAppDataFolder()
{
    return withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString getCommonAppDataFolder()
{
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share/:/usr/share/");
    return withTrailingSlash(dirs.section(QLatin1Char(':'), 0, 0));
}

QString capitalizeWords(const QString& text)
{
    const QLocale locale = QLocale::system();
    QString result = locale.toLower(text);
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (i != 0 && result.at(i - 1) != QLatin1Char(' '))
            continue;
        const qsizetype length = result.at(i).isHighSurrogate() ? 2 : 1;
        const QString upper = locale.toUpper(result.mid(i, length));
        result.replace(i, length, upper);
        i += upper.size() - 1;
    }
    return result;
}

QString durationText(qint64 milliseconds)
{
    const qint64 ms = milliseconds % 1000;
    const qint64 totalSeconds = milliseconds / 1000;
    return QString::asprintf("%lld:%.2lld:%.2lld.%.3lld", totalSeconds / 3600, (totalSeconds / 60) % 60,
                             totalSeconds % 60, ms);
}

QString joinLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}
