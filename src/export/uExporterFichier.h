#pragma once

#include "uVideoFichiers.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;
class TTableSource;

// The two optional columns, as the settings stand when an export starts.
struct TExportColumns {
    bool folder = false;
    bool extension = false;
};

// The format numbers the options page offers: the spreadsheet program's own.
// Those of the legacy versions are written as .xls, every other one as .xlsx.
constexpr int kExcelFormatXlsx = 51;
bool isLegacyExcelFormat(int aExcelFormat);
// folder + "MovariumExport_yyyymmdd_hhmmss" + ".xls" or ".xlsx" as the format asks.
QString exportFileName(const QString& aFolder, int aExcelFormat, const QDateTime& moment);

// A target of the export. The columns are fixed when the target is created, so
// that a setting changed meanwhile cannot make rows of different widths.
class TExportMode {
public:
    TExportMode(const QString& aDestFile, TExportColumns columns);
    virtual ~TExportMode() = default;
    TExportMode(const TExportMode&) = delete;
    TExportMode& operator=(const TExportMode&) = delete;

    virtual bool initExport() = 0;
    virtual bool addExport(const TVideoFichier& aVideoFichier) = 0;
    virtual bool finishExport() = 0;

    const QString FDestFile;
    const TExportColumns FColumns;
    // "F", "G" or "H": the last column used.
    const QChar maxCol;
};

// Writes the list into a workbook: one worksheet per folder, one row per
// video, a total line per sheet. The workbook goes to a temporary name in the
// destination folder and takes its final name only once it is whole. Nothing
// here throws or asks the user anything: the results and message() say how it went.
class TExcelExportMode : public TExportMode {
public:
    TExcelExportMode(const QString& aDestFile, TExportColumns columns, int aExcelFormat);
    ~TExcelExportMode() override;

    bool initExport() override;
    bool addExport(const TVideoFichier& aVideoFichier) override;
    bool finishExport() override;
    void initSheet(const QString& aFullFolder);
    void FinishSheet();

    // The converter that turns the workbook into a legacy .xls file.
    QString FConverter = QStringLiteral("ssconvert");
    int FConverterTimeoutMs = 120000;

    // The file actually written: FDestFile, or the .xlsx kept when the
    // conversion could not be made; empty when nothing was written.
    QString savedFile() const { return FSavedFile; }
    // What went wrong, in words for the status bar; empty when all went well.
    QString message() const { return FMessage; }

    const QString Ftitre = QStringLiteral("List of Videos loaded in Movarium");
    QString FullFolder;
    QString ShortFolder;
    qint64 SheetDuration = 0;
    int SheetNumber = 0;
    int lig = 0;

private:
    struct WorkbookCloser {
        void operator()(lxw_workbook* workbook) const;
    };

    int columnCount() const;
    // Writes a text cell and widens its column to fit it.
    bool writeText(int row, int col, const QString& text, lxw_format* format, double fontSize = 11, bool bold = false);
    QString sheetNameFor(const QString& aShortFolder) const;
    bool save();
    bool convertToLegacy(const QString& xlsxFile);
    void fail(const QString& text);

    const int FExcelFormat;
    std::unique_ptr<lxw_workbook, WorkbookCloser> ExcelWorkBook;
    lxw_worksheet* ExcelWorkSheet = nullptr;
    lxw_format* FPlain = nullptr;
    lxw_format* FGrey = nullptr;
    lxw_format* FShort = nullptr;
    lxw_format* FFolderTitle = nullptr;
    lxw_format* FTotal = nullptr;
    std::vector<double> FWidths;
    QStringList FSheetNames;
    QString FTempFile;
    QString FSavedFile;
    QString FMessage;
};

// The export of a list: one row per record of the source, in its order.
// Answers whether the file was written; target.message() says why not.
bool exportList(TExportMode& target, TTableSource& source);
