#include "export/MessageText.h"

#include <QStringEncoder>

namespace MessageText {

namespace {

const QString crlf = QStringLiteral("\r\n");

QString headerLines(const MessageRecord& record) {
    return QStringLiteral("From: ") + record.From + crlf + QStringLiteral("Subject: ") +
           record.Subject + crlf + QStringLiteral("Date: ") + record.ReceivedDate + crlf + crlf;
}

} // namespace

QString separateFile(const MessageRecord& record) {
    return headerLines(record) + record.PlainTextBody;
}

QString oneFileBlock(const MessageRecord& record) {
    return headerLines(record) + record.PlainTextBody + crlf + crlf + QString(58, u'=') + crlf +
           crlf;
}

QByteArray localeBytes(const QString& text) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

} // namespace MessageText
