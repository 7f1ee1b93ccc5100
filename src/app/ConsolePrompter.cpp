#include "app/ConsolePrompter.h"

#include <QStringList>

#include <cstdio>

namespace {

void writeLines(const QString& prefix, const QString& text) {
    const QStringList lines = QString(text)
                                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                  .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        std::fprintf(stderr, "%s%s\n", prefix.toLocal8Bit().constData(),
                     line.toLocal8Bit().constData());
}

} // namespace

void ConsolePrompter::message(QWidget*, const BoxContent& box) {
    if (beforeWriting)
        beforeWriting();
    writeLines(QStringLiteral("quentaril: "), box.text);
    if (!box.detail.isEmpty())
        writeLines(QStringLiteral("quentaril: details: "), box.detail);
    std::fflush(stderr);
}

std::optional<QString> ConsolePrompter::input(QWidget*, const QString&, const QString&) {
    return std::nullopt;
}

QString ConsolePrompter::browseForFolder(QWidget*, const QString&, const QString&) {
    return {};
}

int ConsolePrompter::showModal(QDialog&) {
    return 0;
}
