#pragma once

#include "platform/TrayHost.h"

#include <QSystemTrayIcon>
#include <memory>

namespace platform {

// The notification-area icon on top of QSystemTrayIcon (XEmbed or StatusNotifierItem, as Qt
// finds the desktop). Qt is given no context menu: the control's owner opens its own.
class QtNotifyIcon final : public NotifyIcon {
    Q_OBJECT
public:
    QtNotifyIcon();
    ~QtNotifyIcon() override;

    void add(const QPixmap& icon, const QString& tip) override;
    void modifyIcon(const QPixmap& icon) override;
    void modifyTip(const QString& tip) override;
    void remove() override;
    void showMessage(const QString& title, const QString& text) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> m_icon;
    bool m_statusNotifierItem = false;
    qint64 m_shownIconKey = 0;
    QString m_shownTip;
};

} // namespace platform
