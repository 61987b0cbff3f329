#include "platform/linux/BrowserLauncher.h"

#include "platform/BrowserOptions.h"
#include "platform/cdp/Endpoint.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLaunch, "zor.browser.launch", QtInfoMsg)

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// What a branded browser prints when it ignores a DevTools port on its default profile.
constexpr auto RefusalText = "non-default data directory"_L1;

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString configHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

QStringList BrowserLauncher::defaultPrograms() {
    return {u"chromium"_s, u"google-chrome"_s, u"microsoft-edge"_s, u"brave-browser"_s};
}

QString BrowserLauncher::findProgram(const QString& requested) {
    if (!requested.isEmpty()) {
        if (requested.contains(u'/'))
            return QFileInfo(requested).isExecutable() ? QFileInfo(requested).absoluteFilePath() : QString();
        return QStandardPaths::findExecutable(requested);
    }
    for (const QString& name : defaultPrograms())
        if (QString path = QStandardPaths::findExecutable(name); !path.isEmpty())
            return path;
    return {};
}

QString BrowserLauncher::defaultProfileDir(const QString& program) {
    static const QList<std::pair<QLatin1StringView, QLatin1StringView>> profiles{
        {"chromium"_L1, "chromium"_L1},
        {"chromium-browser"_L1, "chromium"_L1},
        {"google-chrome"_L1, "google-chrome"_L1},
        {"google-chrome-stable"_L1, "google-chrome"_L1},
        {"google-chrome-beta"_L1, "google-chrome-beta"_L1},
        {"google-chrome-unstable"_L1, "google-chrome-unstable"_L1},
        {"microsoft-edge"_L1, "microsoft-edge"_L1},
        {"microsoft-edge-stable"_L1, "microsoft-edge"_L1},
        {"brave-browser"_L1, "BraveSoftware/Brave-Browser"_L1},
        {"brave-browser-stable"_L1, "BraveSoftware/Brave-Browser"_L1},
    };
    const QString name = QFileInfo(program).fileName();
    for (const auto& [executable, folder] : profiles)
        if (name == executable)
            return QDir(configHome()).filePath(folder);
    return {};
}

QString BrowserLauncher::dedicatedProfileDir(const QString& program) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(u"ZOR Brakkon/browser-profiles/"_s + QFileInfo(program).fileName());
}

QStringList BrowserLauncher::launchFlags() {
    // Port 0: the browser picks a free one and names it in DevToolsActivePort, so a second
    // launched browser never collides with the first. The port listens on loopback only.
    QStringList flags{u"--remote-debugging-port=0"_s, u"--disable-popup-blocking"_s};
    // Chromium refuses to start as root with its sandbox on (containers, CI machines).
    if (::geteuid() == 0)
        flags << u"--no-sandbox"_s;
    return flags;
}

qint64 BrowserLauncher::runningProfileOwner(const QString& profileDir) {
    // Chromium keeps a "SingletonLock" link to "<host>-<pid>" while a browser holds the profile.
    const QByteArray link = QFile::encodeName(QDir(profileDir).filePath(u"SingletonLock"_s));
    char target[256] = {};
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length <= 0)
        return 0;
    const QString text = QString::fromLocal8Bit(target, length);
    const qsizetype dash = text.lastIndexOf(u'-');
    if (dash <= 0 || text.left(dash) != QSysInfo::machineHostName())
        return 0;
    bool ok = false;
    const qint64 pid = text.mid(dash + 1).toLongLong(&ok);
    return ok && processAlive(pid) ? pid : 0;
}

QString BrowserLauncher::endpointFromActivePort(const QString& profileDir) {
    const auto endpoint =
        cdp::Endpoint::fromActivePortFile(QDir(profileDir).filePath(u"DevToolsActivePort"_s));
    return endpoint ? endpoint->webSocketUrl.toString() : QString();
}

qint64 BrowserLauncher::start(const QString& program, const QStringList& arguments, const QString& errorLog) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(errorLog);
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

BrowserLauncher::Wait BrowserLauncher::waitForPort(const QString& profileDir, qint64 pid,
                                                   const QString& errorLog, QString& endpoint) const {
    QDeadlineTimer deadline(m_timeoutMs);
    while (!deadline.hasExpired()) {
        endpoint = endpointFromActivePort(profileDir);
        if (!endpoint.isEmpty())
            return Wait::Ready;
        QFile log(errorLog);
        if (log.open(QIODevice::ReadOnly) && QString::fromUtf8(log.readAll()).contains(RefusalText))
            return Wait::Refused;
        if (!processAlive(pid))
            return Wait::Exited;
        QThread::msleep(50);
    }
    return Wait::TimedOut;
}

