#pragma once

#include <QString>

// The user's choices and credentials: string values under the application "Vantrello", the
// section "Quentaril" and a key, kept per user in an INI file under the user's configuration
// folder. Every read goes to the file and every save is written at once; nothing is deleted.
// The file is readable and writable by its owner only.
namespace SettingsStore {

QString Read(const QString& key, const QString& defaultValue = {});
void Save(const QString& key, const QString& value);

// The file that holds the values.
QString filePath();

} // namespace SettingsStore
