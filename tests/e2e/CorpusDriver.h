#pragma once

#include "e2e/CorpusBrowser.h"
#include "e2e/CorpusPage.h"
#include "support/HttpTestServer.h"

#include <functional>

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
