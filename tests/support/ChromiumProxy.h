#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback TCP relay in front of a browser's DevTools port, so a test can cut the program's
// connection in the middle of something while the browser itself stays up.
class ChromiumProxy : public QObject {
    Q_OBJECT
public:
    explicit ChromiumProxy(quint16 targetPort);
    quint16 port() const { return m_server.serverPort(); }
    // Cuts every connection relayed so far; new ones are still accepted.
    void dropAll();
    int accepted() const { return m_accepted; }

private:
    QTcpServer m_server;
    quint16 m_target;
    int m_accepted = 0;
    QList<std::pair<QPointer<QTcpSocket>, QPointer<QTcpSocket>>> m_pairs;
};
