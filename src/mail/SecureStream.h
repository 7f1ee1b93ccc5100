#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

struct _mailstream;

// Where a connection goes.
struct ImapEndpoint {
    QString host;
    int port = 0;
    bool ssl = false;
    QString trustedCertificates; // extra CA file, "" for none

    bool operator==(const ImapEndpoint&) const = default;
};

// A stream to the server, TLS set up and the server's certificate accepted when the endpoint asks
// for TLS; or, when stream is null, why there is none: the text that follows "failed: "
// ("connection refused", "cancelled", "the secure connection could not be set up", a refused
// certificate's reason).
struct OpenedStream {
    _mailstream* stream = nullptr;
    int fd = -1; // the stream's socket
    QString failure;
};

// Tells, under the caller's lock, the socket and the stream being set up (-1 and null once they
// are gone), so that another thread can cut them off while this one waits on them. A socket
// told while the caller is already cancelled is to be shut down at once.
using StreamAnnouncer = std::function<void(int fd, _mailstream* stream)>;

constexpr std::chrono::seconds networkTimeout{30};

// Connects to the endpoint and sets TLS up, as `cancelled` allows; answers a stream that is the
// caller's to close, or the failure, having closed whatever it opened. startMs (milliseconds since
// the epoch) is when the caller's request began, against which a failure is said to have timed
// out.
OpenedStream openSecureStream(const ImapEndpoint& endpoint, const std::atomic<bool>& cancelled,
                              qint64 startMs, const StreamAnnouncer& announce);
