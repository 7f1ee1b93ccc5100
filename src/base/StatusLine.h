#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <QString>
#include <QTimer>

// A progress bar that also shows one line of status text. Assistive technology sees it as a
// status bar named by that text, and each new text is announced as a name change. Progress texts
// ("Reading mail 25 of 60"), which may change thousands of times a run, are announced at most
// twice a second, and the last of them always; any other text is announced at once, and a
// progress text still waiting is then dropped. The bar takes the height a text needs when the text
// is announced: a progress text is laid out at most twice a second, not once for each change.
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
    // style changes.
    mutable int measuredWidth_ = -1;
    mutable int measuredHeight_ = 0;
    int heightShown_ = 0;      // the height of the last text announced
    bool heightStale_ = false; // a text not yet announced may need another height
    QString announced_;
    QElapsedTimer sinceAnnounced_;
    QTimer pending_;
};
