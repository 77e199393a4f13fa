#include "uExifSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// How often a read looks at the abort flag while the tool works.
constexpr int kAbortSliceMs = 20;
// How long the tool may take to quit when asked.
constexpr int kQuitMs = 1000;

thread_local TExifListing* innermost = nullptr;

// The argument file takes one argument per line and drops the returns that end
// it: a name with a line feed, or ending in a return, cannot be written in it.
bool fitsOneLine(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1Char('\n')) && !path.endsWith(QLatin1Char('\r'));
}

} // namespace

TExifSession::TExifSession(const std::atomic<bool>* abortFlag)
    : FAbort(abortFlag),
      // Markers no tool output can hold by chance.
      FMarkerBase(QByteArray::number(QRandomGenerator::global()->bounded(100000000u, 999999999u)))
{
}

TExifSession::~TExifSession()
{
    if (aborted())
        kill();
    else
        stop();
}

qint64 TExifSession::processId() const
{
    return FProcess ? FProcess->processId() : 0;
}

bool TExifSession::start(const QString& tool)
{
    FProcess = std::make_unique<QProcess>();
    FProcess->setProgram(tool);
    // Commands come on standard input; the options every command shares follow -common_args.
    FProcess->setArguments({QStringLiteral("-stay_open"), QStringLiteral("True"), QStringLiteral("-@"),
                            QStringLiteral("-"), QStringLiteral("-common_args"), QStringLiteral("-charset"),
                            QStringLiteral("filename=UTF8"), QStringLiteral("-fast")});
    const pid_t parent = ::getpid();
    // A group of its own, so that a stop also ends what a wrapper started; and
    // ended with this program even when the program cannot end it itself.
    FProcess->setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    FTool = tool;
    FAnswered = false;
    FProcess->start();
    if (FProcess->waitForStarted())
        return true;
    FProcess.reset();
    return false;
}

void TExifSession::kill()
{
    if (!FProcess)
        return;
    if (FProcess->state() != QProcess::NotRunning) {
        ::kill(-static_cast<pid_t>(FProcess->processId()), SIGKILL);
        FProcess->kill();
        FProcess->waitForFinished(kQuitMs);
    }
    FProcess.reset();
}

void TExifSession::stop()
{
    if (!FProcess)
        return;
    if (FProcess->state() == QProcess::Running) {
        FProcess->write("-stay_open\nFalse\n");
        FProcess->waitForBytesWritten(kQuitMs);
        FProcess->closeWriteChannel();
        FProcess->waitForFinished(kQuitMs);
    }
    kill();
}

TExifAnswer TExifSession::read(const QString& tool, const QString& path, int timeoutMs, QByteArray& output)
{
    if (FCannotStayOpen || !fitsOneLine(path))
        return TExifAnswer::eaUnavailable;
    if (FProcess && (FTool != tool || FProcess->state() != QProcess::Running))
        stop();
    if (!FProcess && !start(tool)) {
        FCannotStayOpen = true;
        return TExifAnswer::eaUnavailable;
    }

    const QByteArray id = FMarkerBase + QByteArray::number(++FCommands);
    const QByteArray marker = "{ready" + id + "}\n";
    // -echo4 writes its marker on standard error once the file is done, before
    // the tool's own marker on standard output.
    FProcess->write(QFile::encodeName(path) + "\n-echo4\n{ready" + id + "}\n-execute" + id + "\n");

    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    QByteArray err;
    qsizetype outEnd = -1;
    qsizetype errEnd = -1;
    for (;;) {
        out += FProcess->readAllStandardOutput();
        err += FProcess->readAllStandardError();
        if (outEnd < 0)
            outEnd = out.indexOf(marker);
        if (errEnd < 0)
            errEnd = err.indexOf(marker);
        if (outEnd >= 0 && errEnd >= 0)
            break;
        if (aborted()) {
            kill();
            return TExifAnswer::eaAborted;
        }
        if (FProcess->state() == QProcess::NotRunning) {
            // Ended before its first answer: it cannot stay open. Ended later: it
            // is started again for the next file; this one gets a run of its own.
            if (!FAnswered)
                FCannotStayOpen = true;
            FProcess.reset();
            return TExifAnswer::eaUnavailable;
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) {
            kill();
            return TExifAnswer::eaTimedOut;
        }
        FProcess->setReadChannel(outEnd < 0 ? QProcess::StandardOutput : QProcess::StandardError);
        if (FProcess->bytesToWrite() > 0)
            FProcess->waitForBytesWritten(static_cast<int>(std::min<qint64>(kAbortSliceMs, left)));
        else
            FProcess->waitForReadyRead(static_cast<int>(std::min<qint64>(kAbortSliceMs, left)));
    }
    FAnswered = true;
    output = out.left(outEnd);
    return TExifAnswer::eaRead;
}

// ---------------------------------------------------------------------------

TExifListing::TExifListing(const std::atomic<bool>* abortFlag) : FSession(abortFlag), FOuter(innermost)
{
    innermost = this;
}

TExifListing::~TExifListing()
{
    innermost = FOuter;
}

TExifListing* TExifListing::current()
{
    return innermost;
}
