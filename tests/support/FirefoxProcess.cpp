#include "support/FirefoxProcess.h"

#include "support/TestFiles.h"

using namespace Qt::StringLiterals;

FirefoxProcess::FirefoxProcess(const QString& home, const QStringList& environment, const QStringList& prefs,
                               const QString& executable, bool headless) {
    QByteArray userJs = "user_pref(\"remote.prefs.recommended\", false);\n"
                        "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                        // Every host name is served by the test's server on loopback.
                        "user_pref(\"network.dns.forceResolve\", \"127.0.0.1\");\n"
                        "user_pref(\"network.dns.disableIPv6\", true);\n"
                        "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                        "user_pref(\"datareporting.policy.firstRunURL\", \"\");\n"
                        // A page's timers run on time behind the popup it opened, as in front.
                        "user_pref(\"dom.min_background_timeout_value\", 4);\n"
                        // The extension's notes appear in output().
                        "user_pref(\"devtools.console.stdout.chrome\", true);\n"
                        "user_pref(\"devtools.console.stdout.content\", true);\n";
    for (const QString& pref : prefs)
        userJs += u"user_pref(%1);\n"_s.arg(pref).toUtf8();
    writeBytes(m_profile.filePath(u"user.js"_s), userJs);
    QStringList env = QStringList{u"HOME="_s + home} + environment;
    if (headless)
        env << u"MOZ_HEADLESS=1"_s;
    const QStringList arguments{u"--no-remote"_s, u"--profile"_s,
                                m_profile.path(), u"--remote-debugging-port"_s,
                                u"0"_s,           u"about:blank"_s};
    // One that does not start at all is reported with its output below.
    m_process.start(executable, headless ? QStringList{u"--headless"_s} + arguments : arguments, env);
    static const QRegularExpression listening(u"WebDriver BiDi listening on (ws://127\\.0\\.0\\.1:\\d+)"_s);
    const QRegularExpressionMatch match = m_process.awaitOutput(listening, 60000);
    if (!match.hasMatch()) {
        m_failure = u"Firefox did not open WebDriver BiDi; output:\n"_s + output();
        return;
    }
    m_bidiUrl = QUrl(match.captured(1) + u"/session"_s);
}
