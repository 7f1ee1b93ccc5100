#pragma once

#include <QString>

// The seven texts of one listed message as the listing hands them over.
struct MessageRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;
};
