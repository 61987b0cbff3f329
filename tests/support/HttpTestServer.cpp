#include "support/HttpTestServer.h"

#include <QTcpSocket>

HttpTestServer::HttpTestServer() {
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::onConnection);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("HttpTestServer: cannot listen on 127.0.0.1");
}

void HttpTestServer::setPage(const QString& path, const QByteArray& html) {
    m_pages.insert(path, html);
}

QString HttpTestServer::url(const QString& host, const QString& path) const {
    return QStringLiteral("http://%1:%2%3").arg(host).arg(port()).arg(path);
}

int HttpTestServer::count(const QString& pathPrefix, qint64 sinceMs) const {
    return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(), [&](const Request& r) {
        return r.path.startsWith(pathPrefix) && r.atMs >= sinceMs;
    }));
}

void HttpTestServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const QByteArray data = socket->property("pending").toByteArray() + socket->readAll();
            if (!data.contains("\r\n\r\n")) {
                socket->setProperty("pending", data);
                return;
            }
            socket->setProperty("pending", QByteArray());
            const QList<QByteArray> lines = data.left(data.indexOf("\r\n\r\n")).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            const QString path = QString::fromLatin1(requestLine.value(1));
            QString host;
            for (const QByteArray& line : lines)
                if (line.toLower().startsWith("host:"))
                    host = QString::fromLatin1(line.mid(5).trimmed()).section(u':', 0, 0);
            m_requests.append({host, path, m_clock.elapsed()});
            const QString file = path.section(u'?', 0, 0);
            const QByteArray body = m_pages.value(file, QByteArrayLiteral("ok"));
            const QByteArray type = m_pages.contains(file) ? "text/html" : "text/plain";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type +
                          "; charset=utf-8\r\nCache-Control: no-store\r\n" + "Content-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
}
