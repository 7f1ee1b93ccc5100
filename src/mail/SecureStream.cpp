#include "mail/SecureStream.h"

#include "mail/CancellableConnect.h"
#include "mail/CertificateCheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <libetpan/libetpan.h>

#include <arpa/inet.h>
#include <unistd.h>

namespace {

bool isAddressLiteral(const QString& host) {
    const QByteArray text = host.toLatin1();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.constData(), buffer) == 1 ||
           inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

void setServerName(mailstream_ssl_context* context, void* data) noexcept {
    if (data)
        mailstream_ssl_set_server_name(context, static_cast<char*>(data));
}

QList<QByteArray> certificateChain(mailstream* stream) {
    QList<QByteArray> chain;
    carray* certificates = mailstream_get_certificate_chain(stream);
    if (!certificates)
        return chain;
    for (unsigned int i = 0; i < carray_count(certificates); ++i) {
        auto* der = static_cast<MMAPString*>(carray_get(certificates, i));
        chain.append(QByteArray(der->str, qsizetype(der->len)));
    }
    mailstream_certificate_chain_free(certificates);
    return chain;
}

} // namespace

OpenedStream openSecureStream(const ImapEndpoint& endpoint, const std::atomic<bool>& cancelled,
                              qint64 startMs, const StreamAnnouncer& announce) {
    OpenedStream opened;
    const int fd =
        connectCancellable(endpoint.host, endpoint.port, networkTimeout, cancelled, opened.failure);
    if (fd < 0)
        return opened;
    announce(fd, nullptr);

    mailstream* stream = nullptr;
    if (endpoint.ssl) {
        // Server name indication is for host names, never for address literals.
        QByteArray serverName = endpoint.host.toUtf8();
        const bool literal = isAddressLiteral(endpoint.host);
        stream = mailstream_ssl_open_with_callback_timeout(
            fd, networkTimeout.count(), setServerName, literal ? nullptr : serverName.data());
    } else {
        stream = mailstream_socket_open_timeout(fd, networkTimeout.count());
    }
    if (!stream) {
        announce(-1, nullptr);
        close(fd);
        const bool late =
            QDateTime::currentMSecsSinceEpoch() - startMs >= (networkTimeout.count() - 1) * 1000;
        opened.failure = cancelled ? QStringLiteral("cancelled")
                         : late    ? QStringLiteral("timed out")
                                   : QStringLiteral("the secure connection could not be set up");
        return opened;
    }
    announce(fd, stream);

    if (endpoint.ssl) {
        const QString refused = checkCertificateChain(certificateChain(stream), endpoint.host,
                                                      endpoint.trustedCertificates);
        if (!refused.isEmpty()) {
            announce(-1, nullptr);
            mailstream_close(stream);
            opened.failure = refused;
            return opened;
        }
    }
    opened.stream = stream;
    opened.fd = fd;
    return opened;
}
