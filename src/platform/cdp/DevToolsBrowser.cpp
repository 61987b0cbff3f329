#include "platform/cdp/DevToolsBrowser.h"

#include "platform/Failure.h"
#include "platform/Platform.h"
#include "platform/cdp/CdpLog.h"
#include "platform/cdp/Endpoint.h"
#include "platform/common/BrowserKeyState.h"
#include "platform/pipe/HolderSockets.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform::cdp {

// Which protocol event raises which browser event. Events not in this table (BeforeNavigate2,
// CommandStateChange, OnFullScreen, OnMenuBar, OnStatusBar, OnTheaterMode, OnToolBar,
// OnVisible, ProgressChange, PropertyChange, StatusTextChange) have no counterpart in the
// protocol and are never raised; BeforeNavigate2 in particular could only be cancelled by
// intercepting every request, which would cost every navigation a round trip.
//
//   Target.attachedToTarget (popup held)       -> NewWindow2
//   Page.frameStartedLoading (main frame)      -> DownloadBegin
//   Page.frameStoppedLoading (main frame)      -> DownloadComplete
//   Page.frameNavigated (main frame)           -> NavigateComplete2
//   Page.loadEventFired                        -> DocumentComplete
//   Target.targetInfoChanged (title changed),
//   Target.getTargetInfo after the document    -> TitleChange
//   Target.targetDestroyed / detachedFromTarget -> OnQuit

namespace {
constexpr int FrozenOpenerCheckMs = 500;
// How long a page that runs may take to answer before it is taken for one that does not.
constexpr int RunningCheckMs = 2000;

// The key reports run in a world of their own on every page: the page's scripts can neither see
// the listener nor call the binding, and synthetic events are not trusted.
const QString KeysBinding = u"zorKeys"_s;
const QString KeysScript = uR"((() => {
  const report = (e) => {
    if (e.isTrusted)
      zorKeys(JSON.stringify({ctrl: e.ctrlKey, shift: e.shiftKey}));
  };
  for (const type of ['keydown', 'keyup', 'mousedown', 'mouseup', 'wheel'])
    addEventListener(type, report, true);
})();)"_s;

// The host of an origin such as "http://site-a.test:8080"; empty for opaque origins
// (about:blank, data:) and file pages.
QString domainOfOrigin(const QString& origin) {
    const QUrl url(origin);
    if (url.scheme() == "http"_L1 || url.scheme() == "https"_L1 || url.scheme() == "ftp"_L1)
        return url.host();
    return {};
}
} // namespace

QString BrowserSource::describe() const {
    switch (kind) {
    case Kind::WebSocket:
        return url.toString();
    case Kind::Port:
        return u"127.0.0.1:%1"_s.arg(port);
    case Kind::ActivePortFile:
    case Kind::Holder:
        return file;
    }
    return {};
}

