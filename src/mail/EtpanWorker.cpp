#include "mail/EtpanWorker.h"

#include "mail/ServerThrottle.h"
#include "mail/SpareConnection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <QTimeZone>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include <libetpan/libetpan.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The bytes of a message libetpan received, copied a stretch at a time for a large one, whose
// copied stretches are given back to the system at once: a large message is never held twice in
// memory. libetpan only frees its copy after this, never reads it again.
QByteArray takenOver(char* data, std::size_t size) {
    constexpr std::size_t stretch = 4 * 1024 * 1024;
    if (size < 4 * stretch)
        return QByteArray(data, qsizetype(size));
    QByteArray copy(qsizetype(size), Qt::Uninitialized);
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    quintptr released = (quintptr(data) + page - 1) / page * page; // whole pages only
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(stretch, size - done);
        std::memcpy(copy.data() + done, data + done, n);
        done += n;
        const quintptr copied = (quintptr(data) + done) / page * page;
        if (copied > released &&
            madvise(reinterpret_cast<void*>(released), copied - released, MADV_DONTNEED) == 0)
            released = copied;
    }
    return copy;
}

// A server that keeps asking to slow down is given up on after this many tries of one command.
constexpr int maxThrottledAttempts = 20;

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

QDateTime toDateTime(const mailimap_date_time* d) {
    if (!d)
        return {};
    const int sign = d->dt_zone < 0 ? -1 : 1;
    const int zone = d->dt_zone * sign;
    const int offsetSeconds = sign * ((zone / 100) * 3600 + (zone % 100) * 60);
    return QDateTime(QDate(d->dt_year, d->dt_month, d->dt_day),
                     QTime(d->dt_hour, d->dt_min, d->dt_sec), QTimeZone(offsetSeconds));
}

// libetpan loses the greeting of a server that refuses the session with BYE. A BYE greeting that
// has arrived whole is read here, from the stream's buffer, and libetpan never parses it.
// Answers the server's words; nothing for any other greeting, which stays in the buffer.
std::optional<QString> byeGreeting(mailstream* stream) {
    if (mailstream_feed_read_buffer(stream) <= 0)
        return std::nullopt;
    const QByteArray head(stream->read_buffer, qsizetype(stream->read_buffer_len));
    const qsizetype end = head.indexOf("\r\n");
    if (end < 0 || !head.left(6).toUpper().startsWith("* BYE "))
        return std::nullopt;
    return QString::fromUtf8(head.mid(6, end - 6)).trimmed();
}

// The count of the first "* n EXISTS" line of a response when it does not fit a 32-bit signed
// number; nothing when it does or there is none.
std::optional<QByteArray> impossibleExists(const QByteArray& response) {
    for (const QByteArray& line : response.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() != 3 || words[0] != "*" || words[2].toUpper() != "EXISTS")
            continue;
        bool ok = false;
        const qulonglong count = words[1].toULongLong(&ok);
        if (ok && count <= qulonglong(std::numeric_limits<qint32>::max()))
            return std::nullopt;
        return words[1].left(32);
    }
    return std::nullopt;
}

// True when the text can travel as a quoted string: printable ASCII only.
bool quotable(const QByteArray& value) {
    for (char c : value)
        if (uchar(c) < 0x20 || uchar(c) > 0x7e)
            return false;
    return true;
}

QByteArray quoted(const QByteArray& value) {
    QByteArray out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// What a refusal of a password adds when the server only takes OAuth2 sign-in.
const QString oauth2Needed = QStringLiteral(
    "This account needs OAuth2 sign-in: set AuthMethod=oauth2 in the settings file.");

// The line of received that completes the command tagged tag, "" when none came.
QByteArray taggedLine(const QByteArray& received, int tag) {
    const QByteArray prefix = QByteArray::number(tag) + ' ';
    for (const QByteArray& line : received.split('\n'))
        if (line.startsWith(prefix))
            return line.trimmed();
    return {};
}

} // namespace

// Created on the window's thread, then moved to the worker thread before any request.
EtpanWorker::EtpanWorker(ProgressSink progress) : progress_(std::move(progress)) {}

