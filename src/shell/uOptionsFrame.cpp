#include "uOptionsFrame.h"

#include "uBrowseEdit.h"
#include "uPreferences.h"
#include "uScriptAction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A read-only note under a page's controls.
QPlainTextEdit* note(const QStringList& lines, QWidget* parent, bool italic = false)
{
    auto* text = new QPlainTextEdit(lines.join(QLatin1Char('\n')), parent);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setAccessibleName(QStringLiteral("Note"));
    if (italic) {
        QFont font = text->font();
        font.setItalic(true);
        text->setFont(font);
    }
    return text;
}

QWidget* labelled(const QString& label, QWidget* control, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(label, box);
    caption->setBuddy(control);
    layout->addWidget(caption);
    control->setParent(box);
    layout->addWidget(control);
    return box;
}

// The path typed or chosen in a box becomes the setting's value.
void bindPath(TBrowseEdit* box, TStringAction* action)
{
    QObject::connect(box, &TBrowseEdit::chosen, action, [action](const QString& path) { action->setValue(path); });
    QObject::connect(box->edit(), &QLineEdit::editingFinished, action, [box, action] {
        if (box->text() != action->Value)
            action->setValue(box->text());
    });
}

struct TExcelEntry {
    int format;
    const char* caption;
};

// The spreadsheet's own file-format numbers.
const TExcelEntry kExcelFormats[] = {
    {16, "Excel version 2.0 (1987)"}, {29, "Excel version 3.0 (1990)"}, {33, "Excel version 4.0 (1992)"},
    {39, "Excel version 5.0 (1994)"}, {43, "Excel versions 95 and 97"}, {51, "Excel 2007 and later (.xlsx)"},
};

} // namespace

TOptionsFrame::TOptionsFrame(QWidget* parent)
    : QWidget(parent),
      FPages(new QTabWidget(this)),
      FMode(new QButtonGroup(this)),
      FHW(new QButtonGroup(this)),
      FDatabase(new TFileEdit(QStringLiteral("Database Filename"))),
      FExifTool(new TFileEdit(QStringLiteral("Exiftool file"))),
      FPrivateFolder(new TFolderEdit(QStringLiteral("Folder for private filters"))),
      FUsePrivate(new QCheckBox(QStringLiteral("Use private filters"))),
      FCuvid(new QCheckBox(QStringLiteral("Enable CUVID DXVA processing "))),
      FExcel(new QComboBox)
{
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FPages);

    auto* prefsPage = new QWidget(FPages);
    auto* prefsLayout = new QVBoxLayout(prefsPage);
    auto* modeBox = new QGroupBox(QStringLiteral("How to save the preferences when quit"), prefsPage);
    modeBox->setToolTip(QStringLiteral("Indicate where the Preferences will be saved in order to retrieve them at next launch."));
    auto* modeLayout = new QVBoxLayout(modeBox);
    const char* const modes[] = {"Normal Mode (registry)", "Portable Mode (USB key)", "Do not save when quit"};
    for (int m = 0; m < 3; ++m) {
        auto* radio = new QRadioButton(QString::fromLatin1(modes[m]), modeBox);
        FMode->addButton(radio, m);
        modeLayout->addWidget(radio);
    }
    prefsLayout->addWidget(modeBox);
    prefsLayout->addWidget(note({}, prefsPage));
    FPages->addTab(prefsPage, QStringLiteral("Preferences"));

    auto* filesPage = new QWidget(FPages);
    auto* filesLayout = new QVBoxLayout(filesPage);
    FDatabase->setFileMode(QFileDialog::AnyFile);
    FDatabase->setNameFilter(QStringLiteral("Databases (*.db3);;All files (*)"));
    filesLayout->addWidget(labelled(QStringLiteral("Database Filename"), FDatabase, filesPage));
    filesLayout->addWidget(labelled(QStringLiteral("Exiftool file"), FExifTool, filesPage));
    filesLayout->addWidget(note({}, filesPage));
    FPages->addTab(filesPage, QStringLiteral("Files"));

    auto* filtersPage = new QWidget(FPages);
    auto* filtersLayout = new QVBoxLayout(filtersPage);
    auto* privateBox = new QGroupBox(QStringLiteral("Private Filters"), filtersPage);
    auto* privateLayout = new QVBoxLayout(privateBox);
    FUsePrivate->setParent(privateBox);
    privateLayout->addWidget(FUsePrivate);
    privateLayout->addWidget(labelled(QStringLiteral("Folder for private filters"), FPrivateFolder, privateBox));
    filtersLayout->addWidget(privateBox);
    filtersLayout->addWidget(note({}, filtersPage));
    FPages->addTab(filtersPage, QStringLiteral("Filters"));

    auto* hwPage = new QWidget(FPages);
    auto* hwLayout = new QHBoxLayout(hwPage);
    auto* hwBox = new QGroupBox(QStringLiteral("Hardware Decoder to use"), hwPage);
    auto* hwBoxLayout = new QVBoxLayout(hwBox);
    const char* const decoders[] = {"None", "NVIDIA CUVID", "Intel QuickSync", "DXVA2 (copy back)", "DXVA2 (native)", "D3D11"};
    for (int d = 0; d < 6; ++d) {
        auto* radio = new QRadioButton(QString::fromLatin1(decoders[d]), hwBox);
        FHW->addButton(radio, d);
        hwBoxLayout->addWidget(radio);
    }
    FCuvid->setParent(hwBox);
    hwBoxLayout->addWidget(FCuvid);
    hwLayout->addWidget(hwBox);
    hwLayout->addWidget(note({QString(), QString(), QStringLiteral("Test here the different decoders "),
                              QStringLiteral("Hardware that may be used by "),
                              QStringLiteral("the  LAV Video Decoder filter to improve "),
                              QStringLiteral("the fluidity of 4K videos playback."), QString(),
                              QStringLiteral("After each change made here, you "), QStringLiteral("should "),
                              QStringLiteral("reload the video for it to take effect."), QString(),
                              QStringLiteral("When you have found the one that gives "),
                              QStringLiteral("the best results on your "),
                              QStringLiteral("system, don't change it anymore. ")},
                             hwPage));
    FPages->addTab(hwPage, QStringLiteral("Hardware Acceleration"));

    auto* excelPage = new QWidget(FPages);
    auto* excelLayout = new QVBoxLayout(excelPage);
    for (const TExcelEntry& entry : kExcelFormats)
        FExcel->addItem(QString::fromLatin1(entry.caption), entry.format);
    FExcel->setCurrentIndex(FExcel->findData(43));
    excelLayout->addWidget(labelled(QStringLiteral("Version of exported Excel files"), FExcel, excelPage));
    excelLayout->addWidget(note({QString(), QStringLiteral("Choose the Excel version for exporting the data of "),
                                 QStringLiteral("videos. NB: Movarium can export only into versions .xls  in "),
                                 QStringLiteral("32 bits. But the files thus created should be compatible with all the "),
                                 QStringLiteral("more recent versions of 'Excel.")},
                                excelPage, true));
    FPages->addTab(excelPage, QStringLiteral("Excel"));
}

