#include "list/MessageListView.h"

#include "base/Twips.h"
#include "list/LastColumnGripHeader.h"

#include <QHeaderView>

MessageListView::MessageListView(QWidget* parent) : QTreeView(parent), model_(this) {
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
}

void MessageListView::setColumnWidthsInTwips(
    const std::array<int, MessageListModel::columns>& widths) {
    for (int column = 1; column <= MessageListModel::columns; ++column)
        setColumnWidthInTwips(column, widths[static_cast<std::size_t>(column - 1)]);
}

void MessageListView::setColumnWidthInTwips(int column, int twips) {
    setColumnWidth(column - 1, Twips::toPixels(twips));
}

int MessageListView::columnWidthInTwips(int column) const {
    return static_cast<int>(Twips::fromPixels(columnWidth(column - 1)));
}