DevToolsBrowser::DevToolsBrowser(BrowserSource source, EndpointInUse inUse, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_inUse(std::move(inUse))
    , m_activePortFile(QFile::encodeName(m_source.file))
    , m_reportKeys(isWaylandSession()) {
    m_purge.setSingleShot(true);
    m_purge.setInterval(0);
    connect(&m_purge, &QTimer::timeout, this, &DevToolsBrowser::purgeRetired);
    m_staleOpens.setSingleShot(true);
    connect(&m_staleOpens, &QTimer::timeout, this, &DevToolsBrowser::dropStaleWindowOpens);
}

DevToolsBrowser::~DevToolsBrowser() {
    if (m_connection)
        m_connection->disconnect(this);
}

qint64 DevToolsBrowser::now() const {
    return m_connection ? m_connection->now() : 0;
}

void DevToolsBrowser::start(RetryClock* clock) {
    m_clock.start();
    if (!clock) {
        m_ownRetryClock = std::make_unique<RetryClock>();
        clock = m_ownRetryClock.get();
    }
    m_retryClock = clock;
    lookAgain();
    tryConnect();
}

void DevToolsBrowser::wake() {
    if (m_connection || m_probe.isAsking())
        return;
    lookAgain();
    tryConnect();
}

void DevToolsBrowser::lookAgain() {
    if (m_retryClock)
        m_retryClock->subscribe(this, [this] { tryConnect(); });
}

void DevToolsBrowser::stopLooking() {
    if (m_retryClock)
        m_retryClock->unsubscribe(this);
}

void DevToolsBrowser::tryConnect() {
    if (m_connection || m_probe.isAsking())
        return;
    freeClosedConnections();
    if (m_source.kind == BrowserSource::Kind::Holder) {
        // Once the browser has ended there is nothing left to look for.
        if (!pipe::HolderSockets::isLive(m_source.file)) {
            qCInfo(lcCdp, "the browser of %s has ended", qUtf8Printable(m_source.describe()));
            stopLooking();
            return;
        }
        connectTo(QUrl::fromLocalFile(m_source.file));
        return;
    }
    const auto endpoint = currentEndpoint();
    if (!endpoint)
        return;
    // A browser started anew: what the one before it was asked went with it.
    if (m_pacer.noteEndpoint(endpoint->describe())) {
        qCDebug(lcCdp, "%s names %s", qUtf8Printable(m_source.describe()),
                qUtf8Printable(endpoint->describe()));
        m_askEnded = false;
    }
    if (!m_pacer.mayAsk(m_clock.elapsed()))
        return;
    m_probe.ask(endpoint->port,
                [this, endpoint = *endpoint](const VersionAnswer& answer) { onProbed(endpoint, answer); });
}

std::optional<Endpoint> DevToolsBrowser::currentEndpoint() const {
    switch (m_source.kind) {
    case BrowserSource::Kind::WebSocket:
        return Endpoint{static_cast<quint16>(m_source.url.port()), m_source.url};
    case BrowserSource::Kind::Port:
        return Endpoint{m_source.port, {}};
    case BrowserSource::Kind::ActivePortFile:
        // Every usual profile is looked at once a second while the program idles, and mostly no
        // browser runs with it: one system call says so, where a failed QFile open also converts
        // the path and builds its error text.
        if (::access(m_activePortFile.constData(), R_OK) != 0)
            return std::nullopt;
        return Endpoint::fromActivePortFile(m_source.file);
    case BrowserSource::Kind::Holder:
        break;
    }
    return std::nullopt;
}

void DevToolsBrowser::onProbed(const Endpoint& endpoint, const VersionAnswer& answer) {
    if (m_connection)
        return;
    const bool askEnded = std::exchange(m_askEnded, false);
    switch (answer.kind) {
    case VersionAnswer::Kind::Socket:
        connectTo(endpoint.webSocketUrl.isEmpty() ? answer.webSocketUrl : endpoint.webSocketUrl);
        return;
    case VersionAnswer::Kind::NoAnswer:
        // Not a browser that asks its user (a busy one may not answer in time): its socket as
        // given, as before there was such a thing. A prompt that ended with its browser was
        // never refused: the next round looks again.
        if (!endpoint.webSocketUrl.isEmpty() && !askEnded)
            connectTo(endpoint.webSocketUrl);
        return;
    case VersionAnswer::Kind::AsksUser:
        break;
    }
    if (!askEnded) {
        ask(endpoint);
        return;
    }
    // The prompt ended without an approval and the browser is still there: the user said no
    // (Cancel, the prompt closed, "Turn off in settings"). Asking again at once would put the
    // prompt straight back.
    const bool tell = m_pacer.refused(m_clock.elapsed());
    qCInfo(lcCdp, "%s did not allow the connection; asking again in %lld s", qUtf8Printable(userName()),
           static_cast<long long>(m_pacer.waitMs() / 1000));
    if (tell)
        emit approvalRefused();
}

void DevToolsBrowser::ask(const Endpoint& endpoint) {
    // Such a browser takes any browser socket path, so a port alone is enough.
    connectTo(endpoint.webSocketUrl.isEmpty()
                  ? QUrl(u"ws://127.0.0.1:%1/devtools/browser"_s.arg(endpoint.port))
                  : endpoint.webSocketUrl);
    if (!m_connection)
        return;
    // Its prompt has no time limit and outlives a client that gives up, so this attempt stays
    // open until the user answers: a second one would only stack a second prompt.
    m_asking = true;
    qCInfo(lcCdp, "%s asks its user to allow the connection", qUtf8Printable(userName()));
    if (m_pacer.asking())
        emit approvalAwaited();
}

QString DevToolsBrowser::userName() const {
    if (!m_source.name.isEmpty())
        return m_source.name;
    return m_productName.isEmpty() ? m_source.describe() : m_productName;
}

void DevToolsBrowser::connectTo(const QUrl& url) {
    if (m_inUse && m_inUse(url, this))
        return;
    m_connection = std::make_unique<DevToolsConnection>();
    connect(m_connection.get(), &DevToolsConnection::opened, this, &DevToolsBrowser::onOpened);
    connect(m_connection.get(), &DevToolsConnection::closed, this, &DevToolsBrowser::onClosed);
    connect(m_connection.get(), &DevToolsConnection::eventReceived, this, &DevToolsBrowser::onEvent);
    if (url.isLocalFile())
        m_connection->openPipe(url.toLocalFile());
    else if (!m_connection->open(url))
        m_connection.reset();
    // Until this attempt ends (onClosed), whether in a connection or not, there is nothing to
    // look for.
    if (m_connection)
        stopLooking();
}

void DevToolsBrowser::onOpened() {
    ++m_generation;
    m_open = true;
    if (std::exchange(m_asking, false))
        qCInfo(lcCdp, "%s allowed the connection", qUtf8Printable(userName()));
    m_pacer.allowed();
    qCInfo(lcCdp, "watching the browser at %s", qUtf8Printable(m_connection->url().toString()));
    send(u"Browser.getVersion"_s, {}, {}, [this](const QJsonObject& result, const QJsonObject&) {
        m_productName = result.value("product"_L1).toString().section(u'/', 0, 0);
    });
    send(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});
    // Every new page waits for us: tabs are resumed at once, popups once decided.
    send(u"Target.setAutoAttach"_s, {{"autoAttach"_L1, true},
                                     {"waitForDebuggerOnStart"_L1, true},
                                     {"flatten"_L1, true},
                                     {"filter"_L1, QJsonArray{QJsonObject{{"type"_L1, "page"_L1}}}}});
    emit connected();
}

