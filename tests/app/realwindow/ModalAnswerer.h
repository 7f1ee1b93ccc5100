#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the modal windows the program opens, one expected step per window in the order they
// appear. It polls QApplication::activeModalWidget(); each new modal window that is on the screen
// gets the next step, run from the event loop so that a step may open further modal windows.
// A step returns "" when the window was what it expected, or what was wrong. A window that comes
// with no step left, or stays up too long after its step, is closed and noted as a problem, so a
// run never hangs on a box.
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    using Step = std::function<QString(QWidget& modal)>;

    explicit ModalAnswerer(QObject* parent = nullptr);

    void expect(const QString& what, Step step);
    int pending() const { return steps_.size(); }
    // Drops the steps still waiting and the problems noted so far.
    void clear();
    QStringList problems() const { return problems_; }

private:
    struct Expected {
        QString what;
        Step step;
    };

    void poll();
    void answer(const QPointer<QWidget>& modal, const Expected& expected);
    void closeStuck(QWidget* modal);

    QTimer timer_;
    QQueue<Expected> steps_;
    QList<QPointer<QWidget>> answered_;
    QStringList problems_;
    QPointer<QWidget> lastActive_;
    QElapsedTimer activeSince_;
};
