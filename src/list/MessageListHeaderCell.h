#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class MessageListView;

// One column header of a message list as assistive technology sees it.
class MessageListHeaderCell : public QAccessibleInterface {
public:
    MessageListHeaderCell(MessageListView* view, int modelColumn);

    int modelColumn() const { return column_; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override;

private:
    QPointer<MessageListView> view_;
    int column_;
};
