#pragma once

#include "MailServer.h"

#include <QDir>

#include <cstdio>
#include <memory>

// The folder "seed" in work, whose INBOX the benchmark fills.
inline QString seedFolder(const QString& work) {
    return QDir(work).filePath(QStringLiteral("seed"));
}

inline QString seedInbox(const QString& work) {
    return QDir(seedFolder(work)).filePath(QStringLiteral("INBOX"));
}

// A local mail server serving the seed folder of work, or none (the reason printed) when it did
// not start.
inline std::unique_ptr<MailServer> startBenchServer(const QString& work) {
    MailServer::Options options;
    options.seedDir = seedFolder(work);
    auto server = std::make_unique<MailServer>(options);
    if (server->isRunning())
        return server;
    std::fprintf(stderr, "%s\n", qPrintable(server->errorText()));
    return nullptr;
}
