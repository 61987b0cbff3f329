#include "platform/linux/BrowserLauncher.h"

#include "platform/BrowserOptions.h"
#include "platform/cdp/Endpoint.h"
#include "platform/pipe/HolderSockets.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLaunch, "zor.browser.launch", QtInfoMsg)

using namespace Qt::StringLiterals;

namespace platform {

namespace {

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
    // A pipe, not a port: a DevTools port on 127.0.0.1 would let any local process of any user
    // take the browser over.
    QStringList flags{u"--remote-debugging-pipe"_s, u"--disable-popup-blocking"_s};
    // Chromium refuses to start as root with its sandbox on (containers, CI machines).
    if (::geteuid() == 0)
        flags << u"--no-sandbox"_s;
    return flags;
}

QString BrowserLauncher::defaultHolderProgram() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(u"ZORBrakkonHolder"_s);
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

QString BrowserLauncher::heldSocketOn(const QString& profileDir) {
    const qint64 owner = runningProfileOwner(profileDir);
    const QString socket = owner != 0 ? pipe::HolderSockets::socketPathFor(owner) : QString();
    return !socket.isEmpty() && pipe::HolderSockets::isLive(socket) ? socket : QString();
}

QString BrowserLauncher::endpointFromActivePort(const QString& profileDir) {
    const auto endpoint =
        cdp::Endpoint::fromActivePortFile(QDir(profileDir).filePath(u"DevToolsActivePort"_s));
    return endpoint ? endpoint->webSocketUrl.toString() : QString();
}

BrowserLauncher::Start BrowserLauncher::startHeld(const QString& program, const QStringList& arguments,
                                                  const QString& errorLog, Result& result) const {
    QProcess holder;
    holder.setProgram(m_holder);
    holder.setArguments(QStringList{u"--folder"_s, pipe::HolderSockets::folder(), u"--log"_s, errorLog,
                                    u"--wait"_s, QString::number(m_timeoutMs), u"--"_s, program} +
                        arguments);
    holder.setStandardInputFile(QProcess::nullDevice());
    holder.start();
    // The holder answers once the browser did, or did not; its own time limit comes first.
    if (!holder.waitForFinished(m_timeoutMs * pipe::HolderSockets::LongestWaitFactor + 15000)) {
        holder.kill();
        holder.waitForFinished(1000);
        result.message = u"%1 gave no answer"_s.arg(m_holder);
        return Start::Failed;
    }
    const QString verdict = QString::fromUtf8(holder.readAllStandardOutput()).trimmed();
    const QString word = verdict.section(u' ', 0, 0);
    if (word == "ready"_L1) {
        result.pid = verdict.section(u' ', 1, 1).toLongLong();
        result.holderSocket = verdict.section(u' ', 2);
        return Start::Ready;
    }
    if (word == "refused"_L1 || word == "silent"_L1)
        return Start::Refused;
    if (word == "exited"_L1)
        return Start::Exited;
    result.message = holder.error() == QProcess::FailedToStart
                         ? u"the browser holder %1 could not be started"_s.arg(m_holder)
                         : u"the browser holder failed: %1"_s.arg(verdict.section(u' ', 1));
    return Start::Failed;
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
    else if (runningProfileOwner(profile) == 0) {
        // An earlier start may have moved the browser to a profile of its own (its default one
        // refused the pipe, or stayed silent on a busy machine): that browser is still ours.
        const QString own = dedicatedProfileDir(program);
        if (const QString socket = heldSocketOn(own); !socket.isEmpty()) {
            result.profileDir = own;
            result.usedDedicatedProfile = true;
            result.holderSocket = socket;
            return result;
        }
    }

    for (;;) {
        result.profileDir = profile;
        if (runningProfileOwner(profile) != 0) {
            // Started by this program before: its holder is found with the others.
            if (const QString socket = heldSocketOn(profile); !socket.isEmpty()) {
                result.holderSocket = socket;
                return result;
            }
            result.endpoint = endpointFromActivePort(profile);
            if (result.endpoint.isEmpty())
                result.message = u"%1 is already running without a DevTools port, so it cannot be watched. "
                                 "Quit it and start it again with this option, or start it yourself with "
                                 "--remote-debugging-port=9222 --disable-popup-blocking and run this program "
                                 "with --browser 9222."_s.arg(name);
            return result;
        }

        QDir().mkpath(profile);
        // The browser's own messages, kept beside our data rather than in the user's profile.
        const QString errorLog =
            QDir::cleanPath(dedicatedProfileDir(program) + u"/../%1-launch.log"_s.arg(name));
        QDir().mkpath(QFileInfo(errorLog).absolutePath());
        QFile::remove(errorLog);
        QStringList arguments = launchFlags();
        if (result.usedDedicatedProfile)
            arguments << u"--user-data-dir="_s + profile << u"--no-first-run"_s
                      << u"--no-default-browser-check"_s;
        switch (startHeld(program, arguments, errorLog, result)) {
        case Start::Ready:
        case Start::Failed:
            return result;
        case Start::Exited:
            result.message =
                u"%1 ended before it answered on its DevTools pipe (see %2)"_s.arg(name, errorLog);
            return result;
        case Start::Refused:
            break;
        }
        if (result.usedDedicatedProfile) {
            result.message = u"%1 did not answer on its DevTools pipe within %2 s (see %3)"_s.arg(name)
                                 .arg(m_timeoutMs / 1000.0)
                                 .arg(errorLog);
            return result;
        }
        // The browser will not speak DevTools on its default profile (the holder has ended the
        // window it opened): use a profile of our own instead.
        profile = dedicatedProfileDir(program);
        result.usedDedicatedProfile = true;
        result.message = u"%1 does not allow DevTools on its default profile; it now runs on a profile "
                         "of its own in %2 (your bookmarks and sign-ins are not there)"_s.arg(name, profile);
    }
}

void addLaunchBrowserOption(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        u"launch-browser"_s,
        u"Start a Chromium-family browser (PROGRAM, else the first found of %1) with DevTools on a "
        "pipe (no port) and its own popup blocker off, and watch it. It goes on when this program "
        "ends and is watched again at the next start. When the program already runs, the browser "
        "is started for it."_s.arg(BrowserLauncher::defaultPrograms().join(u", "_s))));
    parser.addPositionalArgument(u"PROGRAM"_s, u"The browser for --launch-browser."_s, u"[PROGRAM]"_s);
}

LaunchReport applyLaunchBrowserOption(const QCommandLineParser& parser) {
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(u"launch-browser"_s)) {
        if (!positional.isEmpty())
            qCWarning(lcLaunch, "%s: a browser program is only taken with --launch-browser; ignored",
                      qUtf8Printable(positional.join(u' ')));
        return {};
    }
    BrowserLauncher launcher;
    const BrowserLauncher::Result result = launcher.launch(positional.value(0));
    const LaunchReport report{result.pid != 0 && result.watchable(), !result.watchable(), result.message};
    if (!result.message.isEmpty())
        qCWarning(lcLaunch, "--launch-browser: %s", qUtf8Printable(result.message));
    if (report.failed)
        return report;
    if (!result.holderSocket.isEmpty()) {
        qCInfo(lcLaunch, "the browser's pipe is held at %s (profile %s)", qUtf8Printable(result.holderSocket),
               qUtf8Printable(result.profileDir));
        return report;
    }
    qCInfo(lcLaunch, "watching the browser at %s (profile %s)", qUtf8Printable(result.endpoint),
           qUtf8Printable(result.profileDir));
    setBrowserEndpoints(browserEndpoints() << result.endpoint);
    return report;
}

} // namespace platform
