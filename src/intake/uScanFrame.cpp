#include "uScanFrame.h"

#include "uBaseCommon.h"
#include "uBloc.h"
#include "uBrowseEdit.h"
#include "uDensityWatch.h"
#include "uScriptAction.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

bool TScanExtensions::accepts(const QString& wLowerExtension) const
{
    return (wLowerExtension == QLatin1String(".mp4") && mp4) || (wLowerExtension == QLatin1String(".mov") && mov);
}

// ---------------------------------------------------------------------------

QString storeFailureText(int count, int sqliteCode)
{
    const QString files = count == 1 ? QStringLiteral("1 file") : QString::number(count) + QStringLiteral(" files");
    return QStringLiteral("Scan ended: ") + files + QStringLiteral(" could not be stored, ")
        + catalogueFailureReason(sqliteCode);
}

void TScanHandlers::install(TQXFileBox& box)
{
    FBox = &box;
    box.OnOpenStart = [this] { openStart(); };
    box.OnOpenFolderFound = [this](const QString& wfolder) { folderFound(wfolder); };
    box.OnOpenFileFound = [this](TDriveFichier& sf) { fileFound(sf); };
    box.OnOpenEnd = [this] { openEnd(); };
    box.OnListCountChange = [this] { listCountChange(); };
}

void TScanHandlers::showText(const QString& text)
{
    if (setStatusText)
        setStatusText(text);
}

void TScanHandlers::refresh()
{
    FLastRefresh.start();
    if (refreshList)
        refreshList();
}

void TScanHandlers::openStart()
{
    showText(QStringLiteral("Start of scan"));
}

void TScanHandlers::folderFound(const QString& wfolder)
{
    showText(QStringLiteral("Scaning ") + wfolder);
}

void TScanHandlers::fileFound(TDriveFichier& sf)
{
    if (setStatusState)
        setStatusState(psLoading);
    showText(QStringLiteral("Scanning ") + sf.FFilename);
    if (!FLastRefresh.isValid() || FLastRefresh.elapsed() >= kRefreshIntervalMs)
        refresh();
}

void TScanHandlers::openEnd()
{
    if (setStatusState)
        setStatusState(psReady);
    // Said in place of "Ready", where the user looks when a scan ends; it stays until the next status.
    const int failed = FBox ? FBox->storeFailures() : 0;
    showText(failed > 0 ? storeFailureText(failed, FBox->storeError()) : QStringLiteral("Ready"));
    refresh();
}

void TScanHandlers::listCountChange()
{
    refresh();
}

// ---------------------------------------------------------------------------

TScanFrame::TScanFrame(QWidget* parent)
    : QWidget(parent), FScanPanel(new QWidget(this)), FDensity(new TDensityWatch(this, [this] { applyScale(); }))
{
    // The scan half keeps its own child and layout; the export half goes beside it.
    auto* halves = new QHBoxLayout(this);
    halves->setContentsMargins(0, 0, 0, 0);
    halves->addWidget(FScanPanel);
    halves->addStretch(1);

    FScanPanel->setObjectName(QStringLiteral("scanPanel"));
    FScanPanel->setAutoFillBackground(true);
    QPalette silver = FScanPanel->palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    FScanPanel->setPalette(silver);

    heading = new QLabel(QStringLiteral("Open a folder containing videos"), FScanPanel);
    heading->setAlignment(Qt::AlignCenter);
    folderBox = new TFolderEdit(heading->text(), FScanPanel);
    folderBox->setDialogTitle(QStringLiteral("Select a folder"));
    heading->setBuddy(folderBox->edit());
    cbIncludeSubFolders = new QCheckBox(QStringLiteral("Include subfolders"), FScanPanel);
    cbMp4 = new QCheckBox(QStringLiteral("List Mp4"), FScanPanel);
    cbMov = new QCheckBox(QStringLiteral("List Mov"), FScanPanel);
    ClearBtn = new QPushButton(QStringLiteral("Clear"), FScanPanel);
    ClearBtn->setToolTip(QStringLiteral("Delete the list of videos"));
    ClearBtn->setAccessibleDescription(ClearBtn->toolTip());
    ScanBtn = new QPushButton(QStringLiteral("Scan"), FScanPanel);
    ScanBtn->setToolTip(QStringLiteral("Scan the folder for videos to list"));
    ScanBtn->setAccessibleDescription(ScanBtn->toolTip());
    const auto boldText = [](QPushButton* button, const QColor& colour) {
        QPalette p = button->palette();
        p.setColor(QPalette::ButtonText, colour);
        button->setPalette(p);
        QFont f = button->font();
        f.setBold(true);
        button->setFont(f);
    };
    boldText(ClearBtn, QColor(0x00, 0x00, 0x80)); // navy
    boldText(ScanBtn, QColor(0x80, 0x00, 0x00));  // maroon

    auto* column = new QVBoxLayout(FScanPanel);
    column->addWidget(heading);
    column->addWidget(folderBox);
    column->addWidget(cbIncludeSubFolders);
    column->addWidget(cbMp4);
    column->addWidget(cbMov);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ClearBtn);
    buttons->addStretch(1);
    buttons->addWidget(ScanBtn);
    column->addLayout(buttons);

    connect(ScanBtn, &QPushButton::clicked, this, &TScanFrame::scan);
    connect(ClearBtn, &QPushButton::clicked, this, &TScanFrame::clear);
    applyScale();
}

