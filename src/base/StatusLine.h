#pragma once

#include <QProgressBar>
#include <QString>

// A progress bar that also shows one line of status text. Assistive technology sees it as a
// status bar named by that text, and each new text is announced as a name change.
class StatusLine : public QProgressBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    void setStatusText(const QString& text);
    QString statusText() const { return text_; }

private:
    QString text_;
};