// Called in the worker thread.
EtpanWorker::~EtpanWorker() {
    Q_ASSERT(QThread::currentThread() == thread());
    closeConnection();
}

// Called in the worker thread.
void EtpanWorker::beginCall(quint64 callId) {
    Q_ASSERT(QThread::currentThread() == thread());
    callId_ = callId;
    lastPercent_ = -1;
    callStartMs_ = nowMs();
    cancelled_ = false;
    oversizedBytes_ = 0;
    refusedForSize_ = 0;
    lastError_.clear();
}

// Called in any thread.
void EtpanWorker::cancel() {
    cancelled_ = true;
    cutStream();
}

// Called in any thread: the read or write in progress fails, and every one after it.
void EtpanWorker::cutStream() {
    std::lock_guard lock(streamMutex_);
    if (stream_)
        mailstream_cancel(stream_);
    if (fd_ >= 0)
        shutdown(fd_, SHUT_RDWR);
}

// Called in the worker thread, by libetpan, as the announcement of a literal larger than the limit
// arrives: the stream is cut, so the read of the literal fails before its bytes fill the memory.
void EtpanWorker::refuseOversized() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (oversizedBytes_ != 0)
        return;
    oversizedBytes_ = literalWatch_.announced();
    refusedForSize_ = literalWatch_.fetchNumber();
    cutStream();
}

// Called in the worker thread. What follows "FETCH n" for a message refused for its size.
QString EtpanWorker::oversizedReason() const {
    return QStringLiteral(" failed: the message is larger than %1 MB (the server announced %2 "
                          "bytes) and was not read")
        .arg(messageSizeLimit / (1024 * 1024))
        .arg(oversizedBytes_);
}

// Called in the worker thread.
void EtpanWorker::closeConnection() {
    Q_ASSERT(QThread::currentThread() == thread());
    mailstream* stream = nullptr;
    int fd = -1;
    {
        std::lock_guard lock(streamMutex_);
        stream = stream_;
        fd = fd_;
        stream_ = nullptr;
        fd_ = -1;
    }
    connected_ = false;
    if (imap_) {
        // The stream may be dead (timeout, cancel): close it first, or the free waits on it.
        if (imap_->imap_stream) {
            mailstream_close(imap_->imap_stream);
            imap_->imap_stream = nullptr;
        }
        mailimap_free(imap_);
        imap_ = nullptr;
    } else if (stream) {
        mailstream_close(stream);
    } else if (fd >= 0) {
        close(fd);
    }
}

// Called in the worker thread. A spare opened for the same server is taken instead of a new
// connection; one that failed or went stale is replaced by a new connection.
bool EtpanWorker::open(const Endpoint& endpoint, std::shared_ptr<SpareConnection> spare) {
    Q_ASSERT(QThread::currentThread() == thread());
    closeConnection();
    const QString where = QStringLiteral("connect to %1:%2").arg(endpoint.host).arg(endpoint.port);
    const StreamAnnouncer announce = [this](int fd, _mailstream* opening) {
        std::lock_guard lock(streamMutex_);
        fd_ = fd;
        stream_ = opening;
        if (cancelled_ && fd_ >= 0)
            shutdown(fd_, SHUT_RDWR);
    };
    OpenedStream opened;
    if (spare && spare->suits(endpoint))
        opened = spare->take(cancelled_, announce);
    spare.reset();
    if (!opened.stream && !cancelled_)
        opened = openSecureStream(endpoint, cancelled_, callStartMs_, announce);
    if (!opened.stream) {
        closeConnection();
        lastError_ = QStringLiteral("%1 failed: %2").arg(where, opened.failure);
        return false;
    }
    mailstream* const stream = opened.stream;

    if (const std::optional<QString> refusal = byeGreeting(stream)) {
        closeConnection();
        lastError_ =
            QStringLiteral("%1 failed, the server refused the session: %2").arg(where, *refusal);
        return false;
    }

    receivedTail_.clear();
    literalWatch_.reset();
    imap_ = mailimap_new(0, nullptr);
    mailimap_set_timeout(imap_, networkTimeout.count());
    mailimap_set_progress_callback(imap_, &EtpanWorker::onBodyProgress, nullptr, this);
    mailimap_set_logger(imap_, &EtpanWorker::onLog, this);
    {
        std::lock_guard lock(streamMutex_);
        stream_ = nullptr; // from here on the session owns and closes it
    }
    const int r = mailimap_connect(imap_, stream);
    {
        std::lock_guard lock(streamMutex_);
        if (imap_->imap_stream)
            stream_ = imap_->imap_stream;
        else
            fd_ = -1;
    }
    if (r != MAILIMAP_NO_ERROR_AUTHENTICATED && r != MAILIMAP_NO_ERROR_NON_AUTHENTICATED)
        return fail(where, r);
    connected_ = true;
    return true;
}

