// Popups: each one is held by the browser until it is decided here, exactly once, and the
// opener frozen inside window.open() is released whatever the answer.
#include "platform/Failure.h"
#include "platform/cdp/CdpLog.h"
#include "platform/cdp/DevToolsBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace platform::cdp {

namespace {
// A window.open() no popup has answered within this long was refused; so were the ones before
// the open a popup answers. Bounded too in number, for a page that opens in a loop.
constexpr qint64 WindowOpenLifetimeNs = 3'000'000'000;
constexpr std::size_t MaxWindowOpens = 16;
// A renderer reports its window.open on another channel than the browser reports the popup, so
// on a busy machine the open can come after the popup: the decision waits this long for it.
constexpr qint64 LateOpenWaitNs = 1'000'000'000;
// A cancelled popup that shares its opener's renderer is closed when its first request has been
// stopped: closing it earlier drops the request's interception, and on a busy machine the
// navigation can start seconds after the opener's release. This only bounds the wait for a
// navigation that never comes.
constexpr int NavigationBackstopMs = 10000;

} // namespace

bool DevToolsBrowser::fetchesOverNetwork(const QString& url) {
    const QString scheme = QUrl(url).scheme();
    return scheme == "http"_L1 || scheme == "https"_L1 || scheme == "ftp"_L1;
}

void DevToolsBrowser::holdPopup(const QJsonObject& info, const QString& sessionId, bool started) {
    auto request = std::make_shared<PopupRequest>();
    request->browser = this;
    request->generation = m_generation;
    request->targetId = info.value("targetId"_L1).toString();
    request->sessionId = sessionId;
    request->openerId = info.value("openerId"_L1).toString();
    request->openerFrameId = info.value("openerFrameId"_L1).toString();
    request->noopener = !info.value("canAccessOpener"_L1).toBool();
    request->attachedAt = m_connection->receivedAt();
    // One held across a reconnect had its window.open reported on the connection that died.
    request->openDue = started;
    m_held.insert(request->targetId, request);

    const auto verdict = m_verdicts.constFind(request->targetId);
    if (verdict != m_verdicts.cend()) {
        const bool cancel = *verdict;
        m_verdicts.erase(verdict);
        resolve(*request, cancel, true);
        return;
    }
    pairOpen(*request);
    emit popupHeld(request);
}

// The window.open() a popup answers is the newest of its opener's renderer: that renderer waits
// inside an open until its window exists, so an older one never got a window.
void DevToolsBrowser::pairOpen(PopupRequest& request) {
    dropStaleWindowOpens();
    const auto opener = m_sessions.find(openerSession(request));
    if (opener == m_sessions.end() || opener->windowOpens.empty())
        return;
    auto& opens = opener->windowOpens;
    request.facts = opens.back();
    opens.pop_back();
    for (const WindowOpenFacts& refused : opens)
        noteRefusedOpen(refused);
    opens.clear();
}

bool DevToolsBrowser::awaitsOpen(PopupRequest& request) {
    if (request.facts || !request.openDue)
        return false;
    pairOpen(request);
    if (request.facts)
        return false;
    if (now() < request.attachedAt + LateOpenWaitNs)
        return true;
    request.openDue = false;
    qCInfo(lcCdp, "popup %s: its window.open was never reported; decided without it",
           qUtf8Printable(request.targetId));
    return false;
}

void DevToolsBrowser::onWindowOpen(const QJsonObject& params, Session& session) {
    auto& opens = session.windowOpens;
    if (opens.size() == MaxWindowOpens) {
        noteRefusedOpen(opens.front());
        opens.pop_front();
    }
    opens.push_back({params.value("url"_L1).toString(), params.value("userGesture"_L1).toBool(),
                     m_connection->receivedAt()});
    if (!m_staleOpens.isActive())
        m_staleOpens.start(static_cast<int>(WindowOpenLifetimeNs / 1'000'000));
    if (!m_held.isEmpty())
        emit windowOpenSeen();
}

