#include "base/MousePointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

PointerControl::PointerControl(QWidget* window) : QObject(window), window_(window) {}

void PointerControl::setCode(MousePointer code) {
    code_ = code;
    apply();
}

void PointerControl::setCustomCursor(const QCursor& cursor) {
    custom_ = cursor;
    apply();
}

void PointerControl::attachHand(QWidget* control, bool evenWhileBusy) {
    watch(control, evenWhileBusy ? Rule::HandEvenWhileBusy : Rule::Hand);
}

void PointerControl::attachNormal(QWidget* surface) {
    watch(surface, Rule::Normal);
}

void PointerControl::attachNothing(QWidget* control) {
    control->setAttribute(Qt::WA_NoMousePropagation);
}

void PointerControl::watch(QWidget* control, Rule rule) {
    QWidget* target = control;
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(control))
        target = scrollArea->viewport();
    target->setMouseTracking(true);
    // Each control answers for itself; the surface around it does not see its moves.
    target->setAttribute(Qt::WA_NoMousePropagation);
    target->installEventFilter(this);
    rules_.insert(target, rule);
}

bool PointerControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        const auto rule = rules_.constFind(watched);
        if (rule != rules_.constEnd()) {
            if (*rule == Rule::HandEvenWhileBusy)
                setCode(MousePointer::Custom);
            else if (code_ != MousePointer::Hourglass)
                setCode(*rule == Rule::Hand ? MousePointer::Custom : MousePointer::Default);
        }
    }
    return QObject::eventFilter(watched, event);
}

void PointerControl::apply() {
    if (!window_)
        return;
    switch (code_) {
    case MousePointer::Default:
        window_->unsetCursor();
        break;
    case MousePointer::Hourglass:
        window_->setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Custom:
        window_->setCursor(custom_.value_or(QCursor(Qt::ArrowCursor)));
        break;
    }
}

namespace {

// The hot spot of the first image of a .cur file, from its directory entry.
std::optional<QPoint> cursorHotSpot(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(14);
    if (head.size() < 14)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
    const bool isCursor = qFromLittleEndian<quint16>(bytes) == 0 &&
                          qFromLittleEndian<quint16>(bytes + 2) == 2 &&
                          qFromLittleEndian<quint16>(bytes + 4) > 0;
    if (!isCursor)
        return std::nullopt;
    return QPoint(qFromLittleEndian<quint16>(bytes + 10), qFromLittleEndian<quint16>(bytes + 12));
}

} // namespace

std::optional<QCursor> loadCursorFile(const QString& path) {
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    const QPixmap pixmap = QPixmap::fromImage(image);
    if (const auto hotSpot = cursorHotSpot(path))
        return QCursor(pixmap, hotSpot->x(), hotSpot->y());
    return QCursor(pixmap);
}
