#include "auth/Pkce.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>

namespace auth::Pkce {

namespace {

QString randomText(int bytes) {
    QByteArray data(bytes, Qt::Uninitialized);
    for (char& c : data)
        c = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(
        data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

QString verifier() {
    return randomText(32);
}

QString challenge(const QString& verifier) {
    return QString::fromLatin1(
        QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString state() {
    return randomText(16);
}

} // namespace auth::Pkce