// Called in the worker thread.
bool EtpanWorker::requireConnection(const char* operation) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (imap_)
        return true;
    lastError_ = QStringLiteral("%1 failed: not connected").arg(QLatin1String(operation));
    return false;
}

// Called in the worker thread.
QString EtpanWorker::serverText() const {
    if (imap_ && imap_->imap_response)
        return QString::fromUtf8(imap_->imap_response);
    return {};
}

// Called in the worker thread. The text of the BYE the server sent last, before it closed the
// connection ("Session invalidated - AccessTokenExpired"); "" when none came.
QString EtpanWorker::byeText() const {
    const qsizetype at = receivedTail_.lastIndexOf("* BYE ");
    if (at < 0 || (at > 0 && receivedTail_[at - 1] != '\n'))
        return {};
    return QString::fromUtf8(receivedTail_.mid(at + 6).split('\r').value(0).split('\n').value(0));
}

// Called in the worker thread. Describes a failed libetpan call; a broken stream closes the
// connection, since nothing more can travel on it.
bool EtpanWorker::fail(const QString& operation, int code) {
    Q_ASSERT(QThread::currentThread() == thread());
    switch (code) {
    case MAILIMAP_ERROR_STREAM:
    case MAILIMAP_ERROR_CONNECTION_REFUSED:
    case MAILIMAP_ERROR_SSL: {
        const bool late = nowMs() - callStartMs_ >= (networkTimeout.count() - 1) * 1000;
        const QString bye = byeText();
        if (oversizedBytes_ != 0) {
            lastError_ = QStringLiteral("%1 failed: the server announced %2 bytes at once, more "
                                        "than the %3 MB that are read")
                             .arg(operation)
                             .arg(oversizedBytes_)
                             .arg(messageSizeLimit / (1024 * 1024));
        } else if (!cancelled_ && !bye.isEmpty()) {
            lastError_ =
                QStringLiteral("%1 failed, the server ended the session: %2").arg(operation, bye);
        } else {
            const QString why = cancelled_ ? QStringLiteral("cancelled")
                                : late     ? QStringLiteral("timed out")
                                           : QStringLiteral("the connection was closed");
            lastError_ = QStringLiteral("%1 failed: %2").arg(operation, why);
        }
        closeConnection();
        break;
    }
    case MAILIMAP_ERROR_PARSE:
        lastError_ =
            QStringLiteral("%1 failed: the server's response could not be read").arg(operation);
        closeConnection();
        break;
    case MAILIMAP_ERROR_FATAL:
        lastError_ = QStringLiteral("%1 failed, the server ended the session: %2")
                         .arg(operation, serverText());
        closeConnection();
        break;
    case MAILIMAP_ERROR_DONT_ACCEPT_CONNECTION:
        lastError_ = QStringLiteral("%1 failed, the server refused the session: %2")
                         .arg(operation, serverText());
        closeConnection();
        break;
    default:
        lastError_ = QStringLiteral("%1 failed, server replied: %2").arg(operation, serverText());
        break;
    }
    return false;
}

