// Fetching ahead on the IMAP connection: range FETCH commands of windows of messages that double
// with each command up to an eighth of the buffer's limit (back to the first size after a refused
// one), enough commands in flight that the server never waits for the next one, the raw bytes held
// ahead of the reader kept near the limit. A range answered without some of its messages has each
// of them asked for again on its own, so only a message the server will not give alone counts as
// failed.
#include "mail/EtpanWorker.h"

#include "mail/FetchAheadBuffer.h"
#include "mail/ServerThrottle.h"

#include <QElapsedTimer>
#include <QThread>

#include <libetpan/libetpan.h>

#include <deque>
#include <map>

namespace {

constexpr quint32 firstWindow = 4;
constexpr quint32 largestWindow = 16384;
// Commands in flight: enough that the server has the next one before it finishes the last, and
// that a slow link stays busy for the whole round trip (four left it idle for part of each).
constexpr std::size_t maxInFlight = 8;
constexpr qint64 firstGuessBytes = 64 * 1024;
// A server that keeps asking to slow down is given up on after this many answers in a row.
constexpr int maxThrottledAnswers = 20;

struct Window {
    quint32 first = 0;
    quint32 last = 0;
    int tag = 0;
    qint64 estimate = 0; // bytes expected
};

} // namespace

// Called in the worker thread, by libetpan, for each message of a FETCH response as it arrives.
void EtpanWorker::onMessage(mailimap_msg_att* message, void* context) noexcept {
    auto* self = static_cast<EtpanWorker*>(context);
    self->lastPercent_ = -1;
    // A message nobody asked for is dropped, or a server could fill the memory with them.
    if (!self->aheadBuffer_ || !message || !self->requested(message->att_number))
        return;
    try {
        if (std::optional<Fetched> fetched = fetchedFrom(message)) {
            self->arrived_.insert(message->att_number);
            ++self->arrivedMessages_;
            self->arrivedBytes_ += fetched->raw.size();
            self->aheadBuffer_->put(message->att_number, std::move(*fetched));
        }
    } catch (...) {
        // Out of memory: the message counts as not sent and the reader is told so.
    }
}

// Called in the worker thread, between two answers, when nothing in the buffers is still needed.
void EtpanWorker::shrinkReadBuffers() {
    constexpr std::size_t largeBuffer = 4 * 1024 * 1024;
    for (MMAPString** buffer : {&imap_->imap_stream_buffer, &imap_->imap_response_buffer}) {
        if (!*buffer || (*buffer)->allocated_len <= largeBuffer)
            continue;
        if (MMAPString* small = mmap_string_new("")) {
            mmap_string_free(*buffer);
            *buffer = small;
        }
    }
}

// Called in the worker thread, once a message too large was refused with its connection: it fails
// for its size, and the reason given to the others tells why the connection was given up.
QString EtpanWorker::settleOversized(FetchAheadBuffer& buffer) {
    const quint32 number = refusedForSize_;
    if (number == 0)
        return oversizedReason();
    buffer.fail(number, QStringLiteral("FETCH %1").arg(number) + oversizedReason());
    return QStringLiteral(" failed: the connection was given up after message %1, which is too "
                          "large")
        .arg(number);
}

// Called in the worker thread.
bool EtpanWorker::requested(quint32 n) const {
    for (const auto& [first, last] : requested_)
        if (n >= first && n <= last)
            return true;
    return false;
}

// Called in the worker thread.
bool EtpanWorker::sendFetch(quint32 first, quint32 last) {
    Q_ASSERT(QThread::currentThread() == thread());
    QByteArray line = "FETCH " + QByteArray::number(first);
    if (last != first)
        line += ':' + QByteArray::number(last);
    line += " (UID BODY.PEEK[] INTERNALDATE)\r\n";
    return mailimap_send_current_tag(imap_) == MAILIMAP_NO_ERROR &&
           mailstream_write(imap_->imap_stream, line.constData(), size_t(line.size())) >= 0 &&
           mailstream_flush(imap_->imap_stream) >= 0;
}

