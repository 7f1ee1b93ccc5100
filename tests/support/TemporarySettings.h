#pragma once

#include "base/SettingsStore.h"

#include <QSettings>
#include <QTemporaryDir>

// Points the per-user settings at a fresh temporary folder for the life of the object.
class TemporarySettings {
public:
    TemporarySettings() { usePath(dir.path()); }
    ~TemporarySettings() { SettingsStore::reopen(); }
    TemporarySettings(const TemporarySettings&) = delete;
    TemporarySettings& operator=(const TemporarySettings&) = delete;
    QString path() const { return dir.path(); }

    // The settings store reads its file once: a test that moves it opens the store again.
    static void usePath(const QString& folder) {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
        SettingsStore::reopen();
    }

private:
    QTemporaryDir dir;
};
