// The scan half of the scan panel, offscreen, bound to real actions and driving
// a real file box on a real catalogue file.
#include "FileBoxFixture.h"
#include "uBloc.h"
#include "uBrowseEdit.h"
#include "uQXFileBox.h"
#include "uScanFrame.h"
#include "uScriptAction.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileSystemModel>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Handles events as they come, as the program's event loop does, until done.
// The main window's four settings, in a list of their own.
struct Settings {
    TQXActionList list;
    TStringAction* waScanFolder = new TStringAction(QStringLiteral("waScanFolder"), &list);
    TBooleanAction* baIncludeSubFolders = new TBooleanAction(QStringLiteral("baIncludeSubFolders"), &list);
    TBooleanAction* baMp4 = new TBooleanAction(QStringLiteral("baMp4"), &list);
    TBooleanAction* baMov = new TBooleanAction(QStringLiteral("baMov"), &list);

    Settings()
    {
        baIncludeSubFolders->Value = true;
        baMp4->Value = true;
        baMov->Value = true;
    }
};

} // namespace

TEST(ScanFrame, ControlsAsTheUserSeesThem)
{
    TScanFrame frame;
    EXPECT_EQ(frame.heading->text(), QStringLiteral("Open a folder containing videos"));
    EXPECT_EQ(frame.heading->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_TRUE(frame.heading->font().bold());
    EXPECT_EQ(frame.cbIncludeSubFolders->text(), QStringLiteral("Include subfolders"));
    EXPECT_EQ(frame.cbMp4->text(), QStringLiteral("List Mp4"));
    EXPECT_EQ(frame.cbMov->text(), QStringLiteral("List Mov"));
    struct Button {
        QPushButton* button;
        const char* text;
        const char* hint;
        QColor colour;
    };
    for (const Button& b : {Button{frame.ClearBtn, "Clear", "Delete the list of videos", QColor(0, 0, 0x80)},
                            Button{frame.ScanBtn, "Scan", "Scan the folder for videos to list", QColor(0x80, 0, 0)}}) {
        SCOPED_TRACE(b.text);
        EXPECT_EQ(b.button->text(), QString::fromLatin1(b.text));
        EXPECT_EQ(b.button->toolTip(), QString::fromLatin1(b.hint));
        EXPECT_EQ(b.button->palette().color(QPalette::ButtonText), b.colour);
        EXPECT_TRUE(b.button->font().bold());
    }
    // Reachable by name: the folder box is named by the heading above it.
    EXPECT_EQ(frame.folderBox->edit()->accessibleName(), frame.heading->text());
    EXPECT_EQ(frame.heading->buddy(), frame.folderBox->edit());
    EXPECT_FALSE(frame.folderBox->button()->accessibleName().isEmpty());

    QWidget* panel = frame.scanPanel();
    const int dpi = panel->logicalDpiY();
    EXPECT_EQ(panel->size(), QSize(scalePixels(340, dpi), scalePixels(200, dpi)));
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(panel->font().pixelSize(), scalePixels(15, dpi));
    EXPECT_NE(panel->parentWidget(), nullptr);
    EXPECT_EQ(panel->parentWidget(), &frame) << "the scan half is a child of its own, beside room for the export";
}

TEST(ScanFrame, ControlsAndSettingsFollowEachOther)
{
    Settings s;
    s.waScanFolder->Value = QStringLiteral("/videos");
    s.baMov->Value = false;
    TScanFrame frame;
    frame.bindSettings(s.waScanFolder, s.baIncludeSubFolders, s.baMp4, s.baMov);
    EXPECT_EQ(frame.folderBox->text(), QStringLiteral("/videos"));
    EXPECT_TRUE(frame.cbIncludeSubFolders->isChecked());
    EXPECT_FALSE(frame.cbMov->isChecked());

    // Setting to control.
    s.waScanFolder->setValue(QStringLiteral("/films"));
    s.baIncludeSubFolders->setValue(false);
    s.baMov->setValue(true);
    EXPECT_EQ(frame.folderBox->text(), QStringLiteral("/films"));
    EXPECT_FALSE(frame.cbIncludeSubFolders->isChecked());
    EXPECT_TRUE(frame.cbMov->isChecked());

    // Control to setting, through the user's own gestures.
    frame.show();
    frame.cbMp4->click();
    EXPECT_FALSE(s.baMp4->Value);
    frame.cbIncludeSubFolders->click();
    EXPECT_TRUE(s.baIncludeSubFolders->Value);
    frame.folderBox->edit()->selectAll();
    QTest::keyClicks(frame.folderBox->edit(), QStringLiteral("/typed"));
    QTest::keyClick(frame.folderBox->edit(), Qt::Key_Return);
    EXPECT_EQ(s.waScanFolder->Value, QStringLiteral("/typed"));

    TempFolder dir;
    const QString chosen = dir.file(QStringLiteral("chosen"));
    QDir().mkpath(chosen);
    QTimer accept;
    QObject::connect(&accept, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            // Typed in the name box, as a user may. The dialog's folder loads in the
            // background and may then select the current file again, which a typing
            // user's focus would undo: undone here until the dialog has settled.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            bool strayed = name && name->text() != chosen;
            for (const QModelIndex& row : view ? view->selectionModel()->selectedRows() : QModelIndexList())
                strayed = strayed || row.data(QFileSystemModel::FilePathRole).toString() != chosen;
            if (strayed) {
                view->clearSelection();
                name->setText(chosen);
                return;
            }
            static_cast<QDialog*>(dialog)->accept(); // the file dialog hides accept()
        }
    });
    accept.start(20);
    QTest::mouseClick(frame.folderBox->button(), Qt::LeftButton);
    accept.stop();
    EXPECT_EQ(s.waScanFolder->Value, chosen);
    EXPECT_EQ(frame.folderBox->text(), chosen);
}

