#include "mail/MimeText.h"

QString withCrLf(const QString& text) {
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