void TScanFrame::applyScale()
{
    const int dpi = logicalDpiY();
    FScanPanel->setFixedSize(scalePixels(340, dpi), scalePixels(200, dpi));
    QFont text(QStringLiteral("Segoe UI"));
    text.setPixelSize(scalePixels(15, dpi));
    FScanPanel->setFont(text);
    QFont bold = text;
    bold.setBold(true);
    heading->setFont(bold);
    ClearBtn->setFont(bold);
    ScanBtn->setFont(bold);
}

void TScanFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FDensity->watch();
    applyScale();
}

void TScanFrame::bindSettings(TStringAction* waScanFolder, TBooleanAction* baIncludeSubFolders, TBooleanAction* baMp4,
                              TBooleanAction* baMov)
{
    FScanFolder = waScanFolder;
    FIncludeSubFolders = baIncludeSubFolders;
    FMp4 = baMp4;
    FMov = baMov;

    FScanFolder->OnAfterApply = [this](const QString& v) { folderBox->setText(v); };
    FIncludeSubFolders->OnAfterApply = [this](const bool& v) { cbIncludeSubFolders->setChecked(v); };
    FMp4->OnAfterApply = [this](const bool& v) {
        FExtensions.mp4 = v;
        cbMp4->setChecked(v);
    };
    FMov->OnAfterApply = [this](const bool& v) {
        FExtensions.mov = v;
        cbMov->setChecked(v);
    };
    folderBox->setText(FScanFolder->Value);
    cbIncludeSubFolders->setChecked(FIncludeSubFolders->Value);
    cbMp4->setChecked(FMp4->Value);
    cbMov->setChecked(FMov->Value);
    FExtensions.mp4 = FMp4->Value;
    FExtensions.mov = FMov->Value;

    // A user's click writes back; a change made by an apply is already the value.
    connect(cbIncludeSubFolders, &QCheckBox::clicked, this, [this](bool on) { FIncludeSubFolders->setValue(on); });
    connect(cbMp4, &QCheckBox::clicked, this, [this](bool on) { FMp4->setValue(on); });
    connect(cbMov, &QCheckBox::clicked, this, [this](bool on) { FMov->setValue(on); });
    connect(folderBox, &TBrowseEdit::chosen, this, [this](const QString& folder) { FScanFolder->setValue(folder); });
    // A folder typed in the box is kept as well as one chosen with the button.
    connect(folderBox->edit(), &QLineEdit::editingFinished, this, [this] {
        if (folderBox->text() != FScanFolder->Value)
            FScanFolder->setValue(folderBox->text());
    });
}

void TScanFrame::setExportPanel(QWidget* panel)
{
    panel->setParent(this);
    static_cast<QHBoxLayout*>(layout())->insertWidget(1, panel);
}

TTestExtensionEvent TScanFrame::extensionTest() const
{
    const TScanExtensions* extensions = &FExtensions;
    return [extensions](const QString& wLowerExtension) { return extensions->accepts(wLowerExtension); };
}

void TScanFrame::scan()
{
    if (!FFileBox)
        return;
    const QString folder = folderBox->text();
    if (cbIncludeSubFolders->isChecked())
        FFileBox->openFolder(folder);
    else
        FFileBox->openFolderFiles(folder);
}

void TScanFrame::clear()
{
    if (FFileBox)
        FFileBox->vider();
    if (OnClear)
        OnClear();
}
