#include "CatalogueFixture.h"
#include "uDateTime.h"
#include "uExif.h"
#include "uPreferences.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"
#include "uWndComponent.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QStandardPaths>
#include <QWidget>

#include <memory>
#include <thread>

namespace {

QString script(const TempFolder& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.write(name, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

struct LocaleGuard {
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(saved); }
    QLocale saved;
};

struct EnvGuard {
    explicit EnvGuard(const char* name) : name(name), value(qgetenv(name)), set(qEnvironmentVariableIsSet(name)) {}
    ~EnvGuard()
    {
        if (set)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    const char* name;
    QByteArray value;
    bool set;
};

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale french(QLocale::French, QLocale::France);

void expectNoMetadata(const TVideoFichier& v)
{
    EXPECT_EQ(v.FWidth, 0);
    EXPECT_EQ(v.FHeight, 0);
    EXPECT_EQ(v.FAspectRatioX, 0);
    EXPECT_EQ(v.FAspectratioY, 0);
    EXPECT_EQ(v.FFps, 0);
    EXPECT_EQ(v.FDuration, 0);
    EXPECT_EQ(v.FAudioFrequency, 0);
    EXPECT_EQ(v.FAudioBits, 0);
    EXPECT_EQ(v.FAudioChannels, 0);
    EXPECT_EQ(v.FRotation, 0);
    EXPECT_TRUE(v.FAudioCompression.isEmpty());
    EXPECT_TRUE(v.FVideoCompression.isEmpty());
    EXPECT_EQ(v.FAlbum, QStringLiteral("No date"));
    EXPECT_TRUE(v.FChapitre.isEmpty());
    EXPECT_TRUE(v.FSequence.isEmpty());
    EXPECT_EQ(v.FCreationDate, 0);
}

} // namespace

// Clips made by ffmpeg in a folder shared by the whole suite, each on first use,
// read by the real exiftool; every test also has a real catalogue file.
class ExifTest : public CatalogueTest {
protected:
    static void SetUpTestSuite() { clips = std::make_unique<TempFolder>(); }
    static void TearDownTestSuite() { clips.reset(); }

    void SetUp() override
    {
        CatalogueTest::SetUp();
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
        ASSERT_FALSE(tool.isEmpty()) << "exiftool is not installed (scripts/setup.sh)";
        setExifToolPath(tool);
        installExifReader();
    }

    void TearDown() override
    {
        TVideoFichier::setMetadataReader(nullptr);
        CatalogueTest::TearDown();
    }

    // full.mp4: 1920x1080, 25 fps, 2 s, stereo AAC 48 kHz, rotated 180, dated, "full.scn" beside it.
    // ntsc.mov: 1280x720, 29.97 fps, 1 s, no audio, no date, "ntsc.SRT" beside it.
    // long.mov: 64x36, 2 fps, 35 s, mono 16-bit PCM 8 kHz, dated, "long.srt" beside it.
    static QString clip(const QString& name)
    {
        const QString path = clips->file(name);
        if (QFile::exists(path))
            return path;
        const QString work = clips->file(QStringLiteral("work-") + name);
        const QStringList quiet = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
        QStringList encode;
        QStringList finish = {QStringLiteral("-i"), work, QStringLiteral("-c"), QStringLiteral("copy")};
        QString side;
        if (name == QLatin1String("full.mp4")) {
            encode = QStringLiteral("-f lavfi -i color=c=red:size=1920x1080:rate=25 -f lavfi "
                                    "-i sine=frequency=440:sample_rate=48000 -t 2 -c:v libx264 -preset ultrafast "
                                    "-c:a aac -ac 2")
                         .split(QLatin1Char(' '));
            finish << QStringLiteral("-metadata:s:v:0") << QStringLiteral("rotate=180") << QStringLiteral("-metadata")
                   << QStringLiteral("creation_time=2021-07-14T18:05:09Z");
            side = QStringLiteral("full.scn");
        } else if (name == QLatin1String("ntsc.mov")) {
            encode = QStringLiteral("-f lavfi -i testsrc=size=1280x720:rate=30000/1001 -t 1 -c:v libx264 "
                                    "-preset ultrafast")
                         .split(QLatin1Char(' '));
            side = QStringLiteral("ntsc.SRT");
        } else {
            encode = QStringLiteral("-f lavfi -i color=c=blue:size=64x36:rate=2 -f lavfi -i sine=sample_rate=8000 "
                                    "-t 35 -c:v libx264 -preset ultrafast -c:a pcm_s16le")
                         .split(QLatin1Char(' '));
            finish << QStringLiteral("-metadata") << QStringLiteral("creation_time=2019-12-31T23:59:58Z");
            side = QStringLiteral("long.srt");
        }
        const QString ffmpeg = QStringLiteral("ffmpeg");
        // The work file keeps the container of the clip so that the copy step only adds metadata.
        if (runProgram(ffmpeg, quiet + encode + QStringList{work}) != 0
            || runProgram(ffmpeg, quiet + finish + QStringList{path}) != 0) {
            ADD_FAILURE() << "ffmpeg could not make " << name.toStdString();
            return QString();
        }
        QFile::remove(work);
        clips->write(side, "1\n");
        return path;
    }

    static inline std::unique_ptr<TempFolder> clips;
};

TEST_F(ExifTest, EveryFieldIsWhatTheClipIs)
{
    LocaleGuard locale(english);
    const struct {
        const char* clip;
        int width, height, ratioX, ratioY;
        double fps;
        int duration, frequency, bits;
        const char* audio;
        int channels, rotation;
        bool scn, srt;
        const char* album;
        const char* chapitre;
        const char* sequence;
        const char* created; // empty: the clip carries no date
    } cases[] = {
        {"full.mp4", 1920, 1080, 16, 9, 25, 2000, 48000, 16, "mp4a", 2, 180, true, false, "Year 2021", "July",
         "Wednesday, July 14, 2021", "2021-07-14T18:05:09"},
        {"ntsc.mov", 1280, 720, 16, 9, 29.97, 1000, 0, 0, "", 0, 0, false, true, "---", "---", "---", ""},
        {"long.mov", 64, 36, 16, 9, 2, 35000, 8000, 16, "sowt", 1, 0, false, true, "Year 2019", "December",
         "Tuesday, December 31, 2019", "2019-12-31T23:59:58"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clip);
        const QString path = clip(QString::fromLatin1(c.clip));
        TVideoFichier v;
        ASSERT_TRUE(v.loadFromFilename(path));
        EXPECT_EQ(v.FWidth, c.width);
        EXPECT_EQ(v.FHeight, c.height);
        EXPECT_EQ(v.FAspectRatioX, c.ratioX);
        EXPECT_EQ(v.FAspectratioY, c.ratioY);
        EXPECT_DOUBLE_EQ(v.FFps, c.fps);
        EXPECT_EQ(v.FDuration, c.duration);
        EXPECT_EQ(v.FAudioFrequency, c.frequency);
        EXPECT_EQ(v.FAudioBits, c.bits);
        EXPECT_EQ(v.FAudioCompression, QString::fromLatin1(c.audio));
        EXPECT_EQ(v.FVideoCompression, QStringLiteral("avc1"));
        EXPECT_EQ(v.FAudioChannels, c.channels);
        EXPECT_EQ(v.FRotation, c.rotation);
        EXPECT_EQ(v.FHasScn, c.scn);
        EXPECT_EQ(v.FHasSrt, c.srt);
        EXPECT_EQ(v.FAlbum, QString::fromLatin1(c.album));
        EXPECT_EQ(v.FChapitre, QString::fromLatin1(c.chapitre));
        EXPECT_EQ(v.FSequence, QString::fromLatin1(c.sequence));
        if (*c.created)
            EXPECT_EQ(fromDateTime(v.FCreationDate),
                      QDateTime::fromString(QString::fromLatin1(c.created), Qt::ISODate));
        else
            EXPECT_EQ(v.FCreationDate, 0);
        EXPECT_FALSE(v.FHasVideo);
        EXPECT_FALSE(v.FHasAudio);
        ASSERT_FALSE(v.FExif.isEmpty());
        EXPECT_TRUE(v.FExif.first().startsWith(QStringLiteral("ExifTool Version Number")));
        EXPECT_EQ(exifValue(QStringLiteral("File Name"), v.FExif), QString::fromLatin1(c.clip));

        // What the file box stores is what was read, the tool's whole output included.
        ASSERT_TRUE(v.insertnew());
        TStatement row;
        const QString sql = QStringLiteral("SELECT * FROM VideoFichiers WHERE Numero=%1").arg(v.numero);
        ASSERT_EQ(row.prepare(db, sql), SQLITE_OK);
        ASSERT_EQ(row.step(), SQLITE_ROW);
        EXPECT_TRUE(v.sameAs(row.get()));
        TVideoFichier back;
        back.numero = v.numero;
        ASSERT_TRUE(back.getByNum());
        EXPECT_EQ(back.FExif, v.FExif);
    }
}

TEST_F(ExifTest, CommaLocaleReadsTheSameNumbersAndNamesTheMonthInItsLanguage)
{
    LocaleGuard locale(french);
    ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    TVideoFichier ntsc;
    ASSERT_TRUE(ntsc.loadFromFilename(clip(QStringLiteral("ntsc.mov"))));
    EXPECT_DOUBLE_EQ(ntsc.FFps, 29.97);

    TVideoFichier full;
    ASSERT_TRUE(full.loadFromFilename(clip(QStringLiteral("full.mp4"))));
    EXPECT_EQ(full.FAlbum, QStringLiteral("Year 2021"));
    EXPECT_EQ(full.FChapitre, QStringLiteral("Juillet"));
    EXPECT_EQ(full.FSequence, QStringLiteral("Mercredi 14 Juillet 2021"));
}

TEST_F(ExifTest, WithoutAToolTheFileIsStoredWithoutMetadata)
{
    TempFolder tools;
    const QString notExecutable = tools.write(QStringLiteral("exiftool"), "#!/bin/sh\necho 'Image Width : 1920'\n");
    const struct {
        QString tool;
        bool answer;
    } cases[] = {{QString(), false}, {tools.file(QStringLiteral("missing")), true}, {notExecutable, true}};
    const QString path = clip(QStringLiteral("full.mp4"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool.toStdString());
        setExifToolPath(c.tool);
        QStringList lines = {QStringLiteral("kept")};
        EXPECT_EQ(readExif(path, lines), c.answer);
        EXPECT_EQ(lines, QStringList{QStringLiteral("kept")});

        TVideoFichier v;
        ASSERT_TRUE(v.loadFromFilename(path));
        EXPECT_TRUE(v.FExif.isEmpty());
        expectNoMetadata(v);
        EXPECT_TRUE(v.FHasScn);
        EXPECT_EQ(v.FListed, 1);
        ASSERT_TRUE(v.insertnew());
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE Album='No date' AND Width=0 "
                                    "AND coalesce(Exif,'')='' AND Listed=1")),
              3);
}

