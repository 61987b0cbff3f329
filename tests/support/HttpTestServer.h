#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A small HTTP server on 127.0.0.1 that serves fixed pages and logs every request it gets,
// so a test can tell whether a page was ever asked for. Any path without a page gets "ok".
class HttpTestServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString host; // without the port
        QString path; // with the query
        qint64 atMs;
    };

    HttpTestServer();
    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QString& path, const QByteArray& html);
    QString url(const QString& host, const QString& path) const;

    QList<Request> requests() const { return m_requests; }
    // Requests whose path starts with the given text, made at or after the given server time.
    int count(const QString& pathPrefix, qint64 sinceMs = 0) const;
    qint64 nowMs() const { return m_clock.elapsed(); }

private:
    void onConnection();

    QTcpServer m_server;
    QHash<QString, QByteArray> m_pages;
    QList<Request> m_requests;
    QElapsedTimer m_clock;
};
