#pragma once

#include <QCursor>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <optional>

class QWidget;

// Pointer codes of a window: the default pointer, the hourglass of a running command, and the
// window's custom pointer (a hand, when the window has one).
enum class MousePointer { Default = 0, Hourglass = 11, Custom = 99 };

// Keeps a window's pointer code and the hover rules of its controls: over a push button the
// pointer turns into the custom one, over the other attached surfaces it goes back to the
// default; an hourglass is left alone, except over a control attached with evenWhileBusy.
// Controls that are attached to nothing leave the pointer as it is.
class PointerControl : public QObject {
public:
    explicit PointerControl(QWidget* window);

    MousePointer code() const { return code_; }
    void setCode(MousePointer code);

    // The custom pointer; without one, the custom code shows the default arrow.
    void setCustomCursor(const QCursor& cursor);
    bool hasCustomCursor() const { return custom_.has_value(); }

    void attachHand(QWidget* control, bool evenWhileBusy = false);
    void attachNormal(QWidget* surface);
    // Keeps the pointer unchanged over a control that has no hover rule of its own, even when the
    // surface around it has one.
    void attachNothing(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Rule { Hand, HandEvenWhileBusy, Normal };

    void watch(QWidget* control, Rule rule);
    void apply();

    QPointer<QWidget> window_;
    MousePointer code_ = MousePointer::Default;
    std::optional<QCursor> custom_;
    QHash<QObject*, Rule> rules_;
};

// Reads a cursor file (the .cur format or any image Qt can read), keeping the file's hot spot when
// it names one. No cursor when the file is missing or unreadable.
std::optional<QCursor> loadCursorFile(const QString& path);
