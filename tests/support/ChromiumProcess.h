#pragma once

#include "support/DesktopProcess.h"

#include <QTemporaryDir>
#include <QUrl>

// A Chromium of its own for one test: fresh profile, DevTools on a free loopback port,
// hostnames under .test served by 127.0.0.1, its own popup blocker off so that every popup
// reaches the program (unless a test asks for it on). Headless unless asked otherwise (then it needs
// DISPLAY). Ended by its process id. A fixed DevTools port can be asked for, so that a browser started again
// is found where the one before it was. It dies with the test process.
class ChromiumProcess {
public:
    explicit ChromiumProcess(bool headless = true, quint16 devToolsPort = 0, bool ownPopupBlocker = false);
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    // Empty when the browser did not come up.
    QUrl webSocketUrl() const { return m_webSocketUrl; }
    quint16 port() const { return static_cast<quint16>(m_webSocketUrl.port()); }
    QString failure() const { return m_failure; }
    qint64 pid() const { return m_process.pid(); }
    void kill();

private:
    QTemporaryDir m_profile;
    DesktopProcess m_process;
    QUrl m_webSocketUrl;
    QString m_failure;
};