// Called in the worker thread. Sends the tag, the line and CR LF, nothing else: some servers
// refuse a command with a blank before its line end. The response text is everything the server
// sent for the command, untagged lines included. A refusal (NO or BAD) is an answer too: it is
// answered, and it is the last-error text. Only a connection that fails answers "".
QString EtpanWorker::command(const QByteArray& line) {
    Q_ASSERT(QThread::currentThread() == thread());
    const QString name = QString::fromUtf8(line.left(line.indexOf(' ')));
    if (!requireConnection(name.toUtf8().constData()))
        return {};
    captured_.clear();
    capturing_ = true;
    const bool sent =
        mailimap_send_current_tag(imap_) == MAILIMAP_NO_ERROR &&
        mailstream_write(imap_->imap_stream, line.constData(), size_t(line.size())) >= 0;
    const int r = sent ? finishCommand() : MAILIMAP_ERROR_STREAM;
    capturing_ = false;
    const QByteArray received = std::exchange(captured_, {});
    const QString response = QString::fromUtf8(received).trimmed();
    if (r == MAILIMAP_ERROR_LOGIN && !taggedLine(received, imap_->imap_tag).isEmpty()) {
        lastError_ = QStringLiteral("%1 refused, server replied: %2").arg(name, serverText());
        return response;
    }
    if (r != MAILIMAP_NO_ERROR) {
        // A BYE instead of the tagged answer ends the session as surely as a broken stream.
        fail(name, r == MAILIMAP_ERROR_LOGIN ? MAILIMAP_ERROR_FATAL : r);
        return {};
    }
    return response.isEmpty() ? QStringLiteral("OK") : response;
}

// Called in the worker thread. Sends one LOGIN argument: a quoted string when it is plain
// printable ASCII, otherwise a synchronizing literal, which carries any byte.
void EtpanWorker::sendLoginArgument(const QByteArray& value, bool& ok) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!ok)
        return;
    mailstream* s = imap_->imap_stream;
    if (quotable(value)) {
        const QByteArray text = quoted(value);
        ok = mailstream_write(s, text.constData(), size_t(text.size())) >= 0;
        return;
    }
    const QByteArray count = '{' + QByteArray::number(value.size()) + "}\r\n";
    ok = mailstream_write(s, count.constData(), size_t(count.size())) >= 0 &&
         mailstream_flush(s) >= 0;
    if (!ok)
        return;
    const char* reply = mailimap_read_line(imap_);
    if (!reply || reply[0] != '+') {
        ok = false;
        return;
    }
    ok = mailstream_write(s, value.constData(), size_t(value.size())) >= 0;
}

// Called in the worker thread: reads the response to the command just sent; answers the
// libetpan code, MAILIMAP_NO_ERROR when the server said OK.
int EtpanWorker::finishCommand() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (mailstream_write(imap_->imap_stream, "\r\n", 2) < 0 ||
        mailstream_flush(imap_->imap_stream) < 0)
        return MAILIMAP_ERROR_STREAM;
    if (!mailimap_read_line(imap_))
        return MAILIMAP_ERROR_STREAM;
    mailimap_response* response = nullptr;
    const int r = mailimap_parse_response(imap_, &response);
    if (r != MAILIMAP_NO_ERROR)
        return r;
    const mailimap_response_done* done = response->rsp_resp_done;
    const bool ok =
        done->rsp_type == MAILIMAP_RESP_DONE_TYPE_TAGGED &&
        done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type == MAILIMAP_RESP_COND_STATE_OK;
    mailimap_response_free(response);
    return ok ? MAILIMAP_NO_ERROR : MAILIMAP_ERROR_LOGIN;
}

