// libFuzzer target: one input is a raw message. It is read as the listing reads every fetched
// message, and its subject is turned into a file name as a download does.
#include "export/FileNameRule.h"
#include "mail/MimeParser.h"

#include <QDate>
#include <QDateTime>
#include <QGuiApplication>
#include <QTimeZone>

#include <cstddef>
#include <cstdint>

// HTML is rendered to text through Qt's text document, which needs the application object the
// program always has.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    const QDateTime internalDate(QDate(2024, 1, 1), QTime(10, 0), QTimeZone::utc());
    const EmailObject email = parseEmail(raw, internalDate);
    const QString name = downloadFileName(1, QDate(2024, 1, 1), email.Subject);
    // The rule's promise: a name of at most 200 kept characters and ".txt".
    if (name.size() > 204 || !name.endsWith(QLatin1String(".txt")))
        __builtin_trap();
    return 0;
}
