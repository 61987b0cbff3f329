#include "platform/cdp/VersionProbe.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/Endpoint.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace platform::cdp {

namespace {

// Far more than a browser's answer: anything longer is not one.
constexpr qsizetype MaxAnswerBytes = 64 * 1024;

} // namespace

VersionProbe::VersionProbe(QObject* parent)
    : QObject(parent) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(TimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &VersionProbe::finish);
    connect(&m_socket, &StreamSocket::connected, this, [this] {
        m_socket.write(
            u"GET /json/version HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nConnection: close\r\n\r\n"_s.arg(m_port)
                .toLatin1());
    });
    connect(&m_socket, &StreamSocket::readyRead, this, &VersionProbe::onReadyRead);
    connect(&m_socket, &StreamSocket::ended, this, &VersionProbe::finish);
}

VersionProbe::~VersionProbe() = default;

void VersionProbe::ask(quint16 port, Done done) {
    m_socket.abort();
    m_bytes.clear();
    m_port = port;
    m_done = std::move(done);
    m_asking = true;
    m_timeout.start();
    m_socket.connectToAddress(u"127.0.0.1"_s, port);
}

void VersionProbe::onReadyRead() {
    m_bytes.append(m_socket.readAll());
    if (m_bytes.size() > MaxAnswerBytes || parse(m_bytes, false))
        finish();
}

void VersionProbe::finish() {
    if (!std::exchange(m_asking, false))
        return;
    m_timeout.stop();
    m_socket.abort();
    const VersionAnswer answer = read();
    m_bytes.clear();
    if (const Done done = std::exchange(m_done, nullptr))
        done(answer);
}

std::optional<VersionProbe::Response> VersionProbe::parse(const QByteArray& bytes, bool complete) {
    const qsizetype headerEnd = bytes.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return complete ? std::optional(Response{}) : std::nullopt;
    const QList<QByteArray> lines = bytes.first(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1."))
        return Response{};
    qsizetype length = -1;
    for (const QByteArray& line : lines.sliced(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare("content-length", Qt::CaseInsensitive) == 0) {
            bool isNumber = false;
            length = line.sliced(colon + 1).trimmed().toLongLong(&isNumber);
            if (!isNumber || length < 0)
                return Response{};
        }
    }
    const QByteArray body = bytes.sliced(headerEnd + 4);
    if (length >= 0 && body.size() >= length)
        return Response{statusLine.at(1).toInt(), body.first(length)};
    if (!complete)
        return std::nullopt;
    // Closed early, or an answer without a length (ended by the close).
    return length >= 0 ? Response{} : Response{statusLine.at(1).toInt(), body};
}

VersionAnswer VersionProbe::read() const {
    const auto response = parse(m_bytes, true);
    if (!response || m_bytes.size() > MaxAnswerBytes)
        return {};
    if (response->status == 404)
        return {VersionAnswer::Kind::AsksUser, {}};
    if (response->status != 200)
        return {};
    const QUrl url(
        QJsonDocument::fromJson(response->body).object().value("webSocketDebuggerUrl"_L1).toString());
    // The answer names the socket; it must still be on this machine, on the port asked.
    if (!Endpoint::isLoopbackWebSocket(url) || url.port() != m_port) {
        qCWarning(lcCdp, "127.0.0.1:%u: browser gave an unusable address %s; ignored", m_port,
                  qUtf8Printable(url.toString()));
        return {};
    }
    return {VersionAnswer::Kind::Socket, url};
}

} // namespace platform::cdp
