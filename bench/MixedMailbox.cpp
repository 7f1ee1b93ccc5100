#include "MixedMailbox.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <random>

namespace {

QByteArray lines(std::mt19937& random, int bytes, const QByteArray& prefix) {
    static const char* const words[] = {"meeting",  "invoice", "report", "weekend",  "project",
                                        "schedule", "numbers", "update", "question", "thanks"};
    QByteArray out;
    while (out.size() < bytes) {
        QByteArray line = prefix;
        while (line.size() < 70)
            line += QByteArray(words[random() % 10]) + ' ';
        out += line + "\r\n";
    }
    return out;
}

QByteArray attachment(std::mt19937& random, int bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    out.reserve(bytes + bytes / 76 * 2);
    while (out.size() < bytes) {
        char line[76];
        for (char& c : line)
            c = alphabet[random() % 64];
        out.append(line, 76).append("\r\n");
    }
    return out;
}

QByteArray header(int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Sender " + number + " <sender" + number +
           "@example.test>\r\nTo: user@example.test\r\nSubject: Mixed message " + number +
           "\r\nDate: Mon, 4 Dec 2023 10:00:00 +0000\r\nMessage-ID: <mix" + number +
           "@example.test>\r\nMIME-Version: 1.0\r\n";
}

QByteArray shortPlainText(std::mt19937& random, int n) {
    return header(n) + "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
           lines(random, 2000 + int(random() % 6000), "");
}

QByteArray message(std::mt19937& random, int n) {
    const QByteArray head = header(n);
    const int kind = int(random() % 100);
    if (kind < 75)
        return shortPlainText(random, n);
    if (kind < 93)
        return head + "Content-Type: text/html; charset=utf-8\r\n\r\n<html><body>\r\n" +
               lines(random, 15000 + int(random() % 35000), "<p>") + "</body></html>\r\n";
    const int size = kind < 99 ? 100000 + int(random() % 150000) : 1000000;
    return head +
           "Content-Type: multipart/mixed; boundary=\"part\"\r\n\r\n--part\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
           lines(random, 3000, "") +
           "--part\r\nContent-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           attachment(random, size) + "--part--\r\n";
}

qint64 writeMailbox(const QString& folder, int count,
                    QByteArray (*make)(std::mt19937& random, int n)) {
    if (!QDir().mkpath(folder))
        return -1;
    std::mt19937 random(20231204);
    qint64 total = 0;
    for (int n = 1; n <= count; ++n) {
        QFile file(QDir(folder).filePath(QStringLiteral("%1.eml").arg(n, 6, 10, QLatin1Char('0'))));
        const QByteArray bytes = make(random, n);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return -1;
        total += bytes.size();
    }
    return total;
}

} // namespace

qint64 writeMixedMailbox(const QString& folder, int count) {
    return writeMailbox(folder, count, message);
}

qint64 writeSmallMailbox(const QString& folder, int count) {
    return writeMailbox(folder, count, shortPlainText);
}

qint64 writeLargeMessage(const QString& folder, qint64 bodyBytes) {
    if (!QDir().mkpath(folder))
        return -1;
    std::mt19937 random(20231204);
    QFile file(QDir(folder).filePath(QStringLiteral("000001.eml")));
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    QByteArray bytes = "From: Sender <sender@example.test>\r\nTo: user@example.test\r\n"
                       "Subject: One large message\r\nDate: Mon, 4 Dec 2023 10:00:00 +0000\r\n"
                       "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
    qint64 total = 0;
    // Written a megabyte at a time, so the benchmark itself needs little memory.
    while (total < bodyBytes) {
        bytes += lines(random, 1 << 20, "");
        if (file.write(bytes) != bytes.size())
            return -1;
        total += bytes.size();
        bytes.clear();
    }
    return total;
}