TEST(ScanFrame, ExtensionTestTakesTheTypesThatAreOn)
{
    Settings s;
    TScanFrame frame;
    frame.bindSettings(s.waScanFolder, s.baIncludeSubFolders, s.baMp4, s.baMov);
    const TTestExtensionEvent test = frame.extensionTest();
    struct Case {
        bool mp4, mov;
        const char* ext;
        bool taken;
    };
    const Case cases[] = {
        {true, true, ".mp4", true},   {true, true, ".mov", true},    {true, true, ".mkv", false},
        {true, true, "", false},      {true, false, ".mov", false},  {true, false, ".mp4", true},
        {false, true, ".mp4", false}, {false, true, ".mov", true},   {false, false, ".mp4", false},
        {false, false, ".mov", false}, {true, true, ".mp4.bak", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ext) + (c.mp4 ? " mp4" : "") + (c.mov ? " mov" : ""));
        s.baMp4->setValue(c.mp4);
        s.baMov->setValue(c.mov);
        EXPECT_EQ(test(QString::fromLatin1(c.ext)), c.taken);
    }
}

// ---------------------------------------------------------------------------

class ScanTest : public FileBoxCatalogueTest {
protected:
    void SetUp() override
    {
        FileBoxCatalogueTest::SetUp();
        for (const char* name : {"scan/A.MP4", "scan/b.mov", "scan/c.mkv", "scan/sub/d.mp4"})
            dir.write(QString::fromLatin1(name), "x");
        root = dir.file(QStringLiteral("scan"));
        s.waScanFolder->Value = root;
        frame = std::make_unique<TScanFrame>();
        frame->bindSettings(s.waScanFolder, s.baIncludeSubFolders, s.baMp4, s.baMov);
        frame->setFileBox(box.get());
        frame->OnClear = [this] { ++detailsCleared; };
        box->OnOpenTestExtension = frame->extensionTest();
        handlers.setStatusText = [this](const QString& t) { texts << t; };
        handlers.setStatusState = [this](TPanelState st) { states << st; };
        handlers.refreshList = [this] { ++refreshes; };
        handlers.install(*box);
    }

    void TearDown() override
    {
        frame.reset();
        FileBoxCatalogueTest::TearDown();
    }

    void scanToEnd()
    {
        frame->ScanBtn->click();
        ASSERT_TRUE(pumpUntil([this] { return !box->isActive(); }));
    }

    Settings s;
    QString root;
    std::unique_ptr<TScanFrame> frame;
    TScanHandlers handlers;
    QStringList texts;
    QList<TPanelState> states;
    int refreshes = 0;
    int detailsCleared = 0;
};

