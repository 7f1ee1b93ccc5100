#include "list/MessageListView.h"

#include "base/Conversions.h"
#include "base/Twips.h"
#include "list/LastColumnGripHeader.h"
#include "list/MessageListAccessible.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

MessageListView::MessageListView(QWidget* parent) : QTreeView(parent), model_(this) {
    MessageListAccessible::install();
    setHeader(new LastColumnGripHeader(this));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    header()->setSectionsMovable(false);
    connect(&model_, &MessageListModel::checkToggled, this, &MessageListView::ItemCheck);
    connect(header(), &QHeaderView::sectionResized, this, &MessageListView::announceColumnResize);
}

void MessageListView::setColumnWidthsInTwips(
    const std::array<int, MessageListModel::columns>& widths) {
    for (int column = 1; column <= MessageListModel::columns; ++column)
        setColumnWidthInTwips(column, widths[static_cast<std::size_t>(column - 1)]);
}

// The Received Date column is at least as wide as the date of the user's locale at its widest, so
// that no date is cut.
void MessageListView::setColumnWidthInTwips(int column, int twips) {
    int width = Twips::toPixels(twips);
    if (column == receivedDateColumn && width > 0)
        width = qMax(width, dateWidth());
    setColumnWidth(column - 1, width);
}

int MessageListView::dateWidth() const {
    const QString widest =
        Conversions::dateTimeText(QDateTime(QDate(2028, 12, 28), QTime(20, 58, 58)));
    const QFontMetrics metrics(font());
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return metrics.horizontalAdvance(widest) + 2 * margin + metrics.averageCharWidth();
}

int MessageListView::columnWidthInTwips(int column) const {
    return static_cast<int>(Twips::fromPixels(columnWidth(column - 1)));
}

QList<int> MessageListView::spokenColumns() const {
    QList<int> spoken;
    for (int visual = 0; visual < header()->count(); ++visual) {
        const int column = header()->logicalIndex(visual);
        if (!header()->isSectionHidden(column) && header()->sectionSize(column) > 0)
            spoken.append(column);
    }
    return spoken;
}

QModelIndex MessageListView::spokenIndex(const QModelIndex& index) const {
    const QList<int> spoken = spokenColumns();
    if (!index.isValid() || spoken.isEmpty() || spoken.contains(index.column()))
        return index;
    return index.siblingAtColumn(spoken.first());
}

// QTreeView's own overrides add nothing but the repaint of whole rows and announcements that count
// every model column; these do the same with the spoken columns.
void MessageListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);
    // Every column shows the focus, so the whole rows are repainted.
    if (previous.isValid())
        viewport()->update(rowRect(previous));
    if (current.isValid())
        viewport()->update(rowRect(current));
    if (current.isValid() && hasFocus())
        announce(QAccessible::Focus, current);
}

void MessageListView::selectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    announce(QAccessible::SelectionAdd, selected.indexes().value(0));
    announce(QAccessible::SelectionRemove, deselected.indexes().value(0));
}

QRect MessageListView::rowRect(const QModelIndex& index) const {
    const QRect cell = visualRect(index);
    return {0, cell.y(), viewport()->width(), cell.height()};
}

void MessageListView::announce(QAccessible::Event kind, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid())
        return;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* table = face ? face->tableInterface() : nullptr;
    if (!table)
        return;
    const QModelIndex spoken = spokenIndex(index);
    const int column = spokenColumns().indexOf(spoken.column());
    QAccessibleInterface* cell = column < 0 ? nullptr : table->cellAt(spoken.row(), column);
    if (!cell)
        return;
    QAccessibleEvent event(this, kind);
    event.setChild(face->indexOfChild(cell));
    QAccessible::updateAccessibility(&event);
}

// A column dragged open from width 0, or closed to it, joins or leaves the spoken columns.
void MessageListView::announceColumnResize(int column, int oldWidth, int newWidth) {
    if (!QAccessible::isActive() || (oldWidth > 0) == (newWidth > 0) ||
        header()->isSectionHidden(column))
        return;
    int position = 0;
    for (int spoken : spokenColumns())
        position += header()->visualIndex(spoken) < header()->visualIndex(column) ? 1 : 0;
    QAccessibleTableModelChangeEvent event(
        this, newWidth > 0 ? QAccessibleTableModelChangeEvent::ColumnsInserted
                           : QAccessibleTableModelChangeEvent::ColumnsRemoved);
    event.setFirstColumn(position);
    event.setLastColumn(position);
    QAccessible::updateAccessibility(&event);
}