void DevToolsBrowser::dropStaleWindowOpens() {
    const qint64 cutoff = now() - WindowOpenLifetimeNs;
    bool pending = false;
    for (Session& session : m_sessions) {
        auto& opens = session.windowOpens;
        while (!opens.empty() && opens.front().arrivedAt < cutoff) {
            noteRefusedOpen(opens.front());
            opens.pop_front();
        }
        pending = pending || !opens.empty();
    }
    if (pending && !m_staleOpens.isActive())
        m_staleOpens.start(static_cast<int>(WindowOpenLifetimeNs / 1'000'000));
}

// The browser's own blocker refuses script popups, the ones without a user's gesture; a refused
// open with a gesture has another cause (the user's click already had its popup, say).
void DevToolsBrowser::noteRefusedOpen(const WindowOpenFacts& facts) {
    qCDebug(lcCdp, "window.open of %s got no window", qUtf8Printable(facts.url));
    if (facts.userGesture || m_blockerToldFor == m_generation)
        return;
    m_blockerToldFor = m_generation;
    qCInfo(lcCdp, "%s: the browser blocks popups by itself", qUtf8Printable(m_source.describe()));
    // Told from the event loop: a listener must not run while the sessions are being walked.
    QTimer::singleShot(0, this, &DevToolsBrowser::ownPopupBlockerSeen);
}

QString DevToolsBrowser::sessionOfTarget(const QString& targetId) const {
    return targetId.isEmpty() ? QString() : m_sessionsByTarget.value(targetId);
}

CdpPage* DevToolsBrowser::findOpener(const PopupRequest& request) const {
    const auto session = m_sessions.constFind(openerSession(request));
    return session != m_sessions.cend() ? session->page : nullptr;
}

bool DevToolsBrowser::isHeld(const PopupRequest& request) const {
    return request.generation == m_generation && isConnected() &&
           m_held.value(request.targetId).get() == &request;
}

void DevToolsBrowser::resolve(PopupRequest& request, bool cancel, bool asked) {
    if (!isHeld(request)) {
        // The connection it was held on is gone; the browser still holds it and reports it again
        // after the reconnect, when this verdict is applied without asking twice. A reconnect
        // that came while it was being decided may have reported it already.
        const auto again = m_held.value(request.targetId);
        if (asked && again && isHeld(*again))
            return resolve(*again, cancel, asked);
        if (asked)
            m_verdicts.insert(request.targetId, cancel);
        return;
    }
    auto held = m_held.take(request.targetId); // keeps the request alive to the end
    const QString release = openerSession(request);

    auto outcome = std::make_shared<PopupOutcome>();
    outcome->targetId = request.targetId;
    if (CdpPage* opener = findOpener(request))
        outcome->openerUrl = opener->state().url;
    outcome->url = request.facts ? request.facts->url : QString();
    outcome->cancelled = cancel;
    outcome->asked = asked;
    outcome->attachedAt = request.attachedAt;
    if (asked)
        m_unconfirmed.insert(request.targetId, cancel);
    auto released = [this, outcome](const QJsonObject&, const QJsonObject& error) {
        // Answered by the browser (even with an error): the verdict arrived.
        if (error.isEmpty() || isConnected())
            m_unconfirmed.remove(outcome->targetId);
        outcome->releasedAt = error.isEmpty() ? now() : 0;
        emit popupResolved(*outcome);
    };
    const auto session = m_sessions.find(request.sessionId);
    const QStringList paused = session != m_sessions.end() ? session->pausedRequests : QStringList();
    if (cancel) {
        for (const QString& requestId : paused)
            failRequest(requestId, request.sessionId);
        if (session != m_sessions.end())
            session->kind = SessionKind::Closing;
        // A popup without access to its opener (noopener, links, forms) runs in a renderer of its
        // own and starts nothing until it is resumed: it can go at once. One that shares its
        // opener's renderer must wait: closing it while that renderer is paused for it can hang
        // the renderer, and once the opener runs the popup's navigation may start even after
        // the target has gone (taking its request interception with it). So the opener goes
        // first, and the popup is closed once that navigation has been stopped here.
        // Without its window.open (one held across a reconnect) the address is unknown: wait.
        if (request.noopener)
            closePopup(request.sessionId);
        const bool expectsRequest =
            paused.isEmpty() && (!request.facts || fetchesOverNetwork(request.facts->url));
        const int generation = m_generation;
        auto resumeOpener = [this, released, generation, expectsRequest, release, popup = request.sessionId] {
            send(u"Runtime.runIfWaitingForDebugger"_s, {}, release,
                 [this, released, generation, expectsRequest, popup](const QJsonObject& result,
                                                                     const QJsonObject& error) {
                     if (generation == m_generation) {
                         if (expectsRequest)
                             QTimer::singleShot(NavigationBackstopMs, this, [this, generation, popup] {
                                 const auto session = m_sessions.constFind(popup);
                                 if (generation != m_generation || session == m_sessions.cend() ||
                                     session->closeSent)
                                     return;
                                 qCInfo(lcCdp,
                                        "a cancelled popup started no navigation within %d s; closing it",
                                        NavigationBackstopMs / 1000);
                                 closePopup(popup);
                             });
                         else
                             closePopup(popup);
                     }
                     released(result, error);
                 });
        };
        if (request.noopener) {
            resumeOpener();
        } else {
            // Once the opener runs it can write into the popup, and what it writes loads through the
            // opener's own network access, out of reach of the popup's request interception: the
            // popup's renderer is told to refuse every load first. The opener runs on whatever the
            // answer, as it must never be left paused.
            send(u"Network.enable"_s, {}, request.sessionId);
            send(u"Network.setBlockedURLs"_s, {{"urls"_L1, QJsonArray{"*"_L1}}}, request.sessionId,
                 [this, generation, resumeOpener, released](const QJsonObject&, const QJsonObject& error) {
                     if (generation != m_generation)
                         return released({}, error);
                     if (!error.isEmpty())
                         qCWarning(lcCdp, "a cancelled popup's loads could not be refused: %s",
                                   qUtf8Printable(error.value("message"_L1).toString()));
                     resumeOpener();
                 });
        }
    } else {
        m_sessions.remove(request.sessionId);
        CdpPage& page = addPage(request.targetId, request.sessionId, {});
        page.state().url = outcome->url;
        setUpSession(request.sessionId);
        for (const QString& requestId : paused)
            send(u"Fetch.continueRequest"_s, {{"requestId"_L1, requestId}}, request.sessionId);
        send(u"Fetch.disable"_s, {}, request.sessionId);
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, request.sessionId, released);
        requestWindowId(page);
    }
    outcome->commandAt = now();
    m_connection->flush();
}

