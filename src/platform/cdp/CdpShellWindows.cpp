#include "platform/cdp/CdpShellWindows.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/Endpoint.h"
#include "platform/cdp/ProfileFolder.h"
#include "platform/pipe/HolderSockets.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace platform::cdp {

namespace {
// How long a popup waits for an opener not known yet (after a reconnect its opener attaches
// alongside it) before it is let through unasked.
constexpr qint64 OpenerWaitNs = 3'000'000'000;
// A known opener is listed once the browser answers about it, which a busy browser can take
// seconds to do: its popups wait for that rather than go through unasked. This only bounds a
// browser that never answers, since the opener stays frozen meanwhile.
constexpr qint64 OpenerListingWaitNs = 20'000'000'000;
} // namespace

CdpShellWindows::CdpShellWindows(const QList<BrowserSource>& sources, QObject* parent)
    : ShellWindows(parent) {
    m_wait.setSingleShot(true);
    m_wait.setInterval(20);
    connect(&m_wait, &QTimer::timeout, this, &CdpShellWindows::pump);
    for (const BrowserSource& source : sources)
        addBrowser(source);
    for (auto& browser : m_browsers)
        browser->start(&m_retryClock);
}

DevToolsBrowser* CdpShellWindows::addBrowser(const BrowserSource& source) {
    auto browser =
        std::make_unique<DevToolsBrowser>(source, [this](const QUrl& url, const DevToolsBrowser* asking) {
            return endpointInUse(url, asking);
        });
    DevToolsBrowser* b = browser.get();
    b->setBusyCheck([this] { return m_deciding; });
    connect(b, &DevToolsBrowser::pageListed, this, [this](CdpPage*) {
        emit WindowRegistered(++m_cookie);
        pump();
    });
    connect(b, &DevToolsBrowser::pagesRevoked, this, [this] { emit WindowRevoked(++m_cookie); });
    connect(b, &DevToolsBrowser::popupHeld, this, &CdpShellWindows::enqueue);
    connect(b, &DevToolsBrowser::popupResolved, this, &CdpShellWindows::popupResolved);
    // Queued: the rest of what the browser sent with it may hold a newer open of that renderer.
    connect(b, &DevToolsBrowser::windowOpenSeen, this, &CdpShellWindows::pump, Qt::QueuedConnection);
    connect(b, &DevToolsBrowser::ownPopupBlockerSeen, this, [this, b] {
        emit BrowserBlocksPopups(b->productName().isEmpty() ? b->source().describe() : b->productName());
    });
    connect(b, &DevToolsBrowser::approvalAwaited, this,
            [this, b] { emit BrowserAwaitsApproval(b->userName()); });
    connect(b, &DevToolsBrowser::approvalRefused, this,
            [this, b] { emit BrowserRefusedApproval(b->userName()); });
    connect(b, &DevToolsBrowser::connected, this, &CdpShellWindows::browserConnected);
    connect(b, &DevToolsBrowser::disconnected, this, &CdpShellWindows::browserDisconnected);
    m_browsers.push_back(std::move(browser));
    return b;
}

void CdpShellWindows::watchHolders() {
    const QString folder = pipe::HolderSockets::folder();
    QString problem;
    if (pipe::HolderSockets::preparePrivateFolder(folder, &problem) && m_holders.addPath(folder))
        connect(&m_holders, &QFileSystemWatcher::directoryChanged, this, &CdpShellWindows::addNewHolders,
                Qt::UniqueConnection);
    else
        qCWarning(lcCdp, "browsers started later by --launch-browser will not be watched: %s",
                  qUtf8Printable(problem.isEmpty() ? folder + u" cannot be watched"_s : problem));
    addNewHolders();
}

void CdpShellWindows::addNewHolders() {
    for (const BrowserSource& source : holderSources()) {
        const auto known = std::find_if(m_browsers.begin(), m_browsers.end(), [&](const auto& browser) {
            return browser->source().kind == BrowserSource::Kind::Holder &&
                   browser->source().file == source.file;
        });
        if (known == m_browsers.end()) {
            qCInfo(lcCdp, "found the holder of a launched browser: %s", qUtf8Printable(source.describe()));
            addBrowser(source)->start(&m_retryClock);
        } else {
            (*known)->wake();
        }
    }
}

CdpShellWindows::~CdpShellWindows() {
    m_queue.clear();
    for (auto& browser : m_browsers) {
        browser->disconnect(this);
        browser->shutdown();
    }
}

