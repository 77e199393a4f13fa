// The workbook the export writes, from a real catalogue file, read back by
// Python's own spreadsheet readers.
#include "ExportFixture.h"
#include "uDateTime.h"
#include "uExporterFichier.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList kColumns = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                              QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("H")};

// Files written from here on fail past a few hundred bytes, as on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    rlimit saved{};
    void (*previous)(int) = nullptr;
};

} // namespace

class TwoFoldersTest : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a1.mp4"), 1500);
        addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a2.MOV"), 2500);
        addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a3.mp4"), 2000);
        addVideo(QStringLiteral("/videos/B/"), QStringLiteral("b1.mp4"), 1200);
        addVideo(QStringLiteral("/videos/B/"), QStringLiteral("b2.mov"), 3000);
    }

    // The cells both file formats must hold alike.
    void expectCells(const QJsonObject& book)
    {
        ASSERT_EQ(sheetNames(book), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
        const QJsonObject a = sheets(book).at(0).toObject();
        EXPECT_EQ(text(a, QStringLiteral("A1")), QStringLiteral("/videos/A/"));
        const QStringList titles = {QStringLiteral("File"),     QStringLiteral("Date"),
                                    QStringLiteral("Time"),     QStringLiteral("Duration"),
                                    QStringLiteral("Description"), QStringLiteral("Voice Over")};
        for (int col = 0; col < titles.size(); ++col)
            EXPECT_EQ(text(a, kColumns[col] + QStringLiteral("3")), titles[col]);
        EXPECT_TRUE(cell(a, QStringLiteral("G3")).isEmpty());
        EXPECT_EQ(text(a, QStringLiteral("A4")), QStringLiteral("a1"));
        EXPECT_EQ(text(a, QStringLiteral("A5")), QStringLiteral("a2"));
        EXPECT_EQ(text(a, QStringLiteral("A6")), QStringLiteral("a3"));
        EXPECT_EQ(text(a, QStringLiteral("B4")),
                  QLocale::system().toString(fromDateTime(created).date(), QLocale::ShortFormat));
        EXPECT_TRUE(text(a, QStringLiteral("C4")).contains(QStringLiteral(":52:58")))
            << text(a, QStringLiteral("C4")).toStdString();
        EXPECT_EQ(text(a, QStringLiteral("D4")), QStringLiteral("0:00:01.500"));
        EXPECT_EQ(text(a, QStringLiteral("D5")), QStringLiteral("0:00:02.500"));
        for (const QString& ref : {QStringLiteral("A7"), QStringLiteral("B7"), QStringLiteral("A9")})
            EXPECT_TRUE(cell(a, ref).isEmpty()) << ref.toStdString();
        EXPECT_EQ(text(a, QStringLiteral("A8")), QStringLiteral("3 Files - Duation :0:00:06.000"));
        const QJsonObject b = sheets(book).at(1).toObject();
        EXPECT_EQ(text(b, QStringLiteral("A1")), QStringLiteral("/videos/B/"));
        EXPECT_EQ(text(b, QStringLiteral("A5")), QStringLiteral("b2"));
        EXPECT_EQ(text(b, QStringLiteral("A7")), QStringLiteral("2 Files - Duation :0:00:04.200"));
        // Every value is text, dates and durations included.
        for (const QJsonValue& s : sheets(book)) {
            const QJsonObject cells = s.toObject().value(QStringLiteral("cells")).toObject();
            for (auto it = cells.begin(); it != cells.end(); ++it) {
                const QJsonObject c = it.value().toObject();
                if (!c.value(QStringLiteral("value")).isNull()) {
                    EXPECT_EQ(c.value(QStringLiteral("type")).toString(), QStringLiteral("s"))
                        << it.key().toStdString();
                }
            }
        }
        // Even rows grey, A to F; the odd row between them plain.
        for (int col = 0; col < 6; ++col) {
            EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("4")), QStringLiteral("D0D0D0"));
            EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("5")), QString());
            EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("6")), QStringLiteral("D0D0D0"));
        }
        EXPECT_EQ(fill(a, QStringLiteral("G4")), QString());
        EXPECT_EQ(fill(a, QStringLiteral("A1")), QStringLiteral("FFFF00"));
        EXPECT_TRUE(cell(a, QStringLiteral("A1")).value(QStringLiteral("bold")).toBool());
        EXPECT_EQ(cell(a, QStringLiteral("A1")).value(QStringLiteral("size")).toDouble(), 12);
        EXPECT_TRUE(cell(a, QStringLiteral("A8")).value(QStringLiteral("bold")).toBool());
        EXPECT_EQ(cell(a, QStringLiteral("A8")).value(QStringLiteral("size")).toDouble(), 10);
        EXPECT_FALSE(cell(a, QStringLiteral("A4")).value(QStringLiteral("bold")).toBool());
    }
};

