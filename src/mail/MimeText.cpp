#include "mail/MimeText.h"

namespace {

// True when every line break of text is already a CR LF pair.
bool breaksAreCrLf(QStringView text) {
    const char16_t* begin = text.utf16();
    const char16_t* end = begin + text.size();
    for (const char16_t* c = begin; c != end; ++c) {
        if (*c == u'\n')
            return false; // not after a CR, or that CR would have taken it
        if (*c == u'\r') {
            if (c + 1 == end || c[1] != u'\n')
                return false;
            ++c;
        }
    }
    return true;
}

} // namespace

QString withCrLf(const QString& text) {
    if (breaksAreCrLf(text))
        return text;
    // Copies the runs between line breaks whole: a body is mostly such runs.
    QString result;
    result.reserve(text.size() + text.size() / 32);
    const QStringView view(text);
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
