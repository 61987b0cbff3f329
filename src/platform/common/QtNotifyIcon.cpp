#include "platform/common/QtNotifyIcon.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QIcon>

namespace platform {

namespace {
// The tip arrives with the program's CR LF line ends; the desktop wants plain line feeds.
QString desktopTip(const QString& tip) {
    QString text = tip;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// Qt hosts its icons as StatusNotifierItems when, at the first icon, a watcher on the session bus
// has a host; it decides that once per process, and so does this.
bool hostedAsStatusNotifierItem() {
    static const bool hosted = [] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return false;
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierWatcher")
            << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               reply.arguments().first().value<QDBusVariant>().variant().toBool();
    }();
    return hosted;
}
} // namespace

QtNotifyIcon::QtNotifyIcon() = default;

QtNotifyIcon::~QtNotifyIcon() {
    remove();
}

void QtNotifyIcon::add(const QPixmap& icon, const QString& tip) {
    remove();
    m_statusNotifierItem = hostedAsStatusNotifierItem();
    m_icon = std::make_unique<QSystemTrayIcon>();
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &QtNotifyIcon::onActivated);
    if (!icon.isNull()) {
        m_icon->setIcon(QIcon(icon));
        m_shownIconKey = icon.cacheKey();
    }
    if (!tip.isEmpty()) {
        m_shownTip = desktopTip(tip);
        m_icon->setToolTip(m_shownTip);
    }
    m_icon->show();
}

void QtNotifyIcon::modifyIcon(const QPixmap& icon) {
    // The tray status asks twenty times a second; only a different picture is worth a repaint.
    if (!m_icon || icon.cacheKey() == m_shownIconKey)
        return;
    m_shownIconKey = icon.cacheKey();
    m_icon->setIcon(QIcon(icon));
}

void QtNotifyIcon::modifyTip(const QString& tip) {
    const QString text = desktopTip(tip);
    if (!m_icon || text == m_shownTip)
        return;
    m_shownTip = text;
    m_icon->setToolTip(text);
}

void QtNotifyIcon::showMessage(const QString& title, const QString& text) {
    if (m_icon)
        m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
}

void QtNotifyIcon::remove() {
    if (!m_icon)
        return;
    m_icon->hide();
    m_icon.reset();
    m_shownIconKey = 0;
    m_shownTip.clear();
}

void QtNotifyIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        // A StatusNotifierItem host reports no double click at all, only the item's activation,
        // which is what a double click means to the user here: open the window.
        emit pressed(m_statusNotifierItem ? Press::LeftDouble : Press::Left);
        break;
    case QSystemTrayIcon::Context:
        emit pressed(Press::Right);
        break;
    case QSystemTrayIcon::MiddleClick:
        emit pressed(Press::Middle);
        break;
    case QSystemTrayIcon::DoubleClick:
        emit pressed(Press::LeftDouble);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

} // namespace platform