// Called in the worker thread.
bool EtpanWorker::login(const QString& user, const QString& password) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("LOGIN"))
        return false;
    if (imap_->imap_state != MAILIMAP_STATE_NON_AUTHENTICATED) {
        lastError_ = QStringLiteral("LOGIN failed: already logged in");
        return false;
    }
    // A server that advertises LOGINDISABLED must not be sent a password.
    if (mailimap_has_extension(imap_, "LOGINDISABLED")) {
        lastError_ =
            QStringLiteral("LOGIN failed: the server does not accept passwords. ") + oauth2Needed;
        return false;
    }
    bool ok = mailimap_send_current_tag(imap_) == MAILIMAP_NO_ERROR &&
              mailstream_write(imap_->imap_stream, "LOGIN ", 6) >= 0;
    sendLoginArgument(user.toUtf8(), ok);
    if (ok)
        ok = mailstream_write(imap_->imap_stream, " ", 1) >= 0;
    sendLoginArgument(password.toUtf8(), ok);
    const int r = ok ? finishCommand() : MAILIMAP_ERROR_STREAM;
    if (r != MAILIMAP_NO_ERROR) {
        // The refusal's text is read before fail(), which may close the connection.
        const bool policy = serverText().contains(QLatin1String("Basic authentication is disabled"),
                                                  Qt::CaseInsensitive);
        fail(QStringLiteral("LOGIN"), r);
        if (policy)
            lastError_ += QLatin1Char(' ') + oauth2Needed;
        return false;
    }
    imap_->imap_state = MAILIMAP_STATE_AUTHENTICATED;
    return true;
}

// Called in the worker thread. CAPABILITY, which libetpan keeps for the connection. Sent by hand:
// mailimap_capability() copies what it keeps without looking, so an OK that came without
// capabilities would crash it.
int EtpanWorker::requestCapabilities() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (mailimap_send_current_tag(imap_) != MAILIMAP_NO_ERROR ||
        mailstream_write(imap_->imap_stream, "CAPABILITY", 10) < 0)
        return MAILIMAP_ERROR_STREAM;
    return finishCommand();
}

// Called in the worker thread. libetpan reports every refusal alike and drops the response code,
// so the tagged answer is read from the received lines: [UNAVAILABLE] there means the server could
// not check the token now. The line that carries the token is sent, never received, so it is
// never captured.
XOAuth2Result EtpanWorker::authenticateXOAuth2(const QString& user, const QString& accessToken) {
    Q_ASSERT(QThread::currentThread() == thread());
    const QString operation = QStringLiteral("AUTHENTICATE");
    if (!requireConnection("AUTHENTICATE"))
        return XOAuth2Result::ConnectionLost;
    if (imap_->imap_state != MAILIMAP_STATE_NON_AUTHENTICATED) {
        lastError_ = QStringLiteral("AUTHENTICATE failed: already logged in");
        return XOAuth2Result::NotOffered;
    }
    // The greeting may carry no capabilities at all: ask for them.
    int r = requestCapabilities();
    if (r != MAILIMAP_NO_ERROR) {
        fail(QStringLiteral("CAPABILITY"), r);
        return imap_ ? XOAuth2Result::NotOffered : XOAuth2Result::ConnectionLost;
    }
    if (!mailimap_has_authentication(imap_, "XOAUTH2")) {
        lastError_ =
            QStringLiteral("AUTHENTICATE failed: the server does not offer XOAUTH2 sign-in");
        return XOAuth2Result::NotOffered;
    }

    captured_.clear();
    capturing_ = true;
    r = mailimap_oauth2_authenticate(imap_, user.toUtf8().constData(),
                                     accessToken.toUtf8().constData());
    capturing_ = false;
    const QByteArray answer = imap_ ? taggedLine(captured_, imap_->imap_tag) : QByteArray();
    captured_.clear();
    if (r == MAILIMAP_NO_ERROR)
        return XOAuth2Result::SignedIn;
    if (r == MAILIMAP_ERROR_LOGIN || r == MAILIMAP_ERROR_PROTOCOL) {
        if (answer.contains("[UNAVAILABLE]")) {
            lastError_ =
                QStringLiteral("AUTHENTICATE failed: the server cannot check the token now: %1")
                    .arg(serverText());
            return XOAuth2Result::TemporaryFailure;
        }
        lastError_ = QStringLiteral("AUTHENTICATE failed: the server refused the token: %1")
                         .arg(serverText());
        return XOAuth2Result::TokenRefused;
    }
    fail(operation, r);
    // Whatever else went wrong, the connection's state is unknown.
    closeConnection();
    return XOAuth2Result::ConnectionLost;
}

