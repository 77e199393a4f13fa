#include "uExportFrame.h"

#include "uBloc.h"
#include "uBrowseEdit.h"
#include "uDensityWatch.h"
#include "uExporterFichier.h"
#include "uScriptAction.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

void openOnDesktop(const QString& fileName)
{
    // Without a desktop to answer (no xdg-open), this fails at once and harmlessly.
    QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

TExportFrame::TExportFrame(QWidget* parent)
    : QWidget(parent),
      // Like the scan half beside it, this half keeps its size at the screen's density.
      FDensity(new TDensityWatch(this, [this] { applyScale(); }))
{
    setObjectName(QStringLiteral("exportPanel"));
    setAccessibleName(QStringLiteral("Export panel"));
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);

    heading = new QLabel(QStringLiteral("Select a folder for Export"), this);
    heading->setAlignment(Qt::AlignCenter);
    folderBox = new TFolderEdit(heading->text(), this);
    folderBox->setDialogTitle(QStringLiteral("Select a folder"));
    heading->setBuddy(folderBox->edit());
    cbColumnFolder = new QCheckBox(QStringLiteral("Include the column Folder"), this);
    cbColumnFolder->setAccessibleName(cbColumnFolder->text());
    cbColumnExtension = new QCheckBox(QStringLiteral("Include the column Extension"), this);
    cbColumnExtension->setAccessibleName(cbColumnExtension->text());
    // Alt+E exports from anywhere in the window.
    ExportBtn = new QPushButton(QStringLiteral("&Export"), this);
    ExportBtn->setAccessibleName(QStringLiteral("Export"));
    ExportBtn->setToolTip(QStringLiteral("Export an Excel file with the list of videos"));
    ExportBtn->setAccessibleDescription(ExportBtn->toolTip());
    QPalette maroon = ExportBtn->palette();
    maroon.setColor(QPalette::ButtonText, QColor(0x80, 0x00, 0x00));
    ExportBtn->setPalette(maroon);

    auto* column = new QVBoxLayout(this);
    column->addWidget(heading);
    column->addWidget(folderBox);
    column->addWidget(cbColumnFolder);
    column->addWidget(cbColumnExtension);
    column->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ExportBtn);
    column->addLayout(buttons);

    connect(ExportBtn, &QPushButton::clicked, this, [this] { doExport(); });
    applyScale();
}

void TExportFrame::applyScale()
{
    const int dpi = logicalDpiY();
    setFixedSize(scalePixels(340, dpi), scalePixels(200, dpi));
    QFont text(QStringLiteral("Segoe UI"));
    text.setPixelSize(scalePixels(15, dpi));
    setFont(text);
    QFont bold = text;
    bold.setBold(true);
    heading->setFont(bold);
    ExportBtn->setFont(bold);
}

void TExportFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FDensity->watch();
    applyScale();
}

void TExportFrame::bindSettings(TStringAction* waExportFolder, TStringAction* waExportExcelFile,
                                TBooleanAction* baColumnFolder, TBooleanAction* baColumnExtension,
                                TIntegerAction* iaExcelFormat)
{
    FExportFolder = waExportFolder;
    FColumnFolder = baColumnFolder;
    FColumnExtension = baColumnExtension;
    FExcelFormat = iaExcelFormat;

    FExportFolder->OnAfterApply = [this](const QString& v) { folderBox->setText(v); };
    waExportExcelFile->OnAfterApply = [this](const QString& v) { folderBox->setText(v); };
    FColumnFolder->OnAfterApply = [this](const bool& v) { cbColumnFolder->setChecked(v); };
    FColumnExtension->OnAfterApply = [this](const bool& v) { cbColumnExtension->setChecked(v); };
    folderBox->setText(FExportFolder->Value);
    cbColumnFolder->setChecked(FColumnFolder->Value);
    cbColumnExtension->setChecked(FColumnExtension->Value);

    // A user's click writes back; a change made by an apply is already the value.
    connect(cbColumnFolder, &QCheckBox::clicked, this, [this](bool on) { FColumnFolder->setValue(on); });
    connect(cbColumnExtension, &QCheckBox::clicked, this, [this](bool on) { FColumnExtension->setValue(on); });
    connect(folderBox, &TBrowseEdit::chosen, this, [this](const QString& folder) { FExportFolder->setValue(folder); });
    connect(folderBox->edit(), &QLineEdit::editingFinished, this, [this] {
        if (folderBox->text() != FExportFolder->Value)
            FExportFolder->setValue(folderBox->text());
    });
}

void TExportFrame::showStatus(const QString& text)
{
    if (setStatusText)
        setStatusText(text);
}

QString TExportFrame::doExport()
{
    if (!FFileBox || !FExportFolder)
        return QString();
    const int format = FExcelFormat ? FExcelFormat->Value : 0;
    TExcelExportMode target(exportFileName(FExportFolder->Value, format, QDateTime::currentDateTime()),
                            {FColumnFolder && FColumnFolder->Value, FColumnExtension && FColumnExtension->Value},
                            format);
    target.FConverter = Converter;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    exportList(target, FFileBox->Source());
    QGuiApplication::restoreOverrideCursor();
    const QString saved = target.savedFile();
    showStatus(target.message().isEmpty() ? QStringLiteral("Exported to ") + saved : target.message());
    if (!saved.isEmpty() && OpenFile)
        OpenFile(saved);
    return saved;
}