TEST_F(ExifTest, AwkwardFileNamesReachTheTool)
{
    const QString source = clip(QStringLiteral("ntsc.mov"));
    const QString names[] = {QStringLiteral("it's a \"quoted\" $HOME `id` name.mov"), QStringLiteral("-ver.mov"),
                             QStringLiteral("-"), QStringLiteral("été.mov")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir.file(name);
        ASSERT_TRUE(QFile::copy(source, path));
        TVideoFichier v;
        ASSERT_TRUE(v.loadFromFilename(path));
        EXPECT_EQ(exifValue(QStringLiteral("File Name"), v.FExif), name);
        EXPECT_EQ(v.FWidth, 1280);
        EXPECT_DOUBLE_EQ(v.FFps, 29.97);
    }

    // A relative name that starts with "-" is still a file to the tool.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QStringList lines;
    const bool answer = readExif(QStringLiteral("-ver.mov"), lines);
    QDir::setCurrent(previous);
    EXPECT_TRUE(answer);
    EXPECT_EQ(exifValue(QStringLiteral("Image Width"), lines), QStringLiteral("1280"));
}

TEST_F(ExifTest, FailingToolsLeaveEmptyMetadata)
{
    TempFolder tools;
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"garbage", "printf '\\001\\002garbage\\377\\n:::\\n\\000\\n  : 42\\nImage Width\\nDuration : soon\\n'\n"},
        {"errors-only", "echo 'Error: File format error' >&2\nexit 1\n"},
        {"crashes", "echo 'Image Wid'\nkill -SEGV $$\n"},
    };
    const QString path = dir.write(QStringLiteral("clip.mp4"), "not a video");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setExifToolPath(script(tools, QString::fromLatin1(c.name), c.body));
        TVideoFichier v;
        ASSERT_TRUE(v.loadFromFilename(path));
        expectNoMetadata(v);
    }
}

