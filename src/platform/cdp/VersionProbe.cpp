#include "platform/cdp/VersionProbe.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/Endpoint.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

using namespace Qt::StringLiterals;

namespace platform::cdp {

VersionProbe::VersionProbe(QObject* parent)
    : QObject(parent) {}

VersionProbe::~VersionProbe() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void VersionProbe::ask(quint16 port, Done done) {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1/json/version"_s.arg(port)));
    request.setTransferTimeout(TimeoutMs);
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::finished, this, [this, port, done = std::move(done)] {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->deleteLater();
        done(read(*reply, port));
    });
}

bool VersionProbe::isAsking() const {
    return !m_reply.isNull();
}

VersionAnswer VersionProbe::read(QNetworkReply& reply, quint16 port) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404)
        return {VersionAnswer::Kind::AsksUser, {}};
    if (reply.error() != QNetworkReply::NoError)
        return {};
    const QUrl url(QJsonDocument::fromJson(reply.read(DevToolsConnection::MaxMessageBytes))
                       .object()
                       .value("webSocketDebuggerUrl"_L1)
                       .toString());
    // The answer names the socket; it must still be on this machine, on the port asked.
    if (!Endpoint::isLoopbackWebSocket(url) || url.port() != port) {
        qCWarning(lcCdp, "127.0.0.1:%u: browser gave an unusable address %s; ignored", port,
                  qUtf8Printable(url.toString()));
        return {};
    }
    return {VersionAnswer::Kind::Socket, url};
}

} // namespace platform::cdp