void DevToolsBrowser::onRequestPaused(const QString& requestId, const QString& sessionId) {
    const auto session = m_sessions.find(sessionId);
    if (session != m_sessions.end() && session->kind == SessionKind::Popup) {
        session->pausedRequests.append(requestId);
        return;
    }
    if (session != m_sessions.end() && session->kind == SessionKind::Page) {
        send(u"Fetch.continueRequest"_s, {{"requestId"_L1, requestId}}, sessionId);
        return;
    }
    // A cancelled popup on its way out, or one we no longer know: nothing of it may load.
    failRequest(requestId, sessionId);
    closePopup(sessionId);
}

void DevToolsBrowser::closePopup(const QString& sessionId) {
    const auto session = m_sessions.find(sessionId);
    if (session == m_sessions.end() || session->kind != SessionKind::Closing || session->closeSent)
        return;
    session->closeSent = true;
    send(u"Target.closeTarget"_s, {{"targetId"_L1, session->targetId}});
}

void DevToolsBrowser::failRequest(const QString& requestId, const QString& sessionId) {
    qCDebug(lcCdp, "request %s of a cancelled popup stopped", qUtf8Printable(requestId));
    // Aborted, not blocked: a blocked navigation commits an error page first, which keeps a
    // popup that shares its opener's renderer on screen for tens of milliseconds longer.
    send(u"Fetch.failRequest"_s, {{"requestId"_L1, requestId}, {"errorReason"_L1, "Aborted"_L1}}, sessionId);
}

void DevToolsBrowser::evaluateWithoutWaiting(const QString& sessionId, const QString& expression) {
    if (!isConnected())
        throw zor::Failure(u"the browser is not connected"_s);
    send(u"Runtime.evaluate"_s, {{"expression"_L1, expression}, {"silent"_L1, true}}, sessionId);
}

} // namespace platform::cdp
