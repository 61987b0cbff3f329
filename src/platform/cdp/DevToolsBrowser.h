#pragma once

#include "platform/cdp/CdpPage.h"
#include "platform/cdp/ConnectPacer.h"
#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/Endpoint.h"
#include "platform/cdp/PopupRequest.h"
#include "platform/cdp/RetryClock.h"
#include "platform/cdp/VersionProbe.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace platform::cdp {

// Where to find one browser: a fixed WebSocket address, a port to ask /json/version on, a
// profile's DevToolsActivePort file (re-read on every attempt: the port changes per start), or
// the local socket of the holder that owns the browser's pipe (file).
struct BrowserSource {
    enum class Kind { WebSocket, Port, ActivePortFile, Holder };
    Kind kind = Kind::Port;
    quint16 port = 0;
    QUrl url;
    QString file;
    QString name; // the browser as the user knows it ("Chromium (Flatpak)"), when the source tells
    QString describe() const;
};

// One connected browser: its page targets as browser windows, and the popups it holds for us.
// The decision itself is not taken here: held popups are handed out through popupHeld() and
// come back through resolve().
class DevToolsBrowser : public QObject {
    Q_OBJECT
public:
    using EndpointInUse = std::function<bool(const QUrl&, const DevToolsBrowser*)>;
    // What a page found at connect is asked to run, to tell whether it runs at all.
    static constexpr char RunningCheckScript[] = "new Promise((ran) => setTimeout(ran, 0))";

    DevToolsBrowser(BrowserSource source, EndpointInUse inUse, QObject* parent = nullptr);
    ~DevToolsBrowser() override;

    // Starts connecting, and tries again at every tick of `clock` (its own when none is given)
    // for as long as it is not connected; a connected browser takes no ticks.
    void start(RetryClock* clock = nullptr);
    // Looks again when neither connected nor trying to be: the browser of a holder stops being
    // looked for once it has ended, and a new one may come under its number.
    void wake();
    // Allows every popup still held, releases every opener and closes, in that order.
    void shutdown();

    bool isConnected() const { return m_connection && m_connection->isOpen(); }
    // Waiting for the user to answer the browser's "Allow remote debugging?" prompt.
    bool isAsking() const { return m_asking && m_connection; }
    QUrl currentUrl() const { return m_connection ? m_connection->url() : QUrl(); }
    const BrowserSource& source() const { return m_source; }
    QString productName() const { return m_productName; }
    // What the user is told this browser is called.
    QString userName() const;
    int generation() const { return m_generation; }
    qint64 now() const;

    // Listed pages, in the order the browser reported them.
    QList<CdpPage*> listedPages() const;

    // Whether this request is still held on the live connection.
    bool isHeld(const PopupRequest& request) const;
    // The opener page, when it is known by now.
    CdpPage* findOpener(const PopupRequest& request) const;
    // Whether the popup's window.open is still to come, for a short while; pairs it once it came.
    bool awaitsOpen(PopupRequest& request);
    // Allows or cancels a held popup, exactly once.
    void resolve(PopupRequest& request, bool cancel, bool asked);
    // Revoked pages are freed only while this says no decision is running: a listener's nested
    // event loop must not free the page whose event it is handling.
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Fixed expressions only: page data never becomes script.
    void evaluateWithoutWaiting(const QString& sessionId, const QString& expression);

signals:
    void connected();
    void disconnected();
    void pageListed(CdpPage* page);
    void pagesRevoked();
    void popupHeld(std::shared_ptr<PopupRequest> request);
    void popupResolved(const PopupOutcome& outcome);
    // A window.open was reported while popups are held: one may have waited for it.
    void windowOpenSeen();
    // The browser refused a script popup by itself, before we were asked: once per connection.
    void ownPopupBlockerSeen();
    // The browser asks its user to allow our connection: once per series of attempts.
    void approvalAwaited();
    // The user did not allow it (or closed the prompt): once per series of attempts.
    void approvalRefused();

private:
    // Closing: a cancelled popup on its way out. Unsure: a tab with an opener whose history is
    // being read to tell a popup still held from one that loaded.
    enum class SessionKind { Page, Iframe, Popup, Closing, Unsure };
    struct Session {
        SessionKind kind = SessionKind::Page;
        QString targetId;
        QPointer<CdpPage> page; // the tab it belongs to (none for a held popup)
        std::deque<WindowOpenFacts> windowOpens;
        QStringList pausedRequests; // a held popup's requests, stopped until it is decided
        bool closeSent = false;
    };

