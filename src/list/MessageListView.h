#pragma once

#include "list/MessageListModel.h"

#include <QAccessible>
#include <QList>
#include <QTreeView>

#include <array>

// A checkable message list in a details layout: one header, six columns, no sorting. The view owns
// its model; a click on a row's check box raises ItemCheck with the row's position.
//
// Assistive technology is shown the columns a person sees only (see spokenColumns): the
// zero-width date key stays out of the accessibility tree until the user drags it open.
class MessageListView : public QTreeView {
    Q_OBJECT
public:
    explicit MessageListView(QWidget* parent = nullptr);

    MessageListModel& list() { return model_; }
    const MessageListModel& list() const { return model_; }

    // Column widths in twips, column 1 first; a width of 0 hides the column until the user drags
    // its divider (the header gives a zero-width last column a grip of its own). The Received Date
    // column is made wide enough for a whole date.
    void setColumnWidthsInTwips(const std::array<int, MessageListModel::columns>& widths);
    void setColumnWidthInTwips(int column, int twips);
    int columnWidthInTwips(int column) const;

    // The model columns on screen, left to right: not hidden and wider than 0.
    QList<int> spokenColumns() const;
    // The cell a screen reader names for index: index itself, or the first spoken cell of its
    // row when its column is not spoken.
    QModelIndex spokenIndex(const QModelIndex& index) const;

signals:
    void ItemCheck(int position);

protected:
    // QTreeView's own announcements count every model column; these count the spoken ones.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    void announce(QAccessible::Event kind, const QModelIndex& index);
    void announceColumnResize(int column, int oldWidth, int newWidth);
    QRect rowRect(const QModelIndex& index) const;
    int dateWidth() const;

    static constexpr int receivedDateColumn = 5;

    MessageListModel model_;
};
