#include "mail/MimeText.h"

namespace {

// True when every line break of text is already a CR LF pair.
template <class Char> bool crLfOnly(const Char* begin, const Char* end) {
    for (const Char* c = begin; c != end; ++c) {
        if (*c == '\n')
            return false; // not after a CR, or that CR would have taken it
        if (*c == '\r') {
            if (c + 1 == end || c[1] != '\n')
                return false;
            ++c;
        }
    }
    return true;
}

} // namespace

bool breaksAreCrLf(QByteArrayView text) {
    return crLfOnly(text.data(), text.data() + text.size());
}

QString withCrLf(const QString& text) {
    const QStringView view(text);
    if (crLfOnly(view.utf16(), view.utf16() + view.size()))
        return text;
    // Copies the runs between line breaks whole: a body is mostly such runs.
    QString result;
    result.reserve(text.size() + text.size() / 32);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const QChar c = view[i];
        if (c != u'\r' && c != u'\n')
            continue;
        result.append(view.mid(runStart, i - runStart));
        result.append(u"\r\n");
        if (c == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n')
            ++i;
        runStart = i + 1;
    }
    result.append(view.mid(runStart));
    return result;
}
