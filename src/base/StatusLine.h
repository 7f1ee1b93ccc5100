#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <QString>
#include <QTimer>

// A progress bar that also shows one line of status text. Assistive technology sees it as a
// status bar named by that text, and each new text is announced as a name change. Progress texts
// ("Reading mail 25 of 60"), which may change thousands of times a run, are announced at most
// twice a second, and the last of them always; any other text is announced at once, and a
// progress text still waiting is then dropped.
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
    void changeEvent(QEvent* event) override;

private:
    void announce();
    QRect textRect(int width) const;
    int oneLineHeight() const;

    QString text_;
    // The height heightForWidth found for text_ at a width, kept until the text, the font or the
    // style changes: a progress text that changes with every message is laid out once, not twice.
    mutable int measuredWidth_ = -1;
    mutable int measuredHeight_ = 0;
    QString announced_;
    QElapsedTimer sinceAnnounced_;
    QTimer pending_;
};
