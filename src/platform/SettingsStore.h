#pragma once

#include <QString>

namespace platform {

// The per-user store of application settings: application, section, key, text value.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& appName, const QString& section, const QString& key,
                               const QString& defaultValue) = 0;
    // false when the value could not be stored.
    virtual bool SaveSetting(const QString& appName, const QString& section, const QString& key,
                             const QString& value) = 0;
};

} // namespace platform