    void tryConnect();
    void lookAgain();
    void stopLooking();
    std::optional<Endpoint> currentEndpoint() const;
    void onProbed(const Endpoint& endpoint, const VersionAnswer& answer);
    void ask(const Endpoint& endpoint);
    void connectTo(const QUrl& url);
    void onOpened();
    void onClosed();
    void onEvent(const QString& method, const QJsonObject& params, const QString& sessionId);

    void onAttached(const QJsonObject& params, const QString& parentSessionId);
    void setUpTab(const QJsonObject& info, const QString& sessionId, bool waiting, bool notStarted);
    void resumeUnlessOpener(const QPointer<CdpPage>& page);
    void onDetached(const QString& sessionId);
    void onTargetDestroyed(const QString& targetId);
    void onTargetInfoChanged(const QJsonObject& info);
    void refreshTitle(CdpPage& page);
    void updateTitle(CdpPage& page, const QString& title);
    void onPageEvent(CdpPage& page, const QString& method, const QJsonObject& params);
    bool onFrameEvent(const QString& method, const QJsonObject& params, const QString& sessionId);
    void recordFrameTree(const QJsonObject& tree, const QString& sessionId);
    void onWindowOpen(const QJsonObject& params, Session& session);
    void dropStaleWindowOpens();
    void noteRefusedOpen(const WindowOpenFacts& facts);

    CdpPage& addPage(const QString& targetId, const QString& sessionId, const QJsonObject& info);
    void setUpSession(const QString& sessionId);
    void onKeysReported(const QJsonObject& params);
    void requestWindowId(CdpPage& page);
    void maybeList(CdpPage& page);
    void revokePage(CdpPage& page);
    // Whether opening the address makes the browser ask the network for it.
    static bool fetchesOverNetwork(const QString& url);
    void holdPopup(const QJsonObject& info, const QString& sessionId, bool started);
    void pairOpen(PopupRequest& request);
    void onRequestPaused(const QString& requestId, const QString& sessionId);
    void failRequest(const QString& requestId, const QString& sessionId);
    void closePopup(const QString& sessionId);
    QString sessionOfTarget(const QString& targetId) const;
    // The session of the renderer that runs the frame: its own when it is a target, else the
    // one whose frame events reported it.
    QString sessionOfFrame(const QString& frameId) const;
    QString openerSession(const PopupRequest& request) const;
    void forgetSession(const QString& sessionId);
    void purgeRetired();
    void freeClosedConnections();
    void send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
              DevToolsConnection::Reply onReply = {});

    BrowserSource m_source;
    EndpointInUse m_inUse;
    const QByteArray m_activePortFile; // the source's file as the system names it
    std::unique_ptr<DevToolsConnection> m_connection;
    std::vector<std::unique_ptr<DevToolsConnection>> m_closedConnections;
    VersionProbe m_probe;
    std::unique_ptr<RetryClock> m_ownRetryClock;
    RetryClock* m_retryClock = nullptr; // set by start(); null again after shutdown()
    ConnectPacer m_pacer;
    QElapsedTimer m_clock;
    bool m_asking = false;   // the connection being opened waits for the user's approval
    bool m_askEnded = false; // it ended without an approval; the next probe tells why
    bool m_open = false;
    int m_generation = 0;
    QString m_productName;

    QHash<QString, Session> m_sessions;         // by session id
    QHash<QString, QString> m_sessionsByTarget; // target id -> session id
    QHash<QString, QString> m_frameSessions;    // frame id -> session id of its renderer
    std::vector<std::unique_ptr<CdpPage>> m_pages;
    std::vector<std::unique_ptr<CdpPage>> m_retired;      // revoked; freed once nothing can hold them
    QHash<QString, std::shared_ptr<PopupRequest>> m_held; // by popup target id
    QHash<QString, bool> m_verdicts;    // decided while the connection was down: target id -> cancel
    QHash<QString, bool> m_unconfirmed; // verdicts sent, the browser's answer still to come
    QTimer m_purge;
    QTimer m_staleOpens; // window.open calls no popup has answered yet
    // Where the keyboard cannot be read globally, every page reports the modifiers of the
    // trusted key and mouse events it receives.
    const bool m_reportKeys;
    int m_blockerToldFor = 0; // the connection the user was told about the browser's blocker on
    std::function<bool()> m_busy;
};

} // namespace platform::cdp
