#pragma once

#include <QByteArray>
#include <QString>

// What a test reads back from the files the program wrote.

// The bytes of the file at path; "<missing>" where it cannot be read.
QByteArray fileContents(const QString& path);

// The error log's text; empty where there is no log.
QString errorLogText();
