#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <QString>
#include <QTimer>

// A progress bar that also shows one line of status text. Assistive technology sees it as a
// status bar named by that text, and each new text is announced as a name change. Progress texts
// ("Reading mail 25 of 60"), which may change thousands of times a run, are announced at most
// twice a second, and the last of them always; any other text is announced at once, and a
// progress text still waiting is then dropped. Measuring a text for its height lays it out, which
// costs more than the rest of a listed message: the bar checks a progress text's height at most
// ten times a second, the last text always, and any other text at once.
class StatusLine : public QProgressBar {
    Q_OBJECT
public:
    enum class Pace { AtOnce, Progress };

    explicit StatusLine(QWidget* parent = nullptr);

    void setStatusText(const QString& text, Pace pace = Pace::AtOnce);
    QString statusText() const { return text_; }

    // As tall as its text needs at the bar's width: a text too long for one line takes two, and
    // no text is cut at the top or the bottom.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The bar draws its own text, wrapped: the style is given none to measure or make room for,
    // which QProgressBar would otherwise have it do at every change of value.
    void initStyleOption(QStyleOptionProgressBar* option) const override;

private:
    void announce();
    void fitText();
    QRect textRect(int width) const;
    int oneLineHeight() const;

    QString text_;
    QString announced_;
    QElapsedTimer sinceAnnounced_;
    QTimer pending_;
    QTimer refit_;
    int fittedHeight_ = -1; // heightForWidth at the last fit, -1 before the first
};
