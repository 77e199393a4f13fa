#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

FreshHome::FreshHome()
{
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
        FSaved.append({name, qgetenv(name)});
    qputenv("HOME", path().toUtf8());
    qputenv("XDG_CONFIG_HOME", file(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", file(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", file(QStringLiteral("common")).toUtf8());
    QDir().mkpath(file(QStringLiteral("Documents")));
}

FreshHome::~FreshHome()
{
    for (const auto& [name, value] : FSaved) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake; // what is awaited may post nothing: look again now and then
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(60000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
