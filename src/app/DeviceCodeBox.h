#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class QPushButton;

// The box of a device-code sign-in: the code to enter and the address to enter it at, with a
// Cancel button (or Escape, or closing the box) that ends the wait. Not modal: the window that
// waits for the sign-in keeps running, and takes the box down with accept() when the sign-in ends.
class DeviceCodeBox : public QDialog {
    Q_OBJECT
public:
    DeviceCodeBox(const QString& userCode, const QUrl& address, QWidget* parent = nullptr);

    QString userCode() const { return userCode_; }
    QUrl address() const { return address_; }
    QPushButton* cancelButton() const { return cancel_; }

    void reject() override;

signals:
    void cancelled();

private:
    QString userCode_;
    QUrl address_;
    QPushButton* cancel_ = nullptr;
};