TEST_F(ScanTest, StatusTextsOfAScanWithSubFolders)
{
    scanToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("A.MP4"), QStringLiteral("b.mov"), QStringLiteral("d.mp4")}));
    ASSERT_GE(texts.size(), 7);
    EXPECT_EQ(texts.first(), QStringLiteral("Start of scan"));
    EXPECT_EQ(texts.at(1), QStringLiteral("Scaning ") + root + QStringLiteral("/"));
    EXPECT_EQ(texts.last(), QStringLiteral("Ready"));
    const QStringList middle = texts.mid(1, texts.size() - 2);
    QStringList expected = {QStringLiteral("Scaning ") + root + QStringLiteral("/"),
                            QStringLiteral("Scaning ") + root + QStringLiteral("/sub/"),
                            QStringLiteral("Scanning ") + root + QStringLiteral("/A.MP4"),
                            QStringLiteral("Scanning ") + root + QStringLiteral("/b.mov"),
                            QStringLiteral("Scanning ") + root + QStringLiteral("/sub/d.mp4")};
    QStringList sorted = middle;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);
    // A file is announced after the folder that holds it.
    EXPECT_LT(middle.indexOf(QStringLiteral("Scaning ") + root + QStringLiteral("/sub/")),
              middle.indexOf(QStringLiteral("Scanning ") + root + QStringLiteral("/sub/d.mp4")));
    EXPECT_EQ(states.count(psLoading), 3);
    EXPECT_EQ(states.last(), psReady);
    EXPECT_GE(refreshes, 1);
}

// Users check, compact and repair their catalogue with the stock sqlite3 tool,
// which knows none of the program's functions.
TEST_F(ScanTest, AScannedCatalogueIsCheckedAndEditedByPlainSqlite)
{
    scanToEnd();
    ASSERT_EQ(listedNames().size(), 3);
    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &plain, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const auto run = [plain](const char* sql) {
        char* error = nullptr;
        QStringList answers;
        const int rc = sqlite3_exec(
            plain, sql,
            [](void* out, int, char** values, char**) {
                static_cast<QStringList*>(out)->append(QString::fromUtf8(values[0] ? values[0] : "NULL"));
                return 0;
            },
            &answers, &error);
        const QString message = error ? QString::fromUtf8(error) : QString();
        sqlite3_free(error);
        return rc == SQLITE_OK ? answers.join(QLatin1Char(',')) : QStringLiteral("error: ") + message;
    };
    EXPECT_EQ(run("PRAGMA integrity_check"), QStringLiteral("ok"));
    EXPECT_EQ(run("VACUUM"), QString());
    EXPECT_EQ(run("UPDATE VideoFichiers SET Listed=0, Caption=Caption || '.old' WHERE ListName='b.mov'"), QString());
    EXPECT_EQ(run("SELECT count(*) FROM VideoFichiers WHERE Listed=1"), QStringLiteral("2"));
    EXPECT_EQ(run("PRAGMA integrity_check"), QStringLiteral("ok"));
    sqlite3_close(plain);
}

TEST_F(ScanTest, SettingsDecideWhatARescanAdds)
{
    s.baIncludeSubFolders->setValue(false);
    s.baMov->setValue(false);
    scanToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("A.MP4")}));
    EXPECT_TRUE(texts.filter(QRegularExpression(QStringLiteral("^Scaning "))).isEmpty());

    s.baMov->setValue(true);
    scanToEnd();
    s.baMov->setValue(false);
    scanToEnd();
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("A.MP4"), QStringLiteral("b.mov")}))
        << "a scan adds to the list and removes nothing";
}

TEST_F(ScanTest, ClearEmptiesTheListAndTheDetails)
{
    scanToEnd();
    const int before = refreshes;
    frame->ClearBtn->click();
    EXPECT_TRUE(listedNames().isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")), 3);
    EXPECT_EQ(detailsCleared, 1);
    EXPECT_EQ(refreshes, before + 1);
    frame->ClearBtn->click();
    EXPECT_EQ(detailsCleared, 2);
}

TEST_F(ScanTest, ScanPressedTwiceEndsTheFirstBeforeTheSecond)
{
    for (int i = 0; i < 100; ++i)
        dir.write(QStringLiteral("scan/more/m%1.mp4").arg(i), "x");
    frame->ScanBtn->click();
    frame->ScanBtn->click();
    ASSERT_TRUE(pumpUntil([this] { return !box->isActive(); }));
    const QStringList bounds = texts.filter(QRegularExpression(QStringLiteral("^(Start of scan|Ready)$")));
    EXPECT_EQ(bounds, QStringList({QStringLiteral("Start of scan"), QStringLiteral("Ready"),
                                   QStringLiteral("Start of scan"), QStringLiteral("Ready")}));
    EXPECT_EQ(listedNames().size(), 103);
}
