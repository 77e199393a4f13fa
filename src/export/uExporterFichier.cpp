#include "uExporterFichier.h"

#include "uBase.h"
#include "uDateTime.h"
#include "uLog.h"
#include "uProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kLegacyFormats[] = {16, 29, 33, 39, 43, 56};

constexpr lxw_color_t kYellow = 0xFFFF00;
constexpr lxw_color_t kGrey = 0xD0D0D0;
constexpr lxw_color_t kShortVideo = 0xFFBEBE;

// Excel's limits on a worksheet name.
constexpr int kSheetNameMax = 31;
const QString kSheetNameForbidden = QStringLiteral("[]:*?/\\");

// The first n characters, never splitting a character outside the basic plane.
QString leftChars(const QString& text, int n)
{
    QString left = text.left(n);
    if (!left.isEmpty() && left.back().isHighSurrogate())
        left.chop(1);
    return left;
}

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

// The user's long time form without its time zone, which a clock time in a
// file listing does not need.
QString longTimeText(const QTime& time)
{
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    format.remove(QRegularExpression(QStringLiteral("^\\s*t+\\s*")));
    return locale.toString(time, format.trimmed());
}

// Column width in Excel's units (characters of the default 11 point font),
// estimated from the text since the writer cannot measure it. The indent
// and the cell margins take about three characters.
double textWidth(const QString& text, double fontSize, bool bold)
{
    const double scale = fontSize / 11.0 * (bold ? 1.1 : 1.0);
    return text.size() * scale + 3.0;
}

lxw_format* newFormat(lxw_workbook* workbook)
{
    // The columns are left-aligned with an indent of one, shaded cells included.
    lxw_format* format = workbook_add_format(workbook);
    format_set_align(format, LXW_ALIGN_LEFT);
    format_set_indent(format, 1);
    return format;
}

lxw_format* filledFormat(lxw_workbook* workbook, lxw_color_t colour)
{
    lxw_format* format = newFormat(workbook);
    format_set_pattern(format, LXW_PATTERN_SOLID);
    format_set_bg_color(format, colour);
    return format;
}

// The data reaches the disk before a rename makes the file the export, so
// that a crash of the whole system leaves the earlier file or the new one,
// never a file of the new name with nothing in it.
bool syncToDisk(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Puts a whole temporary file in the place of the destination in one step.
bool replaceWith(const QString& temporary, const QString& destination)
{
    return syncToDisk(temporary)
        && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) == 0;
}

} // namespace

bool isLegacyExcelFormat(int aExcelFormat)
{
    for (int format : kLegacyFormats) {
        if (format == aExcelFormat)
            return true;
    }
    return false;
}

QString exportFileName(const QString& aFolder, int aExcelFormat, const QDateTime& moment)
{
    const QString folder = aFolder.endsWith(QLatin1Char('/')) ? aFolder : aFolder + QLatin1Char('/');
    return folder + QStringLiteral("MovariumExport_") + moment.toString(QStringLiteral("yyyyMMdd_HHmmss"))
        + (isLegacyExcelFormat(aExcelFormat) ? QStringLiteral(".xls") : QStringLiteral(".xlsx"));
}

// ---------------------------------------------------------------------------

TExportMode::TExportMode(const QString& aDestFile, TExportColumns columns)
    : FDestFile(aDestFile),
      FColumns(columns),
      maxCol(QLatin1Char(static_cast<char>('F' + (columns.folder ? 1 : 0) + (columns.extension ? 1 : 0))))
{
}

// ---------------------------------------------------------------------------

void TExcelExportMode::WorkbookCloser::operator()(lxw_workbook* workbook) const
{
    // Only an export that did not finish gets here: its workbook is dropped unwritten.
    lxw_workbook_free(workbook);
}

TExcelExportMode::TExcelExportMode(const QString& aDestFile, TExportColumns columns, int aExcelFormat)
    : TExportMode(aDestFile, columns), FExcelFormat(aExcelFormat)
{
}

TExcelExportMode::~TExcelExportMode()
{
    ExcelWorkBook.reset();
    if (!FTempFile.isEmpty())
        QFile::remove(FTempFile);
}

int TExcelExportMode::columnCount() const
{
    return maxCol.toLatin1() - 'A' + 1;
}

void TExcelExportMode::fail(const QString& text)
{
    if (FMessage.isEmpty())
        FMessage = text;
}

