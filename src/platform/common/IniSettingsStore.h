#pragma once

#include "platform/SettingsStore.h"

namespace platform {

// settings.ini in "$XDG_CONFIG_HOME/<application>/". Every write re-reads the file, so keys
// written by other versions of the program are kept.
class IniSettingsStore final : public SettingsStore {
public:
    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue) override;
    bool SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

    static QString filePath(const QString& appName);
};

} // namespace platform
