// The folder and file boxes with their real dialogs, offscreen, answered as a
// user would answer them.
#include "TestSupport.h"
#include "uBrowseEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Answers the next file dialog: choose picks that path, an empty one cancels.
class DialogAnswer {
public:
    explicit DialogAnswer(const QString& choose)
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this, choose] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            FTitle = dialog->windowTitle();
            FNewFolderEnabled = dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton"))
                             && dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton"))->isEnabled();
            if (choose.isEmpty()) {
                dialog->reject();
                return;
            }
            // Typed in the name box, as a user may. The dialog's folder loads in the
            // background and may then select the current file again, which a typing
            // user's focus would undo: undone here until the dialog has settled.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            bool strayed = name && name->text() != choose;
            for (const QModelIndex& row : view ? view->selectionModel()->selectedRows() : QModelIndexList())
                strayed = strayed || row.data(QFileSystemModel::FilePathRole).toString() != choose;
            if (strayed) {
                view->clearSelection();
                name->setText(choose);
                return;
            }
            static_cast<QDialog*>(dialog)->accept(); // the file dialog hides accept()
        });
        FTimer.start(20);
    }

    QString FTitle;
    bool FNewFolderEnabled = true;

private:
    QTimer FTimer;
};

} // namespace

TEST(BrowseEdit, NamedForAccessibilityByTheirLabel)
{
    TFolderEdit folder(QStringLiteral("Scan folder"));
    TFileEdit file(QStringLiteral("Database Filename"));
    for (TBrowseEdit* edit : std::initializer_list<TBrowseEdit*>{&folder, &file}) {
        SCOPED_TRACE(edit->label().toStdString());
        EXPECT_EQ(edit->edit()->accessibleName(), edit->label());
        EXPECT_EQ(edit->button()->accessibleName(), QStringLiteral("Browse"));
        EXPECT_EQ(edit->button()->accessibleDescription(), edit->label());
        EXPECT_EQ(edit->dialogTitle(), edit->label());
    }
    folder.setLabel(QStringLiteral("Export folder"));
    EXPECT_EQ(folder.edit()->accessibleName(), QStringLiteral("Export folder"));
}

TEST(BrowseEdit, FolderDialogShowsFoldersAndCannotCreateThem)
{
    TempFolder dir;
    QDir().mkpath(dir.file(QStringLiteral("a/b")));
    TFolderEdit edit(QStringLiteral("Scan folder"));
    edit.setDialogTitle(QStringLiteral("Select a folder"));
    edit.setText(dir.file(QStringLiteral("a")));
    const std::unique_ptr<QFileDialog> dialog = edit.createDialog();
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_TRUE(dialog->testOption(QFileDialog::ReadOnly));
    EXPECT_EQ(dialog->directory().absolutePath(), dir.file(QStringLiteral("a")));

    QSignalSpy chosen(&edit, &TBrowseEdit::chosen);
    {
        DialogAnswer answer(dir.file(QStringLiteral("a/b")));
        QTest::mouseClick(edit.button(), Qt::LeftButton);
        EXPECT_EQ(answer.FTitle, QStringLiteral("Select a folder"));
        EXPECT_FALSE(answer.FNewFolderEnabled);
    }
    EXPECT_EQ(edit.text(), dir.file(QStringLiteral("a/b")));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), dir.file(QStringLiteral("a/b")));
    {
        DialogAnswer cancel{QString()};
        edit.browse();
    }
    EXPECT_EQ(edit.text(), dir.file(QStringLiteral("a/b")));
    EXPECT_EQ(chosen.count(), 1);
}

TEST(BrowseEdit, FileDialogTakesTheModeAndFilterAsked)
{
    TempFolder dir;
    const QString existing = dir.write(QStringLiteral("old.db3"), "x");
    TFileEdit edit(QStringLiteral("Database Filename"));
    edit.setFileMode(QFileDialog::AnyFile);
    edit.setNameFilter(QStringLiteral("Databases (*.db3)"));
    edit.setText(existing);
    const std::unique_ptr<QFileDialog> dialog = edit.createDialog();
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->nameFilters(), QStringList({QStringLiteral("Databases (*.db3)")}));
    EXPECT_EQ(dialog->directory().absolutePath(), dir.path());

    {
        DialogAnswer answer(dir.file(QStringLiteral("new.db3")));
        edit.browse();
    }
    EXPECT_EQ(edit.text(), dir.file(QStringLiteral("new.db3")));
}
