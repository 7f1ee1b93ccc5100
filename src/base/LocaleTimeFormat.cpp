#include "base/LocaleTimeFormat.h"

#include <QRegularExpression>

namespace {

// Marks a field that was removed, until its surroundings are tidied.
constexpr QChar removed(0x1);

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The pattern letters Qt formats ("AP" and "ap" are A and a followed by P and p).
bool qtKnows(QChar letter) {
    return QStringView(u"dMyhHmszaApPt").contains(letter);
}

// Quoted text and runs of one pattern letter, in order; everything else one character at a time.
QStringList tokens(const QString& format) {
    QStringList result;
    for (qsizetype i = 0; i < format.size();) {
        qsizetype end = i + 1;
        if (format[i] == u'\'') {
            while (end < format.size() && format[end] != u'\'')
                ++end;
            end = std::min(end + 1, format.size());
        } else if (isAsciiLetter(format[i])) {
            while (end < format.size() && format[end] == format[i])
                ++end;
        }
        result.append(format.sliced(i, end - i));
        i = end;
    }
    return result;
}

bool hasField(const QStringList& fields, QStringView letters) {
    for (const QString& field : fields)
        if (letters.contains(field[0]))
            return true;
    return false;
}

// The Qt form of one pattern-letter run; removed when there is none.
QString qtField(const QString& field, bool twelveHourWithoutMarker) {
    const QChar letter = field[0];
    if (letter == u't')
        return removed;
    if (letter == u'B' || letter == u'b') // a day period ("in the afternoon")
        return twelveHourWithoutMarker ? QStringLiteral("AP") : QString(removed);
    if (letter == u'K')
        return QString(field.size(), u'h');
    if (letter == u'k')
        return QString(field.size(), u'H');
    return qtKnows(letter) ? field : QString(removed);
}

// Drops the removed fields with the brackets around them and the separators next to them.
QString tidied(QString format) {
    static const QString space = QStringLiteral("[\\s\\x{00A0}\\x{202F}\\x{3000},\\x{FF0C}]");
    static const QRegularExpression bracketed(
        QStringLiteral("[(\\[{\\x{FF08}\\x{FF3B}]%1*\\x01%1*[)\\]}\\x{FF09}\\x{FF3D}]").arg(space));
    static const QRegularExpression atEnd(QStringLiteral("%1*\\x01+%1*$").arg(space));
    static const QRegularExpression atStart(QStringLiteral("^%1*\\x01+%1*").arg(space));
    static const QRegularExpression inside(QStringLiteral("%1*\\x01+").arg(space));
    format.replace(bracketed, QString(removed));
    format.remove(atEnd).remove(atStart).remove(inside);
    return format.trimmed();
}

} // namespace

QString timeFormatWithoutZone(const QString& format) {
    const QStringList parts = tokens(format);
    QStringList fields;
    for (const QString& part : parts)
        if (isAsciiLetter(part[0]))
            fields.append(part);
    const bool twelveHourWithoutMarker = hasField(fields, u"hK") && !hasField(fields, u"aA");
    QString result;
    for (const QString& part : parts)
        result += isAsciiLetter(part[0]) ? qtField(part, twelveHourWithoutMarker) : part;
    return tidied(result);
}