void DevToolsBrowser::onClosed() {
    const bool wasOpen = std::exchange(m_open, false);
    m_askEnded = std::exchange(m_asking, false) && !wasOpen;
    bool hadListed = false;
    for (auto& page : m_pages) {
        hadListed = hadListed || page->isListed();
        page->markGone();
        m_retired.push_back(std::move(page));
    }
    m_pages.clear();
    m_sessions.clear();
    m_sessionsByTarget.clear();
    m_frameSessions.clear();
    // What was held stays held in the browser; it is decided again after the reconnect.
    m_held.clear();
    // A verdict the connection took down with it never reached the browser: the popup comes back
    // after the reconnect and gets the same verdict, without being decided (and counted) twice.
    m_verdicts.insert(std::exchange(m_unconfirmed, {}));
    if (m_connection) {
        // Freed later, well clear of the socket code that reported the close.
        m_connection->disconnect(this);
        m_closedConnections.push_back(std::move(m_connection));
    }
    m_purge.start();
    lookAgain();
    if (hadListed)
        emit pagesRevoked();
    if (wasOpen) {
        qCInfo(lcCdp, "lost the browser at %s; looking for it again", qUtf8Printable(m_source.describe()));
        emit disconnected();
    }
}

void DevToolsBrowser::send(const QString& method, const QJsonObject& params, const QString& sessionId,
                           DevToolsConnection::Reply onReply) {
    if (m_connection)
        m_connection->send(method, params, sessionId, std::move(onReply));
}

