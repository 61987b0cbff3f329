#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <functional>

namespace host {

// The DevTools traffic between a browser's pipe and the one program that uses it at a time.
// Clients come and go while the pipe stays, so the relay keeps them apart: every request gets
// an id of the relay's own and its answer goes back only to the client that asked, and a
// client that leaves leaves the browser as a dropped DevTools connection would: nothing
// attached any more, nothing new waiting for a debugger, what was held still held for the
// next client to decide.
class DevToolsRelay {
public:
    using Sink = std::function<void(const QByteArray& message)>;
    using Reply = std::function<void(const QJsonObject& answer)>;

    explicit DevToolsRelay(Sink toBrowser);

    // A request of the holder's own; its answer (the whole message) goes to onReply only.
    void request(const QString& method, const QJsonObject& params = {}, Reply onReply = {});
    void attachClient(Sink toClient);
    void detachClient();
    bool hasClient() const { return static_cast<bool>(m_toClient); }

    void fromBrowser(const QByteArray& message);
    // False when the message is no DevTools request (it is dropped).
    bool fromClient(const QByteArray& message);

private:
    struct Asked {
        int client = 0; // 0: the holder itself
        QJsonValue id;  // the client's own id
        Reply onReply;
    };
    int forward(QJsonObject message, Asked asked);

    Sink m_toBrowser;
    Sink m_toClient;
    int m_client = 0; // which client is attached, counted from 1
    int m_nextId = 1;
    QHash<int, Asked> m_asked;
};

} // namespace host
