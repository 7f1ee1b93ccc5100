#include "ModalAnswerer.h"

#include <QApplication>
#include <QDialog>
#include <QWindow>

namespace {

constexpr int pollInterval = 50;
// How long an answered window may stay the active modal window before it counts as stuck.
constexpr qint64 stuckAfterMs = 15000;

QString describe(const QWidget& modal) {
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(modal.metaObject()->className()), modal.windowTitle());
}

} // namespace

ModalAnswerer::ModalAnswerer(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start(pollInterval);
}

void ModalAnswerer::expect(const QString& what, Step step) {
    steps_.enqueue({what, std::move(step)});
}

void ModalAnswerer::clear() {
    steps_.clear();
    problems_.clear();
}

void ModalAnswerer::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != lastActive_) {
        lastActive_ = modal;
        activeSince_.start();
    }
    if (!modal || !modal->isVisible() || !modal->windowHandle() ||
        !modal->windowHandle()->isExposed())
        return;
    if (answered_.contains(modal)) {
        if (activeSince_.elapsed() > stuckAfterMs) {
            problems_.append(QStringLiteral("window %1 still open").arg(describe(*modal)));
            closeStuck(modal);
        }
        return;
    }
    answered_.removeAll(nullptr);
    answered_.append(modal);
    if (steps_.isEmpty()) {
        problems_.append(QStringLiteral("unexpected window %1").arg(describe(*modal)));
        closeStuck(modal);
        return;
    }
    // Run from the event loop, not inside this timer's slot: Qt does not fire a timer again while
    // its previous timeout is still running, and a step may open another modal window.
    QMetaObject::invokeMethod(
        this,
        [this, modal = QPointer<QWidget>(modal), expected = steps_.dequeue()] {
            if (modal)
                answer(modal, expected);
            else
                problems_.append(expected.what +
                                 QStringLiteral(": the window went before its step"));
        },
        Qt::QueuedConnection);
}

void ModalAnswerer::answer(const QPointer<QWidget>& modal, const Expected& expected) {
    const QString what = describe(*modal);
    const QString problem = expected.step(*modal);
    if (problem.isEmpty())
        return;
    problems_.append(QStringLiteral("%1: %2 (window %3)").arg(expected.what, problem, what));
    if (modal && modal->isVisible())
        closeStuck(modal);
}

void ModalAnswerer::closeStuck(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
    activeSince_.start();
}
