// Popups: each one is held by the browser until it is decided here, exactly once, and the
// opener frozen inside window.open() is released whatever the answer.
#include "platform/Failure.h"
#include "platform/cdp/CdpLog.h"
#include "platform/cdp/DevToolsBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace platform::cdp {

namespace {
constexpr qint64 WindowOpenLifetimeNs = 2'000'000'000; // a window.open no popup followed
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
        // after the reconnect, when this verdict is applied without asking twice.
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
    if (cancel) {
        send(u"Target.closeTarget"_s, {{"targetId"_L1, request.targetId}});
        // closeTarget alone leaves the opener frozen inside window.open() for good.
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, release, released);
        m_sessions.remove(request.sessionId);
        m_sessionsByTarget.remove(request.targetId);
    } else {
        m_sessions.remove(request.sessionId);
        CdpPage& page = addPage(request.targetId, request.sessionId, {});
        page.state().url = outcome->url;
        setUpSession(request.sessionId);
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, request.sessionId, released);
        requestWindowId(page);
    }
    outcome->commandAt = now();
    m_connection->flush();
}

void DevToolsBrowser::evaluateWithoutWaiting(const QString& sessionId, const QString& expression) {
    if (!isConnected())
        throw zor::Failure(u"the browser is not connected"_s);
    send(u"Runtime.evaluate"_s, {{"expression"_L1, expression}, {"silent"_L1, true}}, sessionId);
}

} // namespace platform::cdp
