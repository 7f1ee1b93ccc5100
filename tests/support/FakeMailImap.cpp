#include "FakeMailImap.h"

#include <QElapsedTimer>
#include <QThread>

qint32 FakeMailImap::Connect(const QString& host) {
    calls.append(QStringLiteral("Connect ") + host);
    if (!connectHangs) {
        lastError_.clear();
        return 1;
    }
    // Polls like the real component until told to give up.
    while (true) {
        qint32 abort = 0;
        emit AbortCheck(abort);
        if (abort != 0)
            break;
        QThread::msleep(20);
    }
    lastError_ = QStringLiteral("connect failed: cancelled");
    return 0;
}

QString FakeMailImap::SendRawCommand(const QString& command) {
    calls.append(QStringLiteral("Raw ") + command);
    return QStringLiteral("* ID NIL\r\nOK ID completed.");
}

qint32 FakeMailImap::Login(const QString& user, const QString&) {
    calls.append(QStringLiteral("Login ") + user);
    return 1;
}

qint32 FakeMailImap::SelectMailbox(const QString& folder) {
    calls.append(QStringLiteral("Select ") + folder);
    return 1;
}

std::unique_ptr<EmailObject> FakeMailImap::FetchMessage(qint32 sequenceNumber, qint32) {
    calls.append(QStringLiteral("Fetch %1").arg(sequenceNumber));
    emit PercentDone(100);
    if (failingFetches.contains(sequenceNumber) || sequenceNumber < 1 ||
        sequenceNumber > messages.size()) {
        lastError_ = QStringLiteral("FETCH %1 failed").arg(sequenceNumber);
        return nullptr;
    }
    lastError_.clear();
    return std::make_unique<EmailObject>(messages[sequenceNumber - 1]);
}
