#include "support/ChromiumProxy.h"

#include <QtEndian>
#include <algorithm>

ChromiumProxy::ChromiumProxy(quint16 targetPort)
    : m_target(targetPort) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            ++m_accepted;
            client->setParent(this);
            auto* upstream = new QTcpSocket(this);
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
            Pair& pair = m_pairs.emplace_back(Pair{client, upstream, {}, false, {}, {}});
            connect(client, &QTcpSocket::readyRead, upstream, [client, upstream] {
                if (upstream->state() == QAbstractSocket::ConnectedState)
                    upstream->write(client->readAll());
            });
            connect(upstream, &QTcpSocket::connected, client,
                    [client, upstream] { upstream->write(client->readAll()); });
            connect(upstream, &QTcpSocket::readyRead, client, [this, &pair] { relayFromBrowser(pair); });
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        }
    });
}

QByteArray serverFrame(char first, const QByteArray& payload, bool masked) {
    QByteArray frame(1, first);
    if (payload.size() < 126)
        frame += static_cast<char>((masked ? 0x80 : 0) | payload.size());
    else
        frame +=
            QByteArray("\x7e") + static_cast<char>(payload.size() >> 8) + static_cast<char>(payload.size());
    return frame + (masked ? QByteArray(4, '\0') : QByteArray()) + payload;
}

void ChromiumProxy::relayFromBrowser(Pair& pair) {
    pair.pending += pair.upstream->readAll();
    if (!pair.upgraded) {
        const qsizetype end = pair.pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        pair.client->write(pair.pending.left(end + 4));
        pair.pending.remove(0, end + 4);
        pair.upgraded = true;
    }
    // The browser's frames are unmasked and whole: a header, then the message.
    while (pair.pending.size() >= 2) {
        const auto* bytes = reinterpret_cast<const uchar*>(pair.pending.constData());
        qsizetype header = 2;
        quint64 length = bytes[1] & 0x7f;
        if (length == 126) {
            header = 4;
            length = pair.pending.size() >= header ? qFromBigEndian<quint16>(bytes + 2) : 0;
        } else if (length == 127) {
            header = 10;
            length = pair.pending.size() >= header ? qFromBigEndian<quint64>(bytes + 2) : 0;
        }
        if (pair.pending.size() < header || quint64(pair.pending.size() - header) < length)
            return;
        QByteArray frame = pair.pending.left(header + qsizetype(length));
        pair.pending.remove(0, frame.size());
        if (!m_popupUrl.isEmpty() && frame.contains("Target.attachedToTarget") &&
            frame.contains("\"openerId\"") && frame.contains("\"url\":\"\"") &&
            frame.contains("\"waitingForDebugger\":false"))
            frame = serverFrame('\x81',
                                frame.mid(header).replace("\"url\":\"\"", "\"url\":\"" + m_popupUrl + '"'));
        const auto named = [&](const QByteArrayList& methods) {
            return std::any_of(methods.begin(), methods.end(), [&](const QByteArray& method) {
                return frame.contains("\"method\":\"" + method + '"');
            });
        };
        if (named(m_dropped))
            continue;
        if (named(m_late)) {
            pair.held.append(frame);
            continue;
        }
        if (!m_heldAnswers.isEmpty() && !frame.contains("\"method\"") && frame.contains(m_heldAnswers)) {
            pair.answers.append(frame);
            continue;
        }
        pair.client->write(frame);
        if (frame.contains("\"method\":\"Target.attachedToTarget\"") && frame.contains("\"openerId\"")) {
            ++m_popupsAttached;
            for (const QByteArray& held : std::as_const(pair.held))
                pair.client->write(held);
            pair.held.clear();
        }
    }
}

void ChromiumProxy::releaseAnswers() {
    m_heldAnswers.clear();
    for (Pair& pair : m_pairs) {
        for (const QByteArray& answer : std::as_const(pair.answers))
            if (pair.client)
                pair.client->write(answer);
        pair.answers.clear();
    }
}

void ChromiumProxy::dropAll() {
    for (Pair& pair : m_pairs) {
        if (pair.client)
            pair.client->abort();
        if (pair.upstream)
            pair.upstream->abort();
    }
}
