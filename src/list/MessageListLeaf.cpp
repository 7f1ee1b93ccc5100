#include "list/MessageListLeaf.h"

#include "list/MessageListView.h"

#include <QWidget>
#include <QWindow>

QWindow* MessageListLeaf::window() const {
    return view_ ? view_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* MessageListLeaf::parent() const {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
}
