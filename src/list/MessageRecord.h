#pragma once

#include <QByteArray>
#include <QString>

// The seven texts of one listed message as the listing hands them over. The plain body may come
// in UTF-8 instead, PlainTextBody then empty.
struct MessageRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;
    QByteArray PlainTextUtf8{};
};
