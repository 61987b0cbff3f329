#include "host/Relay.h"

#include "platform/firefox/wire/ExtensionMessage.h"

#include <QLoggingCategory>
#include <cerrno>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRelay, "zor.relay")

using platform::firefox::ExtensionMessage;
using platform::firefox::frame;

namespace {
constexpr int ConnectTimeoutMs = 2000;
}

Relay::Relay(int browserIn, int browserOut, QString socketPath, QObject* parent)
    : QObject(parent)
    , m_browserOut(browserOut)
    , m_socketPath(std::move(socketPath))
    , m_browserIn(browserIn, QSocketNotifier::Read) {
    m_browserIn.setEnabled(false);
    connect(&m_browserIn, &QSocketNotifier::activated, this, &Relay::readBrowser);
    connect(&m_program, &QLocalSocket::readyRead, this, &Relay::readProgram);
    connect(&m_program, &QLocalSocket::disconnected, this, [this] {
        qCInfo(lcRelay, "the program closed the connection");
        end(0);
    });
}

bool Relay::start() {
    m_program.connectToServer(m_socketPath);
    if (!m_program.waitForConnected(ConnectTimeoutMs)) {
        qCWarning(lcRelay, "cannot reach ZOR Brakkon at %s (%s): is it running?",
                  qUtf8Printable(m_socketPath), qUtf8Printable(m_program.errorString()));
        return false;
    }
    m_browserIn.setEnabled(true);
    return true;
}

void Relay::readBrowser() {
    char buffer[64 * 1024];
    const ssize_t got = ::read(static_cast<int>(m_browserIn.socket()), buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        qCInfo(lcRelay, "Firefox closed the port");
        end(0);
        return;
    }
    m_fromBrowser.append(QByteArray(buffer, got));
    while (const auto payload = m_fromBrowser.next()) {
        QString why;
        if (!ExtensionMessage::parse(*payload, ExtensionMessage::Direction::FromBrowser, &why)) {
            qCWarning(lcRelay, "dropped a message from the extension: %s", qUtf8Printable(why));
            continue;
        }
        m_program.write(frame(*payload));
    }
    if (m_fromBrowser.overrun()) {
        // Skipping the announced bytes would mean trusting the length that is already wrong.
        qCWarning(lcRelay, "a message from Firefox announces %u bytes, more than the limit; ending",
                  m_fromBrowser.announcedLength());
        end(2);
    }
}

void Relay::readProgram() {
    m_fromProgram.append(m_program.readAll());
    while (const auto payload = m_fromProgram.next()) {
        QString why;
        if (!ExtensionMessage::parse(*payload, ExtensionMessage::Direction::ToBrowser, &why)) {
            qCWarning(lcRelay, "dropped a message from the program: %s", qUtf8Printable(why));
            continue;
        }
        writeBrowser(*payload);
    }
    if (m_fromProgram.overrun()) {
        qCWarning(lcRelay, "a message from the program announces %u bytes, more than Firefox takes; ending",
                  m_fromProgram.announcedLength());
        end(2);
    }
}

void Relay::writeBrowser(const QByteArray& payload) {
    const QByteArray bytes = frame(payload);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(m_browserOut, bytes.constData() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            qCInfo(lcRelay, "Firefox stopped reading");
            end(0);
            return;
        }
        written += put;
    }
}

void Relay::end(int exitCode) {
    if (m_ended)
        return;
    m_ended = true;
    m_browserIn.setEnabled(false);
    m_program.disconnect(this);
    m_program.abort();
    emit finished(exitCode);
}
