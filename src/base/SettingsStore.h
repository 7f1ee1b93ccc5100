#pragma once

#include <QString>

#include <functional>

// The user's choices and credentials: string values under the application "Vantrello", the
// section "Quentaril" and a key, kept per user in an INI file under the user's configuration
// folder. The file is read once, when the store is first used; every save is written at once;
// nothing is deleted. A new file is made readable and writable by its owner only, and so is any
// file that holds a password, whoever made it; otherwise an existing file's permissions are left as
// the user set them, so a read-only file stays read-only and its values are kept for this run
// only.
namespace SettingsStore {

QString Read(const QString& key, const QString& defaultValue = {});
void Save(const QString& key, const QString& value);

// The file that holds the values.
QString filePath();

// Called with a reason the first time a save cannot be written, and never again in this run.
void setUnsavedListener(std::function<void(const QString& reason)> listener);

// Forgets what was read, so the next use reads the file (for a run that moved the settings
// folder with QSettings::setPath). The listener may be called again after it.
void reopen();

} // namespace SettingsStore
