#include "TestSupport.h"
#include "uBaseCommon.h"
#include "uBlocsFrame.h"
#include "uBrowseEdit.h"
#include "uDataVue.h"
#include "uDrives.h"
#include "uExportFrame.h"
#include "uLinkEdit.h"
#include "uLog.h"
#include "uOptionsFrame.h"
#include "uPreferences.h"
#include "uQXAppliMan.h"
#include "uQXFileBox.h"
#include "uScriptAction.h"
#include "uScriptForm.h"
#include "uStatusBar.h"
#include "uVideoFichiers.h"
#include "uViewFrame.h"
#include "uVolumes.h"
#include "umain.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

namespace {

// The whole main window on a fresh home, data and configuration folder.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = std::make_unique<TBaseCommon>();
        form = std::make_unique<TMainForm>(base.get());
        form->prefs->setProgramFolder(dir.path() + QLatin1Char('/'));
        form->show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        form.reset();
        base.reset();
        TVolumeService::instance().setMountTable(QString());
    }

    // Stores listed records whose files are made in the folder.
    void addVideos(int n)
    {
        for (int i = 0; i < n; ++i) {
            TVideoFichier v;
            ASSERT_TRUE(v.loadFromFilename(dir.write(QStringLiteral("Videos/clip%1.mp4").arg(i, 2, 10, QLatin1Char('0')), "x")));
            ASSERT_TRUE(v.insertnew());
        }
        form->Bframe->updateSource();
        form->displaycount();
    }

    QString countText() const { return form->StatusBar->text(form->BoxPanel()); }

    FreshHome dir;
    std::unique_ptr<TBaseCommon> base;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(MainFormTest, FirstStartOpensTheCatalogueAndWelcomes)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Movarium 1.0.3.9 fr by Tessaly"));
    ASSERT_NE(base->base(), nullptr);
    const QStringList log = logLines();
    const QString path = dir.file(QStringLiteral("data/Movarium/Movarium.db3"));
    const qsizetype first = log.indexOf(QStringLiteral("*** File ") + path + QStringLiteral(" does not exists ***"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(log.mid(first + 1, 8),
              QStringList({QStringLiteral("Close Database"), QStringLiteral("Trying to Open Database ") + path,
                           QStringLiteral("*** Directory ") + dir.file(QStringLiteral("data/Movarium/"))
                               + QStringLiteral(" does not exist ***"),
                           QStringLiteral("... Directories OK"), QStringLiteral("... Database created and assigned"),
                           QStringLiteral("DrivesTable added"), QStringLiteral("VideoFichiers added"),
                           QStringLiteral("wideupper function has been created")}));
    EXPECT_TRUE(log.contains(QStringLiteral("Variable PATH:")));
    EXPECT_EQ(countText(), QStringLiteral("No file selected among 0"));
    EXPECT_EQ(form->ViewFrame->rxVue->richText(), errorText(ecBienvenue, currentVideo()));
    EXPECT_EQ(form->StatusBar->text(form->MsgPanel()), QStringLiteral("Ready"));
    EXPECT_EQ(form->box->Sort(), QStringLiteral("Folder,CreationDate ASC"));
    EXPECT_GE(form->width(), form->minimumWidth());
    form->resize(100, 100);
    EXPECT_EQ(form->size(), form->minimumSize());
}

TEST_F(MainFormTest, CountTextsFollowTheSelection)
{
    addVideos(12);
    EXPECT_EQ(countText(), QStringLiteral("No file selected among 12"));
    EXPECT_EQ(form->ViewFrame->rxVue->richText(), errorText(ecNoFileSelected, currentVideo()));

    form->Bframe->FSelectedList.add(1);
    form->selectBloc(0);
    EXPECT_EQ(countText(), QStringLiteral("One file selected among 12"));
    EXPECT_EQ(currentVideo().FListName, QStringLiteral("clip00.mp4"));
    EXPECT_TRUE(form->DataFrame->leLimitedExif->richText().contains(QStringLiteral("clip00.mp4")));
    EXPECT_EQ(form->ViewFrame->rxVue->richText(), errorText(ecPatience, currentVideo()));

    form->Bframe->FSelectedList.add(2);
    form->displaycount();
    EXPECT_EQ(countText(), QStringLiteral("2 files selected among 12"));
}

TEST_F(MainFormTest, FlippingMovesTheListAndItsCountPanel)
{
    addVideos(1);
    form->showMessage(QStringLiteral("a message"));
    const int details = form->DataFrame->width();
    EXPECT_EQ(form->DataFrame->x(), 2);
    EXPECT_EQ(form->StatusBar->text(0), QStringLiteral("No file selected among 1"));

    form->caListeLeft->setChecked(false);
    EXPECT_EQ(form->DataFrame->x(), form->width() - details - 2);
    EXPECT_EQ(form->Bframe->x(), form->DataFrame->x());
    EXPECT_EQ(form->ViewFrame->x(), 2);
    EXPECT_EQ(form->StatusBar->text(1), QStringLiteral("No file selected among 1"));
    EXPECT_EQ(form->StatusBar->text(0), QStringLiteral("a message"));
    EXPECT_EQ(form->StatusBar->panelWidth(0), form->width() - details - 2);

    form->caListeLeft->setChecked(true);
    EXPECT_EQ(form->DataFrame->x(), 2);
    EXPECT_EQ(form->ViewFrame->x(), details + 10);
    EXPECT_EQ(form->StatusBar->text(0), QStringLiteral("No file selected among 1"));
}

// A macro typed in the script window reaches the settings of every list of the
// window, not only the application manager's: the main list, the file box and
// the catalogue's file.
TEST_F(MainFormTest, AMacroReachesEveryListOfTheWindow)
{
    const QString other = dir.file(QStringLiteral("other.db3"));
    const struct {
        QString line;
        std::function<bool()> applied;
    } cases[] = {
        {QStringLiteral("setListeLeft(False);"), [this] { return !form->caListeLeft->Checked() && form->ViewFrame->x() == 2; }},
        {QStringLiteral("Mp4(False);"), [this] { return !form->baMp4->Value; }},
        {QStringLiteral("FichierBase('") + other + QStringLiteral("');"), [other] { return QFileInfo::exists(other); }},
        // after the catalogue's hand-over, which sets the sort of its own
        {QStringLiteral("Sort('ListName ASC');"), [this] { return form->box->wrSort->Value == QStringLiteral("ListName ASC"); }},
        {QStringLiteral("setOptions(True);"), [this] { return form->OptionsFrame->isVisible(); }},
    };
    QStringList body;
    for (const auto& c : cases)
        body << c.line;
    TScriptForm* script = form->am->ScriptForm();
    script->editor()->setPlainText(QStringLiteral("begin ") + body.join(QLatin1Char(' ')) + QStringLiteral(" end."));
    EXPECT_TRUE(script->runMacro()) << script->status().toStdString();
    for (const auto& c : cases)
        EXPECT_TRUE(c.applied()) << c.line.toStdString();
}

TEST_F(MainFormTest, AFileOnAnUnpluggedDiskNamesItsDisk)
{
    const QString mountPoint = dir.file(QStringLiteral("usb"));
    const QString line = QStringLiteral("1 1 0:99 / %1 rw - vfat /dev/sdz1 rw\n");
    TVolumeService::instance().setMountTable(line.arg(QStringLiteral("/")) + line.arg(mountPoint));
    TVideoFichier v;
    ASSERT_TRUE(v.loadFromFilename(dir.write(QStringLiteral("usb/Holiday.MP4"), "x")));
    ASSERT_TRUE(v.insertnew());
    QFile::remove(v.FFilename);
    TVolumeService::instance().setMountTable(line.arg(QStringLiteral("/")));
    form->Bframe->updateSource();
    form->Bframe->FSelectedList.add(v.numero);
    form->selectBloc(0);
    const QString screen = form->ViewFrame->rxVue->richText();
    EXPECT_EQ(screen, errorText(ecFileNotFound, currentVideo()));
    EXPECT_TRUE(screen.contains(QStringLiteral("holiday.mp4")));
    EXPECT_TRUE(screen.contains(QStringLiteral("Check if the disk ") + mountPoint + QStringLiteral("/ is connected")));
}

TEST_F(MainFormTest, SettingsComeBackAtTheNextStart)
{
    form->prefs->setMode(spRegistre);
    form->caListeLeft->setChecked(false);
    form->baMov->setValue(false);
    form->iaExcelFormat->setValue(40);
    form->close();
    QApplication::processEvents();
    form.reset();

    form = std::make_unique<TMainForm>(base.get());
    form->prefs->setProgramFolder(dir.path() + QLatin1Char('/'));
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(form->prefs->mode(), spRegistre);
    EXPECT_FALSE(form->caListeLeft->Checked());
    EXPECT_FALSE(form->baMov->Value);
    EXPECT_EQ(form->iaExcelFormat->Value, 40);
    EXPECT_EQ(form->ViewFrame->x(), 2);
}

TEST_F(MainFormTest, TheExportHalfSitsBesideTheScanHalfAndExportsTheList)
{
    auto* exportFrame = form->scanframe->findChild<TExportFrame*>();
    ASSERT_NE(exportFrame, nullptr);
    const QWidget* scanHalf = form->scanframe->scanPanel();
    EXPECT_GE(exportFrame->x(), scanHalf->x() + scanHalf->width());
    EXPECT_LE(exportFrame->geometry().right(), form->scanframe->width());
    EXPECT_EQ(exportFrame->folderBox->text(), getPersonalFolder());
    form->baColumnFolder->setValue(true);
    EXPECT_TRUE(exportFrame->cbColumnFolder->isChecked());

    QStringList opened;
    exportFrame->OpenFile = [&opened](const QString& file) { opened << file; };
    form->iaExcelFormat->setValue(51);
    addVideos(2);
    exportFrame->ExportBtn->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened.first()).absolutePath(), dir.file(QStringLiteral("Documents")));
    EXPECT_TRUE(opened.first().endsWith(QStringLiteral(".xlsx")));
    EXPECT_EQ(form->StatusBar->text(form->MsgPanel()), QStringLiteral("Exported to ") + opened.first());
}
