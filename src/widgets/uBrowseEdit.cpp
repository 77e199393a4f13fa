#include "uBrowseEdit.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

TBrowseEdit::TBrowseEdit(const QString& label, QWidget* parent)
    : QWidget(parent), FTitle(label), FEdit(new QLineEdit(this)), FButton(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(FEdit, 1);
    layout->addWidget(FButton);
    FButton->setText(QStringLiteral("..."));
    FButton->setToolTip(tr("Browse"));
    FButton->setAccessibleName(tr("Browse"));
    setFocusProxy(FEdit);
    setLabel(label);
    connect(FButton, &QToolButton::clicked, this, &TBrowseEdit::browse);
}

QString TBrowseEdit::text() const
{
    return FEdit->text();
}

void TBrowseEdit::setText(const QString& text)
{
    FEdit->setText(text);
}

void TBrowseEdit::setLabel(const QString& label)
{
    FLabel = label;
    FEdit->setAccessibleName(label);
    FButton->setAccessibleDescription(label);
    setAccessibleName(label);
}

QString TBrowseEdit::startFolder() const
{
    const QFileInfo info(text());
    if (text().isEmpty())
        return {};
    return info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

void TBrowseEdit::browse()
{
    const std::unique_ptr<QFileDialog> dialog = createDialog();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    const QString path = dialog->selectedFiles().constFirst();
    setText(path);
    emit chosen(path);
}

TFolderEdit::TFolderEdit(const QString& label, QWidget* parent) : TBrowseEdit(label, parent) {}

std::unique_ptr<QFileDialog> TFolderEdit::createDialog()
{
    auto dialog = std::make_unique<QFileDialog>(this, dialogTitle(), startFolder());
    dialog->setFileMode(QFileDialog::Directory);
    // Qt's own dialog: the desktop's may ignore the read-only option, which is
    // what keeps the user from creating folders here.
    dialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly | QFileDialog::DontUseNativeDialog);
    return dialog;
}

TFileEdit::TFileEdit(const QString& label, QWidget* parent) : TBrowseEdit(label, parent) {}

std::unique_ptr<QFileDialog> TFileEdit::createDialog()
{
    auto dialog = std::make_unique<QFileDialog>(this, dialogTitle(), startFolder());
    dialog->setFileMode(FFileMode);
    if (!FNameFilter.isEmpty())
        dialog->setNameFilter(FNameFilter);
    if (!text().isEmpty())
        dialog->selectFile(text());
    return dialog;
}
