#include "export/FileNameRule.h"

namespace {

const QString allowedCharacters =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789- ");
constexpr qsizetype maximumNameLength = 200;

} // namespace

QString filterCharacters(const QString& text, const QString& set, FilterMode mode) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (set.contains(c) == (mode == FilterMode::Keep))
            result += c;
    }
    return result;
}

QString downloadFileName(qint32 counter, const QDate& date, const QString& subject) {
    QString name = QString::number(counter) + QStringLiteral(" - ") +
                   date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + subject;
    name = filterCharacters(name, QStringLiteral(":"), FilterMode::Drop);
    name = filterCharacters(name, allowedCharacters, FilterMode::Keep);
    name.truncate(maximumNameLength);
    return name + QStringLiteral(".txt");
}
