#include "mail/TransferDecoding.h"

#include <algorithm>

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

namespace {

bool inBase64Alphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

// Decodes one padded piece with a fresh decoder state.
void appendBase64Piece(QByteArray& piece, QByteArray& out) {
    if (piece.size() % 4 == 1) // six bits make no byte
        piece.chop(1);
    if (piece.isEmpty())
        return;
    while (piece.size() % 4 != 0)
        piece += '=';
    const qsizetype start = out.size();
    out.resize(start + piece.size() / 4 * 3);
    int state = 0;
    guint32 save = 0;
    const size_t length = g_mime_encoding_base64_decode_step(
        reinterpret_cast<const unsigned char*>(piece.constData()), piece.size(),
        reinterpret_cast<unsigned char*>(out.data() + start), &state, &save);
    out.resize(start + static_cast<qsizetype>(length));
    piece.clear();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

QByteArray decodeBase64Leniently(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size() * 3 / 4 + 3);
    QByteArray piece;
    piece.reserve(text.size());
    for (const char c : text) {
        if (inBase64Alphabet(c))
            piece += c;
        else if (c == '=' && piece.size() % 4 != 0)
            appendBase64Piece(piece, out);
    }
    appendBase64Piece(piece, out);
    return out;
}

QByteArray decodeBase64Body(QByteArrayView text) {
    qsizetype end = 0; // of the base64 run
    bool started = false;
    for (qsizetype lineStart = 0; lineStart < text.size();) {
        qsizetype lineEnd = text.indexOf('\n', lineStart);
        lineEnd = lineEnd < 0 ? text.size() : lineEnd + 1;
        const QByteArrayView line = text.sliced(lineStart, lineEnd - lineStart).trimmed();
        const auto foreign = std::count_if(line.begin(), line.end(),
                                           [](char c) { return !inBase64Alphabet(c) && c != '='; });
        if (foreign > 1 || (started && line.isEmpty()))
            break;
        started = started || !line.isEmpty();
        lineStart = end = lineEnd;
    }
    QByteArray out = decodeBase64Leniently(text.first(end));
    const QByteArrayView rest = text.sliced(end);
    if (rest.trimmed().isEmpty())
        return out;
    // What follows starts on a line of its own.
    if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r') && !rest.startsWith('\n') &&
        !rest.startsWith('\r'))
        out += "\r\n";
    out.append(rest);
    return out;
}

QByteArray decodeQuotedPrintable(QByteArrayView text) {
    QByteArray trimmed;
    trimmed.reserve(text.size());
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n')
            continue;
        qsizetype end = i;
        if (end > lineStart && text[end - 1] == '\r')
            --end;
        qsizetype contentEnd = end;
        while (contentEnd > lineStart && isBlank(text[contentEnd - 1]))
            --contentEnd;
        trimmed.append(text.sliced(lineStart, contentEnd - lineStart));
        trimmed.append(text.sliced(end, std::min(i + 1, text.size()) - end));
        lineStart = i + 1;
    }
    QByteArray out(trimmed.size(), Qt::Uninitialized);
    int state = 0;
    guint32 save = 0;
    const size_t length = g_mime_encoding_quoted_decode_step(
        reinterpret_cast<const unsigned char*>(trimmed.constData()), trimmed.size(),
        reinterpret_cast<unsigned char*>(out.data()), &state, &save);
    out.resize(static_cast<qsizetype>(length));
    return out;
}
