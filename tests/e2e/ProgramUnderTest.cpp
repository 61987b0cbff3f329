#include "e2e/ProgramUnderTest.h"

#include "support/DesktopXClient.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray listBytes(const QStringList& entries) {
    return entries.isEmpty() ? QByteArray() : (entries.join(u"\r\n"_s) + u"\r\n"_s).toUtf8();
}

QStringList readList(const QString& path) {
    QStringList entries;
    for (const QString& line : QString::fromUtf8(readBytes(path)).split(u'\n'))
        if (!line.trimmed().isEmpty())
            entries << line.trimmed();
    return entries;
}

} // namespace

ProgramUnderTest::ProgramUnderTest() {
    // A copy, not a link: the program keeps its lists beside its own resolved path.
    const QString app = appDir();
    const QDir runtimeDir(qEnvironmentVariable("ZOR_RUNTIME_DIR"));
    QDir().mkpath(app);
    if (!QFile::copy(runtimeDir.filePath(u"ZORBrakkon"_s), app + u"ZORBrakkon"_s))
        m_failure = u"cannot copy the program from "_s + runtimeDir.path();
    // The holder of launched browsers is found beside the program.
    QFile::link(runtimeDir.filePath(u"ZORBrakkonHolder"_s), app + u"ZORBrakkonHolder"_s);
    for (const QString& folder : {u"languages"_s, u"media"_s})
        QFile::link(QDir(qEnvironmentVariable("ZOR_SOURCE_DIR")).filePath(folder), app + folder);
    for (const char* sub : {"home", "config", "data", "runtime"})
        QDir().mkpath(m_dir.filePath(QString::fromLatin1(sub)));
    QFile::setPermissions(m_dir.filePath(u"runtime"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ProgramUnderTest::appDir() const {
    return m_dir.filePath(u"app/"_s);
}

bool ProgramUnderTest::start(const Options& options, int timeoutMs) {
    if (!m_failure.isEmpty())
        return false;
    const QString settings =
        u"[General]\r\nFirstRun=%4\r\nKill=1\r\nKillMode=%1\r\nSound=%2\r\nSoundFile=%3\r\n"
        "IgnoreErrors=1\r\nTotalWindowsKilled=0\r\n"_s.arg(options.killMode)
            .arg(options.sound ? 1 : 0)
            .arg(options.soundFile)
            .arg(options.showWindow ? 1 : 0);
    writeBytes(m_dir.filePath(u"config/ZOR Brakkon/settings.ini"_s), settings.toUtf8());
    writeBytes(appDir() + u"accept_domains.txt"_s, listBytes(options.acceptList));
    writeBytes(appDir() + u"deny_domains.txt"_s, listBytes(options.denyList));
    m_environment = options.environment + QStringList{u"HOME="_s + m_dir.filePath(u"home"_s),
                                                      u"XDG_CONFIG_HOME="_s + m_dir.filePath(u"config"_s),
                                                      u"XDG_DATA_HOME="_s + m_dir.filePath(u"data"_s),
                                                      u"XDG_RUNTIME_DIR="_s + m_dir.filePath(u"runtime"_s)};
    if (!m_process.start(appDir() + u"ZORBrakkon"_s, QStringList{u"--verbose"_s} + options.arguments,
                         m_environment)) {
        m_failure = u"the program did not start"_s;
        return false;
    }
    if (!QTest::qWaitFor([this] { return iconWindow() != 0 || !running(); }, timeoutMs) || !running()) {
        m_failure = u"no tray icon docked; output:\n"_s + output();
        return false;
    }
    return true;
}

int ProgramUnderTest::startAgain(const QStringList& arguments, QString* output, int timeoutMs) {
    DesktopProcess again;
    if (!again.start(appDir() + u"ZORBrakkon"_s, QStringList{u"--verbose"_s} + arguments, m_environment))
        return -1;
    const bool ended = again.waitForExit(timeoutMs);
    if (output)
        *output = again.output();
    return ended ? again.exitCode() : -1;
}

bool ProgramUnderTest::end(int signal, int timeoutMs) {
    if (!running())
        return false;
    ::kill(static_cast<pid_t>(pid()), signal);
    if (!m_process.waitForExit(timeoutMs)) {
        m_process.stop();
        return false;
    }
    return true;
}

std::uint32_t ProgramUnderTest::iconWindow() const {
    DesktopXClient x;
    const auto docked = x.dockedWindows(u"ZOR"_s);
    return docked.isEmpty() ? 0 : docked.first();
}

QStringList ProgramUnderTest::acceptList() const {
    return readList(appDir() + u"accept_domains.txt"_s);
}

QStringList ProgramUnderTest::denyList() const {
    return readList(appDir() + u"deny_domains.txt"_s);
}

QString ProgramUnderTest::setting(const QString& key) const {
    return QSettings(m_dir.filePath(u"config/ZOR Brakkon/settings.ini"_s), QSettings::IniFormat)
        .value(key)
        .toString();
}

QString ProgramUnderTest::chromiumScript(const QString& url) const {
    const QString path = m_dir.filePath(u"bin/chromium"_s);
    const QByteArray script = "#!/bin/sh\nexec " +
                              QStandardPaths::findExecutable(u"chromium"_s).toLocal8Bit() +
                              " --disable-gpu --disable-quic --no-first-run --disable-background-networking "
                              "--disable-component-update"
                              " --disable-sync '--host-resolver-rules=MAP *.test 127.0.0.1' \"$@\" '" +
                              url.toUtf8() + "'\n";
    writeBytes(path, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
