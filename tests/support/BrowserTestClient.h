#pragma once

#include "platform/cdp/DevToolsConnection.h"
#include "support/WaitUntil.h"

#include <QJsonObject>
#include <QList>

// Drives a browser from a test over its own DevTools connection: opens tabs, clicks, reads
// values. It never auto-attaches, so it never holds a new target itself.
class BrowserTestClient {
public:
    struct Event {
        QString method;
        QJsonObject params;
    };

    explicit BrowserTestClient(const QUrl& webSocketUrl);
    bool isOpen() const { return m_connection.isOpen(); }

    // Waits for the answer; throws zor::Failure on an error answer or after the timeout.
    QJsonObject call(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
                     int timeoutMs = 10000);
    // A new tab at the address; returns its target id.
    QString openTab(const QString& url);
    // A flat session on the target (which keeps running: nothing waits for this client).
    QString attach(const QString& targetId);
    // The value of a script in the page; awaitPromise: a promise is waited for.
    QJsonValue evaluate(const QString& sessionId, const QString& expression, bool awaitPromise = false);
    // A trusted click at the centre of the element found by the selector.
    // modifiers as the protocol has them: 1 Alt, 2 Ctrl, 4 Meta, 8 Shift.
    void click(const QString& sessionId, const QString& selector, int modifiers = 0);
    // The target infos of the tabs and windows.
    QList<QJsonObject> pageTargets();
    // The text as a script's string literal.
    static QString jsString(const QString& text);

    QList<Event> events() const { return m_events; }

private:
    platform::cdp::DevToolsConnection m_connection;
    QList<Event> m_events;
};
