#include "e2e/CorpusDriver.h"

#include "platform/Failure.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct PopupState {
    QString url;
    bool destroyed = false;
};

bool loaded(const PopupState& popup) {
    return popup.url.startsWith(u"http"_s);
}

} // namespace

CorpusDriver::CorpusDriver(BrowserTestClient& client, HttpTestServer& server)
    : m_client(client)
    , m_server(server) {
    m_client.call(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});
}

void CorpusDriver::serve(HttpTestServer& server, const Corpus& corpus) {
    for (const QList<CorpusPage>* pages : {&corpus.pages, &corpus.helpers})
        for (const CorpusPage& page : *pages)
            server.setPage(u"/"_s + page.file, page.html);
}

QString CorpusDriver::urlOf(const HttpTestServer& server, const CorpusPage& page) {
    return server.url(page.host(), u"/"_s + page.file);
}

void CorpusDriver::pump(int milliseconds) {
    waitUntil(
        [this] {
            if (m_whileWaiting)
                m_whileWaiting();
            return false;
        },
        milliseconds);
}

CorpusDriver::Visit CorpusDriver::visit(const CorpusPage& page, const QStringList& expected) {
    Visit result;
    const qsizetype firstEvent = m_client.events().size();
    const qint64 since = m_server.nowMs();
    const int expectedTargets = static_cast<int>(std::count_if(
        expected.begin(), expected.end(), [](const QString& outcome) { return outcome != u"never"_s; }));

    QString tab;
    QString session;
    try {
        tab = m_client.openTab(urlOf(page));
        session = m_client.attach(tab);
        if (!page.clickSelector.isEmpty()) {
            const QString ready = u"document.readyState === 'complete' && !!document.querySelector(%1)"_s.arg(
                QString::fromUtf8(
                    QJsonDocument(QJsonArray{page.clickSelector}).toJson(QJsonDocument::Compact))
                    .mid(1)
                    .chopped(1));
            if (!waitUntil([&] { return m_client.evaluate(session, ready).toBool(); }, 10000))
                result.note += u"the page did not finish loading; "_s;
            // A press that arrives before the page has drawn its first frames is lost; the
            // page notes every press it gets, so a lost one is simply repeated.
            m_client.evaluate(session,
                              u"document.addEventListener('mousedown', () => window.zorPressed = true, "
                              "{capture: true}), 0"_s);
            for (int attempt = 0; attempt < 3; ++attempt) {
                m_client.click(session, page.clickSelector);
                if (waitUntil([&] { return m_client.evaluate(session, u"!!window.zorPressed"_s).toBool(); },
                              1500))
                    break;
            }
        }
    } catch (const zor::Failure& failure) {
        result.note += failure.message() + u"; "_s;
    }

    QHash<QString, PopupState> popups;
    const auto scan = [&] {
        const auto events = m_client.events();
        for (qsizetype i = firstEvent; i < events.size(); ++i) {
            const auto& event = events[i];
            const QJsonObject info = event.params.value("targetInfo"_L1).toObject();
            const QString id = info.isEmpty() ? event.params.value("targetId"_L1).toString()
                                              : info.value("targetId"_L1).toString();
            if (id == tab || id.isEmpty())
                continue;
            if (event.method == u"Target.targetCreated"_s && info.value("type"_L1).toString() == u"page"_s)
                popups[id].url = info.value("url"_L1).toString();
            else if (event.method == u"Target.targetInfoChanged"_s && popups.contains(id))
                popups[id].url = info.value("url"_L1).toString();
            else if (event.method == u"Target.targetDestroyed"_s && popups.contains(id))
                popups[id].destroyed = true;
        }
    };
    const auto requests = [&] {
        int count = 0;
        for (const auto& request : m_server.requests())
            if (request.atMs >= since && request.path.startsWith(u"/popup/"_s))
                ++count;
        return count;
    };
    const auto settled = [&] {
        if (m_whileWaiting)
            m_whileWaiting();
        scan();
        if (popups.size() < expectedTargets)
            return false;
        int alive = 0;
        for (const PopupState& popup : std::as_const(popups)) {
            if (!popup.destroyed && !loaded(popup))
                return false;
            alive += popup.destroyed ? 0 : 1;
        }
        return requests() >= alive;
    };
    if (!waitUntil(settled, 10000))
        result.note += u"popups still undecided after 10 s; "_s;
    // Late or extra popups: a page asking for more than it should is a failure too.
    pump(expectedTargets == static_cast<int>(expected.size()) ? 400 : 1500);
    scan();

    int opened = 0;
    int cancelled = 0;
    for (const PopupState& popup : std::as_const(popups))
        ++(popup.destroyed ? cancelled : opened);
    result.outcomes = QStringList(opened, u"opened"_s) + QStringList(cancelled, u"cancelled"_s);
    const auto never = static_cast<int>(expected.size()) - opened - cancelled;
    if (never > 0)
        result.outcomes += QStringList(never, u"never"_s);
    std::sort(result.outcomes.begin(), result.outcomes.end());
    result.popupRequests = requests();
    for (const auto& request : m_server.requests())
        if (request.atMs >= since && request.path.startsWith(u"/popup/"_s))
            result.requestedPopups
                << u"%1%2 at +%3 ms"_s.arg(request.host, request.path).arg(request.atMs - since);

    try {
        // Timers run only in a page that is not frozen inside window.open().
        const QJsonObject answer =
            m_client.call(u"Runtime.evaluate"_s,
                          {{"expression"_L1, u"new Promise(done => setTimeout(() => done(7), 10))"_s},
                           {"awaitPromise"_L1, true},
                           {"returnByValue"_L1, true}},
                          session, 5000);
        result.responsive = answer.value("result"_L1).toObject().value("value"_L1).toInt() == 7;
    } catch (const zor::Failure& failure) {
        result.note += failure.message() + u"; "_s;
    }

    QStringList toClose{tab};
    for (auto it = popups.cbegin(); it != popups.cend(); ++it)
        if (!it->destroyed)
            toClose << it.key();
    const qsizetype beforeClose = m_client.events().size();
    for (const QString& id : toClose)
        zor::tryStep("closing a corpus tab", [&] {
            m_client.call(u"Target.closeTarget"_s, {{"targetId"_L1, id}});
        });
    waitUntil(
        [&] {
            QSet<QString> gone;
            const auto events = m_client.events();
            for (qsizetype i = beforeClose; i < events.size(); ++i)
                if (events[i].method == u"Target.targetDestroyed"_s)
                    gone.insert(events[i].params.value("targetId"_L1).toString());
            return std::all_of(toClose.begin(), toClose.end(),
                               [&](const QString& id) { return gone.contains(id); });
        },
        3000);
    return result;
}
