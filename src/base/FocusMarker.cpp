#include "base/FocusMarker.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {

constexpr int thickness = 2;

} // namespace

FocusMarker::FocusMarker(QWidget* window) : QWidget(window), window_(window) {
    setObjectName(QStringLiteral("focusMarker"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusMarker::follow(QWidget* focused) {
    // A line edit inside a drop-down or a view's editor marks the control the user sees.
    while (focused && focused->focusProxy())
        focused = focused->focusProxy();
    const bool mine =
        focused && focused != window_ && window_->isAncestorOf(focused) && focused->parentWidget();
    if (target_)
        target_->removeEventFilter(this);
    target_ = mine ? focused : nullptr;
    if (!target_) {
        hide();
        return;
    }
    target_->installEventFilter(this);
    setParent(target_->parentWidget());
    place();
}

void FocusMarker::place() {
    if (!target_ || !target_->isVisible()) {
        hide();
        return;
    }
    setGeometry(target_->geometry().adjusted(-thickness, -thickness, thickness, thickness));
    raise();
    show();
    update();
}

bool FocusMarker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusMarker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), thickness);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(thickness / 2.0, thickness / 2.0, -thickness / 2.0,
                                             -thickness / 2.0));
}
