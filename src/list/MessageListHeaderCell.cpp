#include "list/MessageListHeaderCell.h"

#include "list/MessageListView.h"

#include <QHeaderView>

MessageListHeaderCell::MessageListHeaderCell(MessageListView* view, int modelColumn)
    : MessageListLeaf(view), column_(modelColumn) {}

bool MessageListHeaderCell::isValid() const {
    return view_ && view_->model() && column_ < view_->model()->columnCount();
}

QString MessageListHeaderCell::text(QAccessible::Text kind) const {
    if (kind != QAccessible::Name || !isValid())
        return {};
    return view_->model()->headerData(column_, Qt::Horizontal, Qt::DisplayRole).toString();
}

QRect MessageListHeaderCell::rect() const {
    if (!isValid())
        return {};
    const QHeaderView* header = view_->header();
    const QRect section(header->sectionViewportPosition(column_), 0, header->sectionSize(column_),
                        header->height());
    return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::State MessageListHeaderCell::state() const {
    QAccessible::State state;
    if (!isValid() || !view_->header()->isVisible())
        state.invisible = true;
    return state;
}
