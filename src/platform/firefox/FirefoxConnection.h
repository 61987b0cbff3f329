#pragma once

#include "platform/firefox/FirefoxTab.h"
#include "platform/firefox/wire/ExtensionMessage.h"
#include "platform/firefox/wire/NativeFrame.h"
#include "platform/linux/StreamSocket.h"

#include <QPointer>
#include <map>

namespace platform::firefox {

// A popup the extension holds until we answer.
struct PopupQuestion {
    std::int32_t id = 0;
    std::int32_t opener = 0;
    std::int32_t popupTab = 0;
    OpenFacts facts;
    qint64 askedAt = 0; // milliseconds since the epoch; 0 when not known
};

// One relay, that is one running Firefox profile: its tabs as the extension reports them and
// the popups it asks about.
class FirefoxConnection : public QObject {
    Q_OBJECT
public:
    // A Firefox with more tabs than this is sending nonsense; further tabs are ignored.
    static constexpr std::size_t MaxTabs = 20000;

    // Takes the socket over; nullptr makes a connection that only handles messages (tests).
    explicit FirefoxConnection(StreamSocket* socket, QObject* parent = nullptr);
    ~FirefoxConnection() override;

    QList<WebBrowser*> tabs() const;
    FirefoxTab* tab(std::int32_t tabId) const;
    bool isOpen() const { return m_open; }
    QString version() const { return m_version; }
    // The relay process at the other end, for the log; -1 when not known.
    long relayProcess() const { return m_relayProcess; }

    void answer(std::int32_t id, bool cancel);
    // One message from the relay, already unframed.
    void handleMessage(const QByteArray& payload);

signals:
    void tabListed();
    void tabsRevoked();
    void popupAsked(const platform::firefox::PopupQuestion& question);
    void closed();

private:
    void readSocket();
    void send(const ExtensionMessage& message);
    void updateTab(const ExtensionMessage& message);
    void removeTab(std::int32_t tabId);
    void close();

    QPointer<StreamSocket> m_socket;
    FrameReader m_reader;
    std::map<std::int32_t, FirefoxTab*> m_tabs; // children of this object
    QString m_version;
    long m_relayProcess = -1;
    bool m_open = true;
};

} // namespace platform::firefox
