#include "platform/Platform.h"

#include "platform/common/IniSettingsStore.h"
#include "platform/common/QtDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace platform {

std::unique_ptr<Registry> makeRegistry(); // one per operating system

namespace {
template <typename Service> struct Slot { std::unique_ptr<Service> instance; };
Slot<Dialogs>& dialogSlot() {
    static Slot<Dialogs> slot;
    return slot;
}
Slot<Registry>& registrySlot() {
    static Slot<Registry> slot;
    return slot;
}
Slot<SettingsStore>& settingsSlot() {
    static Slot<SettingsStore> slot;
    return slot;
}
} // namespace

Dialogs& dialogs() {
    auto& slot = dialogSlot();
    if (!slot.instance)
        slot.instance = std::make_unique<QtDialogs>();
    return *slot.instance;
}

Registry& registry() {
    auto& slot = registrySlot();
    if (!slot.instance)
        slot.instance = makeRegistry();
    return *slot.instance;
}

SettingsStore& settings() {
    auto& slot = settingsSlot();
    if (!slot.instance)
        slot.instance = std::make_unique<IniSettingsStore>();
    return *slot.instance;
}

std::unique_ptr<Dialogs> setDialogs(std::unique_ptr<Dialogs> replacement) {
    return std::exchange(dialogSlot().instance, std::move(replacement));
}

std::unique_ptr<Registry> setRegistry(std::unique_ptr<Registry> replacement) {
    return std::exchange(registrySlot().instance, std::move(replacement));
}

std::unique_ptr<SettingsStore> setSettings(std::unique_ptr<SettingsStore> replacement) {
    return std::exchange(settingsSlot().instance, std::move(replacement));
}

QString executablePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    const QString resolved = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return resolved;
}

bool isX11() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->connection();
}

bool isWaylandSession() {
    const QByteArray forced = qgetenv("ZOR_SESSION_TYPE");
    if (!forced.isEmpty())
        return forced == "wayland";
    return qgetenv("XDG_SESSION_TYPE") == "wayland" || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

} // namespace platform