void DevToolsBrowser::onEvent(const QString& method, const QJsonObject& params, const QString& sessionId) {
    if (method == "Target.attachedToTarget"_L1)
        return onAttached(params, sessionId);
    if (method == "Target.detachedFromTarget"_L1)
        return onDetached(params.value("sessionId"_L1).toString());
    if (method == "Target.targetDestroyed"_L1)
        return onTargetDestroyed(params.value("targetId"_L1).toString());
    if (method == "Target.targetInfoChanged"_L1)
        return onTargetInfoChanged(params.value("targetInfo"_L1).toObject());
    if (method == "Target.targetCreated"_L1 || method == "Target.targetCrashed"_L1)
        return;
    if (method == "Fetch.requestPaused"_L1)
        return onRequestPaused(params.value("requestId"_L1).toString(), sessionId);
    if (method == "Runtime.bindingCalled"_L1)
        return onKeysReported(params);
    const auto session = m_sessions.find(sessionId);
    if (sessionId.isEmpty() || session == m_sessions.end()) {
        qCDebug(lcCdp, "%s on an unknown session dropped", qUtf8Printable(method));
        return;
    }
    if (method == "Page.windowOpen"_L1)
        return onWindowOpen(params, *session);
    if (onFrameEvent(method, params, sessionId) && method != "Page.frameNavigated"_L1)
        return;
    if (session->kind == SessionKind::Page && session->page)
        return onPageEvent(*session->page, method, params);
    qCDebug(lcCdp, "%s dropped", qUtf8Printable(method));
}

// A popup names the frame that opened it, and frames that share their parent's renderer have no
// session of their own: their window.open is reported on, and their release must go to, the
// session of the renderer they run in.
bool DevToolsBrowser::onFrameEvent(const QString& method, const QJsonObject& params,
                                   const QString& sessionId) {
    if (method == "Page.frameAttached"_L1) {
        m_frameSessions.insert(params.value("frameId"_L1).toString(), sessionId);
    } else if (method == "Page.frameNavigated"_L1) {
        m_frameSessions.insert(params.value("frame"_L1).toObject().value("id"_L1).toString(), sessionId);
    } else if (method == "Page.frameDetached"_L1) {
        // A frame swapped into another renderer shows up there, or as a target of its own.
        const QString frameId = params.value("frameId"_L1).toString();
        if (m_frameSessions.value(frameId) == sessionId)
            m_frameSessions.remove(frameId);
    } else {
        return false;
    }
    return true;
}

void DevToolsBrowser::recordFrameTree(const QJsonObject& tree, const QString& sessionId) {
    m_frameSessions.insert(tree.value("frame"_L1).toObject().value("id"_L1).toString(), sessionId);
    const QJsonArray children = tree.value("childFrames"_L1).toArray();
    for (const QJsonValue& child : children)
        recordFrameTree(child.toObject(), sessionId);
}

QString DevToolsBrowser::sessionOfFrame(const QString& frameId) const {
    if (frameId.isEmpty())
        return {};
    const QString own = sessionOfTarget(frameId);
    if (!own.isEmpty())
        return own;
    const QString renderer = m_frameSessions.value(frameId);
    return m_sessions.contains(renderer) ? renderer : QString();
}

QString DevToolsBrowser::openerSession(const PopupRequest& request) const {
    const QString frame = sessionOfFrame(request.openerFrameId);
    return frame.isEmpty() ? sessionOfTarget(request.openerId) : frame;
}

void DevToolsBrowser::forgetSession(const QString& sessionId) {
    const auto session = m_sessions.constFind(sessionId);
    if (session != m_sessions.cend()) {
        if (m_sessionsByTarget.value(session->targetId) == sessionId)
            m_sessionsByTarget.remove(session->targetId);
        m_sessions.erase(session);
    }
    m_frameSessions.removeIf([&](const auto& frame) { return frame.value() == sessionId; });
}

void DevToolsBrowser::onPageEvent(CdpPage& page, const QString& method, const QJsonObject& params) {
    PageState& state = page.state();
    const bool mainFrame = params.value("frameId"_L1).toString() == page.targetId();
    if (method == "Page.frameNavigated"_L1) {
        const QJsonObject frame = params.value("frame"_L1).toObject();
        if (frame.contains("parentId"_L1))
            return;
        state.domain = domainOfOrigin(frame.value("securityOrigin"_L1).toString());
        state.mimeType = frame.value("mimeType"_L1).toString();
        state.url = frame.value("url"_L1).toString() + frame.value("urlFragment"_L1).toString();
        QVariant url = state.url;
        emit page.NavigateComplete2(&page, url);
    } else if (method == "Page.frameStartedLoading"_L1 && mainFrame) {
        state.loading = true;
        state.readyState = 1;
        emit page.DownloadBegin();
    } else if (method == "Page.frameStoppedLoading"_L1 && mainFrame) {
        state.loading = false;
        state.readyState = 4;
        emit page.DownloadComplete();
    } else if (method == "Page.domContentEventFired"_L1) {
        state.readyState = std::max(state.readyState, 3);
        refreshTitle(page);
    } else if (method == "Page.loadEventFired"_L1) {
        state.readyState = 4;
        refreshTitle(page);
        QVariant url = state.url;
        emit page.DocumentComplete(&page, url);
    } else {
        qCDebug(lcCdp, "%s dropped", qUtf8Printable(method));
    }
}

