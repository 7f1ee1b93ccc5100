#pragma once

#include "list/MessageListModel.h"

#include <QTreeView>

#include <array>

// A checkable message list in a details layout: one header, six columns, no sorting. The view owns
// its model; a click on a row's check box raises ItemCheck with the row's position.
class MessageListView : public QTreeView {
    Q_OBJECT
public:
    explicit MessageListView(QWidget* parent = nullptr);

    MessageListModel& list() { return model_; }
    const MessageListModel& list() const { return model_; }

    // Column widths in twips, column 1 first; a width of 0 hides the column until the user drags
    // its divider (the header gives a zero-width last column a grip of its own).
    void setColumnWidthsInTwips(const std::array<int, MessageListModel::columns>& widths);
    void setColumnWidthInTwips(int column, int twips);
    int columnWidthInTwips(int column) const;

signals:
    void ItemCheck(int position);

private:
    MessageListModel model_;
};
