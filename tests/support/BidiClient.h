#pragma once

#include <QJsonObject>
#include <QWebSocket>
#include <functional>

// A WebDriver BiDi session on a test's own Firefox: loads the extension temporarily, opens
// pages and gives trusted clicks.
class BidiClient {
public:
    explicit BidiClient(const QUrl& url);
    // Events of the modules subscribed to (session.subscribe), as they arrive.
    std::function<void(const QString& method, const QJsonObject& params)> onEvent;
    bool isOpen() const { return m_sessionOpen; }

    // Waits for the answer; the "result", or an object with "error" on failure or timeout.
    QJsonObject call(const QString& method, const QJsonObject& params = {}, int timeoutMs = 20000);
    QString installExtension(const QString& folder);
    // A new tab at the address, loaded; returns its context id.
    QString openTab(const QString& url);
    // A trusted click at the centre of the element the selector finds; as call().
    QJsonObject click(const QString& context, const QString& selector);

private:
    QWebSocket m_socket;
    int m_nextId = 1;
    QHash<int, QJsonObject> m_answers;
    bool m_sessionOpen = false;
};