void DevToolsBrowser::onAttached(const QJsonObject& params, const QString& parentSessionId) {
    const QString sessionId = params.value("sessionId"_L1).toString();
    const QJsonObject info = params.value("targetInfo"_L1).toObject();
    const QString targetId = info.value("targetId"_L1).toString();
    const QString type = info.value("type"_L1).toString();
    const bool waiting = params.value("waitingForDebugger"_L1).toBool();
    qCDebug(lcCdp, "attached %s %s waiting %d opener %s", qUtf8Printable(type), qUtf8Printable(targetId),
            waiting, qUtf8Printable(info.value("openerId"_L1).toString()));

    if (!parentSessionId.isEmpty()) {
        // A cross-site iframe of one of our pages: without a session of its own, a popup it
        // opens would be reported as held and load anyway.
        const auto parent = m_sessions.constFind(parentSessionId);
        if (type != "iframe"_L1 || parent == m_sessions.cend()) {
            send(u"Target.detachFromTarget"_s, {{"sessionId"_L1, sessionId}}, parentSessionId);
            return;
        }
        m_sessions.insert(sessionId, Session{SessionKind::Iframe, targetId, parent->page, {}, {}});
        m_sessionsByTarget.insert(targetId, sessionId);
        setUpSession(sessionId);
        send(u"Page.getFrameTree"_s, {}, sessionId,
             [this, sessionId](const QJsonObject& result, const QJsonObject&) {
                 if (m_sessions.contains(sessionId))
                     recordFrameTree(result.value("frameTree"_L1).toObject(), sessionId);
             });
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, sessionId);
        return;
    }
    if (type != "page"_L1)
        return;
    const QString url = info.value("url"_L1).toString();
    if (waiting || url.isEmpty() || info.value("openerId"_L1).toString().isEmpty() ||
        !fetchesOverNetwork(url))
        return setUpTab(info, sessionId, waiting, waiting || url.isEmpty());
    // A popup held on a connection that died is reported again without waitingForDebugger, and a
    // busy browser may already give it the address it is waiting to load. What the browser has
    // committed tells it from a popup that loaded: the held one has no page of that kind yet.
    m_sessions.insert(sessionId, Session{SessionKind::Unsure, targetId, {}, {}, {}});
    m_sessionsByTarget.insert(targetId, sessionId);
    send(u"Page.getNavigationHistory"_s, {}, sessionId,
         [this, info, sessionId](const QJsonObject& result, const QJsonObject& error) {
             const auto session = m_sessions.constFind(sessionId);
             if (session == m_sessions.cend() || session->kind != SessionKind::Unsure)
                 return;
             forgetSession(sessionId);
             const QJsonArray entries = result.value("entries"_L1).toArray();
             const bool loaded =
                 !error.isEmpty() || std::any_of(entries.begin(), entries.end(), [](const auto& e) {
                     return fetchesOverNetwork(e.toObject().value("url"_L1).toString());
                 });
             qCDebug(lcCdp, "tab %s with an opener: %s", qUtf8Printable(info.value("targetId"_L1).toString()),
                     loaded ? "loaded" : "still held");
             setUpTab(info, sessionId, false, !loaded);
         });
}