TEST_F(ExifTest, AHangingToolIsStoppedWithinTheBound)
{
    // Two runs at once, each with its own output: one silent, one stopped in the middle of a line.
    TempFolder tools;
    setExifToolPath(script(tools, QStringLiteral("hang"),
                           "case \"$1\" in *talks*) printf 'Image Width : 1920\\nImage Height : 10' ;; esac\n"
                           "sleep 30\n"));
    TVideoFichier silent;
    TVideoFichier talks;
    silent.FFilename = dir.write(QStringLiteral("silent.mp4"), "x");
    talks.FFilename = dir.write(QStringLiteral("talks.mp4"), "x");
    silent.FExtension = talks.FExtension = QStringLiteral(".mp4");
    QElapsedTimer clock;
    clock.start();
    {
        std::jthread first([&silent] { readVideoMetadata(silent); });
        std::jthread second([&talks] { readVideoMetadata(talks); });
    }
    EXPECT_GE(clock.elapsed(), kExifTimeoutMs);
    EXPECT_LT(clock.elapsed(), kExifTimeoutMs + 2000);

    EXPECT_TRUE(silent.FExif.isEmpty());
    expectNoMetadata(silent);
    // Whole lines count; the half line after them is dropped.
    EXPECT_EQ(talks.FExif, QStringList{QStringLiteral("Image Width : 1920")});
    EXPECT_EQ(talks.FWidth, 1920);
    EXPECT_EQ(talks.FHeight, 0);
}

