#include "base/ThrottledPaint.h"

ThrottledPaint::ThrottledPaint(QWidget* widget, int intervalMs) : widget_(widget) {
    if (!widget_)
        return;
    widget_->setUpdatesEnabled(false);
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (!widget_)
            return;
        widget_->setUpdatesEnabled(true);
        widget_->repaint();
        widget_->setUpdatesEnabled(false);
    });
    timer_.start();
}

ThrottledPaint::~ThrottledPaint() {
    timer_.stop();
    if (widget_)
        widget_->setUpdatesEnabled(true); // schedules a paint of the latest state
}
