#pragma once

#include "e2e/CorpusBrowser.h"
#include "e2e/CorpusPage.h"
#include "e2e/ProgramFirefox.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/HttpTestServer.h"

#include <functional>
#include <optional>

// Visits corpus pages in a browser watched by the program and reports what a user saw:
// which popups opened, which were cancelled, which never came, whether their addresses were
// ever requested and whether the page still runs its scripts afterwards.
class CorpusDriver {
public:
    struct Visit {
        QStringList outcomes; // sorted, comparable with CorpusPage::expectedIn()
        int popupRequests = 0;
        QStringList requestedPopups; // host and path of each, for failure messages
        bool responsive = false;
        QString note; // what went wrong on the way, for the failure message
    };

    // Chromium over DevTools or Firefox over WebDriver BiDi.
    template <typename Client>
    CorpusDriver(Client& client, HttpTestServer& server)
        : m_browser(CorpusBrowser::over(client))
        , m_server(server) {}
    // Serves every page and helper of the corpus.
    void serve(const Corpus& corpus) { serve(m_server, corpus); }
    static void serve(HttpTestServer& server, const Corpus& corpus);
    QString urlOf(const CorpusPage& page) const { return urlOf(m_server, page); }
    static QString urlOf(const HttpTestServer& server, const CorpusPage& page);

    // Called on every turn of the wait loops while a visit waits for its popups.
    void setWhileWaiting(std::function<void()> hook) { m_whileWaiting = std::move(hook); }
    Visit visit(const CorpusPage& page, const QStringList& expected);

private:
    // waitUntil() that calls the while-waiting hook on every turn.
    bool watch(const std::function<bool()>& condition, int milliseconds);

    std::unique_ptr<CorpusBrowser> m_browser;
    HttpTestServer& m_server;
    std::function<void()> m_whileWaiting;
};

// The program watching a browser on the corpus, ready for visits: a headful Chromium with a
// DevTools port of its own for the visits, or Firefox with the companion extension.
class CorpusSession {
public:
    // Serves the corpus.
    CorpusSession(const Corpus& corpus, HttpTestServer& server);
    // Puts the pages' list entries on the options' lists, for this server.
    void seed(ProgramUnderTest::Options& options);
    // Starts the browser and the program watching it; false with failure() set.
    bool start(ProgramUnderTest& program, ProgramUnderTest::Options options, bool firefox,
               bool ownBlocker = false, bool firefoxWindow = false);
    QString failure() const { return m_failure; }
    CorpusDriver& driver() { return *m_driver; }
    std::optional<ChromiumProcess>& chromium() { return m_chromium; }
    std::optional<ProgramFirefox>& firefox() { return m_firefox; }
    int startTimeoutMs = 15000;

private:
    bool fail(const QString& why);

    const Corpus& m_corpus;
    HttpTestServer& m_server;
    QStringList m_popupsAllowed; // in Firefox, by the user
    std::optional<ChromiumProcess> m_chromium;
    std::optional<BrowserTestClient> m_client;
    std::optional<ProgramFirefox> m_firefox;
    std::optional<CorpusDriver> m_driver;
    QString m_failure;
};
