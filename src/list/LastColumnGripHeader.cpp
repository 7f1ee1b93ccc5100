#include "list/LastColumnGripHeader.h"

#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

LastColumnGripHeader::LastColumnGripHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

int LastColumnGripHeader::lastColumn() const {
    return logicalIndex(count() - 1);
}

int LastColumnGripHeader::pastDivider(int x) const {
    const int divider = sectionViewportPosition(lastColumn());
    return isRightToLeft() ? divider - x : x - divider;
}

bool LastColumnGripHeader::inOpeningZone(int x) const {
    const int last = lastColumn();
    if (last < 0 || isSectionHidden(last) || sectionSize(last) != 0 ||
        sectionResizeMode(last) != Interactive)
        return false;
    // The divider line is the last pixel of the column before, one left of the zero-width column.
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int past = pastDivider(x);
    return past >= -1 && past <= grip;
}

void LastColumnGripHeader::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (event->button() == Qt::LeftButton && inOpeningZone(x)) {
        opening_ = true;
        pressX_ = x;
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void LastColumnGripHeader::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (opening_) {
        const int delta = isRightToLeft() ? pressX_ - x : x - pressX_;
        resizeSection(lastColumn(), std::max(minimumSectionSize(), delta));
        return;
    }
    QHeaderView::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton && inOpeningZone(x))
        setCursor(Qt::SplitHCursor);
}

void LastColumnGripHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (opening_ && event->button() == Qt::LeftButton) {
        opening_ = false;
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}

void LastColumnGripHeader::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && inOpeningZone(event->position().toPoint().x())) {
        emit sectionHandleDoubleClicked(lastColumn());
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}
