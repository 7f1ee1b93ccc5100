#pragma once

#include "mail/EtpanMailImap.h"

// The product's component without TLS, for a window talking to a ScriptedImapServer: sessions
// ask for SSL, which this one ignores. Everything else is the real component's.
class PlainMailImap final : public MailImap {
public:
    PlainMailImap() {
        inner_.setSSL(false);
        connect(&inner_, &MailImap::AbortCheck, this,
                [this](qint32& abort) { emit AbortCheck(abort); });
        connect(&inner_, &MailImap::PercentDone, this, [this](qint32 p) { emit PercentDone(p); });
    }

    void setFetchAhead(bool on) { inner_.setFetchAhead(on); }

    void setSSL(bool) override {}
    void setPort(qint32 port) override { inner_.setPort(port); }
    void setTrustedCertificates(const QString&) override {}
    qint32 Connect(const QString& host) override { return inner_.Connect(host); }
    QString SendRawCommand(const QString& command) override {
        return inner_.SendRawCommand(command);
    }
    qint32 Login(const QString& user, const QString& password) override {
        return inner_.Login(user, password);
    }
    qint32 SelectMailbox(const QString& folder) override { return inner_.SelectMailbox(folder); }
    qint32 MessageCount() override { return inner_.MessageCount(); }
    XOAuth2Result AuthenticateXOAuth2(const QString& user, const QString& token) override {
        return inner_.AuthenticateXOAuth2(user, token);
    }
    bool IsConnected() const override { return inner_.IsConnected(); }
    std::unique_ptr<EmailObject> FetchMessage(qint32 n, qint32 flags) override {
        return inner_.FetchMessage(n, flags);
    }
    qint32 MessageRefusedForSize() const override { return inner_.MessageRefusedForSize(); }
    void setFetchWindow(qint32 first, qint32 last) override { inner_.setFetchWindow(first, last); }
    std::optional<QStringList> ListMailboxes(const QString& reference,
                                             const QString& pattern) override {
        return inner_.ListMailboxes(reference, pattern);
    }
    qint32 Disconnect() override { return inner_.Disconnect(); }
    QString LastErrorText() const override { return inner_.LastErrorText(); }

private:
    EtpanMailImap inner_;
};
