#pragma once

#include <QPointer>
#include <QWidget>

// A clear frame in the highlight colour around whichever control of a window has the keyboard
// focus, whatever the style draws for focus itself (some styles show little or nothing on a check
// box, a list without a current row or a push button). It is a sibling laid over the control,
// invisible to the mouse, and follows the focus, the control's moves and its visibility.
class FocusMarker : public QWidget {
    Q_OBJECT
public:
    // Marks the focused controls inside window.
    explicit FocusMarker(QWidget* window);

    // The control now marked, or none.
    QWidget* marked() const { return target_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(QWidget* focused);
    void place();

    QWidget* window_;
    QPointer<QWidget> target_;
};
