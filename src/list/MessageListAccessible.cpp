#include "list/MessageListAccessible.h"

#include "list/MessageListCell.h"
#include "list/MessageListHeaderCell.h"
#include "list/MessageListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {

QAccessibleInterface* messageListFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("MessageListView") && object && object->isWidgetType())
        return new MessageListAccessible(static_cast<MessageListView*>(object));
    return nullptr;
}

} // namespace

MessageListAccessible::MessageListAccessible(MessageListView* view)
    : QAccessibleWidget(view, QAccessible::Tree) {}

MessageListAccessible::~MessageListAccessible() {
    forgetCells();
}

void MessageListAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(messageListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

MessageListView* MessageListAccessible::view() const {
    return static_cast<MessageListView*>(widget());
}

QAccessibleInterface* MessageListAccessible::cell(int row, int modelColumn) const {
    const QPair<int, int> key(row, modelColumn);
    if (const auto found = cells_.constFind(key); found != cells_.constEnd()) {
        QAccessibleInterface* known = QAccessible::accessibleInterface(*found);
        const bool stands =
            known && (row < 0 ? known->isValid()
                              : static_cast<MessageListCell*>(known)->standsAt(row, modelColumn));
        if (stands)
            return known;
        QAccessible::deleteAccessibleInterface(*found);
        cells_.erase(found);
    }
    QAccessibleInterface* made = nullptr;
    if (row < 0)
        made = new MessageListHeaderCell(view(), modelColumn);
    else
        made = new MessageListCell(view(), view()->model()->index(row, modelColumn));
    cells_.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

void MessageListAccessible::forgetCells() const {
    for (const QAccessible::Id id : std::as_const(cells_))
        QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
}

QAccessibleInterface* MessageListAccessible::child(int index) const {
    const QList<int> columns = view()->spokenColumns();
    if (index < 0 || index >= childCount() || columns.isEmpty())
        return nullptr;
    const int columnCount = static_cast<int>(columns.size());
    return cell(index / columnCount - 1, columns[index % columnCount]);
}

int MessageListAccessible::childCount() const {
    if (!view()->model())
        return 0;
    return (rowCount() + 1) * columnCount();
}

int MessageListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child)
        return -1;
    const QList<int> columns = view()->spokenColumns();
    const int columnCount = static_cast<int>(columns.size());
    if (const auto* header = dynamic_cast<const MessageListHeaderCell*>(child))
        return columns.indexOf(header->modelColumn());
    const auto* cell = dynamic_cast<const MessageListCell*>(child);
    if (!cell || !cell->isValid() || cell->table() != this)
        return -1;
    const int column = static_cast<int>(columns.indexOf(cell->index().column()));
    return column < 0 ? -1 : (cell->index().row() + 1) * columnCount + column;
}

QAccessibleInterface* MessageListAccessible::childAt(int x, int y) const {
    const QPoint global(x, y);
    const QHeaderView* header = view()->header();
    if (header->isVisible() && header->rect().contains(header->mapFromGlobal(global))) {
        const int column = header->logicalIndexAt(header->viewport()->mapFromGlobal(global));
        return column < 0 ? nullptr : cell(-1, column);
    }
    const QModelIndex index =
        view()->spokenIndex(view()->indexAt(view()->viewport()->mapFromGlobal(global)));
    return index.isValid() ? cell(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* MessageListAccessible::focusChild() const {
    const QModelIndex current = view()->spokenIndex(view()->currentIndex());
    if (!current.isValid() || !view()->spokenColumns().contains(current.column()))
        return nullptr;
    return cell(current.row(), current.column());
}

void* MessageListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* MessageListAccessible::cellAt(int row, int column) const {
    const QList<int> columns = view()->spokenColumns();
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns.size())
        return nullptr;
    return cell(row, columns[column]);
}

int MessageListAccessible::selectedCellCount() const {
    return static_cast<int>(selectedRows().size()) * columnCount();
}

QList<QAccessibleInterface*> MessageListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> selected;
    const QList<int> columns = view()->spokenColumns();
    for (int row : selectedRows())
        for (int column : columns)
            selected.append(cell(row, column));
    return selected;
}

QString MessageListAccessible::columnDescription(int column) const {
    const QList<int> columns = view()->spokenColumns();
    if (column < 0 || column >= columns.size())
        return {};
    return view()->model()->headerData(columns[column], Qt::Horizontal).toString();
}

int MessageListAccessible::columnCount() const {
    return static_cast<int>(view()->spokenColumns().size());
}

int MessageListAccessible::rowCount() const {
    return view()->model() ? view()->model()->rowCount() : 0;
}

QList<int> MessageListAccessible::selectedColumns() const {
    QList<int> selected;
    for (int column = 0; column < columnCount(); ++column)
        if (isColumnSelected(column))
            selected.append(column);
    return selected;
}

QList<int> MessageListAccessible::selectedRows() const {
    QList<int> selected;
    if (const QItemSelectionModel* selection = view()->selectionModel())
        for (const QModelIndex& row : selection->selectedRows())
            selected.append(row.row());
    std::sort(selected.begin(), selected.end());
    return selected;
}

bool MessageListAccessible::isColumnSelected(int column) const {
    const QList<int> columns = view()->spokenColumns();
    const QItemSelectionModel* selection = view()->selectionModel();
    return selection && column >= 0 && column < columns.size() && rowCount() > 0 &&
           selection->isColumnSelected(columns[column]);
}

bool MessageListAccessible::isRowSelected(int row) const {
    const QItemSelectionModel* selection = view()->selectionModel();
    return selection && row >= 0 && row < rowCount() && selection->isRowSelected(row);
}

bool MessageListAccessible::selectRow(int row) {
    QItemSelectionModel* selection = view()->selectionModel();
    if (!selection || row < 0 || row >= rowCount() ||
        view()->selectionMode() == QAbstractItemView::NoSelection)
        return false;
    QItemSelectionModel::SelectionFlags how = QItemSelectionModel::Select;
    if (view()->selectionMode() == QAbstractItemView::SingleSelection)
        how = QItemSelectionModel::ClearAndSelect;
    selection->select(view()->model()->index(row, 0), how | QItemSelectionModel::Rows);
    return true;
}

bool MessageListAccessible::unselectRow(int row) {
    QItemSelectionModel* selection = view()->selectionModel();
    if (!selection || row < 0 || row >= rowCount())
        return false;
    selection->select(view()->model()->index(row, 0),
                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}

// Cells check where they stand whenever they are looked up, so only a reset, which makes every
// one of them stale, drops them here.
void MessageListAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    if (event->modelChangeType() == QAccessibleTableModelChangeEvent::ModelReset)
        forgetCells();
}
