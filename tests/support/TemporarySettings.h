#pragma once

#include <QSettings>
#include <QTemporaryDir>

// Points the per-user settings at a fresh temporary folder for the life of the object.
class TemporarySettings {
public:
    TemporarySettings() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};
