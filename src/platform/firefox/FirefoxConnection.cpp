#include "platform/firefox/FirefoxConnection.h"

#include "platform/Log.h"
#include "platform/firefox/PrivateLocalServer.h"

namespace platform::firefox {

using Type = ExtensionMessage::Type;

FirefoxConnection::FirefoxConnection(StreamSocket* socket, QObject* parent)
    : QObject(parent)
    , m_socket(socket) {
    if (!socket)
        return;
    socket->setParent(this);
    m_relayProcess = peerOf(socket->descriptor()).processId;
    connect(socket, &StreamSocket::readyRead, this, &FirefoxConnection::readSocket);
    connect(socket, &StreamSocket::ended, this, &FirefoxConnection::close);
    if (socket->bytesAvailable() > 0)
        readSocket();
}

FirefoxConnection::~FirefoxConnection() {
    if (m_socket)
        m_socket->disconnect(this);
}

QList<WebBrowser*> FirefoxConnection::tabs() const {
    QList<WebBrowser*> listed;
    if (!m_open)
        return listed;
    for (const auto& [id, tab] : m_tabs)
        listed.append(tab);
    return listed;
}

FirefoxTab* FirefoxConnection::tab(std::int32_t tabId) const {
    const auto it = m_tabs.find(tabId);
    return it == m_tabs.end() || !m_open ? nullptr : it->second;
}

void FirefoxConnection::readSocket() {
    m_reader.append(m_socket->readAll());
    while (const auto payload = m_reader.next())
        handleMessage(*payload);
    if (m_reader.overrun()) {
        qCWarning(lcPlatform, "Firefox relay announced a message of %u bytes, over the limit; closing it",
                  m_reader.announcedLength());
        m_socket->abort();
        close();
    }
}

void FirefoxConnection::handleMessage(const QByteArray& payload) {
    QString why;
    const auto message = ExtensionMessage::parse(payload, ExtensionMessage::Direction::FromBrowser, &why);
    if (!message) {
        qCWarning(lcPlatform, "dropped a message from Firefox: %s", qUtf8Printable(why));
        return;
    }
    switch (message->type) {
    case Type::Hello:
        m_version = message->version;
        qCInfo(lcPlatform, "Firefox extension %s connected", qUtf8Printable(m_version));
        send(ExtensionMessage::welcome());
        break;
    case Type::Tab:
        updateTab(*message);
        break;
    case Type::TabGone:
        removeTab(message->tab);
        break;
    case Type::Popup:
        emit popupAsked({message->id, message->opener, message->popupTab,
                         OpenFacts{message->url, message->gesture, message->ctrl, message->shift},
                         message->askedAt});
        break;
    case Type::Welcome:
    case Type::Verdict:
        break; // refused by parse() in this direction
    }
}

void FirefoxConnection::updateTab(const ExtensionMessage& message) {
    auto it = m_tabs.find(message.tab);
    if (it == m_tabs.end()) {
        if (m_tabs.size() >= MaxTabs) {
            qCWarning(lcPlatform, "Firefox reports more than %zu tabs; tab %d ignored", MaxTabs, message.tab);
            return;
        }
        auto* tab = new FirefoxTab(message.tab, this);
        tab->update(message.window, message.url, message.title);
        m_tabs.emplace(message.tab, tab);
        emit tabListed();
        return;
    }
    const bool moved = it->second->HWND() != message.window;
    it->second->update(message.window, message.url, message.title);
    // The registry keys windows by their handle; a tab dragged to another window needs a new key.
    if (moved) {
        emit tabsRevoked();
        emit tabListed();
    }
}

void FirefoxConnection::removeTab(std::int32_t tabId) {
    const auto it = m_tabs.find(tabId);
    if (it == m_tabs.end())
        return;
    FirefoxTab* tab = it->second;
    m_tabs.erase(it);
    emit tab->OnQuit();
    tab->markGone();
    tab->deleteLater();
    emit tabsRevoked();
}

void FirefoxConnection::answer(std::int32_t id, bool cancel) {
    send(ExtensionMessage::verdict(id, cancel));
}

void FirefoxConnection::send(const ExtensionMessage& message) {
    if (m_socket && m_open)
        m_socket->write(frame(message.toJson()));
}

void FirefoxConnection::close() {
    if (!m_open)
        return;
    m_open = false;
    const bool hadTabs = !m_tabs.empty();
    for (const auto& [id, tab] : m_tabs)
        tab->markGone();
    if (hadTabs)
        emit tabsRevoked();
    emit closed();
}

} // namespace platform::firefox
