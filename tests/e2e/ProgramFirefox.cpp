#include "e2e/ProgramFirefox.h"

#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

bool ProgramFirefox::start(const QStringList& popupOrigins) {
    const QString app = m_program.appDir();
    QFile::copy(QDir(qEnvironmentVariable("ZOR_RUNTIME_DIR")).filePath(u"zor-brakkon-firefox-relay"_s),
                app + u"zor-brakkon-firefox-relay"_s);
    const QString extension = QDir(qEnvironmentVariable("ZOR_SOURCE_DIR")).filePath(u"browser-extension"_s);
    QFile::link(extension, app + u"browser-extension"_s);
    QString output;
    if (runProgram(u"env"_s, {u"HOME="_s + home(), app + u"ZORBrakkon"_s, u"--install-firefox-support"_s},
                   &output, 30000) != 0)
        return fail(u"--install-firefox-support failed: "_s + output);
    if (!launch(popupOrigins))
        return false;
    return !m_bidi->installExtension(extension + u"/firefox"_s).isEmpty() ||
           fail(u"Firefox did not load the extension"_s);
}

bool ProgramFirefox::launch(const QStringList& popupOrigins, const QString& binary) {
    const QString permissions = m_program.environmentRoot() + u"/popup-permissions"_s;
    QByteArray lines;
    for (const QString& origin : popupOrigins)
        lines += "origin\tpopup\t1\t" + origin.toUtf8() + "\n";
    writeBytes(permissions, lines);
    m_bidi.reset();
    m_firefox = std::make_unique<FirefoxProcess>(
        home(), QStringList{u"XDG_RUNTIME_DIR="_s + m_program.environmentRoot() + u"/runtime"_s},
        QStringList{u"\"permissions.manager.defaultsUrl\", \"file://"_s + permissions + u"\""_s}, binary,
        m_headless);
    if (!m_firefox->failure().isEmpty())
        return fail(m_firefox->failure());
    m_bidi = std::make_unique<BidiClient>(m_firefox->bidiUrl());
    return m_bidi->isOpen() || fail(u"no WebDriver BiDi session"_s);
}

bool ProgramFirefox::connected() const {
    // The program's welcome has reached the extension, not just its hello the program: from now
    // on the extension asks about popups.
    return waitUntil([&] { return m_firefox && m_firefox->output().contains(u"connected to the program"_s); },
                     20000);
}

bool ProgramFirefox::fail(const QString& why) {
    m_failure = why;
    return false;
}