bool TExcelExportMode::initExport()
{
    FullFolder.clear();
    ShortFolder.clear();
    const QFileInfo folder(QFileInfo(FDestFile).absolutePath());
    if (!folder.isDir()) {
        fail(QStringLiteral("Export aborted: the folder ") + folder.filePath() + QStringLiteral(" does not exist"));
        return false;
    }
    if (!folder.isWritable()) {
        fail(QStringLiteral("Export aborted: the folder ") + folder.filePath() + QStringLiteral(" cannot be written"));
        return false;
    }
    // A hidden name in the same folder, so that the final rename cannot cross file systems.
    FTempFile = folder.filePath() + QStringLiteral("/.") + QFileInfo(FDestFile).completeBaseName()
        + QStringLiteral(".") + QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".xlsx");
    ExcelWorkBook.reset(workbook_new(utf8(FTempFile).constData()));
    if (!ExcelWorkBook) {
        FTempFile.clear();
        fail(QStringLiteral("Impossible to create an Excel Workbook on your system. The command will abort."));
        return false;
    }
    lxw_workbook* workbook = ExcelWorkBook.get();
    FPlain = newFormat(workbook);
    FGrey = filledFormat(workbook, kGrey);
    FShort = filledFormat(workbook, kShortVideo);
    FFolderTitle = filledFormat(workbook, kYellow);
    format_set_font_size(FFolderTitle, 12);
    format_set_bold(FFolderTitle);
    FTotal = newFormat(workbook);
    format_set_font_size(FTotal, 10);
    format_set_bold(FTotal);
    return true;
}

bool TExcelExportMode::writeText(int row, int col, const QString& text, lxw_format* format, double fontSize, bool bold)
{
    if (!ExcelWorkSheet)
        return false;
    // Rows and columns count from 1 here as in the sheet's own names; the writer counts from 0.
    const lxw_error result = text.isEmpty()
        ? worksheet_write_blank(ExcelWorkSheet, row - 1, static_cast<lxw_col_t>(col - 1), format)
        : worksheet_write_string(ExcelWorkSheet, row - 1, static_cast<lxw_col_t>(col - 1), utf8(text).constData(),
                                 format);
    if (result == LXW_NO_ERROR && col <= static_cast<int>(FWidths.size()) && !text.isEmpty())
        FWidths[col - 1] = std::max(FWidths[col - 1], textWidth(text, fontSize, bold));
    return result == LXW_NO_ERROR;
}

QString TExcelExportMode::sheetNameFor(const QString& aShortFolder) const
{
    QString name;
    for (const QChar c : aShortFolder)
        name += kSheetNameForbidden.contains(c) ? QChar(QLatin1Char('_')) : c;
    // A name may not begin or end with an apostrophe.
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Sheet");
    name = leftChars(name, kSheetNameMax);
    // Two folders of one name ("2023" on two disks) each keep a sheet: the later gets a number.
    const auto taken = [this](const QString& candidate) {
        return FSheetNames.contains(candidate, Qt::CaseInsensitive);
    };
    QString candidate = name;
    for (int n = 2; taken(candidate); ++n) {
        const QString suffix = QStringLiteral(" (") + QString::number(n) + QLatin1Char(')');
        candidate = leftChars(name, kSheetNameMax - suffix.size()) + suffix;
    }
    return candidate;
}

void TExcelExportMode::initSheet(const QString& aFullFolder)
{
    if (!FullFolder.isEmpty())
        FinishSheet();
    FullFolder = aFullFolder;
    QString trimmed = aFullFolder;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    ShortFolder = QFileInfo(trimmed).fileName();
    SheetDuration = 0;
    SheetNumber = 0;
    if (!ExcelWorkBook)
        return;

    // A name the writer still refuses gives way to a plain numbered one, so that no row is lost.
    lxw_worksheet* sheet = nullptr;
    for (const QString& name : {sheetNameFor(ShortFolder), sheetNameFor(QStringLiteral("Sheet"))}) {
        if (workbook_validate_sheet_name(ExcelWorkBook.get(), utf8(name).constData()) == LXW_NO_ERROR)
            sheet = workbook_add_worksheet(ExcelWorkBook.get(), utf8(name).constData());
        if (sheet)
            break;
    }
    ExcelWorkSheet = sheet;
    if (!sheet)
        return;
    FSheetNames.append(QString::fromUtf8(sheet->name));
    FWidths.assign(columnCount(), 0.0);

    writeText(1, 1, FullFolder, FFolderTitle, 12, true);

    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    worksheet_set_header(sheet, utf8(QStringLiteral("&C") + Ftitre).constData());
    const QString madeOn = QStringLiteral("Made on ") + locale.toString(now.date(), QLocale::LongFormat)
        + QStringLiteral(" at ") + now.toString(QStringLiteral("HH:mm:ss"));
    worksheet_set_footer(sheet, utf8(QStringLiteral("&LPage &P on &T&R") + madeOn).constData());

    lig = 3;
    QStringList titles = {QStringLiteral("File"),        QStringLiteral("Date"),
                          QStringLiteral("Time"),        QStringLiteral("Duration"),
                          QStringLiteral("Description"), QStringLiteral("Voice Over")};
    if (FColumns.folder)
        titles << QStringLiteral("Folder");
    if (FColumns.extension)
        titles << QStringLiteral("Extension");
    for (int col = 0; col < titles.size(); ++col)
        writeText(lig, col + 1, titles.at(col), FPlain);
}

