#pragma once

#include <QList>
#include <QWidget>

#include <functional>

class QTreeWidget;
class TCustomQXActionList;

// The help window: every action of the given lists with its caption, hint,
// shortcut and script declaration, sorted by name or by shortcut.
class THelpForm : public QWidget {
    Q_OBJECT
public:
    enum TColumn { colName, colCaption, colHint, colShortcut, colDeclaration };

    explicit THelpForm(QWidget* parent = nullptr);

    void fill(const QString& title, const QList<TCustomQXActionList*>& lists);
    void sortBy(TColumn column);
    QTreeWidget* table() const { return FTable; }

    // Told when the user closes the window.
    std::function<void()> OnClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTreeWidget* FTable;
};