TEST(ExifTool, DefaultPathPrefersTheProgramsOwnCopy)
{
    EnvGuard dataDirs("XDG_DATA_DIRS");
    EnvGuard searchPath("PATH");
    TempFolder common;
    qputenv("XDG_DATA_DIRS", QFile::encodeName(common.path()));
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    ASSERT_FALSE(onPath.isEmpty());
    EXPECT_EQ(defaultExifToolPath(), onPath);

    const QString own = common.write(QStringLiteral("Tessaly/Exif/exiftool"), "#!/bin/sh\n");
    EXPECT_EQ(defaultExifToolPath(), own);

    QFile::remove(own);
    qputenv("PATH", QFile::encodeName(common.path()));
    EXPECT_TRUE(defaultExifToolPath().isEmpty());
}

TEST(ExifValues, KeysMatchTheStartOfTagNamesIgnoringCase)
{
    const QStringList lines = {
        QStringLiteral("ExifTool Version Number         : 12.57"),
        QStringLiteral("Track Duration                  : 1.00 s"),
        QStringLiteral("Duration                        : 2.00 s"),
        QStringLiteral("Create Date                     : 2021:07:14 18:05:09"),
        QStringLiteral("Image Width: 1920"),
        QStringLiteral("Compressor ID                   : avc1"),
        QStringLiteral("Comment                         : a: b"),
        QStringLiteral("Title"),
    };
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"Create date", "2021:07:14 18:05:09"}, {"  IMAGE WIDTH ", "1920"}, {"Duration", "2.00 s"},
        {"Compressor", "avc1"}, {"Exif", "12.57"}, {"Comment", "a: b"}, {"title", "Title"}, {"Rotation", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exifValue(QString::fromLatin1(c.key), lines), QString::fromLatin1(c.value)) << c.key;
}

TEST(ExifValues, DurationInBothOfTheToolsForms)
{
    const struct {
        const char* value;
        int ms;
    } cases[] = {
        {"0:01:23", 83000}, {"0:01:23 (approx)", 83000}, {"10:02:03", 36123000}, {"1 days 2:03:04", 93784000},
        {"12.35 s", 12350}, {"12.5 s", 12500}, {"12.345 s", 12345}, {"12.3456 s", 12000},
        {"12.35 s (approx)", 12350}, {"7 s", 0}, {"0 s", 0},
        {"", 777}, {"unknown", 777}, // not a duration: the stored value stays
    };
    for (const auto& c : cases) {
        TVideoFichier v;
        v.FDuration = 777;
        v.FExif = {QStringLiteral("Duration : ") + QString::fromLatin1(c.value)};
        fillFromExif(v);
        EXPECT_EQ(v.FDuration, c.ms) << c.value;
    }
}

