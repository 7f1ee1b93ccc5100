#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Judges a server's certificate chain (DER, the server's own certificate first): it must lead to a
// certificate authority in the system trust store or in the optional extra PEM file, be valid now,
// be meant for TLS servers and name the host (a DNS name, or an IP address literal).
// Answers "" when the chain is accepted, otherwise the reason for the user
// ("certificate not trusted: ...", "host name mismatch: ...").
QString checkCertificateChain(const QList<QByteArray>& derChain, const QString& host,
                              const QString& extraCaFile);
