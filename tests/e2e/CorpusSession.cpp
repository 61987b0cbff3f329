#include "e2e/CorpusSession.h"

#include "platform/Failure.h"
#include "support/WaitUntil.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString CorpusSession::urlOf(const CorpusPage& page) const {
    return m_server.url(page.host(), u"/"_s + page.file);
}

CorpusSession::Visit CorpusSession::visit(const CorpusPage& page, const QStringList& expected) {
    Visit result;
    const qint64 since = m_server.nowMs();
    const qsizetype expectedTargets = expected.size() - expected.count(u"never"_s);

    QString tab;
    const qsizetype mark = m_browser->mark();
    try {
        tab = m_browser->openTab(urlOf(page));
        if (!page.clickSelector.isEmpty()) {
            const QString ready = u"document.readyState === 'complete' && !!document.querySelector(%1)"_s.arg(
                BrowserTestClient::jsString(page.clickSelector));
            if (!waitUntil([&] { return m_browser->evaluate(tab, ready).toBool(); }, 10000))
                result.note += u"the page did not finish loading; "_s;
            // A press that arrives before the page has drawn its first frames is lost; the
            // page notes every press it gets, so a lost one is simply repeated.
            m_browser->evaluate(tab,
                                u"document.addEventListener('mousedown', () => window.zorPressed = true, "
                                "{capture: true}), 0"_s);
            for (int attempt = 0; attempt < 3; ++attempt) {
                m_browser->click(tab, page.clickSelector);
                if (waitUntil([&] { return m_browser->evaluate(tab, u"!!window.zorPressed"_s).toBool(); },
                              1500))
                    break;
            }
        }
    } catch (const zor::Failure& failure) {
        result.note += failure.message() + u"; "_s;
    }

    QHash<QString, CorpusBrowser::Popup> popups;
    const auto scan = [&] { popups = m_browser->popupsSince(mark, tab); };
    const auto requests = [&] {
        QStringList requested;
        for (const auto& request : m_server.requests())
            if (request.atMs >= since && request.path.startsWith(u"/popup/"_s))
                requested << u"%1%2 at +%3 ms"_s.arg(request.host, request.path).arg(request.atMs - since);
        return requested;
    };
    const auto settled = [&] {
        scan();
        if (popups.size() < expectedTargets)
            return false;
        int alive = 0;
        for (const CorpusBrowser::Popup& popup : std::as_const(popups)) {
            // A popup that stands has loaded its address from the server before it counts.
            if (!popup.destroyed && !popup.url.startsWith(u"http"_s))
                return false;
            alive += popup.destroyed ? 0 : 1;
        }
        return requests().size() >= alive;
    };
    if (!waitUntil(settled, 10000))
        result.note += u"popups still undecided after 10 s; "_s;
    // Late or extra popups: a page asking for more than it should is a failure too.
    waitUntil([] { return false; }, expectedTargets == expected.size() ? 400 : 1500);
    scan();

    for (const CorpusBrowser::Popup& popup : std::as_const(popups))
        result.outcomes << (popup.destroyed ? u"cancelled"_s : u"opened"_s);
    while (result.outcomes.size() < expected.size())
        result.outcomes << u"never"_s;
    std::sort(result.outcomes.begin(), result.outcomes.end());
    result.requestedPopups = requests();

    // Timers run only in a page that is not frozen inside window.open(). A page that leaves for
    // another one may do so during the question: then the next document must answer.
    for (int attempt = 0; attempt < 2 && !result.responsive; ++attempt) {
        try {
            result.responsive =
                m_browser->evaluate(tab, u"new Promise(done => setTimeout(() => done(7), 10))"_s).toInt() ==
                7;
        } catch (const zor::Failure& failure) {
            result.note += failure.message() + u"; "_s;
            if (!failure.message().contains(u"navigated"_s))
                break;
        }
    }

    QStringList toClose{tab};
    for (auto it = popups.cbegin(); it != popups.cend(); ++it)
        if (!it->destroyed)
            toClose << it.key();
    m_browser->closeTabs(toClose);
    return result;
}

CorpusSession::CorpusSession(const Corpus& corpus, HttpTestServer& server)
    : m_corpus(corpus)
    , m_server(server) {
    for (const QList<CorpusPage>* pages : {&corpus.pages, &corpus.helpers})
        for (const CorpusPage& page : *pages)
            server.setPage(u"/"_s + page.file, page.html);
}

void CorpusSession::visitAll(
    const QString& run,
    const std::function<void(const CorpusPage&, const QStringList& expected, const Visit&)>& done) {
    for (const CorpusPage& page : m_corpus.pages) {
        if (!page.visitedIn(run))
            continue;
        const QStringList expected = page.expectedIn(run);
        done(page, expected, visit(page, expected));
    }
}

void CorpusSession::seed(ProgramUnderTest::Options& options) {
    const QString port = QString::number(m_server.port());
    for (const CorpusPage& page : m_corpus.pages) {
        const auto expand = [&](const QStringList& seeds, QStringList& into) {
            for (const QString& seed : seeds)
                into << QString(seed).replace(u"{host}"_s, page.host()).replace(u"{port}"_s, port);
        };
        expand(page.acceptSeeds, options.acceptList);
        expand(page.denySeeds, options.denyList);
        expand(page.firefoxAllowSeeds, m_popupsAllowed);
    }
}

bool CorpusSession::start(ProgramUnderTest& program, ProgramUnderTest::Options options, bool firefox,
                          bool ownBlocker, bool firefoxWindow) {
    if (firefox) {
        m_firefox.emplace(program);
        if (firefoxWindow)
            m_firefox->showWindow();
        if (!program.start(options, startTimeoutMs) || !m_firefox->start(m_popupsAllowed))
            return fail(program.failure() + m_firefox->failure());
        if (!m_firefox->connected())
            return fail(u"the extension did not connect:\n"_s + program.output());
        m_browser = CorpusBrowser::over(m_firefox->bidi());
        return true;
    }
    m_chromium.emplace(false, 0, ownBlocker);
    if (!m_chromium->failure().isEmpty())
        return fail(m_chromium->failure());
    options.arguments += {u"--browser"_s, m_chromium->webSocketUrl().toString()};
    if (!program.start(options, startTimeoutMs))
        return fail(program.failure());
    m_client.emplace(m_chromium->webSocketUrl());
    // The program is watching once the browser's first tab has a client attached.
    if (!m_client->isOpen() || !waitUntil([&] {
            const QList<QJsonObject> pages = m_client->pageTargets();
            return std::any_of(pages.begin(), pages.end(),
                               [](const QJsonObject& page) { return page.value("attached"_L1).toBool(); });
        }))
        return fail(u"the program attached to no tab:\n"_s + program.output());
    m_browser = CorpusBrowser::over(*m_client);
    return true;
}

bool CorpusSession::fail(const QString& why) {
    m_failure = why;
    return false;
}
