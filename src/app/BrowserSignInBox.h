#pragma once

#include <QDialog>
#include <QUrl>

class QLabel;
class QLineEdit;
class QPushButton;

// The box of a browser sign-in while it waits: the sign-in page's address, to copy (the browser may
// not have come up) or to open again, a way over to a device-code sign-in, and Cancel (or Escape,
// or closing the box) to end the wait. Not modal: the window that waits for the sign-in keeps
// running, and takes the box down with accept() when the sign-in ends.
class BrowserSignInBox : public QDialog {
    Q_OBJECT
public:
    explicit BrowserSignInBox(const QUrl& address, QWidget* parent = nullptr);

    QUrl address() const { return address_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* openAgainButton() const { return openAgain_; }
    QPushButton* useCodeButton() const { return useCode_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The line under the address: what the last button did, when it is worth saying.
    QString note() const;

    // The answer to openAgainRequested(): whether the browser said it would show the page.
    void pageOpenedAgain(bool opened);
    void reject() override;

signals:
    void openAgainRequested();
    void codeRequested();
    void cancelled();

private:
    void copyAddress();
    void showNote(const QString& text);

    QUrl address_;
    QLineEdit* addressText_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* openAgain_ = nullptr;
    QPushButton* useCode_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
