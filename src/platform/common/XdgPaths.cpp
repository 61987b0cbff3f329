#include "platform/common/XdgPaths.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

namespace {
// Relative values are invalid by the base-folder rules and are ignored.
QString fromEnv(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QFileInfo(value).isAbsolute())
        return QDir::cleanPath(value);
    return fallback;
}
} // namespace

QString XdgPaths::configHome() {
    return fromEnv("XDG_CONFIG_HOME", QDir::homePath() + QLatin1String("/.config"));
}

QString XdgPaths::dataHome() {
    return fromEnv("XDG_DATA_HOME", QDir::homePath() + QLatin1String("/.local/share"));
}

QString XdgPaths::runtimeDir() {
    return fromEnv("XDG_RUNTIME_DIR", QDir::tempPath());
}

} // namespace platform