// Called in the worker thread. Opens the mailbox read-only. libetpan reads the message count
// into 32 bits without a range check, so the count is read again here from the server's own
// words: one beyond the 32-bit signed range makes the count unusable.
bool EtpanWorker::examine(const QByteArray& mailbox) {
    Q_ASSERT(QThread::currentThread() == thread());
    countImpossible_ = false;
    if (!requireConnection("EXAMINE"))
        return false;
    const QString operation = QStringLiteral("EXAMINE %1").arg(QString::fromUtf8(mailbox));
    captured_.clear();
    capturing_ = true;
    const int r = mailimap_examine(imap_, mailbox.constData());
    capturing_ = false;
    const QByteArray said = std::exchange(captured_, QByteArray());
    if (r != MAILIMAP_NO_ERROR)
        return fail(operation, r);
    if (const std::optional<QByteArray> count = impossibleExists(said)) {
        countImpossible_ = true;
        lastError_ = QStringLiteral("%1: the server announced an impossible message count (%2)")
                         .arg(operation, QString::fromLatin1(*count));
    }
    return true;
}

// Called in the worker thread.
qint32 EtpanWorker::exists() const {
    Q_ASSERT(QThread::currentThread() == thread());
    if (countImpossible_)
        return -1;
    if (!imap_ || !imap_->imap_selection_info)
        return 0;
    return qint32(imap_->imap_selection_info->sel_exists);
}

// Called in the worker thread.
quint32 EtpanWorker::uidValidity() const {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!imap_ || !imap_->imap_selection_info)
        return 0;
    return imap_->imap_selection_info->sel_uidvalidity;
}

// Called in the worker thread. One command for the whole folder, answered with numbers only;
// an empty folder has nothing to ask for.
std::optional<QList<MessageUid>> EtpanWorker::uids() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("SEARCH"))
        return std::nullopt;
    const qint32 count = exists();
    if (count <= 0)
        return QList<MessageUid>();
    if (std::optional<QList<MessageUid>> found = uidsBySearch(count))
        return found;
    return uidsByFetch();
}

// UIDs ascend with the sequence numbers, so the n-th smallest UID is message n's: one short line
// instead of a FETCH response per message. Nothing when the answer does not fit the count the
// folder announced (a message came or went meanwhile).
std::optional<QList<MessageUid>> EtpanWorker::uidsBySearch(qint32 count) {
    mailimap_search_key* all = mailimap_search_key_new_all();
    clist* result = nullptr;
    const int r = mailimap_uid_search(imap_, nullptr, all, &result);
    mailimap_search_key_free(all);
    if (r != MAILIMAP_NO_ERROR)
        return std::nullopt;
    std::vector<quint32> uids;
    uids.reserve(size_t(clist_count(result)));
    for (clistiter* i = clist_begin(result); i; i = clist_next(i))
        uids.push_back(*static_cast<uint32_t*>(clist_content(i)));
    mailimap_search_result_free(result);
    if (qsizetype(uids.size()) != count)
        return std::nullopt;
    std::sort(uids.begin(), uids.end());
    QList<MessageUid> found;
    found.reserve(count);
    for (qint32 n = 0; n < count; ++n)
        found.append({n + 1, uids[size_t(n)]});
    return found;
}

std::optional<QList<MessageUid>> EtpanWorker::uidsByFetch() {
    QList<MessageUid> found;
    mailimap_set* set = mailimap_set_new_interval(1, 0);
    mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att(mailimap_fetch_att_new_uid());
    clist* result = nullptr;
    const int r = mailimap_fetch(imap_, set, type, &result);
    mailimap_fetch_type_free(type);
    mailimap_set_free(set);
    if (r != MAILIMAP_NO_ERROR) {
        fail(QStringLiteral("FETCH 1:* (UID)"), r);
        return std::nullopt;
    }
    for (clistiter* m = clist_begin(result); m; m = clist_next(m)) {
        auto* message = static_cast<mailimap_msg_att*>(clist_content(m));
        for (clistiter* i = clist_begin(message->att_list); i; i = clist_next(i)) {
            auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
            if (item->att_type == MAILIMAP_MSG_ATT_ITEM_STATIC &&
                item->att_data.att_static->att_type == MAILIMAP_MSG_ATT_UID &&
                message->att_number <= quint32(std::numeric_limits<qint32>::max()))
                found.append(
                    {qint32(message->att_number), item->att_data.att_static->att_data.att_uid});
        }
    }
    mailimap_fetch_list_free(result);
    std::sort(found.begin(), found.end(), [](const MessageUid& a, const MessageUid& b) {
        return a.sequenceNumber < b.sequenceNumber;
    });
    return found;
}