BrowserLauncher::Result BrowserLauncher::launch(const QString& requested) {
    Result result;
    const QString program = findProgram(requested);
    if (program.isEmpty()) {
        result.message =
            requested.isEmpty()
                ? u"no Chromium-family browser found (tried %1)"_s.arg(defaultPrograms().join(u", "_s))
                : u"browser \"%1\" not found"_s.arg(requested);
        return result;
    }
    const QString name = QFileInfo(program).fileName();
    QString profile = defaultProfileDir(program);
    result.usedDedicatedProfile = profile.isEmpty();
    if (profile.isEmpty())
        profile = dedicatedProfileDir(program);

    for (;;) {
        if (runningProfileOwner(profile) != 0) {
            result.profileDir = profile;
            result.endpoint = endpointFromActivePort(profile);
            if (result.endpoint.isEmpty())
                result.message = u"%1 is already running without a DevTools port, so it cannot be watched. "
                                 "Quit it and start it again with this option, or start it yourself with "
                                 "--remote-debugging-port=9222 --disable-popup-blocking and run this program "
                                 "with --browser 9222."_s.arg(name);
            return result;
        }

        QDir().mkpath(profile);
        // A port file left by an earlier run would be taken for the new browser's.
        QFile::remove(QDir(profile).filePath(u"DevToolsActivePort"_s));
        // The browser's own messages, kept beside our data rather than in the user's profile.
        const QString errorLog =
            QDir::cleanPath(dedicatedProfileDir(program) + u"/../%1-launch.log"_s.arg(name));
        QDir().mkpath(QFileInfo(errorLog).absolutePath());
        QFile::remove(errorLog);
        QStringList arguments = launchFlags();
        if (result.usedDedicatedProfile)
            arguments << u"--user-data-dir="_s + profile << u"--no-first-run"_s
                      << u"--no-default-browser-check"_s;
        const qint64 pid = start(program, arguments, errorLog);
        if (pid == 0) {
            result.message = u"%1 could not be started"_s.arg(program);
            return result;
        }
        const Wait wait = waitForPort(profile, pid, errorLog, result.endpoint);
        result.profileDir = profile;
        if (wait == Wait::Ready) {
            result.pid = pid;
            return result;
        }
        if (wait == Wait::Exited) {
            result.message = u"%1 ended before it opened a DevTools port (see %2)"_s.arg(name, errorLog);
            return result;
        }
        if (result.usedDedicatedProfile) {
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            result.message = u"%1 opened no DevTools port within %2 s"_s.arg(name).arg(m_timeoutMs / 1000.0);
            return result;
        }
        // The browser ignores the port on its default profile: end the window we opened and
        // use a profile of our own instead.
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        QDeadlineTimer gone(5000);
        while (processAlive(pid) && !gone.hasExpired())
            QThread::msleep(50);
        profile = dedicatedProfileDir(program);
        result.usedDedicatedProfile = true;
        result.message = u"%1 does not open a DevTools port on its default profile; it now runs on a profile "
                         "of its own in %2 (your bookmarks and sign-ins are not there)"_s.arg(name, profile);
    }
}

void addLaunchBrowserOption(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        u"launch-browser"_s,
        u"Start a Chromium-family browser (PROGRAM, else the first found of %1) with a DevTools port "
        "on 127.0.0.1 and its own popup blocker off, and watch it."_s.arg(
            BrowserLauncher::defaultPrograms().join(u", "_s))));
    parser.addPositionalArgument(u"PROGRAM"_s, u"The browser for --launch-browser."_s, u"[PROGRAM]"_s);
}

void applyLaunchBrowserOption(const QCommandLineParser& parser) {
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(u"launch-browser"_s)) {
        if (!positional.isEmpty())
            qCWarning(lcLaunch, "%s: a browser program is only taken with --launch-browser; ignored",
                      qUtf8Printable(positional.join(u' ')));
        return;
    }
    BrowserLauncher launcher;
    const BrowserLauncher::Result result = launcher.launch(positional.value(0));
    if (result.endpoint.isEmpty()) {
        qCWarning(lcLaunch, "--launch-browser: %s", qUtf8Printable(result.message));
        return;
    }
    if (!result.message.isEmpty())
        qCWarning(lcLaunch, "--launch-browser: %s", qUtf8Printable(result.message));
    qCInfo(lcLaunch, "watching the browser at %s (profile %s)", qUtf8Printable(result.endpoint),
           qUtf8Printable(result.profileDir));
    setBrowserEndpoints(browserEndpoints() << result.endpoint);
}

} // namespace platform