// Called in the worker thread.
void EtpanWorker::fetchAhead(quint32 first, quint32 last, FetchAheadBuffer& buffer) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("FETCH")) {
        buffer.end(QStringLiteral(" failed: not connected"));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    std::deque<Window> inFlight;
    // Windows to send once more, lowest first: throttled ones, and each number a range came
    // back without.
    std::map<quint32, quint32> again;
    quint32 next = first;
    quint32 count = firstWindow;
    qint64 quietUntilMs = 0;
    int throttled = 0;
    int lastTag = imap_->imap_tag;
    QString endReason; // how the numbers not settled failed, after "FETCH n"

    const auto estimate = [&](quint32 messages) {
        const qint64 average =
            arrivedMessages_ ? arrivedBytes_ / arrivedMessages_ : firstGuessBytes;
        return qint64(messages) * qMax<qint64>(average, 1);
    };
    const auto inFlightBytes = [&] {
        qint64 bytes = 0;
        for (const Window& w : inFlight)
            bytes += w.estimate;
        return bytes;
    };

    // The server answers pipelined commands in its own order: the reply to one command may
    // bring messages of the next, so what arrived is kept until each command's reply is read.
    arrived_.clear();
    arrivedMessages_ = 0;
    arrivedBytes_ = 0;
    aheadBuffer_ = &buffer;
    mailimap_set_msg_att_handler(imap_, &EtpanWorker::onMessage, this);
    while (true) {
        // Keep commands in flight while there is room and the server has not asked to wait.
        while (inFlight.size() < maxInFlight && !cancelled_ && !buffer.stopping() &&
               clock.elapsed() >= quietUntilMs && (!again.empty() || next <= last)) {
            Window w;
            if (!again.empty()) {
                std::tie(w.first, w.last) = *again.begin();
            } else {
                // One window holds at most an eighth of the limit, however small its messages;
                // winding down, only the message the reader waits for is asked for.
                quint32 size = buffer.windingDown() ? 1 : qMin(count, last - next + 1);
                while (size > 1 && estimate(size) > buffer.byteLimit() / 8)
                    size /= 2;
                w.first = next;
                w.last = next + size - 1;
            }
            w.estimate = estimate(w.last - w.first + 1);
            if (!inFlight.empty() && !buffer.hasRoom(inFlightBytes(), w.estimate))
                break;
            if (inFlight.empty() && !buffer.waitForRoom(w.first, w.estimate, cancelled_))
                break;
            if (!sendFetch(w.first, w.last)) {
                const QString operation = QStringLiteral("FETCH");
                fail(operation, MAILIMAP_ERROR_STREAM);
                endReason = lastError_.mid(operation.size());
                break;
            }
            lastTag = imap_->imap_tag;
            w.tag = lastTag;
            inFlight.push_back(w);
            if (!again.empty()) {
                again.erase(again.begin());
            } else {
                next = w.last + 1;
                count = qMin(count * 2, largestWindow);
            }
        }
        if (!endReason.isEmpty() || !imap_)
            break;
        if (inFlight.empty()) {
            if (cancelled_ || buffer.stopping() || (again.empty() && next > last))
                break;
            // The server asked to wait: wait, unless the work ends meanwhile.
            while (clock.elapsed() < quietUntilMs && !cancelled_ && !buffer.stopping())
                QThread::msleep(10);
            continue;
        }

        // Read the answer to the oldest command; libetpan matches it against the current tag.
        const Window w = inFlight.front();
        inFlight.pop_front();
        requested_ = {{w.first, w.last}};
        for (const Window& other : inFlight)
            requested_.append({other.first, other.last});
        imap_->imap_tag = w.tag;
        mailimap_response* response = nullptr;
        int r = mailimap_read_line(imap_) ? mailimap_parse_response(imap_, &response)
                                          : MAILIMAP_ERROR_STREAM;
        imap_->imap_tag = lastTag;
        const QString operation = QStringLiteral("FETCH %1:%2").arg(w.first).arg(w.last);
        if (r != MAILIMAP_NO_ERROR && r != MAILIMAP_ERROR_PROTOCOL) {
            // The stream is broken or unreadable: the connection is closed.
            fail(operation, r);
            endReason = lastError_.mid(operation.size());
            if (oversizedBytes_ != 0)
                endReason = settleOversized(buffer);
            break;
        }
        bool ok = r == MAILIMAP_NO_ERROR;
        if (response) {
            const mailimap_response_done* done = response->rsp_resp_done;
            ok = done->rsp_type == MAILIMAP_RESP_DONE_TYPE_TAGGED &&
                 done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type == MAILIMAP_RESP_COND_STATE_OK;
            mailimap_response_free(response);
        }
        shrinkReadBuffers();

        const QString said = serverText();
        const std::optional<int> backoff = ok ? std::nullopt : throttleBackoffMs(said);
        if (backoff && ++throttled < maxThrottledAnswers) {
            again.emplace(w.first, w.last);
            quietUntilMs = clock.elapsed() + *backoff;
            continue;
        }
        if (backoff) {
            giveUpThrottled(operation);
            endReason = lastError_.mid(operation.size());
            break;
        }
        throttled = 0;
        if (!ok)
            count = firstWindow;
        for (quint32 n = w.first; n <= w.last; ++n) {
            if (arrived_.remove(n))
                continue;
            // The answer may be about another message of the range.
            if (w.first != w.last) {
                again.emplace(n, n);
                continue;
            }
            const QString number = QStringLiteral("FETCH %1").arg(n);
            buffer.fail(n, ok ? number + QStringLiteral(" failed: the server sent no message")
                              : number + QStringLiteral(" failed, server replied: ") + said);
        }
    }
    if (imap_)
        mailimap_set_msg_att_handler(imap_, nullptr, nullptr);
    // A command left unanswered or a cancelled stream would confuse the next command.
    if (imap_ && (cancelled_ || !inFlight.empty()))
        closeConnection();
    aheadBuffer_ = nullptr;
    requested_.clear();
    if (endReason.isEmpty() && cancelled_)
        endReason = QStringLiteral(" failed: cancelled");
    buffer.end(endReason);
}
