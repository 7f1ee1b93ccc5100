#pragma once

#include <QHeaderView>

// A horizontal header whose last column can be dragged open when its width is 0. QHeaderView gives
// a zero-width last column no handle; here a press on its divider, or up to the grip margin right
// of it, resizes that column, and the resize cursor shows over that zone. A press further left
// still resizes the column before it.
class LastColumnGripHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit LastColumnGripHeader(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int lastColumn() const;
    // Distance from the last column's divider, positive in the direction the column opens.
    int pastDivider(int x) const;
    bool inOpeningZone(int x) const;

    bool opening_ = false;
    int pressX_ = 0;
};
