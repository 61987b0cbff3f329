#pragma once

#include "e2e/CorpusBrowser.h"
#include "e2e/CorpusPage.h"
#include "e2e/ProgramFirefox.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/HttpTestServer.h"

#include <functional>
#include <optional>

// The program watching a browser on the corpus, ready for visits: a headful Chromium with a
// DevTools port of its own for the visits, or Firefox with the companion extension. A visit
// reports what a user saw: which popups opened, which were cancelled, which never came, whether
// their addresses were ever requested and whether the page still runs its scripts afterwards.
class CorpusSession {
public:
    struct Visit {
        QStringList outcomes;        // sorted, comparable with CorpusPage::expectedIn()
        QStringList requestedPopups; // host, path and time of each popup address requested
        bool responsive = false;
        QString note; // what went wrong on the way, for the failure message
    };

    // Serves every page and helper of the corpus.
    CorpusSession(const Corpus& corpus, HttpTestServer& server);
    // Puts the pages' list entries on the options' lists, for this server.
    void seed(ProgramUnderTest::Options& options);
    // Starts the browser and the program watching it; false with failure() set.
    bool start(ProgramUnderTest& program, ProgramUnderTest::Options options, bool firefox,
               bool ownBlocker = false, bool firefoxWindow = false);
    QString failure() const { return m_failure; }
    std::optional<ChromiumProcess>& chromium() { return m_chromium; }
    std::optional<ProgramFirefox>& firefox() { return m_firefox; }
    int startTimeoutMs = 15000;
    QString urlOf(const CorpusPage& page) const;

    // Visits every page the run visits, in order, and hands over each visit.
    void
    visitAll(const QString& run,
             const std::function<void(const CorpusPage&, const QStringList& expected, const Visit&)>& done);

private:
    Visit visit(const CorpusPage& page, const QStringList& expected);
    bool fail(const QString& why);

    const Corpus& m_corpus;
    HttpTestServer& m_server;
    QStringList m_popupsAllowed; // in Firefox, by the user
    std::optional<ChromiumProcess> m_chromium;
    std::optional<BrowserTestClient> m_client;
    std::optional<ProgramFirefox> m_firefox;
    std::unique_ptr<CorpusBrowser> m_browser;
    QString m_failure;
};
