#include "platform/firefox/FirefoxShellWindows.h"

#include "platform/KeyState.h"
#include "platform/Log.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace platform::firefox {

namespace {
qint64 nowNs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.nsecsElapsed();
}
} // namespace

FirefoxShellWindows::FirefoxShellWindows(const QString& socketFolder, QObject* parent)
    : ShellWindows(parent) {
    connect(&m_server, &PrivateLocalServer::accepted, this, &FirefoxShellWindows::adopt);
    m_listening = m_server.listen(socketFolder, QStringLiteral("firefox.sock"));
}

FirefoxShellWindows::~FirefoxShellWindows() {
    // Whatever is still asked is let through: the extension would wait for it otherwise.
    for (const Asked& asked : m_queue)
        if (asked.connection)
            asked.connection->answer(asked.question.id, false);
    m_queue.clear();
    for (auto& connection : m_connections)
        connection->disconnect(this);
}

QList<WebBrowser*> FirefoxShellWindows::items() const {
    QList<WebBrowser*> windows;
    for (const auto& connection : m_connections)
        windows += connection->tabs();
    return windows;
}

int FirefoxShellWindows::connectionCount() const {
    return static_cast<int>(m_connections.size());
}

void FirefoxShellWindows::adopt(StreamSocket* socket) {
    auto connection = std::make_unique<FirefoxConnection>(socket);
    FirefoxConnection* c = connection.get();
    connect(c, &FirefoxConnection::tabListed, this, [this] { emit WindowRegistered(++m_cookie); });
    connect(c, &FirefoxConnection::tabsRevoked, this, [this] { emit WindowRevoked(++m_cookie); });
    connect(c, &FirefoxConnection::popupAsked, this, [this, c](const PopupQuestion& question) {
        m_queue.push_back({c, question, nowNs()});
        pump();
    });
    connect(c, &FirefoxConnection::closed, this, [this, c] { retire(c); });
    m_connections.push_back(std::move(connection));
    qCInfo(lcPlatform, "a Firefox relay connected (process %ld; %d now)", c->relayProcess(),
           connectionCount());
}

void FirefoxShellWindows::retire(FirefoxConnection* connection) {
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [connection](const auto& owned) { return owned.get() == connection; });
    if (it == m_connections.end())
        return;
    const long process = connection->relayProcess();
    // Freed once the socket code that reported the close has returned.
    it->release()->deleteLater();
    m_connections.erase(it);
    qCInfo(lcPlatform, "a Firefox relay went away (process %ld; %d left)", process, connectionCount());
}

void FirefoxShellWindows::pump() {
    // A listener's nested event loop may bring more questions; they wait for this one.
    if (m_deciding)
        return;
    while (!m_queue.empty()) {
        const Asked asked = m_queue.front();
        m_queue.pop_front();
        if (asked.connection && asked.connection->isOpen())
            decide(asked);
    }
}

void FirefoxShellWindows::decide(const Asked& asked) {
    FirefoxPopupOutcome outcome{asked.question.id, {}, asked.question.facts.url, false, false,
                                asked.receivedNs,  0};
    QPointer<FirefoxTab> opener = asked.connection->tab(asked.question.opener);
    const qint64 waited =
        asked.question.askedAt > 0 ? QDateTime::currentMSecsSinceEpoch() - asked.question.askedAt : 0;
    if (waited >= LateQuestionMs) {
        // The extension has let it load by now: cancelling, counting or listing it would say
        // that a window was stopped which the user is looking at.
        qCWarning(lcPlatform,
                  "Firefox popup of tab %d asked %lld ms ago and let through by Firefox meanwhile; "
                  "not decided",
                  asked.question.opener, static_cast<long long>(waited));
    } else if (!opener) {
        qCInfo(lcPlatform, "Firefox popup of unknown tab %d: let through", asked.question.opener);
    } else {
        outcome.openerUrl = opener->LocationURL();
        outcome.asked = true;
        QObject* disp = nullptr;
        m_deciding = true;
        opener->beginDecision(asked.question.facts);
        {
            const BrowserReportedKeys keys(asked.question.facts.ctrl, asked.question.facts.shift);
            emit KeysReported();
            try {
                emit opener->NewWindow2(disp, outcome.cancelled);
            } catch (const std::exception& error) {
                qCWarning(lcPlatform, "deciding a Firefox popup failed part-way: %s", error.what());
            } catch (...) {
                qCWarning(lcPlatform, "deciding a Firefox popup failed part-way");
            }
        }
        emit KeysReported();
        if (opener)
            opener->endDecision();
        m_deciding = false;
    }
    // What Cancel holds now is the answer, also when the listener gave up part-way.
    if (asked.connection)
        asked.connection->answer(asked.question.id, outcome.cancelled);
    outcome.answeredNs = nowNs();
    emit popupResolved(outcome);
}

} // namespace platform::firefox
