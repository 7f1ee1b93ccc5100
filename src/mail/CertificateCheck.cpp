#include "mail/CertificateCheck.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

struct TrustList {
    gnutls_x509_trust_list_t list = nullptr;
    TrustList() { gnutls_x509_trust_list_init(&list, 0); }
    ~TrustList() { gnutls_x509_trust_list_deinit(list, 1); }
    TrustList(const TrustList&) = delete;
    TrustList& operator=(const TrustList&) = delete;
};

struct Chain {
    std::vector<gnutls_x509_crt_t> certs;
    Chain() = default;
    ~Chain() {
        for (gnutls_x509_crt_t c : certs)
            gnutls_x509_crt_deinit(c);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
};

QString statusText(unsigned int status) {
    gnutls_datum_t out{};
    if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &out, 0) < 0)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(out.data), int(out.size));
    gnutls_free(out.data);
    return text;
}

bool addTrustFile(TrustList& trust, const QString& file) {
    const QByteArray path = file.toLocal8Bit();
    return gnutls_x509_trust_list_add_trust_file(trust.list, path.constData(), nullptr,
                                                 GNUTLS_X509_FMT_PEM, 0, 0) > 0;
}

// The verification status of chain for host against trust (0: accepted); none when it could not
// be verified at all.
std::optional<unsigned int> verify(const TrustList& trust, Chain& chain,
                                   const QByteArray& hostName) {
    gnutls_typed_vdata_st data[2] = {};
    data[0].type = GNUTLS_DT_DNS_HOSTNAME;
    data[0].data = reinterpret_cast<unsigned char*>(const_cast<char*>(hostName.constData()));
    data[1].type = GNUTLS_DT_KEY_PURPOSE_OID;
    data[1].data = reinterpret_cast<unsigned char*>(const_cast<char*>(GNUTLS_KP_TLS_WWW_SERVER));
    unsigned int status = 0;
    if (gnutls_x509_trust_list_verify_crt2(trust.list, chain.certs.data(),
                                           static_cast<unsigned int>(chain.certs.size()), data, 2,
                                           0, &status, nullptr) < 0)
        return std::nullopt;
    return status;
}

} // namespace

QString checkCertificateChain(const QList<QByteArray>& derChain, const QString& host,
                              const QString& extraCaFile) {
    if (derChain.isEmpty())
        return QStringLiteral("certificate not trusted: the server sent no certificate");

    Chain chain;
    for (const QByteArray& der : derChain) {
        gnutls_x509_crt_t cert = nullptr;
        gnutls_x509_crt_init(&cert);
        chain.certs.push_back(cert);
        const gnutls_datum_t datum{
            reinterpret_cast<unsigned char*>(const_cast<char*>(der.constData())),
            static_cast<unsigned int>(der.size())};
        if (gnutls_x509_crt_import(cert, &datum, GNUTLS_X509_FMT_DER) < 0)
            return QStringLiteral(
                "certificate not trusted: the server's certificate is unreadable");
    }
    const QByteArray hostName = host.toUtf8();
    const QString unreadableFile =
        QStringLiteral("certificate not trusted: cannot read the trusted certificates file %1")
            .arg(extraCaFile);

    // A chain that the extra file's authorities accept is accepted with the system's as well:
    // the system store, slow to read, is read only when they do not.
    if (!extraCaFile.isEmpty()) {
        TrustList extra;
        if (!addTrustFile(extra, extraCaFile))
            return unreadableFile;
        if (verify(extra, chain, hostName) == 0u)
            return {};
    }
    TrustList trust;
    if (gnutls_x509_trust_list_add_system_trust(trust.list, 0, 0) < 0 && extraCaFile.isEmpty())
        return QStringLiteral("certificate not trusted: the system trust store cannot be read");
    if (!extraCaFile.isEmpty() && !addTrustFile(trust, extraCaFile))
        return unreadableFile;

    const std::optional<unsigned int> status = verify(trust, chain, hostName);
    if (!status)
        return QStringLiteral("certificate not trusted: verification failed");
    if (*status == 0)
        return {};

    const unsigned int otherThanOwner =
        *status & ~(GNUTLS_CERT_INVALID | GNUTLS_CERT_UNEXPECTED_OWNER);
    if (otherThanOwner == 0 && (*status & GNUTLS_CERT_UNEXPECTED_OWNER))
        return QStringLiteral("host name mismatch: the certificate is not for %1").arg(host);
    return QStringLiteral("certificate not trusted: %1").arg(statusText(*status));
}
