#pragma once

#include "e2e/ProgramUnderTest.h"
#include "support/BidiClient.h"
#include "support/FirefoxProcess.h"

#include <memory>

// Debian's Firefox beside a program under test, sharing its HOME and runtime folder so that
// the relay Firefox starts finds the program's socket.
class ProgramFirefox {
public:
    explicit ProgramFirefox(const ProgramUnderTest& program)
        : m_program(program) {}

    // Firefox support set up as a user without root does it (the relay beside the program, its
    // host manifest from --install-firefox-support), then Firefox with the extension loaded
    // temporarily. False with failure() set when any step fails.
    bool start(const QStringList& popupOrigins = {});
    // Firefox alone, with popups allowed for the origins ("http://host:port") as a user allows them.
    bool launch(const QStringList& popupOrigins, const QString& binary = QStringLiteral("firefox-esr"));
    // Waits until the extension and the program have greeted each other.
    bool connected() const;

    // Before start(): a Firefox window on the display instead of a headless one.
    void showWindow() { m_headless = false; }
    QString home() const { return m_program.environmentRoot() + QStringLiteral("/home"); }
    QString failure() const { return m_failure; }
    BidiClient& bidi() { return *m_bidi; }

private:
    bool fail(const QString& why);

    const ProgramUnderTest& m_program;
    std::unique_ptr<FirefoxProcess> m_firefox;
    std::unique_ptr<BidiClient> m_bidi;
    QString m_failure;
    bool m_headless = true;
};