void DevToolsBrowser::setUpTab(const QJsonObject& info, const QString& sessionId, bool waiting,
                               bool notStarted) {
    const QString targetId = info.value("targetId"_L1).toString();
    if (notStarted && !info.value("openerId"_L1).toString().isEmpty()) {
        m_sessions.insert(sessionId, Session{SessionKind::Popup, targetId, {}, {}, {}});
        m_sessionsByTarget.insert(targetId, sessionId);
        // Chromium holds a popup by pausing its opener's renderer, and any resume that renderer
        // takes in ends that pause: a new tab's resume it handles late, or the opener's own
        // release before the close has landed. Whatever the popup then asks the network for
        // stops here until it is decided.
        send(u"Fetch.enable"_s, {{"patterns"_L1, QJsonArray{QJsonObject{{"urlPattern"_L1, "*"_L1}}}}},
             sessionId);
        holdPopup(info, sessionId, waiting);
        return;
    }
    CdpPage& page = addPage(targetId, sessionId, info);
    setUpSession(sessionId);
    if (waiting) {
        // A new tab: browser-wide waiting pauses the user's own tabs too.
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, sessionId);
    } else {
        // Already running when we connected. It may be an opener left frozen by a connection that
        // died mid-popup; once its held popups (which attach alongside it) are resolved, resuming
        // it is harmless either way. Resuming it first would let such a popup load.
        QTimer::singleShot(FrozenOpenerCheckMs, this, [this, p = QPointer(&page)] { resumeUnlessOpener(p); });
    }
    requestWindowId(page);
}

void DevToolsBrowser::resumeUnlessOpener(const QPointer<CdpPage>& page) {
    if (!page || page->isGone())
        return;
    for (const auto& held : std::as_const(m_held))
        if (findOpener(*held) == page)
            return; // released with its popup's decision
    const bool unsure = std::any_of(m_sessions.cbegin(), m_sessions.cend(),
                                    [](const Session& s) { return s.kind == SessionKind::Unsure; });
    if (unsure) {
        // One of them may turn out to be this page's held popup.
        QTimer::singleShot(FrozenOpenerCheckMs, this, [this, page] { resumeUnlessOpener(page); });
        return;
    }
    // Only a page that does not run needs the resume: a tab paused before it started, or an
    // opener whose release went to a connection that died. A paused page still answers the
    // protocol but runs none of its tasks, so a timer of its own tells: a running page has it
    // fire at once, and resuming that page would end the hold of a popup it opens meanwhile,
    // whose report may still be on its way here. One frozen for such a popup has it fire late
    // too, but by then that popup is held here. The timer runs in a world of its own, so a page
    // that wraps its timers neither sees the check nor can fake its answer.
    auto answered = std::make_shared<bool>(false);
    const auto check = [this, answered, page](const QJsonObject& world, const QJsonObject&) {
        if (!page || page->isGone())
            return;
        QJsonObject params{{"expression"_L1, QString::fromLatin1(RunningCheckScript)},
                           {"awaitPromise"_L1, true}};
        if (world.contains("executionContextId"_L1))
            params.insert("contextId"_L1, world.value("executionContextId"_L1));
        send(u"Runtime.evaluate"_s, params, page->sessionId(),
             [answered](const QJsonObject&, const QJsonObject& error) { *answered = error.isEmpty(); });
    };
    // A page target's id is its main frame's.
    send(u"Page.createIsolatedWorld"_s,
         {{"frameId"_L1, page->targetId()}, {"worldName"_L1, "zor-running-check"_L1}}, page->sessionId(),
         check);
    const int generation = m_generation;
    QTimer::singleShot(RunningCheckMs, this, [this, page, answered, generation] {
        if (*answered || generation != m_generation || !page || page->isGone())
            return;
        for (const auto& held : std::as_const(m_held))
            if (findOpener(*held) == page)
                return;
        qCDebug(lcCdp, "page %s does not run; resumed", qUtf8Printable(page->targetId()));
        send(u"Runtime.runIfWaitingForDebugger"_s, {}, page->sessionId());
    });
}

