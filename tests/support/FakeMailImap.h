#pragma once

#include "mail/MailImap.h"

#include <QList>
#include <QSet>
#include <QStringList>

// A mail component for the faults a real server cannot be made to show: fetches that fail for
// chosen sequence numbers and a connect that hangs until AbortCheck answers non-zero.
class FakeMailImap final : public MailImap {
public:
    QList<EmailObject> messages; // message n is messages[n - 1]
    QSet<qint32> failingFetches;
    bool connectHangs = false;
    QStringList calls; // "Connect host", "Raw ...", "Login user", "Select folder", "Fetch n"

    void setSSL(bool) override {}
    void setPort(qint32) override {}
    void setTrustedCertificates(const QString&) override {}

    qint32 Connect(const QString& host) override;
    QString SendRawCommand(const QString& command) override;
    qint32 Login(const QString& user, const QString& password) override;
    XOAuth2Result AuthenticateXOAuth2(const QString& user, const QString&) override {
        calls.append(QStringLiteral("XOAuth2 ") + user);
        return XOAuth2Result::SignedIn;
    }
    bool IsConnected() const override { return true; }
    qint32 SelectMailbox(const QString& folder) override;
    qint32 MessageCount() override { return qint32(messages.size()); }
    std::unique_ptr<EmailObject> FetchMessage(qint32 sequenceNumber, qint32 flags) override;
    std::optional<QStringList> ListMailboxes(const QString&, const QString&) override {
        return QStringList{QStringLiteral("INBOX")};
    }
    qint32 Disconnect() override { return 1; }
    QString LastErrorText() const override { return lastError_; }

private:
    QString lastError_;
};
