#include "export/MessageText.h"

#include <QStringEncoder>

namespace MessageText {

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString separator(58, u'='); // between the messages of "Emails.txt"

// The header lines and the body, with room made at once for what follows them: the body is most
// of a message's text, and is copied only once.
QString headersAndBody(const MessageRecord& record, qsizetype roomAfter) {
    const QString from = QStringLiteral("From: ");
    const QString subject = QStringLiteral("Subject: ");
    const QString date = QStringLiteral("Date: ");
    QString text;
    text.reserve(from.size() + record.From.size() + subject.size() + record.Subject.size() +
                 date.size() + record.ReceivedDate.size() + 4 * crlf.size() +
                 record.PlainTextBody.size() + roomAfter);
    text += from;
    text += record.From;
    text += crlf;
    text += subject;
    text += record.Subject;
    text += crlf;
    text += date;
    text += record.ReceivedDate;
    text += crlf;
    text += crlf;
    text += record.PlainTextBody;
    return text;
}

} // namespace

QString separateFile(const MessageRecord& record) {
    return headersAndBody(record, 0);
}

QString oneFileBlock(const MessageRecord& record) {
    QString text = headersAndBody(record, separator.size() + 4 * crlf.size());
    text += crlf;
    text += crlf;
    text += separator;
    text += crlf;
    text += crlf;
    return text;
}

QByteArray localeBytes(const QString& text) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

} // namespace MessageText
