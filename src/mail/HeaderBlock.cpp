#include "mail/HeaderBlock.h"

namespace {

// "Name:" with a name of printable characters other than the colon; blanks may precede the colon.
bool isFieldLine(QByteArrayView line) {
    qsizetype i = 0;
    while (i < line.size() && line[i] > ' ' && line[i] < '\x7f' && line[i] != ':')
        ++i;
    if (i == 0)
        return false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i < line.size() && line[i] == ':';
}

} // namespace

QByteArray withHeaderBlockEnded(const QByteArray& raw) {
    for (qsizetype start = 0; start < raw.size();) {
        qsizetype end = raw.indexOf('\n', start);
        if (end < 0)
            end = raw.size();
        QByteArrayView line = QByteArrayView(raw).sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return raw;
        const bool continuation = start > 0 && (line[0] == ' ' || line[0] == '\t');
        const bool mboxSeparator = start == 0 && line.startsWith("From ");
        if (!continuation && !mboxSeparator && !isFieldLine(line)) {
            QByteArray repaired = raw;
            repaired.insert(start, raw.contains("\r\n") ? "\r\n" : "\n");
            return repaired;
        }
        start = end + 1;
    }
    return raw;
}