void TOptionsFrame::bindPreferences(TOrvanePreferences* prefs)
{
    connect(FMode, &QButtonGroup::idClicked, prefs,
            [prefs](int id) { prefs->setMode(static_cast<TSavePreferences>(id)); });
    showMode(prefs->mode());
}

void TOptionsFrame::bindFiles(TStringAction* waFichierBase, TStringAction* waFichierExifTool)
{
    bindPath(FDatabase, waFichierBase);
    bindPath(FExifTool, waFichierExifTool);
}

void TOptionsFrame::bindFilters(TBooleanAction* baUsePrivateFilters, TStringAction* waPrivateFolder)
{
    connect(FUsePrivate, &QCheckBox::clicked, baUsePrivateFilters, [baUsePrivateFilters](bool on) {
        baUsePrivateFilters->setValue(on);
    });
    // The folder is kept with its trailing separator.
    connect(FPrivateFolder, &TBrowseEdit::chosen, waPrivateFolder, [waPrivateFolder](const QString& path) {
        waPrivateFolder->setValue(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
    });
}

void TOptionsFrame::bindHardware(TIntegerAction* iaHWDecoder, TBooleanAction* baEnableCuvidDXVA)
{
    connect(FHW, &QButtonGroup::idClicked, iaHWDecoder, [iaHWDecoder](int id) { iaHWDecoder->setValue(id); });
    connect(FCuvid, &QCheckBox::clicked, baEnableCuvidDXVA, [baEnableCuvidDXVA](bool on) {
        baEnableCuvidDXVA->setValue(on);
    });
}

void TOptionsFrame::bindExcel(TIntegerAction* iaExcelFormat)
{
    connect(FExcel, &QComboBox::activated, iaExcelFormat, [this, iaExcelFormat](int index) {
        iaExcelFormat->setValue(FExcel->itemData(index).toInt());
    });
}

void TOptionsFrame::showDatabaseFile(const QString& path)
{
    FDatabase->setText(path);
}

void TOptionsFrame::showExifToolFile(const QString& path)
{
    FExifTool->setText(path);
}

void TOptionsFrame::showPrivateFolder(const QString& path)
{
    FPrivateFolder->setText(path);
}

void TOptionsFrame::showUsePrivateFilters(bool use)
{
    FUsePrivate->setChecked(use);
}

void TOptionsFrame::showHWDecoder(int index)
{
    if (QAbstractButton* button = FHW->button(index))
        button->setChecked(true);
}

void TOptionsFrame::showCuvidDXVA(bool enabled)
{
    FCuvid->setChecked(enabled);
}

void TOptionsFrame::showExcelFormat(int format)
{
    // A number the list does not name leaves it as it was; the export still uses it.
    const int index = FExcel->findData(format);
    if (index >= 0)
        FExcel->setCurrentIndex(index);
}

void TOptionsFrame::showMode(int mode)
{
    if (QAbstractButton* button = FMode->button(mode))
        button->setChecked(true);
}
