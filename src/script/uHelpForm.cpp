#include "uHelpForm.h"

#include "uScriptAction.h"
#include "uWndComponent.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Rows sort by the text of the column, but an action without a shortcut goes
// after those that have one when sorting by shortcut.
class THelpItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QString a = text(column);
        const QString b = other.text(column);
        if (column == THelpForm::colShortcut && a.isEmpty() != b.isEmpty())
            return !a.isEmpty();
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }
};

} // namespace

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window), FTable(new QTreeWidget(this))
{
    setWindowTitle(QStringLiteral("Help"));
    FTable->setColumnCount(5);
    FTable->setHeaderLabels({QStringLiteral("Action"), QStringLiteral("Caption"), QStringLiteral("Hint"),
                             QStringLiteral("Shortcut"), QStringLiteral("Declaration")});
    FTable->setRootIsDecorated(false);
    FTable->setSortingEnabled(true);
    FTable->setAccessibleName(QStringLiteral("Actions"));
    FTable->header()->setSectionsClickable(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FTable);
    resize(760, 480);
}

void THelpForm::fill(const QString& title, const QList<TCustomQXActionList*>& lists)
{
    setWindowTitle(title);
    FTable->clear();
    for (const TCustomQXActionList* list : lists) {
        for (TCustomAbstractAction* action : list->actions()) {
            auto* item = new THelpItem(FTable);
            item->setText(colName, action->ScriptName());
            item->setText(colCaption, action->Caption());
            item->setText(colHint, action->Hint());
            item->setText(colShortcut, action->ShortCut().toString(QKeySequence::NativeText));
            item->setText(colDeclaration, action->ScriptHeader());
        }
    }
    for (int c = 0; c < FTable->columnCount(); ++c)
        FTable->resizeColumnToContents(c);
}

void THelpForm::sortBy(TColumn column)
{
    FTable->sortItems(column, Qt::AscendingOrder);
}

void THelpForm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (OnClose)
        OnClose();
}
