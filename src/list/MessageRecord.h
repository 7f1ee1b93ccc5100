#pragma once

#include <QString>

// The seven texts of one listed message, kept at the position of the message's row.
struct MessageRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;
};