QList<BrowserSource> CdpShellWindows::profileSources() {
    QList<BrowserSource> sources;
    QStringList seen;
    for (const ProfileFolder& profile : ProfileFolder::known()) {
        BrowserSource source;
        source.kind = BrowserSource::Kind::ActivePortFile;
        source.file = QDir::cleanPath(profile.path + "/DevToolsActivePort"_L1);
        source.name = profile.browser;
        if (seen.contains(source.file))
            continue;
        seen.append(source.file);
        sources.append(source);
    }
    return sources;
}

QList<BrowserSource> CdpShellWindows::holderSources() {
    QList<BrowserSource> sources;
    for (const QString& socket : pipe::HolderSockets::list()) {
        BrowserSource source;
        source.kind = BrowserSource::Kind::Holder;
        source.file = socket;
        sources.append(source);
    }
    return sources;
}

QList<BrowserSource> CdpShellWindows::endpointSources(const QStringList& endpoints) {
    QList<BrowserSource> sources;
    for (const QString& text : endpoints) {
        const auto endpoint = Endpoint::parse(text);
        if (!endpoint) {
            qCWarning(lcCdp, "%s: not a port or a loopback ws:// address; ignored", qUtf8Printable(text));
            continue;
        }
        BrowserSource source;
        source.port = endpoint->port;
        source.url = endpoint->webSocketUrl;
        source.kind = source.url.isEmpty() ? BrowserSource::Kind::Port : BrowserSource::Kind::WebSocket;
        sources.append(source);
    }
    return sources;
}

QList<WebBrowser*> CdpShellWindows::items() const {
    QList<WebBrowser*> windows;
    for (const auto& browser : m_browsers)
        for (CdpPage* page : browser->listedPages())
            windows.append(page);
    return windows;
}

int CdpShellWindows::connectedCount() const {
    return static_cast<int>(std::count_if(m_browsers.begin(), m_browsers.end(),
                                          [](const auto& browser) { return browser->isConnected(); }));
}

bool CdpShellWindows::endpointInUse(const QUrl& url, const DevToolsBrowser* asking) const {
    // One browser reachable two ways (a port given and its profile's port file) gets one
    // connection: two clients holding the same popups would fight over them. One that asks its
    // user gets one prompt. A port serves one browser, whatever socket path a source names.
    return std::any_of(m_browsers.begin(), m_browsers.end(), [&](const auto& browser) {
        if (browser.get() == asking || !(browser->isConnected() || browser->isAsking()))
            return false;
        const QUrl other = browser->currentUrl();
        return other == url || (!url.isLocalFile() && !other.isLocalFile() && other.port() == url.port());
    });
}

void CdpShellWindows::enqueue(std::shared_ptr<PopupRequest> request) {
    request->queuedUntil = request->attachedAt + OpenerWaitNs;
    m_queue.push_back(std::move(request));
    pump();
}

void CdpShellWindows::pump() {
    // A listener's nested event loop may hold more popups; they wait for this one.
    if (m_deciding)
        return;
    while (!m_queue.empty()) {
        std::shared_ptr<PopupRequest> request = m_queue.front();
        DevToolsBrowser* browser = request->browser;
        if (!browser || !browser->isHeld(*request)) {
            m_queue.pop_front();
            continue;
        }
        CdpPage* opener = browser->findOpener(*request);
        const bool openerListed = opener && opener->isListed();
        if (opener && opener->awaitsListing() && browser->now() < request->attachedAt + OpenerListingWaitNs) {
            m_wait.start();
            return;
        }
        if (!openerListed || browser->awaitsOpen(*request)) {
            if (browser->now() < request->queuedUntil) {
                m_wait.start();
                return;
            }
        }
        if (!openerListed) {
            qCInfo(lcCdp, "popup %s: its opener never showed; let through",
                   qUtf8Printable(request->targetId));
            m_queue.pop_front();
            browser->resolve(*request, false, false);
            continue;
        }
        m_queue.pop_front();
        decide(*request, *opener);
    }
}

void CdpShellWindows::decide(PopupRequest& request, CdpPage& opener) {
    QPointer<CdpPage> guard(&opener);
    QPointer<DevToolsBrowser> browser = request.browser;
    QObject* disp = nullptr;
    bool cancel = false;
    m_deciding = true;
    opener.beginDecision(request.facts);
    try {
        emit opener.NewWindow2(disp, cancel);
    } catch (const std::exception& error) {
        qCWarning(lcCdp, "deciding popup %s failed part-way: %s", qUtf8Printable(request.targetId),
                  error.what());
    } catch (...) {
        qCWarning(lcCdp, "deciding popup %s failed part-way", qUtf8Printable(request.targetId));
    }
    if (guard)
        guard->endDecision();
    m_deciding = false;
    // What Cancel holds now is the answer, also when the listener gave up part-way.
    if (browser)
        browser->resolve(request, cancel, true);
}

} // namespace platform::cdp
