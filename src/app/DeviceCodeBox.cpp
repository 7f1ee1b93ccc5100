#include "app/DeviceCodeBox.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DeviceCodeBox::DeviceCodeBox(const QString& userCode, const QUrl& address, QWidget* parent)
    : QDialog(parent), userCode_(userCode), address_(address) {
    setObjectName(QStringLiteral("DeviceCodeBox"));
    setWindowTitle(QStringLiteral("Sign in to Outlook.com / Hotmail"));
    setModal(false);

    auto* intro = new QLabel(QStringLiteral("On any device, open this address:"));
    const QString shown = address.toString().toHtmlEscaped();
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(shown));
    link->setObjectName(QStringLiteral("address"));
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    auto* enter = new QLabel(QStringLiteral("and enter this code:"));
    auto* code = new QLabel(userCode);
    code->setObjectName(QStringLiteral("userCode"));
    code->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont large = code->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    code->setFont(large);
    code->setAccessibleName(QStringLiteral("Sign-in code"));
    auto* wait = new QLabel(QStringLiteral("This box closes by itself once you have signed in."));

    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(cancel_, &QPushButton::clicked, this, &DeviceCodeBox::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    for (QLabel* label : {intro, link, enter, code, wait})
        layout->addWidget(label);
    layout->addLayout(buttons);
}

void DeviceCodeBox::reject() {
    emit cancelled();
    QDialog::reject();
}