// Called in the worker thread. The whole message with BODY.PEEK[], which leaves \Seen alone. A
// request to slow down is waited out and the command sent again.
std::optional<EtpanWorker::Fetched> EtpanWorker::fetch(quint32 sequenceNumber) {
    Q_ASSERT(QThread::currentThread() == thread());
    const QString operation = QStringLiteral("FETCH %1").arg(sequenceNumber);
    if (!requireConnection("FETCH"))
        return std::nullopt;
    mailimap_set* set = mailimap_set_new_single(sequenceNumber);
    mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new(nullptr)));
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_uid());
    clist* result = nullptr;
    int r = MAILIMAP_NO_ERROR;
    for (int attempt = 1;; ++attempt) {
        r = mailimap_fetch(imap_, set, type, &result);
        // A refusal comes as NO (MAILIMAP_ERROR_FETCH) or BAD (MAILIMAP_ERROR_PROTOCOL).
        const bool refused = r == MAILIMAP_ERROR_FETCH || r == MAILIMAP_ERROR_PROTOCOL;
        const std::optional<int> backoff = refused ? throttleBackoffMs(serverText()) : std::nullopt;
        if (!backoff || attempt == maxThrottledAttempts)
            break;
        if (!pause(*backoff)) {
            r = MAILIMAP_ERROR_STREAM; // cancelled while waiting
            break;
        }
    }
    mailimap_fetch_type_free(type);
    mailimap_set_free(set);
    if (r != MAILIMAP_NO_ERROR) {
        fail(operation, r);
        if (oversizedBytes_ != 0) {
            lastError_ = QStringLiteral("FETCH %1").arg(sequenceNumber) + oversizedReason();
            if (refusedForSize_ == 0) // the answer named no message: it can only be this one
                refusedForSize_ = sequenceNumber;
        }
        if (imap_ && throttleBackoffMs(serverText()))
            giveUpThrottled(operation);
        return std::nullopt;
    }

    std::optional<Fetched> fetched;
    for (clistiter* m = clist_begin(result); m; m = clist_next(m)) {
        auto* message = static_cast<mailimap_msg_att*>(clist_content(m));
        if (message->att_number != sequenceNumber)
            continue;
        if (std::optional<Fetched> candidate = fetchedFrom(message))
            fetched = std::move(candidate);
    }
    mailimap_fetch_list_free(result);
    if (!fetched)
        lastError_ = QStringLiteral("%1 failed: the server sent no message").arg(operation);
    return fetched;
}

// The body and internal date of one FETCH response; nothing when it carries no body.
std::optional<EtpanWorker::Fetched> EtpanWorker::fetchedFrom(const mailimap_msg_att* message) {
    Fetched candidate;
    bool hasBody = false;
    for (clistiter* i = clist_begin(message->att_list); i; i = clist_next(i)) {
        auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
        if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC)
            continue;
        const mailimap_msg_att_static* att = item->att_data.att_static;
        if (att->att_type == MAILIMAP_MSG_ATT_BODY_SECTION && att->att_data.att_body_section &&
            att->att_data.att_body_section->sec_body_part) {
            const auto* section = att->att_data.att_body_section;
            candidate.raw = takenOver(section->sec_body_part, section->sec_length);
            hasBody = true;
        } else if (att->att_type == MAILIMAP_MSG_ATT_INTERNALDATE) {
            candidate.internalDate = toDateTime(att->att_data.att_internal_date);
        } else if (att->att_type == MAILIMAP_MSG_ATT_UID) {
            candidate.uid = att->att_data.att_uid;
        }
    }
    if (!hasBody)
        return std::nullopt;
    return candidate;
}

