#pragma once

#include "uQXFileBox.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class TBooleanAction;
class TDensityWatch;
class TFolderEdit;
class TIntegerAction;
class TStringAction;

// Asks the desktop to open the file with its default program.
void openOnDesktop(const QString& fileName);

// The export half of the scan panel: the export folder, the two optional
// columns and the button that writes the list to a spreadsheet file. The
// settings behind the controls are the main window's actions, bound both ways.
class TExportFrame : public QWidget {
    Q_OBJECT
public:
    explicit TExportFrame(QWidget* parent = nullptr);

    // waExportExcelFile shows its value in the folder box after every apply too.
    void bindSettings(TStringAction* waExportFolder, TStringAction* waExportExcelFile,
                      TBooleanAction* baColumnFolder, TBooleanAction* baColumnExtension,
                      TIntegerAction* iaExcelFormat);
    // The box whose list is exported.
    void setFileBox(TQXFileBox* box) { FFileBox = box; }

    // Where the export tells how it went.
    std::function<void(const QString& text)> setStatusText;
    // Shows the written file; the desktop's default program unless replaced.
    std::function<void(const QString& fileName)> OpenFile = openOnDesktop;
    // The program that converts the workbook to the legacy .xls formats.
    QString Converter = QStringLiteral("ssconvert");

    QLabel* heading;
    TFolderEdit* folderBox;
    QCheckBox* cbColumnFolder;
    QCheckBox* cbColumnExtension;
    QPushButton* ExportBtn;

    // Writes the list, in list order, to a new file in the export folder and
    // opens it. Answers the file written, empty when none was.
    QString doExport();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyScale();
    void showStatus(const QString& text);

    QPointer<TQXFileBox> FFileBox;
    TStringAction* FExportFolder = nullptr;
    TBooleanAction* FColumnFolder = nullptr;
    TBooleanAction* FColumnExtension = nullptr;
    TIntegerAction* FExcelFormat = nullptr;
    TDensityWatch* FDensity;
};
