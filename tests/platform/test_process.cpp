#include "TestSupport.h"
#include "uProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <thread>


namespace {

QString script(const TempFolder& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.write(name, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A zombie waiting for its reaper has stopped running too.
bool running(qint64 pid)
{
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z';
}

} // namespace

TEST(Process, ArgumentsReachTheProgramAsTheyAre)
{
    const QStringList arguments = {QStringLiteral("a b"), QStringLiteral("it's \"quoted\""), QStringLiteral("$HOME"),
                                   QStringLiteral("-n"), QStringLiteral("`id`;|&"), QStringLiteral("été")};
    TCapturedRun run;
    ASSERT_TRUE(runCaptured(QStringLiteral("/usr/bin/printf"), QStringList{QStringLiteral("%s\\n")} + arguments,
                            QString(), 5000, run));
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(run.output), arguments.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST(Process, BothStreamsAreDrainedAndKeptApart)
{
    // More than a pipe holds on each stream, error first: an undrained stream would block the child.
    TCapturedRun run;
    ASSERT_TRUE(runCaptured(QStringLiteral("/bin/sh"),
                            {QStringLiteral("-c"), QStringLiteral("head -c 300000 /dev/zero | tr '\\0' e >&2; "
                                                                  "head -c 300000 /dev/zero | tr '\\0' o; exit 3")},
                            QString(), 5000, run));
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.output, QByteArray(300000, 'o'));
    EXPECT_EQ(run.errors, QByteArray(300000, 'e'));
}

TEST(Process, WorkingFolderAndNoStandardInput)
{
    TempFolder dir;
    TCapturedRun run;
    ASSERT_TRUE(runCaptured(QStringLiteral("/bin/pwd"), {}, dir.path(), 5000, run));
    EXPECT_EQ(QFileInfo(QString::fromUtf8(run.output.trimmed())).canonicalFilePath(),
              QFileInfo(dir.path()).canonicalFilePath());

    // cat with no standard input ends at once instead of waiting for the terminal.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runCaptured(QStringLiteral("/bin/cat"), {}, QString(), 5000, run));
    EXPECT_TRUE(run.finished);
    EXPECT_TRUE(run.output.isEmpty());
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(Process, ProgramsThatCannotStart)
{
    TempFolder dir;
    const QString notExecutable = dir.write(QStringLiteral("tool"), "#!/bin/sh\necho hi\n");
    const QString cases[] = {QString(), dir.file(QStringLiteral("missing")), notExecutable, dir.path()};
    for (const QString& program : cases) {
        TCapturedRun run;
        run.output = "stale";
        EXPECT_FALSE(runCaptured(program, {}, QString(), 5000, run)) << program.toStdString();
        EXPECT_FALSE(run.finished);
        EXPECT_TRUE(run.output.isEmpty());
    }
}

TEST(Process, AnOverrunIsKilledWithWhatItStarted)
{
    TempFolder dir;
    const QString pidFile = dir.file(QStringLiteral("child.pid"));
    const QString tool = script(dir, QStringLiteral("hang"), "echo started\nsleep 30 &\necho $! > \"$1\"\nsleep 30\n");
    QElapsedTimer clock;
    clock.start();
    TCapturedRun run;
    ASSERT_TRUE(runCaptured(tool, {pidFile}, QString(), 700, run));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_EQ(run.output, QByteArray("started\n"));

    const qint64 child = readAll(pidFile).trimmed().toLongLong();
    ASSERT_GT(child, 0);
    for (int i = 0; i < 100 && running(child); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(running(child));
}

TEST(Process, OutputDecoding)
{
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"Image Width : 1920\n", QStringLiteral("Image Width : 1920\n")},
        {"\xEF\xBB\xBF" "caf\xC3\xA9", QStringLiteral("café")},
        {QByteArray("\xFF\xFEh\0\xE9\0", 6), QStringLiteral("hé")},
        {QByteArray("\xFE\xFF\0h\0\xE9", 6), QStringLiteral("hé")},
        {"caf\xC3\xA9", QStringLiteral("café")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeOutput(c.bytes), c.text) << c.bytes.toHex().toStdString();
}
