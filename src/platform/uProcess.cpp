#include "uProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>

#include <algorithm>

#include <signal.h>
#include <unistd.h>

bool runCaptured(const QString& program, const QStringList& arguments, const QString& workingFolder, int timeoutMs,
                 TCapturedRun& run)
{
    run = TCapturedRun();
    if (program.isEmpty())
        return false;

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    // A group of its own, so that an overrun also stops what the child started
    // (a wrapper script's tool would otherwise keep running).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    QElapsedTimer clock;
    clock.start();
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(std::max(timeoutMs, 0)))
        return false;

    const qint64 left = std::max<qint64>(timeoutMs - clock.elapsed(), 0);
    process.waitForFinished(static_cast<int>(left));
    if (process.state() == QProcess::NotRunning) {
        run.finished = true;
        if (process.exitStatus() == QProcess::NormalExit)
            run.exitCode = process.exitCode();
    } else {
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.kill();
        process.waitForFinished(-1);
    }
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return true;
}

QString decodeOutput(const QByteArray& bytes)
{
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}
