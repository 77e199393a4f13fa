#pragma once

#include <QFileDialog>
#include <QString>
#include <QWidget>

#include <memory>

class QLineEdit;
class QToolButton;

// A path typed in a line or chosen with the browse button beside it. The
// label is not shown by the widget; it names the controls for accessibility
// tools and titles the dialog.
class TBrowseEdit : public QWidget {
    Q_OBJECT
public:
    explicit TBrowseEdit(const QString& label, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QString label() const { return FLabel; }
    void setLabel(const QString& label);
    void setDialogTitle(const QString& title) { FTitle = title; }
    QString dialogTitle() const { return FTitle; }

    QLineEdit* edit() const { return FEdit; }
    QToolButton* button() const { return FButton; }

    // The dialog the button opens, set up and not yet shown.
    virtual std::unique_ptr<QFileDialog> createDialog() = 0;
    // Shows the dialog; a choice replaces the text and is announced.
    void browse();

signals:
    void chosen(const QString& path);

protected:
    // Where the dialog starts: the current text's folder when there is one.
    QString startFolder() const;

private:
    QString FLabel;
    QString FTitle;
    QLineEdit* FEdit;
    QToolButton* FButton;
};

// A folder. Its dialog shows folders only and cannot create new ones.
class TFolderEdit : public TBrowseEdit {
    Q_OBJECT
public:
    explicit TFolderEdit(const QString& label, QWidget* parent = nullptr);
    std::unique_ptr<QFileDialog> createDialog() override;
};

// A file, existing or to be created as the file mode says.
class TFileEdit : public TBrowseEdit {
    Q_OBJECT
public:
    explicit TFileEdit(const QString& label, QWidget* parent = nullptr);

    void setFileMode(QFileDialog::FileMode mode) { FFileMode = mode; }
    // Qt's form: "Databases (*.db3);;All files (*)".
    void setNameFilter(const QString& filter) { FNameFilter = filter; }
    std::unique_ptr<QFileDialog> createDialog() override;

private:
    QFileDialog::FileMode FFileMode = QFileDialog::ExistingFile;
    QString FNameFilter;
};