TEST_F(TwoFoldersTest, EachFolderGetsASheetWithItsTitlesRowsAndTotal)
{
    const QString dest = out + QStringLiteral("/list.xlsx");
    TExcelExportMode target(dest, {}, kExcelFormatXlsx);
    EXPECT_EQ(target.maxCol, QLatin1Char('F'));
    ASSERT_TRUE(exportList(target, box->Source()));
    EXPECT_EQ(target.message(), QString());
    EXPECT_EQ(target.savedFile(), dest);
    EXPECT_EQ(filesIn(out), QStringList({QStringLiteral("list.xlsx")}));

    const QJsonObject book = readWorkbook(dest);
    expectCells(book);
    for (const QJsonValue& value : sheets(book)) {
        const QJsonObject sheet = value.toObject();
        const QJsonObject header = sheet.value(QStringLiteral("header")).toObject();
        const QJsonObject footer = sheet.value(QStringLiteral("footer")).toObject();
        EXPECT_EQ(header.value(QStringLiteral("center")).toString(),
                  QStringLiteral("List of Videos loaded in Movarium"));
        EXPECT_TRUE(header.value(QStringLiteral("left")).isNull());
        EXPECT_TRUE(header.value(QStringLiteral("right")).isNull());
        EXPECT_EQ(footer.value(QStringLiteral("left")).toString(), QStringLiteral("Page &P on &T"));
        EXPECT_TRUE(footer.value(QStringLiteral("right")).toString().startsWith(QStringLiteral("Made on ")));
        // Left-aligned with an indent of one, titles, rows and totals alike.
        for (const QString& ref :
             {QStringLiteral("A1"), QStringLiteral("C3"), QStringLiteral("D4"), QStringLiteral("E4")}) {
            EXPECT_EQ(cell(sheet, ref).value(QStringLiteral("align")).toString(), QStringLiteral("left"))
                << ref.toStdString();
            EXPECT_EQ(cell(sheet, ref).value(QStringLiteral("indent")).toDouble(), 1) << ref.toStdString();
        }
    }
    // Widths fit the content: the folder title is the longest text of column A.
    const QJsonObject a = sheets(book).at(0).toObject();
    const QJsonObject widths = a.value(QStringLiteral("widths")).toObject();
    EXPECT_GE(widths.value(QStringLiteral("A")).toDouble(), QStringLiteral("/videos/A/").size() * 12.0 / 11);
    EXPECT_GE(widths.value(QStringLiteral("D")).toDouble(), QStringLiteral("0:00:01.500").size());
    EXPECT_LT(widths.value(QStringLiteral("D")).toDouble(), widths.value(QStringLiteral("A")).toDouble() + 5);
    EXPECT_GE(widths.value(QStringLiteral("F")).toDouble(), QStringLiteral("Voice Over").size());

    // The export only reads: the list and the catalogue are as they were.
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers WHERE Listed=1")), 5);
    EXPECT_EQ(box->Count(), 5);
}

TEST_F(TwoFoldersTest, LegacyFormatsGiveAnXlsFileWithTheSameCells)
{
    const QString dest = exportFileName(out, 43, QDateTime(QDate(2024, 8, 18), QTime(20, 52, 58)));
    EXPECT_EQ(dest, out + QStringLiteral("/MovariumExport_20240818_205258.xls"));
    TExcelExportMode target(dest, {}, 43);
    ASSERT_TRUE(exportList(target, box->Source()));
    EXPECT_EQ(target.message(), QString());
    EXPECT_EQ(target.savedFile(), dest);
    // Neither the workbook it was made from nor a part-written file stays behind.
    EXPECT_EQ(filesIn(out), QStringList({QStringLiteral("MovariumExport_20240818_205258.xls")}));
    expectCells(readWorkbook(dest));
}

TEST_F(TwoFoldersTest, WithoutAWorkingConverterTheXlsxIsKeptAndTheStatusSaysSo)
{
    const struct {
        const char* converter;
        const char* says;
    } cases[] = {
        {"/nonexistent/ssconvert", " is not installed: the export was kept as "},
        {"false", " could not convert to .xls: the export was kept as "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.converter);
        const QString dest = out + QStringLiteral("/list.xls");
        const QString kept = out + QStringLiteral("/list.xlsx");
        TExcelExportMode target(dest, {}, 16);
        target.FConverter = QString::fromUtf8(c.converter);
        ASSERT_TRUE(exportList(target, box->Source()));
        EXPECT_EQ(target.savedFile(), kept);
        EXPECT_EQ(target.message(), QString::fromUtf8(c.converter) + QString::fromUtf8(c.says) + kept);
        EXPECT_EQ(filesIn(out), QStringList({QStringLiteral("list.xlsx")}));
        expectCells(readWorkbook(kept));
        QFile::remove(kept);
    }
}

