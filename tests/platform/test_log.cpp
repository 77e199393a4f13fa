#include "TestSupport.h"
#include "uLog.h"

#include <QLocale>

namespace {

const QString kRule = QStringLiteral("{") + QString(77, QLatin1Char('-')) + QStringLiteral("}");

QStringList fileLines(const QString& path)
{
    const QString text = QString::fromUtf8(readAll(path));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

} // namespace

TEST(RunLog, StartLinesAndEndGiveTheExactFile)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Movarium.log"));
    ASSERT_TRUE(logStart(path));
    ASSERT_TRUE(logLine(QStringLiteral("Variable PATH:")));
    ASSERT_TRUE(logLine(QString()));
    ASSERT_TRUE(logLine(QStringLiteral("é")));
    ASSERT_TRUE(logEnd());

    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(kRule.size(), 79);
    const QStringList fixed = {QString(), kRule, QStringLiteral("<<< Log file for Movarium >>>")};
    EXPECT_EQ(lines.mid(0, 3), fixed);
    EXPECT_TRUE(lines.at(3).startsWith(QStringLiteral("Started on ")));
    EXPECT_TRUE(lines.at(3).contains(QStringLiteral(" at ")));
    EXPECT_EQ(lines.at(4), QString());
    EXPECT_EQ(lines.at(5), kRule);
    EXPECT_EQ(lines.at(6), QStringLiteral("Variable PATH:"));
    EXPECT_EQ(lines.at(7), QString());
    EXPECT_EQ(lines.at(8), QStringLiteral("é"));
    EXPECT_EQ(lines.mid(9, 3), fixed);
    EXPECT_TRUE(lines.at(12).startsWith(QStringLiteral("Terminated at ")));
}

TEST(RunLog, EndBannerHasNoSeparatorAfterIt)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Movarium.log"));
    logStart(path);
    logEnd();
    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 10);
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Terminated at ")));
    EXPECT_FALSE(logLine(QStringLiteral("after the end")));
    EXPECT_EQ(fileLines(path).size(), 10);
}

TEST(RunLog, SecondRunReplacesTheFirst)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Movarium.log"));
    logStart(path);
    logLine(QStringLiteral("first run"));
    logEnd();
    logStart(path);
    logLine(QStringLiteral("second run"));
    const QStringList lines = fileLines(path);
    EXPECT_FALSE(lines.contains(QStringLiteral("first run")));
    EXPECT_EQ(lines.last(), QStringLiteral("second run"));
    EXPECT_EQ(lines.count(QStringLiteral("<<< Log file for Movarium >>>")), 1);
    logEnd();
}

TEST(RunLog, UnwritableFileKeepsTheLinesInMemory)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("missing/Movarium.log"));
    EXPECT_FALSE(logStart(path));
    EXPECT_FALSE(logLine(QStringLiteral("kept")));
    EXPECT_EQ(logLines().last(), QStringLiteral("kept"));
    QDir().mkpath(dir.file(QStringLiteral("missing")));
    EXPECT_TRUE(logLine(QStringLiteral("now written")));
    EXPECT_TRUE(fileLines(path).contains(QStringLiteral("kept")));
    logEnd();
}

TEST(TextHelpers, CapitalizeWords)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"LUNDI 3 MARS", "Lundi 3 Mars"},
        {"jean-luc", "Jean-luc"},
        {"  deux  mots", "  Deux  Mots"},
        {"été\tà l'ombre", "Été\tà L'ombre"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(capitalizeWords(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(TextHelpers, DurationText)
{
    const struct {
        qint64 ms;
        const char* text;
    } cases[] = {
        {3723004, "1:02:03.004"}, {0, "0:00:00.000"}, {90000000, "25:00:00.000"}, {59999, "0:00:59.999"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(durationText(c.ms), QString::fromLatin1(c.text)) << c.ms;
}

TEST(TextHelpers, LinesRoundTrip)
{
    EXPECT_EQ(joinLines({QStringLiteral("a"), QString(), QStringLiteral("b")}), QStringLiteral("a\r\n\r\nb\r\n"));
    EXPECT_EQ(splitLines(QStringLiteral("a\r\n\r\nb\r\n")), QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(splitLines(QStringLiteral("a\nb\rc")), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_TRUE(splitLines(QString()).isEmpty());
}

TEST(CommonFolders, FollowTheXdgVariables)
{
    TempFolder home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.file(QStringLiteral(".config")).toUtf8());
    home.write(QStringLiteral(".config/user-dirs.dirs"),
               "XDG_DOCUMENTS_DIR=\"$HOME/Mes Documents\"\nXDG_VIDEOS_DIR=\"$HOME/Vidéos\"\n");
    qputenv("XDG_DATA_HOME", home.file(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", "/opt/common:/usr/share");

    EXPECT_EQ(getPersonalFolder(), home.file(QStringLiteral("Mes Documents")));
    EXPECT_EQ(getMyVideoFolder(), home.file(QStringLiteral("Vidéos")));
    EXPECT_EQ(getAppDataFolder(), home.file(QStringLiteral("data/")));
    EXPECT_EQ(getCommonAppDataFolder(), QStringLiteral("/opt/common/"));
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(getCommonAppDataFolder(), QStringLiteral("/usr/local/share/"));

    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}