// Called in the worker thread. A server that still asks to slow down after every try is given up
// on with its connection, so the listing that asked ends rather than trying each message.
void EtpanWorker::giveUpThrottled(const QString& operation) {
    Q_ASSERT(QThread::currentThread() == thread());
    lastError_ = QStringLiteral("%1 failed, the server kept asking to slow down: %2")
                     .arg(operation, serverText());
    closeConnection();
}

// Called in the worker thread. Waits, answering false at once when the call is cancelled.
bool EtpanWorker::pause(int milliseconds) {
    Q_ASSERT(QThread::currentThread() == thread());
    QElapsedTimer clock;
    clock.start();
    while (!cancelled_ && clock.elapsed() < milliseconds)
        QThread::msleep(quint32(qBound(qint64(1), milliseconds - clock.elapsed(), qint64(20))));
    return !cancelled_;
}

// Called in the worker thread. Names as the server sends them (modified UTF-7).
std::optional<QList<QByteArray>> EtpanWorker::list(const QByteArray& reference,
                                                   const QByteArray& pattern) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("LIST"))
        return std::nullopt;
    clist* result = nullptr;
    const int r = mailimap_list(imap_, reference.constData(), pattern.constData(), &result);
    if (r != MAILIMAP_NO_ERROR) {
        fail(QStringLiteral("LIST"), r);
        return std::nullopt;
    }
    QList<QByteArray> names;
    for (clistiter* i = clist_begin(result); i; i = clist_next(i))
        names.append(QByteArray(static_cast<mailimap_mailbox_list*>(clist_content(i))->mb_name));
    mailimap_list_result_free(result);
    return names;
}

// Called in the worker thread.
bool EtpanWorker::logout() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("LOGOUT"))
        return false;
    const int r = mailimap_logout(imap_);
    closeConnection();
    if (r != MAILIMAP_NO_ERROR && r != MAILIMAP_ERROR_STREAM) {
        lastError_ = QStringLiteral("LOGOUT failed");
        return false;
    }
    return true;
}

// Called in the worker thread, by libetpan, while a literal arrives.
void EtpanWorker::onBodyProgress(size_t current, size_t maximum, void* context) noexcept {
    auto* self = static_cast<EtpanWorker*>(context);
    if (maximum == 0 || !self->progress_)
        return;
    const int percent = int(qMin<size_t>(100, current * 100 / maximum));
    if (percent == self->lastPercent_)
        return;
    self->lastPercent_ = percent;
    // Fetching ahead, many bodies arrive at once: the window is told at most every aheadProgressMs.
    if (self->aheadBuffer_) {
        if (self->sinceAheadReport_.isValid() &&
            !self->sinceAheadReport_.hasExpired(aheadProgressMs))
            return;
        self->sinceAheadReport_.start();
    }
    self->progress_(self->callId_, percent);
}

// Called in the worker thread, by libetpan. Watches what the server sends for a literal too large
// to read, keeps it while a raw command runs, and keeps the last bytes it sent; what is sent (the
// password or token among it) is never looked at.
void EtpanWorker::onLog(mailimap*, int type, const char* data, size_t size,
                        void* context) noexcept {
    auto* self = static_cast<EtpanWorker*>(context);
    if (type != MAILSTREAM_LOG_TYPE_DATA_RECEIVED || !data)
        return;
    try {
        if (self->literalWatch_.feed(data, qsizetype(size)))
            self->refuseOversized();
        if (self->capturing_)
            self->captured_.append(data, qsizetype(size));
        // Kept in place: this runs for every chunk of every message, and allocates nothing
        // once the tail has its room.
        constexpr qsizetype tailSize = 256;
        const auto n = qsizetype(size);
        QByteArray& tail = self->receivedTail_;
        if (n >= tailSize) {
            tail.resize(tailSize);
            std::memcpy(tail.data(), data + n - tailSize, std::size_t(tailSize));
        } else {
            tail.append(data, n);
            if (tail.size() > tailSize)
                tail.remove(0, tail.size() - tailSize);
        }
    } catch (...) {
        // Out of memory: what was kept is only used to explain a failure.
    }
}