TEST_F(ExportTest, OptionalColumnsComeAfterVoiceOverAndTheShadingCoversThem)
{
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("Clip.MP4"), 5000);
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("other.mov"), 5000);
    const struct {
        bool folder, extension;
        char maxCol;
        const char *g, *h;
    } cases[] = {
        {false, false, 'F', nullptr, nullptr},
        {true, false, 'G', "Folder", nullptr},
        {false, true, 'G', "Extension", nullptr},
        {true, true, 'H', "Folder", "Extension"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("folder %1, extension %2").arg(c.folder).arg(c.extension).toStdString());
        const QString dest = out + QStringLiteral("/columns.xlsx");
        TExcelExportMode target(dest, {c.folder, c.extension}, 0);
        EXPECT_EQ(target.maxCol, QLatin1Char(c.maxCol));
        ASSERT_TRUE(exportList(target, box->Source()));
        const QJsonObject a = sheets(readWorkbook(dest)).at(0).toObject();
        const auto value = [](const char* title) -> QString {
            if (!title)
                return QString();
            return QString::fromLatin1(title) == QLatin1String("Folder") ? QStringLiteral("/videos/A/")
                                                                         : QStringLiteral(".mp4");
        };
        EXPECT_EQ(text(a, QStringLiteral("G3")), QString::fromLatin1(c.g));
        EXPECT_EQ(text(a, QStringLiteral("H3")), QString::fromLatin1(c.h));
        EXPECT_EQ(text(a, QStringLiteral("G4")), value(c.g));
        EXPECT_EQ(text(a, QStringLiteral("H4")), value(c.h));
        const int last = c.maxCol - 'A';
        EXPECT_EQ(fill(a, kColumns[last] + QStringLiteral("4")), QStringLiteral("D0D0D0"));
        if (last + 1 < kColumns.size()) {
            EXPECT_EQ(fill(a, kColumns[last + 1] + QStringLiteral("4")), QString());
        }
        QFile::remove(dest);
    }
}

TEST_F(ExportTest, VideosUnderOneSecondAreShadedRedEvenOnAGreyRow)
{
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("none.mp4"), 0);
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("short.mp4"), 999);
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("second.mp4"), 1000);
    const QString dest = out + QStringLiteral("/short.xlsx");
    TExcelExportMode target(dest, {}, kExcelFormatXlsx);
    ASSERT_TRUE(exportList(target, box->Source()));
    const QJsonObject a = sheets(readWorkbook(dest)).at(0).toObject();
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("4")), QStringLiteral("FFBEBE"));
        EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("5")), QStringLiteral("FFBEBE"));
        EXPECT_EQ(fill(a, kColumns[col] + QStringLiteral("6")), QStringLiteral("D0D0D0"));
    }
    EXPECT_EQ(text(a, QStringLiteral("D4")), QStringLiteral("0:00:00.000"));
    EXPECT_EQ(text(a, QStringLiteral("A8")), QStringLiteral("3 Files - Duation :0:00:01.999"));
}

TEST_F(ExportTest, SheetNamesTheFormatRefusesGiveWayToValidOnesAndNoRowIsLost)
{
    const QString longName = QStringLiteral("A folder name far longer than thirty-one characters");
    const QStringList folders = {QStringLiteral("/disk1/2023/"), QStringLiteral("/disk2/2023/"),
                                 QStringLiteral("/x/a[b]:c*?\\d/"), QStringLiteral("/y/") + longName + QLatin1Char('/'),
                                 QStringLiteral("/z/'quoted'/"), QStringLiteral("/"),
                                 QStringLiteral("/e/") + QString(30, QLatin1Char('x')) + QString::fromUtf8("\U0001F600/")};
    for (const QString& folder : folders) {
        addVideo(folder, QStringLiteral("one.mp4"), 2000);
        addVideo(folder, QStringLiteral("two.mp4"), 2000);
    }
    const QString dest = out + QStringLiteral("/names.xlsx");
    TExcelExportMode target(dest, {}, kExcelFormatXlsx);
    ASSERT_TRUE(exportList(target, box->Source()));
    const QJsonObject book = readWorkbook(dest);
    const QStringList names = sheetNames(book);
    ASSERT_EQ(names.size(), folders.size()) << names.join(QLatin1Char('|')).toStdString();
    QSet<QString> seen;
    QStringList titles;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        EXPECT_FALSE(name.isEmpty());
        EXPECT_LE(name.size(), 31) << name.toStdString();
        for (const QChar c : QStringLiteral("[]:*?/\\"))
            EXPECT_FALSE(name.contains(c)) << name.toStdString();
        EXPECT_FALSE(name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\''))) << name.toStdString();
        EXPECT_FALSE(seen.contains(name.toLower())) << name.toStdString();
        seen.insert(name.toLower());
        const QJsonObject sheet = sheets(book).at(i).toObject();
        titles << text(sheet, QStringLiteral("A1"));
        EXPECT_EQ(text(sheet, QStringLiteral("A4")), QStringLiteral("one"));
        EXPECT_EQ(text(sheet, QStringLiteral("A5")), QStringLiteral("two"));
        EXPECT_EQ(text(sheet, QStringLiteral("A7")), QStringLiteral("2 Files - Duation :0:00:04.000"));
    }
    titles.sort();
    QStringList expected = folders;
    expected.sort();
    EXPECT_EQ(titles, expected);
    EXPECT_TRUE(names.contains(QStringLiteral("2023")));
    EXPECT_TRUE(names.contains(QStringLiteral("2023 (2)")));
    EXPECT_TRUE(names.contains(longName.left(31)));
}