CdpPage& DevToolsBrowser::addPage(const QString& targetId, const QString& sessionId,
                                  const QJsonObject& info) {
    m_pages.push_back(std::make_unique<CdpPage>(*this, targetId, sessionId));
    CdpPage& page = *m_pages.back();
    page.state().url = info.value("url"_L1).toString();
    page.state().title = info.value("title"_L1).toString();
    m_sessions.insert(sessionId, Session{SessionKind::Page, targetId, &page, {}, {}});
    m_sessionsByTarget.insert(targetId, sessionId);
    send(u"Page.getFrameTree"_s, {}, sessionId,
         [this, p = QPointer(&page)](const QJsonObject& result, const QJsonObject& error) {
             if (!p || p->isGone())
                 return;
             if (!error.isEmpty()) {
                 qCInfo(lcCdp, "page %s: frame tree unreadable", qUtf8Printable(p->targetId()));
                 p->state().domain = QString();
             } else {
                 const QJsonObject tree = result.value("frameTree"_L1).toObject();
                 recordFrameTree(tree, p->sessionId());
                 const QJsonObject frame = tree.value("frame"_L1).toObject();
                 // A new tab still shows the empty document it starts with, and the navigation to
                 // its address may commit in another renderer before that renderer reports frame
                 // events: until it does, the address it loads names its site.
                 const bool pending =
                     frame.value("url"_L1).toString().isEmpty() && fetchesOverNetwork(p->state().url);
                 if (!p->state().domain)
                     p->state().domain = pending
                                             ? QUrl(p->state().url).host()
                                             : domainOfOrigin(frame.value("securityOrigin"_L1).toString());
                 if (p->state().mimeType.isEmpty())
                     p->state().mimeType = frame.value("mimeType"_L1).toString();
             }
             maybeList(*p);
         });
    return page;
}

void DevToolsBrowser::setUpSession(const QString& sessionId) {
    send(u"Page.enable"_s, {}, sessionId);
    if (m_reportKeys) {
        send(u"Runtime.enable"_s, {}, sessionId);
        send(u"Runtime.addBinding"_s, {{"name"_L1, KeysBinding}, {"executionContextName"_L1, KeysBinding}},
             sessionId);
        send(u"Page.addScriptToEvaluateOnNewDocument"_s,
             {{"source"_L1, KeysScript}, {"worldName"_L1, KeysBinding}, {"runImmediately"_L1, true}},
             sessionId);
    }
    // A cross-site frame waits for its session, resumed as soon as it attaches: one left running
    // can open a popup before its session is in place, and that popup would not be held.
    send(u"Target.setAutoAttach"_s,
         {{"autoAttach"_L1, true},
          {"waitForDebuggerOnStart"_L1, true},
          {"flatten"_L1, true},
          {"filter"_L1, QJsonArray{QJsonObject{{"type"_L1, "iframe"_L1}}}}},
         sessionId);
}

void DevToolsBrowser::onKeysReported(const QJsonObject& params) {
    if (!m_reportKeys || params.value("name"_L1).toString() != KeysBinding)
        return;
    const QJsonObject keys = QJsonDocument::fromJson(params.value("payload"_L1).toString().toUtf8()).object();
    const QJsonValue ctrl = keys.value("ctrl"_L1);
    const QJsonValue shift = keys.value("shift"_L1);
    if (!ctrl.isBool() || !shift.isBool()) {
        qCDebug(lcCdp, "a malformed key report dropped");
        return;
    }
    BrowserKeyState::report(ctrl.toBool(), shift.toBool());
}

void DevToolsBrowser::requestWindowId(CdpPage& page) {
    send(u"Browser.getWindowForTarget"_s, {{"targetId"_L1, page.targetId()}}, {},
         [this, p = QPointer(&page)](const QJsonObject& result, const QJsonObject& error) {
             if (!p || p->isGone())
                 return;
             if (!error.isEmpty() || !result.contains("windowId"_L1)) {
                 qCInfo(lcCdp, "page %s: window unknown: %s", qUtf8Printable(p->targetId()),
                        qUtf8Printable(error.value("message"_L1).toString()));
                 p->state().windowUnknown = true;
                 return;
             }
             p->state().windowId = result.value("windowId"_L1).toInt();
             maybeList(*p);
         });
}

void DevToolsBrowser::maybeList(CdpPage& page) {
    if (page.isListed() || page.isGone() || !page.state().windowId || !page.state().domain)
        return;
    page.setListed(true);
    qCDebug(lcCdp, "page %s listed", qUtf8Printable(page.targetId()));
    emit pageListed(&page);
}

