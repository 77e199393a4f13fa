// The export half of the scan panel, offscreen, bound to real actions and
// exporting the list of a real catalogue file.
#include "ExportFixture.h"
#include "uBrowseEdit.h"
#include "uExportFrame.h"
#include "uExporterFichier.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

namespace {

// The main window's export settings, in a list of their own.
struct Settings {
    TQXActionList list;
    TStringAction* waExportFolder = new TStringAction(QStringLiteral("waExportFolder"), &list);
    TStringAction* waExportExcelFile = new TStringAction(QStringLiteral("waExportExcelFile"), &list);
    TBooleanAction* baColumnFolder = new TBooleanAction(QStringLiteral("baColumnFolder"), &list);
    TBooleanAction* baColumnExtension = new TBooleanAction(QStringLiteral("baColumnExtension"), &list);
    TIntegerAction* iaExcelFormat = new TIntegerAction(QStringLiteral("iaExcelFormat"), &list);

    void bind(TExportFrame& frame)
    {
        frame.bindSettings(waExportFolder, waExportExcelFile, baColumnFolder, baColumnExtension, iaExcelFormat);
    }
};

} // namespace

class ExportFrameTest : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        settings.waExportFolder->Value = out;
        settings.iaExcelFormat->Value = kExcelFormatXlsx;
        settings.bind(frame);
        frame.setFileBox(box.get());
        frame.setStatusText = [this](const QString& text) { status << text; };
        frame.OpenFile = [this](const QString& file) { opened << file; };
    }

    Settings settings;
    TExportFrame frame;
    QStringList status;
    QStringList opened;
};

TEST_F(ExportFrameTest, ControlsAndSettingsFollowEachOther)
{
    EXPECT_EQ(frame.heading->text(), QStringLiteral("Select a folder for Export"));
    EXPECT_EQ(frame.cbColumnFolder->text(), QStringLiteral("Include the column Folder"));
    EXPECT_EQ(frame.cbColumnExtension->text(), QStringLiteral("Include the column Extension"));
    EXPECT_EQ(frame.ExportBtn->text(), QStringLiteral("&Export"));
    EXPECT_EQ(frame.ExportBtn->toolTip(), QStringLiteral("Export an Excel file with the list of videos"));
    EXPECT_TRUE(frame.ExportBtn->font().bold());
    EXPECT_EQ(frame.ExportBtn->palette().color(QPalette::ButtonText), QColor(0x80, 0x00, 0x00));
    for (QWidget* control : std::initializer_list<QWidget*>{frame.folderBox->edit(), frame.folderBox->button(),
                                                             frame.cbColumnFolder, frame.cbColumnExtension,
                                                             frame.ExportBtn})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(frame.folderBox->text(), out);

    // Applying a setting shows it.
    settings.baColumnFolder->setValue(true);
    settings.baColumnExtension->setValue(true);
    EXPECT_TRUE(frame.cbColumnFolder->isChecked());
    EXPECT_TRUE(frame.cbColumnExtension->isChecked());
    settings.waExportFolder->setValue(QStringLiteral("/first"));
    EXPECT_EQ(frame.folderBox->text(), QStringLiteral("/first"));
    settings.waExportExcelFile->setValue(QStringLiteral("/second"));
    EXPECT_EQ(frame.folderBox->text(), QStringLiteral("/second"));

    // The user's changes set the settings.
    QTest::mouseClick(frame.cbColumnFolder, Qt::LeftButton, {}, frame.cbColumnFolder->rect().center());
    frame.cbColumnExtension->click();
    EXPECT_FALSE(settings.baColumnFolder->Value);
    EXPECT_FALSE(settings.baColumnExtension->Value);
    emit frame.folderBox->chosen(QStringLiteral("/chosen"));
    EXPECT_EQ(settings.waExportFolder->Value, QStringLiteral("/chosen"));
    frame.folderBox->edit()->setText(QStringLiteral("/typed"));
    emit frame.folderBox->edit()->editingFinished();
    EXPECT_EQ(settings.waExportFolder->Value, QStringLiteral("/typed"));
}

TEST_F(ExportFrameTest, ExportWritesTheListInListOrderAndOpensTheFile)
{
    addVideo(QStringLiteral("/videos/B/"), QStringLiteral("b1.mp4"), 1200);
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a2.mp4"), 1500);
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a1.mp4"), 1500);
    settings.baColumnExtension->setValue(true);
    frame.ExportBtn->click();

    ASSERT_EQ(opened.size(), 1);
    const QString file = opened.first();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(out)
                                   + QStringLiteral("/MovariumExport_\\d{8}_\\d{6}\\.xlsx$"))
                    .match(file)
                    .hasMatch())
        << file.toStdString();
    EXPECT_EQ(status, QStringList({QStringLiteral("Exported to ") + file}));
    const QJsonObject book = readWorkbook(file);
    ASSERT_EQ(sheetNames(book), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    const QJsonObject a = sheets(book).at(0).toObject();
    EXPECT_EQ(text(a, QStringLiteral("A4")), QStringLiteral("a2"));
    EXPECT_EQ(text(a, QStringLiteral("A5")), QStringLiteral("a1"));
    EXPECT_EQ(text(a, QStringLiteral("G3")), QStringLiteral("Extension"));
    EXPECT_EQ(box->Count(), 3);
}

TEST_F(ExportFrameTest, AFailedExportSaysWhyAndOpensNothing)
{
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a1.mp4"), 1500);
    const QString missing = dir.file(QStringLiteral("missing"));
    settings.waExportFolder->setValue(missing);
    EXPECT_EQ(frame.doExport(), QString());
    EXPECT_EQ(status, QStringList({QStringLiteral("Export aborted: the folder ") + missing
                                   + QStringLiteral(" does not exist")}));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ExportFrameTest, AMissingConverterKeepsTheXlsxAndSaysSo)
{
    addVideo(QStringLiteral("/videos/A/"), QStringLiteral("a1.mp4"), 1500);
    settings.iaExcelFormat->setValue(43);
    frame.Converter = QStringLiteral("/nonexistent/ssconvert");
    const QString file = frame.doExport();
    EXPECT_TRUE(file.endsWith(QStringLiteral(".xlsx"))) << file.toStdString();
    EXPECT_EQ(status, QStringList({QStringLiteral("/nonexistent/ssconvert is not installed: the export was kept as ")
                                   + file}));
    EXPECT_EQ(opened, QStringList({file}));
}