TEST_F(ExportTest, AnEmptyListWritesAWorkbookWithOneEmptySheet)
{
    const QString dest = out + QStringLiteral("/empty.xlsx");
    TExcelExportMode target(dest, {true, true}, kExcelFormatXlsx);
    ASSERT_TRUE(exportList(target, box->Source()));
    const QJsonArray all = sheets(readWorkbook(dest));
    ASSERT_EQ(all.size(), 1);
    EXPECT_TRUE(all.at(0).toObject().value(QStringLiteral("cells")).toObject().isEmpty());
}

TEST_F(ExportTest, AFolderThatCannotTakeTheFileGetsNoFileAndTheReason)
{
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a1.mp4"), 1500);
    const QString plainFile = dir.write(QStringLiteral("plain"), "x");
    const QString locked = dir.file(QStringLiteral("locked"));
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const struct {
        QString folder;
        const char* says;
    } cases[] = {
        {dir.file(QStringLiteral("missing")), " does not exist"},
        {plainFile, " does not exist"},
        {locked, " cannot be written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        if (c.folder == locked && geteuid() == 0)
            continue; // the superuser writes anywhere
        TExcelExportMode target(c.folder + QStringLiteral("/list.xlsx"), {}, kExcelFormatXlsx);
        EXPECT_FALSE(exportList(target, box->Source()));
        EXPECT_EQ(target.message(),
                  QStringLiteral("Export aborted: the folder ") + c.folder + QString::fromUtf8(c.says));
        EXPECT_EQ(target.savedFile(), QString());
        EXPECT_FALSE(QFileInfo::exists(c.folder + QStringLiteral("/list.xlsx")));
    }
    EXPECT_TRUE(filesIn(locked).isEmpty());
}

TEST_F(ExportTest, AFullDiskLeavesNoFileUnderAnyNameAndSaysSo)
{
    for (int i = 0; i < 50; ++i)
        addVideo(QStringLiteral("/videos/A/"), QStringLiteral("clip%1.mp4").arg(i), 1500);
    const QString dest = out + QStringLiteral("/full.xlsx");
    TExcelExportMode target(dest, {}, kExcelFormatXlsx);
    bool written = true;
    {
        const FileSizeLimit limit(512);
        written = exportList(target, box->Source());
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(target.message().startsWith(QStringLiteral("Export failed: "))) << target.message().toStdString();
    EXPECT_EQ(target.savedFile(), QString());
    EXPECT_TRUE(filesIn(out).isEmpty()) << filesIn(out).join(QLatin1Char(' ')).toStdString();
}

TEST(ExportFileNameTest, TheFormatChoosesTheExtension)
{
    const QDateTime moment(QDate(2024, 8, 18), QTime(20, 52, 58));
    const struct {
        int format;
        const char* name;
    } cases[] = {
        {0, "/e/MovariumExport_20240818_205258.xlsx"},  {51, "/e/MovariumExport_20240818_205258.xlsx"},
        {16, "/e/MovariumExport_20240818_205258.xls"},  {29, "/e/MovariumExport_20240818_205258.xls"},
        {33, "/e/MovariumExport_20240818_205258.xls"},  {39, "/e/MovariumExport_20240818_205258.xls"},
        {43, "/e/MovariumExport_20240818_205258.xls"},  {56, "/e/MovariumExport_20240818_205258.xls"},
        {40, "/e/MovariumExport_20240818_205258.xlsx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exportFileName(QStringLiteral("/e"), c.format, moment), QString::fromLatin1(c.name)) << c.format;
        EXPECT_EQ(exportFileName(QStringLiteral("/e/"), c.format, moment), QString::fromLatin1(c.name)) << c.format;
    }
}
