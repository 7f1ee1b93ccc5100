#pragma once

#include "mail/MailImap.h"

#include <QHash>
#include <QThread>

#include <functional>

class EtpanWorker;
class QEventLoop;

// The product's IMAP component. libetpan runs on a worker thread owned by this object; each call
// hands its request to the worker and waits in a nested event loop, so the window repaints and
// handles clicks meanwhile. While it waits it raises AbortCheck every 50 ms (a non-zero answer
// cancels the request at once) and forwards the worker's progress as PercentDone.
// Called in the window's thread only.
class EtpanMailImap final : public MailImap {
    Q_OBJECT
public:
    EtpanMailImap();
    ~EtpanMailImap() override;

    void setSSL(bool on) override { ssl_ = on; }
    void setPort(qint32 port) override { port_ = port; }
    void setTrustedCertificates(const QString& pemFile) override { trustedCertificates_ = pemFile; }

    qint32 Connect(const QString& host) override;
    QString SendRawCommand(const QString& command) override;
    qint32 Login(const QString& user, const QString& password) override;
    qint32 SelectMailbox(const QString& folder) override;
    qint32 MessageCount() override;
    std::unique_ptr<EmailObject> FetchMessage(qint32 sequenceNumber, qint32 flags) override;
    std::optional<QStringList> ListMailboxes(const QString& reference,
                                             const QString& pattern) override;
    qint32 Disconnect() override;
    QString LastErrorText() const override { return lastError_; }

private:
    struct Pending;

    // Runs job on the worker and waits for it; answers its result.
    template <class Result> Result call(std::function<Result(EtpanWorker&)> job);
    void finished(quint64 callId);
    void progressed(quint64 callId, int percent);

    QThread thread_;
    EtpanWorker* worker_ = nullptr; // lives on thread_
    bool ssl_ = false;
    qint32 port_ = 0;
    QString trustedCertificates_;
    QString lastError_;
    quint64 lastCallId_ = 0;
    QHash<quint64, Pending*> pending_;
};
