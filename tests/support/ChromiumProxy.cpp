#include "support/ChromiumProxy.h"

ChromiumProxy::ChromiumProxy(quint16 targetPort)
    : m_target(targetPort) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            ++m_accepted;
            client->setParent(this);
            auto* upstream = new QTcpSocket(this);
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
            connect(client, &QTcpSocket::readyRead, upstream, [client, upstream] {
                if (upstream->state() == QAbstractSocket::ConnectedState)
                    upstream->write(client->readAll());
            });
            connect(upstream, &QTcpSocket::connected, client,
                    [client, upstream] { upstream->write(client->readAll()); });
            connect(upstream, &QTcpSocket::readyRead, client,
                    [client, upstream] { client->write(upstream->readAll()); });
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            m_pairs.append(std::make_pair(QPointer<QTcpSocket>(client), QPointer<QTcpSocket>(upstream)));
        }
    });
}

void ChromiumProxy::dropAll() {
    for (auto& [client, upstream] : m_pairs) {
        if (client)
            client->abort();
        if (upstream)
            upstream->abort();
    }
    m_pairs.clear();
}
