#pragma once

#include "support/DesktopProcess.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// Debian's Firefox ESR for one test: headless, a fresh profile, every host name resolved to
// 127.0.0.1, WebDriver BiDi on a free loopback port, and its own popup blocker on as users have
// it. Ended by its process id; it dies with the test process.
class FirefoxProcess {
public:
    // home: the HOME it runs with (its native-messaging host manifests are read from there);
    // environment: extra "NAME=value" entries; prefs: extra user_pref arguments ("\"name\", value");
    // headless false: a window on the display, for a person to use.
    FirefoxProcess(const QString& home, const QStringList& environment = {}, const QStringList& prefs = {},
                   const QString& executable = QStringLiteral("firefox-esr"), bool headless = true);

    QUrl bidiUrl() const { return m_bidiUrl; } // empty when Firefox did not come up
    QString failure() const { return m_failure; }
    QString output() const { return m_process.output(); }

private:
    QTemporaryDir m_profile;
    DesktopProcess m_process;
    QUrl m_bidiUrl;
    QString m_failure;
};
