#include "platform/common/IniSettingsStore.h"

#include "platform/Log.h"
#include "platform/common/IniDocument.h"
#include "platform/common/XdgPaths.h"

#include <QFile>

namespace platform {

QString IniSettingsStore::filePath(const QString& appName) {
    return XdgPaths::configHome() + QLatin1Char('/') + appName + QLatin1String("/settings.ini");
}

QString IniSettingsStore::GetSetting(const QString& appName, const QString& section, const QString& key,
                                     const QString& defaultValue) {
    IniDocument doc;
    const auto result = doc.load(filePath(appName));
    if (result == IniDocument::LoadResult::Unreadable || result == IniDocument::LoadResult::Damaged)
        qCWarning(lcSettings, "%s is %s; %s is taken from what could be read",
                  qUtf8Printable(filePath(appName)),
                  result == IniDocument::LoadResult::Damaged ? "damaged" : "unreadable", qUtf8Printable(key));
    return doc.value(section, key).value_or(defaultValue);
}

bool IniSettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                   const QString& value) {
    const QString path = filePath(appName);
    IniDocument doc;
    switch (doc.load(path)) {
    case IniDocument::LoadResult::Unreadable:
        // Writing now would throw away every other setting we could not read.
        qCWarning(lcSettings, "cannot read %s; %s not saved", qUtf8Printable(path), qUtf8Printable(key));
        return false;
    case IniDocument::LoadResult::Damaged: {
        const QString backup = path + QLatin1String(".damaged");
        QFile::remove(backup);
        if (!QFile::rename(path, backup)) {
            qCWarning(lcSettings, "%s is damaged and cannot be set aside; %s not saved", qUtf8Printable(path),
                      qUtf8Printable(key));
            return false;
        }
        qCWarning(lcSettings, "%s was damaged; kept as %s, its readable settings carried over",
                  qUtf8Printable(path), qUtf8Printable(backup));
        break;
    }
    case IniDocument::LoadResult::Missing:
    case IniDocument::LoadResult::Loaded:
        break;
    }
    doc.setValue(section, key, value);
    return doc.save(path);
}

} // namespace platform