TEST(ExifValues, CreationDateAndItsCaptions)
{
    LocaleGuard locale(english);
    const double before = 1.5;
    const struct {
        const char* value;
        const char* album;
        const char* chapitre;
        const char* sequence;
        double date;
    } cases[] = {
        {"2021:07:14 18:05:09", "Year 2021", "July", "Wednesday, July 14, 2021", 44391 + 65109 / 86400.0},
        // Taken as written: no time-zone shift.
        {"2021:07:14 18:05:09+02:00", "Year 2021", "July", "Wednesday, July 14, 2021", 44391 + 65109 / 86400.0},
        {"0000:00:00 00:00:00", "---", "---", "---", before},
        {"2021:02:30 10:00:00", "---", "---", "---", before},
        {"2021:07:14 24:00:00", "---", "---", "---", before},
        {"July 2021", "---", "---", "---", before},
        {"", "No date", "old", "old", before},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TVideoFichier v;
        v.FCreationDate = before;
        v.FChapitre = QStringLiteral("old");
        v.FSequence = QStringLiteral("old");
        v.FExif = {QStringLiteral("Create Date : ") + QString::fromLatin1(c.value)};
        fillFromExif(v);
        EXPECT_EQ(v.FAlbum, QString::fromLatin1(c.album));
        EXPECT_EQ(v.FChapitre, QString::fromLatin1(c.chapitre));
        EXPECT_EQ(v.FSequence, QString::fromLatin1(c.sequence));
        EXPECT_NEAR(v.FCreationDate, c.date, 1e-9);
    }
}

TEST(ExifValues, ValuesThatAreNotNumbersGiveZero)
{
    // A comma locale must not change how the tool's numbers read.
    LocaleGuard locale(french);
    TVideoFichier v;
    v.FExif = {
        QStringLiteral("Image Width : 1920px"),       QStringLiteral("Image Height : "),
        QStringLiteral("Video Frame Rate : 29,97"),   QStringLiteral("Audio Sample Rate : 48 kHz"),
        QStringLiteral("Audio Channels : 2.0"),       QStringLiteral("Audio Bits Per Sample : nan"),
        QStringLiteral("Rotation : -90"),             QStringLiteral("Audio Format : raw "),
    };
    fillFromExif(v);
    EXPECT_EQ(v.FWidth, 0);
    EXPECT_EQ(v.FHeight, 0);
    EXPECT_EQ(v.FAspectRatioX, 0);
    EXPECT_EQ(v.FAspectratioY, 0);
    EXPECT_EQ(v.FFps, 0);
    EXPECT_EQ(v.FAudioFrequency, 0);
    EXPECT_EQ(v.FAudioChannels, 0);
    EXPECT_EQ(v.FAudioBits, 0);
    EXPECT_EQ(v.FRotation, -90);
    EXPECT_EQ(v.FAudioCompression, QStringLiteral("raw"));
    EXPECT_EQ(v.FAlbum, QStringLiteral("No date"));

    v.FExif = {QStringLiteral("Video Frame Rate : 29.97"), QStringLiteral("Image Width : 720"),
               QStringLiteral("Image Height : 576")};
    fillFromExif(v);
    EXPECT_DOUBLE_EQ(v.FFps, 29.97);
    EXPECT_EQ(v.FAspectRatioX, 5);
    EXPECT_EQ(v.FAspectratioY, 4);
}

TEST(ExifTool, TheSettingDefaultsToTheToolAndAppliesWhenLoaded)
{
    QWidget owner;
    TOrvanePreferences prefs(&owner);
    TQXActionList list;
    TStringAction* setting = createExifToolAction(&list);
    EXPECT_EQ(setting->Caption(), QStringLiteral("ExifToolFile"));
    EXPECT_EQ(setting->ScriptName(), QStringLiteral("FichierExifTool"));
    ASSERT_TRUE(list.loadfromprefs(prefs));
    EXPECT_EQ(setting->Value, defaultExifToolPath());
    EXPECT_EQ(exifToolPath(), defaultExifToolPath());
    setting->setValue(QString());
    EXPECT_TRUE(exifToolPath().isEmpty());
    setting->setValue(defaultExifToolPath());
    EXPECT_EQ(exifToolPath(), defaultExifToolPath());
}
