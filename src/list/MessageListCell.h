#pragma once

#include "list/MessageListLeaf.h"
#include <QAccessibleActionInterface>

#include <QAccessibleInterface>
#include <QAccessibleTableCellInterface>
#include <QPersistentModelIndex>

// One message cell of a message list as assistive technology sees it: its text, whether its row
// is selected and current, and for the first column the check mark, which the toggle action sets
// as a click on the check box does.
class MessageListCell : public MessageListLeaf,
                        public QAccessibleTableCellInterface,
                        public QAccessibleActionInterface {
public:
    MessageListCell(MessageListView* view, const QModelIndex& index);

    // Whether this cell still stands at row and model column.
    bool standsAt(int row, int modelColumn) const;
    const QPersistentModelIndex& index() const { return index_; }

    // QAccessibleInterface
    bool isValid() const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableCellInterface
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override;
    int rowIndex() const override { return index_.row(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // QAccessibleActionInterface
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    bool checkable() const;

    QPersistentModelIndex index_;
};
