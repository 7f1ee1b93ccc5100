#include "mail/ServerThrottle.h"

#include <QRegularExpression>

namespace {
constexpr int defaultBackoffMs = 1000;
constexpr int longestBackoffMs = 60000;
} // namespace

std::optional<int> throttleBackoffMs(const QString& serverText) {
    if (!serverText.contains(QLatin1String("throttled"), Qt::CaseInsensitive))
        return std::nullopt;
    static const QRegularExpression backoff(
        QStringLiteral("Backoff\\s*Time\\s*:\\s*(\\d{1,9})\\s*(ms|milliseconds?)?"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = backoff.match(serverText);
    if (!match.hasMatch())
        return defaultBackoffMs;
    return qBound(0, match.captured(1).toInt(), longestBackoffMs);
}
