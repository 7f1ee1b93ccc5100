#include "list/MessageListPart.h"

#include "list/MessageListView.h"

#include <QWidget>
#include <QWindow>

QWindow* MessageListPart::window() const {
    return view_ ? view_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* MessageListPart::parent() const {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
}
