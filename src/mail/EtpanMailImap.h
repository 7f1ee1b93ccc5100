#pragma once

#include "mail/MailImap.h"
#include "mail/MimeParser.h"

#include <QElapsedTimer>
#include <QHash>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class EtpanWorker;
class SpareConnection;
class FetchAheadBuffer;
class QEventLoop;

// The product's IMAP component. libetpan runs on a worker thread owned by this object; each call
// hands its request to the worker and waits in a nested event loop, so the window repaints and
// handles clicks meanwhile. While it waits it raises AbortCheck every 50 ms (a non-zero answer
// cancels the request at once) and forwards the worker's progress as PercentDone.
// Within a fetch window the worker requests the following messages ahead of the caller and keeps
// them, parsed, in a bounded buffer, so a listing runs at the speed of the link rather than one
// round trip per message. There an abort lets the awaited message arrive and requests nothing
// more, so the connection stays usable; it cancels only when the message is slow to come.
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
    void PrepareConnection(const QString& host) override;
    void DropPreparedConnection() override { spare_.reset(); }
    QString SendRawCommand(const QString& command) override;
    qint32 Login(const QString& user, const QString& password) override;
    XOAuth2Result AuthenticateXOAuth2(const QString& user, const QString& accessToken) override;
    bool IsConnected() const override;
    qint32 SelectMailbox(const QString& folder) override;
    qint32 MessageCount() override;
    quint32 UidValidity() const override { return uidValidity_; }
    std::optional<QList<MessageUid>> MessageUids() override;
    std::unique_ptr<EmailObject> FetchMessage(qint32 sequenceNumber, qint32 flags) override;
    qint32 MessageRefusedForSize() const override;
    void setFetchWindow(qint32 first, qint32 last) override;
    void setPlainBodiesInUtf8(bool inUtf8) override {
        plainBodies_ = inUtf8 ? PlainBodies::Utf8 : PlainBodies::Utf8WhenLarge;
    }
    std::optional<QStringList> ListMailboxes(const QString& reference,
                                             const QString& pattern) override;
    std::optional<FolderDirectory> ListFolderDirectory() override;
    qint32 Disconnect() override;
    QString LastErrorText() const override { return lastError_; }

    // Fetching ahead is on unless turned off here; the limit is the raw message data held ahead.
    void setFetchAhead(bool on) { fetchAhead_ = on; }
    void setFetchAheadLimit(qint64 bytes) { fetchAheadLimit_ = bytes; }

private:
    struct Pending;
    struct Plan {
        quint32 next = 0; // the number the caller asks for next
        quint32 last = 0;
        std::shared_ptr<FetchAheadBuffer> buffer; // set once the worker has started
        quint64 callId = 0;
    };

    // Runs job on the worker and waits for it; answers its result.
    template <class Result> Result call(std::function<Result(EtpanWorker&)> job);
    void finished(quint64 callId);
    void progressed(quint64 callId, int percent);
    void reportAheadProgress(int percent, bool always);
    std::unique_ptr<EmailObject> fetchOne(qint32 sequenceNumber, qint32 flags);
    std::unique_ptr<EmailObject> fetchPlanned(quint32 n);
    void dropPlan();

    QThread thread_;
    EtpanWorker* worker_ = nullptr; // lives on thread_
    bool ssl_ = false;
    qint32 port_ = 0;
    QString trustedCertificates_;
    QString lastError_;
    quint64 lastCallId_ = 0;
    QHash<quint64, Pending*> pending_;
    bool fetchAhead_ = true;
    // The requests in flight count against it too: at 16 MB a link of 50 ms round trip carried
    // half of what the server could send.
    qint64 fetchAheadLimit_ = 64 * 1024 * 1024;
    PlainBodies plainBodies_ = PlainBodies::Utf8WhenLarge;
    qint32 selectedCount_ = 0;  // messages of the folder selected last
    quint32 uidValidity_ = 0;   // its UIDVALIDITY
    qint32 refusedForSize_ = 0; // what MessageRefusedForSize() answers
    std::optional<Plan> plan_;
    std::shared_ptr<SpareConnection> spare_; // opened for the next Connect

    QEventLoop* aheadWait_ = nullptr; // the wait for a message fetched ahead, if one runs
    QElapsedTimer sinceProgress_;     // since the last progress of the work fetching ahead
    quint64 aheadCallId_ = 0;         // the fetch-ahead work whose progress is shown
    // The call this thread waits for, 0 when it waits for none: the worker hands over only its
    // progress, so fetching ahead does not wake this thread for messages nobody waits for yet.
    std::atomic<quint64> awaitedCallId_{0};
};