bool TExcelExportMode::addExport(const TVideoFichier& aVideoFichier)
{
    if (!ExcelWorkBook)
        return false;
    if (aVideoFichier.FFolder != FullFolder || !ExcelWorkSheet)
        initSheet(aVideoFichier.FFolder);
    if (!ExcelWorkSheet)
        return false;
    ++SheetNumber;
    SheetDuration += aVideoFichier.FDuration;
    ++lig;

    // Under one second is suspect (no metadata, say): that shade wins over the grey.
    lxw_format* shade = aVideoFichier.FDuration < 1000 ? FShort : (lig % 2 == 0 ? FGrey : FPlain);
    const QDateTime created = fromDateTime(aVideoFichier.FCreationDate);
    const QLocale locale = QLocale::system();
    QStringList values = {aVideoFichier.nameWithoutExtension(), locale.toString(created.date(), QLocale::ShortFormat),
                          longTimeText(created.time()), durationText(aVideoFichier.FDuration), QString(), QString()};
    if (FColumns.folder)
        values << aVideoFichier.FFolder;
    if (FColumns.extension)
        values << aVideoFichier.FExtension.toLower();
    bool written = writeText(lig, 1, values.at(0), shade);
    for (int col = 1; col < values.size(); ++col)
        writeText(lig, col + 1, values.at(col), shade);
    return written;
}

void TExcelExportMode::FinishSheet()
{
    if (!ExcelWorkSheet)
        return;
    lig += 2;
    const QString total =
        QString::number(SheetNumber) + QStringLiteral(" Files - Duation :") + durationText(SheetDuration);
    writeText(lig, 1, total, FTotal, 10, true);
    for (int col = 0; col < static_cast<int>(FWidths.size()); ++col) {
        const double width = FWidths[col] > 0 ? FWidths[col] : LXW_DEF_COL_WIDTH;
        worksheet_set_column(ExcelWorkSheet, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), width, FPlain);
    }
}

bool TExcelExportMode::finishExport()
{
    if (!ExcelWorkBook)
        return false;
    if (!FullFolder.isEmpty())
        FinishSheet();
    else
        // An empty list still gives a workbook, with its one empty sheet.
        workbook_add_worksheet(ExcelWorkBook.get(), nullptr);
    return save();
}

bool TExcelExportMode::save()
{
    const lxw_error written = workbook_close(ExcelWorkBook.release());
    if (written != LXW_NO_ERROR) {
        QFile::remove(FTempFile);
        FTempFile.clear();
        fail(QStringLiteral("Export failed: ") + QString::fromUtf8(lxw_strerror(written)) + QStringLiteral(" (")
             + QFileInfo(FDestFile).absolutePath() + QLatin1Char(')'));
        return false;
    }
    if (isLegacyExcelFormat(FExcelFormat))
        return convertToLegacy(FTempFile);
    // rename() replaces an export made within the same second in one step.
    if (!replaceWith(FTempFile, FDestFile)) {
        QFile::remove(FTempFile);
        FTempFile.clear();
        fail(QStringLiteral("Export failed: ") + FDestFile + QStringLiteral(" could not be written"));
        return false;
    }
    FTempFile.clear();
    FSavedFile = FDestFile;
    return true;
}

bool TExcelExportMode::convertToLegacy(const QString& xlsxFile)
{
    const QFileInfo dest(FDestFile);
    const QString kept = dest.absolutePath() + QLatin1Char('/') + dest.completeBaseName() + QStringLiteral(".xlsx");
    const QString legacyTemp = dest.absolutePath() + QStringLiteral("/.") + dest.completeBaseName()
        + QLatin1Char('.') + QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".xls");
    TCapturedRun run;
    const bool started = runCaptured(FConverter,
                                     {QStringLiteral("--import-type=Gnumeric_Excel:xlsx"),
                                      QStringLiteral("--export-type=Gnumeric_Excel:excel_biff8"), xlsxFile, legacyTemp},
                                     dest.absolutePath(), FConverterTimeoutMs, run);
    const bool converted = started && run.finished && run.exitCode == 0 && QFileInfo(legacyTemp).size() > 0;
    if (converted
        && replaceWith(legacyTemp, FDestFile)) {
        QFile::remove(xlsxFile);
        FTempFile.clear();
        FSavedFile = FDestFile;
        return true;
    }
    QFile::remove(legacyTemp);
    // The workbook itself is whole: keep it rather than lose the export.
    if (!replaceWith(xlsxFile, kept)) {
        QFile::remove(xlsxFile);
        FTempFile.clear();
        fail(QStringLiteral("Export failed: ") + kept + QStringLiteral(" could not be written"));
        return false;
    }
    FTempFile.clear();
    FSavedFile = kept;
    if (!started)
        fail(FConverter + QStringLiteral(" is not installed: the export was kept as ") + kept);
    else if (!run.finished)
        fail(FConverter + QStringLiteral(" took too long: the export was kept as ") + kept);
    else
        fail(FConverter + QStringLiteral(" could not convert to .xls: the export was kept as ") + kept);
    return true;
}

// ---------------------------------------------------------------------------

bool exportList(TExportMode& target, TTableSource& source)
{
    if (!target.initExport())
        return false;
    TVideoFichier record;
    if (source.first(0, -1)) {
        do {
            if (record.getFromCurseur(source.curseur()))
                target.addExport(record);
        } while (source.next());
    }
    source.close();
    return target.finishExport();
}
