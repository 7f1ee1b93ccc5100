#include "app/BrowserSignInBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* button(const QString& caption, const char* name) {
    auto* result = new QPushButton(caption);
    result->setObjectName(QString::fromLatin1(name));
    result->setAutoDefault(false);
    return result;
}

} // namespace

BrowserSignInBox::BrowserSignInBox(const QUrl& address, QWidget* parent)
    : QDialog(parent), address_(address) {
    setObjectName(QStringLiteral("BrowserSignInBox"));
    setWindowTitle(QStringLiteral("Sign in to Outlook.com / Hotmail"));
    setModal(false);

    auto* intro = new QLabel(QStringLiteral(
        "The sign-in continues in your browser. Sign in there and allow Quentaril to read your "
        "mail; this box closes by itself once you have signed in."));
    intro->setWordWrap(true);
    auto* noBrowser = new QLabel(QStringLiteral(
        "No browser page came up? Open this address in a browser on this computer:"));
    noBrowser->setWordWrap(true);
    // A read-only line rather than a label: the address is long, and this way it can be selected
    // with the mouse or the keyboard and scrolled through.
    addressText_ = new QLineEdit(address.toString(QUrl::FullyEncoded));
    addressText_->setObjectName(QStringLiteral("address"));
    addressText_->setReadOnly(true);
    addressText_->setCursorPosition(0);
    addressText_->setAccessibleName(QStringLiteral("Sign-in address"));
    noBrowser->setBuddy(addressText_);
    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    note_->hide();

    copy_ = button(QStringLiteral("Copy address"), "copy");
    openAgain_ = button(QStringLiteral("Open again"), "openAgain");
    useCode_ = button(QStringLiteral("Use a code instead"), "useCode");
    useCode_->setToolTip(
        QStringLiteral("Sign in on any device with a short code instead of this browser page."));
    cancel_ = button(QStringLiteral("Cancel"), "cancel");
    connect(copy_, &QPushButton::clicked, this, &BrowserSignInBox::copyAddress);
    connect(openAgain_, &QPushButton::clicked, this, &BrowserSignInBox::openAgainRequested);
    connect(useCode_, &QPushButton::clicked, this, &BrowserSignInBox::codeRequested);
    connect(cancel_, &QPushButton::clicked, this, &BrowserSignInBox::reject);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(addressText_, 1);
    addressRow->addWidget(copy_);
    addressRow->addWidget(openAgain_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(useCode_);
    buttons->addStretch();
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(layout->spacing());
    layout->addWidget(noBrowser);
    layout->addLayout(addressRow);
    layout->addWidget(note_);
    layout->addSpacing(layout->spacing());
    layout->addLayout(buttons);
    // Wide enough for the start of the address, and just as high as the wrapped text needs.
    const int width = qMax(sizeHint().width(), 560);
    resize(width,
           layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : sizeHint().height());
}

QString BrowserSignInBox::note() const {
    return note_->text();
}

void BrowserSignInBox::pageOpenedAgain(bool opened) {
    showNote(opened ? QStringLiteral("The browser was asked to show the page again.")
                    : QStringLiteral("The browser could not be opened. Copy the address into a "
                                     "browser, or use a code instead."));
}

void BrowserSignInBox::reject() {
    emit cancelled();
    QDialog::reject();
}

void BrowserSignInBox::copyAddress() {
    QGuiApplication::clipboard()->setText(addressText_->text());
    showNote(QStringLiteral("The address is copied."));
}

void BrowserSignInBox::showNote(const QString& text) {
    note_->setText(text);
    note_->show();
}
