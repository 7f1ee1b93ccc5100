#pragma once

#include <QAccessibleTableInterface>
#include <QAccessibleWidget>
#include <QHash>
#include <QPair>

class MessageListView;

// What assistive technology sees of a message list: a tree-table of the spoken columns only
// (MessageListView::spokenColumns), a header row first and then one row per message. Children are
// counted row by row: child (row + 1) * columns + column, header cells at row -1.
//
// The cells are made on demand and kept, each under its row and model column, until the list is
// reset or the cell no longer stands where it was made.
class MessageListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit MessageListAccessible(MessageListView* view);
    ~MessageListAccessible() override;

    // Makes every MessageListView speak through this interface (once per program).
    static void install();

    // QAccessibleInterface
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return selectedColumns().size(); }
    int selectedRowCount() const override { return selectedRows().size(); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    MessageListView* view() const;
    // The cell of row (-1: the header) and model column, made if need be.
    QAccessibleInterface* cell(int row, int modelColumn) const;
    void forgetCells() const;

    mutable QHash<QPair<int, int>, QAccessible::Id> cells_;
};
