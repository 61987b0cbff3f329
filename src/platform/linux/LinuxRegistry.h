#pragma once

#include "platform/Registry.h"

namespace platform {

// The per-user Run key is the desktop's autostart folder; every other key lives in a small
// per-user file, "$XDG_CONFIG_HOME/ZOR Brakkon/registry.ini".
class LinuxRegistry final : public Registry {
public:
    std::optional<RegValue> query(std::uint32_t root, const QString& subKey,
                                  const QString& valueName) override;
    std::int32_t setValue(std::uint32_t root, const QString& subKey, const QString& valueName,
                          const RegValue& value) override;
    std::int32_t deleteValue(std::uint32_t root, const QString& subKey, const QString& valueName) override;

    static bool isRunKey(std::uint32_t root, const QString& subKey);
    static QString filePath();
};

} // namespace platform
