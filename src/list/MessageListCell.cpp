#include "list/MessageListCell.h"

#include "list/MessageListView.h"

#include <QItemSelectionModel>

MessageListCell::MessageListCell(MessageListView* view, const QModelIndex& index)
    : MessageListLeaf(view), index_(index) {}

bool MessageListCell::standsAt(int row, int modelColumn) const {
    return isValid() && index_.row() == row && index_.column() == modelColumn;
}

bool MessageListCell::isValid() const {
    return view_ && view_->model() && index_.isValid();
}

QString MessageListCell::text(QAccessible::Text kind) const {
    if (kind != QAccessible::Name || !isValid())
        return {};
    return index_.data(Qt::DisplayRole).toString();
}

QRect MessageListCell::rect() const {
    if (!isValid())
        return {};
    const QRect cell = view_->visualRect(index_);
    return cell.translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::State MessageListCell::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const Qt::ItemFlags flags = index_.flags();
    state.selectable = flags.testFlag(Qt::ItemIsSelectable);
    state.selected = isSelected();
    state.focusable = true;
    state.focused = view_->hasFocus() && view_->spokenIndex(view_->currentIndex()) == index_;
    state.disabled = !flags.testFlag(Qt::ItemIsEnabled);
    if (checkable()) {
        state.checkable = true;
        state.checked = index_.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    if (!view_->isVisible())
        state.invisible = true;
    else if (!view_->viewport()->rect().intersects(view_->visualRect(index_)))
        state.offscreen = true;
    return state;
}

void* MessageListCell::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface*>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

bool MessageListCell::isSelected() const {
    return isValid() && view_->selectionModel() && view_->selectionModel()->isSelected(index_);
}

QList<QAccessibleInterface*> MessageListCell::columnHeaderCells() const {
    QAccessibleInterface* list = parent();
    QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
    const int column = columnIndex();
    if (!table || column < 0)
        return {};
    // The header row comes first among the list's children.
    return {list->child(column)};
}

int MessageListCell::columnIndex() const {
    return isValid() ? view_->spokenColumns().indexOf(index_.column()) : -1;
}

QStringList MessageListCell::actionNames() const {
    QStringList names{setFocusAction()};
    if (checkable())
        names.prepend(toggleAction());
    return names;
}

void MessageListCell::doAction(const QString& actionName) {
    if (!isValid())
        return;
    if (actionName == toggleAction() && checkable()) {
        const bool checked = index_.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        // The same path as a click on the check box: the owner hears of it.
        view_->model()->setData(index_, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    } else if (actionName == setFocusAction()) {
        view_->setFocus(Qt::OtherFocusReason);
        view_->setCurrentIndex(index_);
    }
}

bool MessageListCell::checkable() const {
    return isValid() && index_.flags().testFlag(Qt::ItemIsUserCheckable);
}
