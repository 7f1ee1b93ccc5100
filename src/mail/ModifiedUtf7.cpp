#include "mail/ModifiedUtf7.h"

namespace {

QByteArray toImapBase64(const QString& run) {
    QByteArray utf16;
    for (QChar c : run) {
        utf16.append(char(c.unicode() >> 8));
        utf16.append(char(c.unicode() & 0xff));
    }
    QByteArray b64 = utf16.toBase64(QByteArray::OmitTrailingEquals);
    b64.replace('/', ',');
    return b64;
}

// Decodes the base64 between "&" and "-"; false when it is not whole UTF-16.
bool fromImapBase64(QByteArray b64, QString& out) {
    b64.replace(',', '/');
    const auto decoded = QByteArray::fromBase64Encoding(
        b64, QByteArray::AbortOnBase64DecodingErrors | QByteArray::OmitTrailingEquals);
    if (!decoded || decoded.decoded.size() % 2 != 0 || decoded.decoded.isEmpty())
        return false;
    const QByteArray& bytes = decoded.decoded;
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        out.append(QChar(char16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1]))));
    return true;
}

bool printable(QChar c) {
    return c.unicode() >= 0x20 && c.unicode() <= 0x7e;
}

} // namespace

namespace ModifiedUtf7 {

QString decode(const QByteArray& name) {
    QString out;
    qsizetype i = 0;
    while (i < name.size()) {
        const char c = name[i];
        if (c != '&') {
            out.append(QLatin1Char(c));
            ++i;
            continue;
        }
        const qsizetype end = name.indexOf('-', i + 1);
        if (end < 0) {
            out.append(QString::fromLatin1(name.mid(i)));
            break;
        }
        if (end == i + 1) {
            out.append(QLatin1Char('&'));
        } else {
            QString run;
            if (fromImapBase64(name.mid(i + 1, end - i - 1), run))
                out.append(run);
            else
                out.append(QString::fromLatin1(name.mid(i, end - i + 1)));
        }
        i = end + 1;
    }
    return out;
}

QByteArray encode(const QString& name) {
    QByteArray out;
    QString run;
    auto flush = [&] {
        if (!run.isEmpty()) {
            out += '&' + toImapBase64(run) + '-';
            run.clear();
        }
    };
    for (QChar c : name) {
        if (printable(c)) {
            flush();
            out += c == QLatin1Char('&') ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
        } else {
            run.append(c);
        }
    }
    flush();
    return out;
}

} // namespace ModifiedUtf7
