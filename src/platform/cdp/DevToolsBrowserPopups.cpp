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
constexpr qint64 WindowOpenLifetimeNs = 2'000'000'000; // a window.open no popup followed
// How long a cancelled popup is kept after its opener's release for its navigation to show up.
constexpr int NavigationWaitMs = 1000;

// Whether opening the address makes the browser ask the network for it.
bool fetchesOverNetwork(const QString& url) {
    const QString scheme = QUrl(url).scheme();
    return scheme == "http"_L1 || scheme == "https"_L1 || scheme == "ftp"_L1;
}
} // namespace

void DevToolsBrowser::holdPopup(const QJsonObject& info, const QString& sessionId) {
    auto request = std::make_shared<PopupRequest>();
    request->browser = this;
    request->generation = m_generation;
    request->targetId = info.value("targetId"_L1).toString();
    request->sessionId = sessionId;
    request->openerId = info.value("openerId"_L1).toString();
    request->openerFrameId = info.value("openerFrameId"_L1).toString();
    request->attachedAt = m_connection->receivedAt();
    m_held.insert(request->targetId, request);

    const auto verdict = m_verdicts.constFind(request->targetId);
    if (verdict != m_verdicts.cend()) {
        const bool cancel = *verdict;
        m_verdicts.erase(verdict);
        resolve(*request, cancel, true);
        return;
    }
    // The window.open() this popup answers: the oldest one its opener frame made.
    QString frameSession = sessionOfTarget(request->openerFrameId);
    if (frameSession.isEmpty())
        frameSession = sessionOfTarget(request->openerId);
    const auto opener = m_sessions.find(frameSession);
    if (opener != m_sessions.end()) {
        auto& opens = opener->windowOpens;
        while (!opens.empty() && request->attachedAt - opens.front().arrivedAt > WindowOpenLifetimeNs)
            opens.pop_front();
        if (!opens.empty()) {
            request->facts = opens.front();
            opens.pop_front();
        }
    }
    emit popupHeld(request);
}

QString DevToolsBrowser::sessionOfTarget(const QString& targetId) const {
    return targetId.isEmpty() ? QString() : m_sessionsByTarget.value(targetId);
}

CdpPage* DevToolsBrowser::findOpener(const PopupRequest& request) const {
    for (const QString& target : {request.openerFrameId, request.openerId}) {
        const auto session = m_sessions.constFind(sessionOfTarget(target));
        if (session != m_sessions.cend() && session->page)
            return session->page;
    }
    return nullptr;
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
    QString release = sessionOfTarget(request.openerFrameId);
    if (release.isEmpty())
        release = sessionOfTarget(request.openerId);

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
        // closeTarget alone leaves the opener frozen inside window.open() for good, and the
        // popup's navigation may still start once the opener runs, also after the target has
        // gone (taking its request interception with it). So the opener goes first, and the
        // popup is closed once that navigation has been stopped here.
        // Without its window.open (one held across a reconnect) the address is unknown: wait.
        const bool expectsRequest =
            paused.isEmpty() && (!request.facts || fetchesOverNetwork(request.facts->url));
        const int generation = m_generation;
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, release,
             [this, released, generation, expectsRequest,
              popup = request.sessionId](const QJsonObject& result, const QJsonObject& error) {
                 if (generation == m_generation) {
                     if (expectsRequest)
                         QTimer::singleShot(NavigationWaitMs, this, [this, generation, popup] {
                             if (generation == m_generation)
                                 closePopup(popup);
                         });
                     else
                         closePopup(popup);
                 }
                 released(result, error);
             });
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
    send(u"Fetch.failRequest"_s, {{"requestId"_L1, requestId}, {"errorReason"_L1, "BlockedByClient"_L1}},
         sessionId);
}

void DevToolsBrowser::evaluateWithoutWaiting(const QString& sessionId, const QString& expression) {
    if (!isConnected())
        throw zor::Failure(u"the browser is not connected"_s);
    send(u"Runtime.evaluate"_s, {{"expression"_L1, expression}, {"silent"_L1, true}}, sessionId);
}

} // namespace platform::cdp