void DevToolsBrowser::onDetached(const QString& sessionId) {
    const auto session = m_sessions.find(sessionId);
    if (session == m_sessions.end())
        return;
    const QString targetId = session->targetId;
    const bool isPage = session->kind == SessionKind::Page;
    forgetSession(sessionId);
    if (isPage)
        onTargetDestroyed(targetId);
}

void DevToolsBrowser::onTargetDestroyed(const QString& targetId) {
    if (const auto held = m_held.take(targetId)) {
        // A held popup that went away (its opener closed, say): nothing left to decide.
        forgetSession(held->sessionId);
        return;
    }
    const auto it = std::find_if(m_pages.begin(), m_pages.end(),
                                 [&](const auto& page) { return page->targetId() == targetId; });
    if (it == m_pages.end())
        return;
    std::unique_ptr<CdpPage> page = std::move(*it);
    m_pages.erase(it);
    forgetSession(page->sessionId());
    const bool wasListed = page->isListed();
    if (wasListed)
        emit page->OnQuit();
    page->markGone();
    m_retired.push_back(std::move(page));
    m_purge.start();
    if (wasListed)
        emit pagesRevoked();
}

// Chromium reports a new title with a new address only, not when the page sets its own, so
// the title is asked for once the document is there. The browser answers this itself: a page
// frozen inside window.open() does not hold it up.
void DevToolsBrowser::refreshTitle(CdpPage& page) {
    send(u"Target.getTargetInfo"_s, {{"targetId"_L1, page.targetId()}}, {},
         [this, p = QPointer(&page)](const QJsonObject& result, const QJsonObject& error) {
             if (!p || p->isGone() || !error.isEmpty())
                 return;
             updateTitle(*p, result.value("targetInfo"_L1).toObject().value("title"_L1).toString());
         });
}

void DevToolsBrowser::updateTitle(CdpPage& page, const QString& title) {
    if (title == page.state().title)
        return;
    page.state().title = title;
    emit page.TitleChange(title);
}

void DevToolsBrowser::onTargetInfoChanged(const QJsonObject& info) {
    const QString targetId = info.value("targetId"_L1).toString();
    const auto it = std::find_if(m_pages.begin(), m_pages.end(),
                                 [&](const auto& page) { return page->targetId() == targetId; });
    if (it == m_pages.end())
        return;
    CdpPage& page = **it;
    page.state().url = info.value("url"_L1).toString();
    updateTitle(page, info.value("title"_L1).toString());
}

QList<CdpPage*> DevToolsBrowser::listedPages() const {
    QList<CdpPage*> pages;
    for (const auto& page : m_pages)
        if (page->isListed() && !page->isGone())
            pages.append(page.get());
    return pages;
}

void DevToolsBrowser::purgeRetired() {
    if (m_busy && m_busy()) {
        m_purge.start(50);
        return;
    }
    m_retired.clear();
    freeClosedConnections();
}

// A decision's nested event loop can run the next attempt while the socket that delivered the
// popup is still mid-message below it; that socket code touches its connection once the loop
// returns.
void DevToolsBrowser::freeClosedConnections() {
    std::erase_if(m_closedConnections, [](const auto& connection) { return !connection->isDelivering(); });
    if (!m_closedConnections.empty())
        m_purge.start(50);
}

void DevToolsBrowser::shutdown() {
    stopLooking();
    m_retryClock = nullptr;
    if (!isConnected())
        return;
    // Leaving must not strand anything: what is still held opens as if we had never watched.
    const auto held = m_held.values();
    for (const auto& request : held)
        resolve(*request, false, false);
    // A cancelled popup still waiting for its navigation would get it once our interception
    // leaves with the connection: close it now.
    QStringList closing;
    for (auto session = m_sessions.cbegin(); session != m_sessions.cend(); ++session)
        if (session->kind == SessionKind::Closing)
            closing.append(session.key());
    for (const QString& sessionId : std::as_const(closing))
        closePopup(sessionId);
    m_connection->flush();
    m_connection->disconnect(this);
    m_connection->close();
    m_connection.reset();
}

} // namespace platform::cdp
