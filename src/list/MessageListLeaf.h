#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class MessageListView;

// What the cells and column headers of a message list have in common as assistive technology sees
// them: they belong to the list's window, the list is their parent, and they have no children
// and no object of their own.
class MessageListLeaf : public QAccessibleInterface {
public:
    explicit MessageListLeaf(MessageListView* view) : view_(view) {}

    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<MessageListView> view_;
};
