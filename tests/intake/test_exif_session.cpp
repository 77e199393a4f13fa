// One exiftool kept running for a whole listing, against the real tool and
// clips made by ffmpeg: it must give what a separate run per file gives.
#include "CatalogueFixture.h"
#include "uExif.h"
#include "uExifSession.h"
#include "uQXFileBox.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <memory>

#include <errno.h>
#include <signal.h>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The live child processes of this test program, zombies left aside.
QSet<qint64> childProcesses()
{
    QSet<qint64> found;
    const QString self = QString::number(::getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!entry.at(0).isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and brackets.
        const QString line = QString::fromUtf8(stat.readAll());
        const QStringList after = line.mid(line.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        if (after.size() > 1 && after.at(1) == self && after.at(0) != QLatin1String("Z"))
            found.insert(entry.toLongLong());
    }
    return found;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QString line = QString::fromUtf8(stat.readAll());
    return line.mid(line.lastIndexOf(QLatin1Char(')')) + 2).startsWith(QLatin1Char('Z'));
}

QString script(const TempFolder& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.write(name, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// What a separate run of the tool prints for the file.
QStringList separateRun(const QString& path)
{
    QStringList lines;
    readExif(path, lines);
    return lines;
}

// A catalogue row by column name, without the columns that say when it was written.
using TRow = QMap<QString, QString>;

QMap<QString, TRow> catalogueRows(sqlite3* db)
{
    QMap<QString, TRow> rows;
    TStatement s;
    if (s.prepare(db, QStringLiteral("SELECT * FROM VideoFichiers")) != SQLITE_OK)
        return rows;
    static const QSet<QString> when = {QStringLiteral("Numero"), QStringLiteral("DateCatalogue"),
                                       QStringLiteral("DateModify")};
    while (s.step() == SQLITE_ROW) {
        TRow row;
        for (int i = 0; i < sqlite3_column_count(s.get()); ++i) {
            const QString name = QString::fromUtf8(sqlite3_column_name(s.get(), i));
            if (when.contains(name))
                continue;
            row.insert(name, QString::number(sqlite3_column_type(s.get(), i)) + QLatin1Char(':')
                                 + columnText(s.get(), i));
        }
        rows.insert(row.value(QStringLiteral("Caption")).mid(2), row);
    }
    return rows;
}

} // namespace

class KeptOpenExifTest : public CatalogueTest {
protected:
    static void SetUpTestSuite() { clips = std::make_unique<TempFolder>(); }
    static void TearDownTestSuite() { clips.reset(); }

    void SetUp() override
    {
        CatalogueTest::SetUp();
        tuneConnection(db, true);
        tool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
        ASSERT_FALSE(tool.isEmpty()) << "exiftool is not installed (scripts/setup.sh)";
        setExifToolPath(tool);
        setExifKeptOpen(true);
        installExifReader();
    }

    void TearDown() override
    {
        TVideoFichier::setMetadataReader(nullptr);
        setExifKeptOpen(true);
        CatalogueTest::TearDown();
    }

    // Three kinds of clip, each made once for the suite.
    static QString clip(int kind)
    {
        static const char* const names[] = {"dated.mp4", "ntsc.mov", "pcm.mov"};
        static const char* const arguments[] = {
            "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=sample_rate=48000 -t 1 -c:v libx264 "
            "-preset ultrafast -c:a aac -ac 2 -metadata creation_time=2021-07-14T18:05:09Z",
            "-f lavfi -i testsrc=size=1280x720:rate=30000/1001 -t 1 -c:v libx264 -preset ultrafast",
            "-f lavfi -i color=c=blue:size=64x36:rate=2 -f lavfi -i sine=sample_rate=8000 -t 3 -c:v mpeg4 "
            "-c:a pcm_s16le",
        };
        const QString path = clips->file(QString::fromLatin1(names[kind]));
        if (!QFile::exists(path)) {
            const QStringList args = QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")}
                                   + QString::fromLatin1(arguments[kind]).split(QLatin1Char(' '))
                                   + QStringList{path};
            if (runProgram(QStringLiteral("ffmpeg"), args) != 0)
                ADD_FAILURE() << "ffmpeg could not make " << names[kind];
        }
        return path;
    }

    // A copy of a clip under the name, read once so that its access time no
    // longer changes from one read to the next.
    QString copyOf(int kind, const QString& name)
    {
        const QString path = dir.file(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::copy(clip(kind), path);
        runProgram(tool, {QStringLiteral("-fast"), QStringLiteral("-q"), path});
        return path;
    }

    std::unique_ptr<TQXFileBox> makeBox()
    {
        auto box = std::make_unique<TQXFileBox>();
        box->setTableName(QStringLiteral("VideoFichiers"));
        box->setBase(db);
        box->OnOpenTestExtension = [](const QString& ext) {
            return ext == QLatin1String(".mp4") || ext == QLatin1String(".mov");
        };
        return box;
    }

    void scan(TQXFileBox& box, const QString& folder)
    {
        box.openFolder(folder);
        ASSERT_TRUE(pumpUntil([&box] { return !box.isActive(); }, 60000)) << "the scan did not end";
    }

    QString tool;
    static inline std::unique_ptr<TempFolder> clips;
};

TEST_F(KeptOpenExifTest, BothReadersGiveTheSameCatalogueRows)
{
    const QString names[] = {
        QStringLiteral("it's a \"quoted\" $HOME `id` name.mov"),
        QStringLiteral("-fast.mp4"),
        QStringLiteral("-stay_open.mov"),
        QStringLiteral(" leading space.mp4"),
        QStringLiteral("trailing space .mov"),
        QStringLiteral("été 日本.mp4"),
        QStringLiteral("#hash.mov"),
        QStringLiteral("back\\slash\\.mp4"),
        QStringLiteral("tab\there.mov"),
        QStringLiteral("line\nbreak.mp4"),
        QStringLiteral("ends in a return\r.mov"),
        QStringLiteral("{ready1}.mp4"),
        QStringLiteral("sub/-execute.mov"),
    };
    int kind = 0;
    for (const QString& name : names)
        copyOf(kind++ % 3, QStringLiteral("clips/") + name);
    runProgram(tool, {QStringLiteral("-q"), dir.write(QStringLiteral("clips/broken.mp4"), "not a video\n")});
    const int files = static_cast<int>(std::size(names)) + 1;

    setExifKeptOpen(false);
    {
        auto box = makeBox();
        scan(*box, dir.file(QStringLiteral("clips")));
    }
    const QMap<QString, TRow> separate = catalogueRows(db);
    ASSERT_EQ(separate.size(), files);
    execSql(db, QStringLiteral("DELETE FROM VideoFichiers"));

    // The tool seen by each file's event, the walk waiting meanwhile.
    setExifKeptOpen(true);
    QSet<qint64> tools;
    int found = 0;
    {
        auto box = makeBox();
        box->OnOpenFileFound = [&](TDriveFichier&) {
            const QSet<qint64> running = childProcesses();
            EXPECT_LE(running.size(), 1);
            if (found == 0) {
                EXPECT_TRUE(running.isEmpty()) << "started at the first new file";
            }
            tools += running;
            ++found;
        };
        scan(*box, dir.file(QStringLiteral("clips")));
    }
    EXPECT_EQ(found, files);
    EXPECT_EQ(tools.size(), 1) << "one tool for the whole listing";
    EXPECT_TRUE(childProcesses().isEmpty()) << "the tool ends with the listing";

    const QMap<QString, TRow> kept = catalogueRows(db);
    ASSERT_EQ(kept.keys(), separate.keys());
    int withPicture = 0;
    for (auto row = kept.cbegin(); row != kept.cend(); ++row) {
        SCOPED_TRACE(row.key().toStdString());
        const TRow& other = separate[row.key()];
        ASSERT_EQ(row->keys(), other.keys());
        for (auto field = row->cbegin(); field != row->cend(); ++field)
            EXPECT_EQ(field.value(), other.value(field.key())) << field.key().toStdString();
        withPicture += row->value(QStringLiteral("Width")) != QLatin1String("1:0");
    }
    EXPECT_EQ(withPicture, files - 1) << "every real clip got its metadata";
}

TEST_F(KeptOpenExifTest, NamesTheArgumentFileCannotHoldGetARunOfTheirOwn)
{
    const QString normal = copyOf(0, QStringLiteral("normal.mp4"));
    TExifListing listing;
    QStringList lines;
    ASSERT_TRUE(readExif(normal, lines));
    const qint64 kept = listing.session().processId();
    ASSERT_GT(kept, 0);
    for (const QString& name : {QStringLiteral("line\nfeed.mp4"), QStringLiteral("\nfirst.mp4"),
                                QStringLiteral("ends in a return.mp4\r")}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = copyOf(1, name);
        ASSERT_TRUE(readExif(path, lines));
        EXPECT_EQ(exifValue(QStringLiteral("Image Width"), lines), QStringLiteral("1280"));
        EXPECT_EQ(lines, separateRun(path));
        EXPECT_EQ(listing.session().processId(), kept) << "the kept tool is left as it is";
    }
}

TEST_F(KeptOpenExifTest, AToolThatStopsAnsweringIsReplacedForTheNextFile)
{
    const QString files[] = {copyOf(0, QStringLiteral("a.mp4")), copyOf(1, QStringLiteral("b.mov")),
                             copyOf(2, QStringLiteral("c.mov"))};
    const struct {
        const char* what;
        int signal;
        bool timesOut; // otherwise the file gets a run of its own
    } cases[] = {{"hangs", SIGSTOP, true}, {"dies", SIGKILL, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TExifListing listing;
        QStringList lines;
        ASSERT_TRUE(readExif(files[0], lines));
        EXPECT_EQ(lines, separateRun(files[0]));
        const qint64 first = listing.session().processId();
        ASSERT_GT(first, 0);

        ASSERT_EQ(::kill(static_cast<pid_t>(first), c.signal), 0);
        lines = QStringList{QStringLiteral("old")};
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(readExif(files[1], lines));
        if (c.timesOut) {
            EXPECT_GE(clock.elapsed(), kExifTimeoutMs);
            EXPECT_TRUE(lines.isEmpty()) << "a file the tool did not answer for has no metadata";
            EXPECT_EQ(listing.session().processId(), 0) << "stopped, started again at the next file";
        } else {
            EXPECT_EQ(lines, separateRun(files[1]));
        }
        EXPECT_TRUE(processGone(first));

        ASSERT_TRUE(readExif(files[2], lines));
        EXPECT_EQ(lines, separateRun(files[2]));
        const qint64 second = listing.session().processId();
        EXPECT_GT(second, 0);
        EXPECT_NE(second, first);
    }
    EXPECT_TRUE(childProcesses().isEmpty());
}

TEST_F(KeptOpenExifTest, ToolsThatCannotStayOpenRunOncePerFile)
{
    TempFolder tools;
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"echoes", "echo \"Arguments : $*\"\necho 'Image Width : 1920'\n"},
        {"errors-only", "echo 'Error: File format error' >&2\nexit 1\n"},
        {"crashes", "echo 'Image Width : 64'\nkill -SEGV $$\n"},
        {"missing", ""},
    };
    const QString path = copyOf(0, QStringLiteral("clip.mp4"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setExifToolPath(c.body.isEmpty() ? tools.file(QString::fromLatin1(c.name))
                                         : script(tools, QString::fromLatin1(c.name), c.body));
        const QStringList expected = separateRun(path);
        TExifListing listing;
        for (int pass = 0; pass < 2; ++pass) {
            QStringList lines = {QStringLiteral("kept")};
            EXPECT_TRUE(readExif(path, lines));
            EXPECT_EQ(lines, c.body.isEmpty() ? QStringList{QStringLiteral("kept")} : expected);
            EXPECT_EQ(listing.session().processId(), 0);
        }
    }
    EXPECT_TRUE(childProcesses().isEmpty());
}

TEST_F(KeptOpenExifTest, EscEndsTheToolAtOnceAndLeavesTheFileForTheNextScan)
{
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"})
        copyOf(0, QStringLiteral("esc/") + QLatin1String(name));
    auto box = makeBox();
    int found = 0;
    QElapsedTimer sinceEsc;
    box->OnOpenFileFound = [&](TDriveFichier&) {
        if (++found != 2)
            return;
        // The tool stops answering for the second file; Esc comes while the walk waits for it.
        for (const qint64 pid : childProcesses())
            ::kill(static_cast<pid_t>(pid), SIGSTOP);
        QTimer::singleShot(200, box.get(), [&] {
            sinceEsc.start();
            box->nrAbort->doExecute();
        });
    };
    scan(*box, dir.file(QStringLiteral("esc")));
    ASSERT_TRUE(sinceEsc.isValid());
    EXPECT_LT(sinceEsc.elapsed(), kExifTimeoutMs) << "the abort did not wait for the tool";
    EXPECT_TRUE(childProcesses().isEmpty());
    EXPECT_EQ(found, 2);
    EXPECT_EQ(box->Count(), 1) << "the file being read when Esc came is not stored";

    box->OnOpenFileFound = nullptr;
    scan(*box, dir.file(QStringLiteral("esc")));
    EXPECT_EQ(box->Count(), 3);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE Width=320")), 3);

    // Known files need no tool: a rescan starts none.
    box->OnOpenFileFound = [](TDriveFichier&) { EXPECT_TRUE(childProcesses().isEmpty()); };
    scan(*box, dir.file(QStringLiteral("esc")));
    EXPECT_EQ(box->Count(), 3);
}

// Run by the next test as a program of its own: reads a file in a listing,
// tells the tool's process id and ends without ending the tool.
TEST(KeptOpenExifHelper, DISABLED_EndsWithItsToolRunning)
{
    const QString path = qEnvironmentVariable("MOVARIUM_EXIF_FILE");
    ASSERT_FALSE(path.isEmpty());
    setExifToolPath(QStandardPaths::findExecutable(QStringLiteral("exiftool")));
    TExifListing listing;
    QStringList lines;
    readExif(path, lines);
    std::printf("tool %lld\n", static_cast<long long>(listing.session().processId()));
    std::fflush(stdout);
    ::_exit(0);
}

TEST_F(KeptOpenExifTest, NoToolOutlivesTheProgram)
{
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MOVARIUM_EXIF_FILE"), copyOf(0, QStringLiteral("clip.mp4")));
    helper.setProcessEnvironment(env);
    helper.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_also_run_disabled_tests"),
                  QStringLiteral("--gtest_filter=KeptOpenExifHelper.DISABLED_EndsWithItsToolRunning")});
    ASSERT_TRUE(helper.waitForFinished(30000));
    const QRegularExpressionMatch told =
        QRegularExpression(QStringLiteral("tool (\\d+)")).match(QString::fromUtf8(helper.readAllStandardOutput()));
    ASSERT_TRUE(told.hasMatch());
    const qint64 pid = told.captured(1).toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(pumpUntil([pid] { return processGone(pid); }, 5000)) << "the tool outlived its program";
    if (!processGone(pid))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}
