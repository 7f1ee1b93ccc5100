#pragma once

#include <QByteArray>

#include <utility>

// The messages a scripted IMAP server serves, and the pieces of its FETCH answers.

// Message n: one sender, "Subject: Message n", "Body n"; with a date, a Date header too.
QByteArray numberedMessage(qint64 n, const QByteArray& date = {});

// The numbers of "FETCH first:last (...)" or "FETCH n (...)".
std::pair<qint64, qint64> fetchSet(const QByteArray& command);

// The FETCH answers carrying numberedMessage(first) to numberedMessage(last).
QByteArray fetchedMessages(qint64 first, qint64 last, const QByteArray& date = {});
