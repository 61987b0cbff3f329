#pragma once

#include "platform/HotKeySource.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace platform {

// One shortcut as the desktop portal passes it: an identifier and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);
using PortalShortcuts = QList<PortalShortcut>;
void registerPortalTypes();

// System-wide key combinations through the desktop portal's GlobalShortcuts interface, the only
// way a Wayland client gets them. The portal answers later, after asking the user maybe, and
// the desktop may pick another key: grab() is true as soon as a request could be made, and a
// later refusal is reported through refused().
class PortalHotKeySource final : public HotKeySource {
    Q_OBJECT
public:
    explicit PortalHotKeySource(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalHotKeySource() override;

    bool grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) override;
    void release(std::int32_t id) override;

    // The portal's trigger text of a combination ("CTRL+KP_Multiply"); empty when the key has
    // no name there.
    static QString triggerFor(std::int32_t virtualKey, std::int32_t modifiers);

private slots:
    // QtDBus delivers signals of other processes to string-named slots only.
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);
    void onActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                     const QVariantMap& options);

private:
    struct Wanted {
        QString trigger;
        bool bound = false;
    };
    using ResponseHandler = std::function<void(uint, const QVariantMap&)>;

    bool portalPresent();
    void registerAppId();
    void createSession();
    void bindPending();
    // Calls a portal method that answers through a Request object; the handler gets its Response.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 ResponseHandler handler);
    void refuseUnbound(const char* why);
    static QString shortcutName(std::int32_t id);

    QDBusConnection m_bus;
    QHash<std::int32_t, Wanted> m_wanted;
    QHash<QString, ResponseHandler> m_requests; // by request object path
    QString m_session;
    bool m_creatingSession = false;
    bool m_registered = false;
    int m_nextToken = 0;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::PortalShortcut)
