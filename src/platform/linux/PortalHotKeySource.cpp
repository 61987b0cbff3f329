#include "platform/linux/PortalHotKeySource.h"

#include "platform/Log.h"
#include "platform/Platform.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace platform {

namespace {
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Answers the portal gives in a Response: 0 done, 1 cancelled by the user, 2 anything else.
constexpr uint Done = 0;
constexpr uint Failed = 2;
// A portal that does not answer a property read within this long is not there.
constexpr int PresenceTimeoutMs = 3000;

QString keyName(std::int32_t virtualKey) {
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
        return QString(QChar(virtualKey).toLower());
    if (virtualKey >= 0x60 && virtualKey <= 0x69)
        return QStringLiteral("KP_%1").arg(virtualKey - 0x60);
    if (virtualKey >= 0x70 && virtualKey <= 0x87)
        return QStringLiteral("F%1").arg(virtualKey - 0x6f);
    switch (virtualKey) {
    case 0x6a:
        return QStringLiteral("KP_Multiply");
    case 0x6b:
        return QStringLiteral("KP_Add");
    case 0x6d:
        return QStringLiteral("KP_Subtract");
    case 0x6e:
        return QStringLiteral("KP_Decimal");
    case 0x6f:
        return QStringLiteral("KP_Divide");
    default:
        return {};
    }
}
} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

void registerPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
}

PortalHotKeySource::PortalHotKeySource(QDBusConnection bus)
    : m_bus(std::move(bus)) {
    registerPortalTypes();
}

PortalHotKeySource::~PortalHotKeySource() {
    if (!m_session.isEmpty())
        m_bus.call(QDBusMessage::createMethodCall(PortalService, m_session,
                                                  QStringLiteral("org.freedesktop.portal.Session"),
                                                  QStringLiteral("Close")),
                   QDBus::NoBlock);
}

QString PortalHotKeySource::triggerFor(std::int32_t virtualKey, std::int32_t modifiers) {
    const QString key = keyName(virtualKey);
    if (key.isEmpty())
        return {};
    QString trigger;
    if (modifiers & 8)
        trigger += QLatin1String("LOGO+");
    if (modifiers & 2)
        trigger += QLatin1String("CTRL+");
    if (modifiers & 1)
        trigger += QLatin1String("ALT+");
    if (modifiers & 4)
        trigger += QLatin1String("SHIFT+");
    return trigger + key;
}

QString PortalHotKeySource::shortcutName(std::int32_t id) {
    return QStringLiteral("toggle-%1").arg(id);
}

bool PortalHotKeySource::grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) {
    const QString trigger = triggerFor(virtualKey, modifiers);
    if (trigger.isEmpty() || !portalPresent())
        return false;
    m_wanted.insert(id, Wanted{trigger, false});
    if (!m_session.isEmpty())
        bindPending();
    else if (!m_creatingSession)
        registerAppId();
    return true;
}

void PortalHotKeySource::release(std::int32_t id) {
    if (!m_wanted.remove(id) || !m_wanted.isEmpty() || m_session.isEmpty())
        return;
    // The portal takes no single shortcut back; with none left the session goes.
    m_bus.call(QDBusMessage::createMethodCall(PortalService, m_session,
                                              QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")),
               QDBus::NoBlock);
    m_bus.disconnect(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    m_session.clear();
}

bool PortalHotKeySource::portalPresent() {
    if (!m_bus.isConnected()) {
        qCInfo(lcPlatform, "no session bus, so no desktop portal for the hot-key");
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        PortalService, PortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << ShortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, PresenceTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCInfo(lcPlatform, "the desktop portal offers no global shortcuts: %s",
               qUtf8Printable(reply.errorMessage()));
        return false;
    }
    return true;
}

// Newer portals serve programs outside a sandbox only once they have named their desktop
// file; older ones lack the interface and serve them anyway.
void PortalHotKeySource::registerAppId() {
    m_creatingSession = true;
    if (m_registered || QFileInfo::exists(QStringLiteral("/.flatpak-info")))
        return createSession();
    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath,
                                                       QStringLiteral("org.freedesktop.host.portal.Registry"),
                                                       QStringLiteral("Register"));
    call << QString::fromLatin1(AppId) << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (done->isError())
            qCDebug(lcPlatform, "the desktop portal registers no app ids (%s); going on",
                    qUtf8Printable(done->error().name()));
        m_registered = true;
        createSession();
    });
}

