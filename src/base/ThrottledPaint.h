#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

// While it lives, the widget is painted at most once per interval however often it changes; its
// state (value, text) stays current all along. A listing changes the progress bar for every
// message, far more often than anyone can read it, and each paint cost more than the message.
class ThrottledPaint {
public:
    explicit ThrottledPaint(QWidget* widget, int intervalMs = 40);
    ~ThrottledPaint();
    ThrottledPaint(const ThrottledPaint&) = delete;
    ThrottledPaint& operator=(const ThrottledPaint&) = delete;

private:
    QPointer<QWidget> widget_;
    QTimer timer_;
};
