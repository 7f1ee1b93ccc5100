#pragma once

#include "mail/LiteralWatch.h"
#include "mail/MailImap.h"
#include "mail/SecureStream.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct mailimap;
struct mailimap_msg_att;
struct _mailstream;
struct clist_s;
using clist = clist_s;
class FetchAheadBuffer;
class SpareConnection;

// One IMAP connection through libetpan. The object lives on the component's worker thread and
// every method that touches libetpan runs there (each asserts it); only cancel() may be called
// from another thread. Every method leaves a text about its outcome in lastError().
class EtpanWorker : public QObject {
    Q_OBJECT
public:
    using Endpoint = ImapEndpoint;
    // Messages fetched ahead arrive many at once: their progress is reported at most this often,
    // so the window shows the count a hundred times a second instead of doing its progress work
    // several times for every message.
    static constexpr qint64 aheadProgressMs = 10;

    struct Fetched {
        QByteArray raw;
        QDateTime internalDate;
        quint32 uid = 0;
    };
    // Receives (call id, percent) on the worker thread while a literal arrives.
    using ProgressSink = std::function<void(quint64, int)>;

    // The largest message read, and any other literal. One announced larger is not read: its
    // connection is given up as soon as the announcement arrives, before the bytes fill the
    // memory.
    static constexpr quint64 messageSizeLimit = 512ULL * 1024 * 1024;

    explicit EtpanWorker(ProgressSink progress);
    ~EtpanWorker() override;

    // Called on the worker thread at the start of each request.
    void beginCall(quint64 callId);
    // Any thread: abandons the request in progress; the connection is closed.
    void cancel();

    // Called on the worker thread.
    bool open(const Endpoint& endpoint, std::shared_ptr<SpareConnection> spare = nullptr);
    QString command(const QByteArray& line);
    bool login(const QString& user, const QString& password);
    XOAuth2Result authenticateXOAuth2(const QString& user, const QString& accessToken);
    bool examine(const QByteArray& mailbox);
    // The selected folder's message count; -1 when the server announced one that no 32-bit
    // sequence number can reach (examine() then says so in lastError()).
    qint32 exists() const;
    // The selected folder's UIDVALIDITY, 0 when the server announced none.
    quint32 uidValidity() const;
    // Sequence number and UID of every message of the selected folder: UID SEARCH ALL, or
    // FETCH 1:* (UID) when the search's answer does not match the folder's count.
    std::optional<QList<MessageUid>> uids();
    std::optional<Fetched> fetch(quint32 sequenceNumber);
    // Fetches messages first to last into buffer with range FETCH commands, several in flight,
    // until each is settled, the buffer stops or the connection fails. Leaves no command
    // outstanding.
    void fetchAhead(quint32 first, quint32 last, FetchAheadBuffer& buffer);
    std::optional<QList<QByteArray>> list(const QByteArray& reference, const QByteArray& pattern);
    // Every folder with its attributes (names as the server sends them, modified UTF-7) and the
    // personal namespace.
    struct RawFolder {
        QByteArray name;
        char separator = 0;
        QStringList attributes;
    };
    struct RawDirectory {
        QByteArray personalPrefix;
        char separator = 0;
        QList<RawFolder> folders;
    };
    std::optional<RawDirectory> directory();
    bool logout();

    QString lastError() const { return lastError_; }
    // Any thread. The number of the message whose announced size made the current request give up
    // its connection; 0 when none did (or when the server's answer did not say which it was).
    quint32 refusedForSize() const { return refusedForSize_; }
    // Any thread.
    bool isConnected() const { return connected_; }

private:
    static void onBodyProgress(size_t current, size_t maximum, void* context) noexcept;
    static void onLog(mailimap* imap, int type, const char* data, size_t size,
                      void* context) noexcept;
    static void onMessage(mailimap_msg_att* message, void* context) noexcept;
    static std::optional<Fetched> fetchedFrom(const mailimap_msg_att* message);

    std::optional<QList<MessageUid>> uidsBySearch(qint32 count);
    std::optional<QList<MessageUid>> uidsByFetch();
    bool requireConnection(const char* operation);
    void cutStream();
    void refuseOversized();
    QString oversizedReason() const;
    QString settleOversized(FetchAheadBuffer& buffer);
    bool fail(const QString& operation, int code);
    void closeConnection();
    // After a large message, libetpan's read buffers stay as large as it was: they are made small
    // again between answers, so that memory goes back.
    void shrinkReadBuffers();
    void sendLoginArgument(const QByteArray& value, bool& ok);
    int finishCommand();
    int requestCapabilities();
    bool knowCapabilities();
    bool readNamespace(RawDirectory& directory);
    int listWithSpecialUse(clist** result);
    bool pause(int milliseconds);
    void giveUpThrottled(const QString& operation);
    bool requested(quint32 n) const;
    bool sendFetch(quint32 first, quint32 last);
    QString serverText() const;
    QString byeText() const;

    ProgressSink progress_;
    quint64 callId_ = 0;
    int lastPercent_ = -1;
    QElapsedTimer sinceAheadReport_; // while fetching ahead: since the last progress reported
    qint64 callStartMs_ = 0;

    std::atomic<bool> cancelled_{false};
    std::mutex streamMutex_; // guards stream_ and fd_ against cancel() from other threads
    _mailstream* stream_ = nullptr;
    int fd_ = -1;
    bool countImpossible_ = false;
    LiteralWatch literalWatch_{messageSizeLimit};
    quint64 oversizedBytes_ = 0; // the size announced for a message refused in this request
    std::atomic<quint32> refusedForSize_{0};

    mailimap* imap_ = nullptr;
    std::atomic<bool> connected_{false}; // imap_ is set, for other threads to read
    bool capturing_ = false;
    QByteArray captured_;
    QByteArray receivedTail_; // the last bytes received on the connection
    QString lastError_;

    // While fetchAhead runs: where arriving messages go, which numbers came and how large they
    // were.
    FetchAheadBuffer* aheadBuffer_ = nullptr;
    QList<QPair<quint32, quint32>> requested_; // the ranges of the commands in flight
    QSet<quint32> arrived_;                    // not yet matched with the reply of their command
    qint64 arrivedMessages_ = 0;
    qint64 arrivedBytes_ = 0;
};