void PortalHotKeySource::createSession() {
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), QStringLiteral("zor%1").arg(m_nextToken++));
    request(QStringLiteral("CreateSession"), {}, options, [this](uint response, const QVariantMap& results) {
        m_creatingSession = false;
        const QString session =
            results.value(QStringLiteral("session_handle")).value<QDBusObjectPath>().path();
        m_session = session.isEmpty() ? results.value(QStringLiteral("session_handle")).toString() : session;
        if (response != Done || m_session.isEmpty()) {
            m_session.clear();
            return refuseUnbound("the desktop portal gave no shortcut session");
        }
        m_bus.connect(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("Activated"), this,
                      SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        bindPending();
    });
}

void PortalHotKeySource::bindPending() {
    PortalShortcuts shortcuts;
    for (auto it = m_wanted.begin(); it != m_wanted.end(); ++it) {
        if (it->bound)
            continue;
        QVariantMap properties;
        properties.insert(QStringLiteral("description"), QStringLiteral("Turn ZOR Brakkon on or off"));
        properties.insert(QStringLiteral("preferred_trigger"), it->trigger);
        shortcuts.append({shortcutName(it.key()), properties});
    }
    if (shortcuts.isEmpty())
        return;
    const QList<QVariant> arguments{QVariant::fromValue(QDBusObjectPath(m_session)),
                                    QVariant::fromValue(shortcuts), QString()};
    request(
        QStringLiteral("BindShortcuts"), arguments, {}, [this](uint response, const QVariantMap& results) {
            if (response != Done)
                return refuseUnbound(response == 1 ? "the user did not allow the hot-key"
                                                   : "the desktop portal refused the hot-key");
            PortalShortcuts bound;
            results.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >> bound;
            for (const PortalShortcut& shortcut : std::as_const(bound))
                for (auto it = m_wanted.begin(); it != m_wanted.end(); ++it)
                    if (shortcutName(it.key()) == shortcut.id) {
                        it->bound = true;
                        qCInfo(
                            lcPlatform, "the desktop put the hot-key on %s",
                            qUtf8Printable(
                                shortcut.properties.value(QStringLiteral("trigger_description")).toString()));
                    }
            refuseUnbound("the desktop left the hot-key out");
        });
}

void PortalHotKeySource::request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                                 ResponseHandler handler) {
    const QString token = QStringLiteral("zor%1").arg(m_nextToken++);
    options.insert(QStringLiteral("handle_token"), token);
    // The Response may come before the call's own answer: listen on the path it will have.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = PortalPath + QLatin1String("/request/") + sender + QLatin1Char('/') + token;
    m_requests.insert(path, handler);
    m_bus.connect(PortalService, path, RequestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap, QDBusMessage)));

    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, ShortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *done;
        if (!reply.isError() && reply.value().path() == path)
            return;
        auto handler = m_requests.take(path);
        m_bus.disconnect(PortalService, path, RequestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
        if (!handler)
            return; // answered already
        if (reply.isError()) {
            qCWarning(lcPlatform, "desktop portal: %s", qUtf8Printable(reply.error().message()));
            return handler(Failed, {});
        }
        // An older portal put the request elsewhere.
        const QString moved = reply.value().path();
        m_requests.insert(moved, handler);
        m_bus.connect(PortalService, moved, RequestInterface, QStringLiteral("Response"), this,
                      SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    });
}

void PortalHotKeySource::onResponse(uint response, const QVariantMap& results, const QDBusMessage& message) {
    m_bus.disconnect(PortalService, message.path(), RequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    if (auto handler = m_requests.take(message.path()))
        handler(response, results);
}

void PortalHotKeySource::onActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong,
                                     const QVariantMap&) {
    if (session.path() != m_session)
        return;
    for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it)
        if (it->bound && shortcutName(it.key()) == shortcut)
            emit activated(it.key());
}

void PortalHotKeySource::refuseUnbound(const char* why) {
    QList<std::int32_t> refusedIds;
    for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it)
        if (!it->bound)
            refusedIds.append(it.key());
    if (refusedIds.isEmpty())
        return;
    qCWarning(lcPlatform, "%s", why);
    for (std::int32_t id : std::as_const(refusedIds)) {
        m_wanted.remove(id);
        emit refused(id);
    }
}

} // namespace platform
