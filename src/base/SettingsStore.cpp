#include "base/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

const QString application = QStringLiteral("Vantrello");
const QString section = QStringLiteral("Quentaril");

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

// The store of the current user. QSettings is not movable, so callers construct it in place.
struct Store {
    QSettings settings{QSettings::IniFormat, QSettings::UserScope, application, section};
    Store() {
        // Only the user's own file: no machine-wide or organisation-wide file fills in a key.
        settings.setFallbacksEnabled(false);
        settings.beginGroup(section);
    }
};

} // namespace

namespace SettingsStore {

QString filePath() {
    return Store().settings.fileName();
}

QString Read(const QString& key, const QString& defaultValue) {
    Store store;
    if (!store.settings.contains(key))
        return defaultValue;
    const QVariant value = store.settings.value(key);
    // A hand-edited value with an unquoted comma reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void Save(const QString& key, const QString& value) {
    Store store;
    const QString path = store.settings.fileName();
    // Create the file private before anything is written into it: it can hold a password.
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
    QFile::setPermissions(path, ownerOnly);
    store.settings.setValue(key, value);
    store.settings.sync();
    QFile::setPermissions(path, ownerOnly);
}

} // namespace SettingsStore
