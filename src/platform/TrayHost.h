#pragma once

#include <QObject>
#include <QPixmap>
#include <QString>
#include <functional>
#include <memory>

namespace platform {

// Finds the window that hosts notification-area icons.
class TrayHostWatch {
public:
    virtual ~TrayHostWatch() = default;
    // The host window; a fixed non-zero stand-in where only a StatusNotifierWatcher hosts
    // icons; 0 when there is no host at all. A new value means a new host.
    virtual qulonglong trayHost() = 0;
};

// No host ever: the notification area does not exist (offscreen, no display).
class NoTrayHost final : public TrayHostWatch {
public:
    qulonglong trayHost() override { return 0; }
};

TrayHostWatch& trayHostWatch();
std::unique_ptr<TrayHostWatch> setTrayHostWatch(std::unique_ptr<TrayHostWatch> replacement);

// One icon in the notification area: the four operations the shell offers and the presses
// it reports.
class NotifyIcon : public QObject {
    Q_OBJECT
public:
    // What the desktop reports: a left press, a right press, a middle press, a left double
    // click (after the Left of its first press). Releases and moves are not reported.
    enum class Press { Left, Right, Middle, LeftDouble };
    Q_ENUM(Press)

    using QObject::QObject;
    ~NotifyIcon() override = default;

    // An empty tip means no tip at all; a null icon means no picture.
    virtual void add(const QPixmap& icon, const QString& tip) = 0;
    virtual void modifyIcon(const QPixmap& icon) = 0;
    virtual void modifyTip(const QString& tip) = 0;
    virtual void remove() = 0;
    // A notification beside the icon, for news the user should not have to look for.
    virtual void showMessage(const QString& title, const QString& text) = 0;

signals:
    void pressed(platform::NotifyIcon::Press press);
};

using NotifyIconFactory = std::function<std::unique_ptr<NotifyIcon>()>;
// A new icon of the desktop's kind (not yet added).
std::unique_ptr<NotifyIcon> makeNotifyIcon();
// Tests put their own maker in place; the previous one is returned. An empty one restores the
// desktop's.
NotifyIconFactory setNotifyIconFactory(NotifyIconFactory factory);

} // namespace platform
