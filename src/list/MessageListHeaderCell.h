#pragma once

#include "list/MessageListLeaf.h"

#include <QAccessibleInterface>

// One column header of a message list as assistive technology sees it.
class MessageListHeaderCell : public MessageListLeaf {
public:
    MessageListHeaderCell(MessageListView* view, int modelColumn);

    int modelColumn() const { return column_; }

    bool isValid() const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override;

private:
    int column_;
};
