#include "platform/linux/CanberraWavePlayer.h"

#include "platform/Log.h"
#include "platform/linux/CanberraConnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <canberra.h>

namespace platform {

namespace {
// A server that answers does so within milliseconds, even on a busy machine.
constexpr std::chrono::milliseconds AnswerBound(500);
} // namespace

CanberraWavePlayer::CanberraWavePlayer() {
    m_connection = std::make_shared<CanberraConnection>(
        [player = QPointer<CanberraWavePlayer>(this)](std::uint32_t id, int error) {
            if (QCoreApplication* app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app,
                    [player, id, error] {
                        if (player)
                            player->onFinished(id, error);
                    },
                    Qt::QueuedConnection);
        });
}

CanberraWavePlayer::~CanberraWavePlayer() {
    m_thread.post([connection = m_connection] { connection->close(); });
}

std::uint32_t CanberraWavePlayer::takeId() {
    const std::uint32_t id = m_nextId++;
    if (m_nextId == 0)
        m_nextId = 1;
    return id;
}

void CanberraWavePlayer::noteStall(bool stalled) {
    if (stalled && !m_stallTold)
        qCWarning(lcPlatform, "the sound server does not answer: sounds are skipped until it does");
    m_stallTold = stalled;
}

bool CanberraWavePlayer::hasOutputDevice() {
    const auto open =
        m_thread.call<bool>([connection = m_connection] { return connection->open(); }, AnswerBound);
    noteStall(!open);
    return open.value_or(true);
}

bool CanberraWavePlayer::play(const QString& fileName, const Options& options) {
    if (options.noStop && isPlaying())
        return false;
    stop();
    const std::uint32_t id = takeId();
    const auto result =
        m_thread.call<int>([connection = m_connection, id, file = QFile::encodeName(fileName),
                            noDefault = options.noDefault] { return connection->play(id, file, noDefault); },
                           AnswerBound);
    noteStall(!result);
    if (result && *result < 0)
        return false;
    // A sound given to a server that does not answer yet may still start: stop() must reach it.
    m_currentId = id;
    m_currentFile = fileName;
    m_loop = options.loop && result;
    if (!result)
        return false;
    // A looping sound cannot be waited for: it only ends when stopped.
    if (options.wait && !options.loop) {
        m_connection->waitForEnd(id);
        if (m_currentId == id)
            m_currentId = 0;
    }
    return true;
}

void CanberraWavePlayer::stop() {
    if (m_currentId == 0)
        return;
    const std::uint32_t id = std::exchange(m_currentId, 0);
    m_loop = false;
    m_thread.post([connection = m_connection, id] { connection->cancel(id); });
}

bool CanberraWavePlayer::isPlaying() const {
    return m_currentId != 0;
}

void CanberraWavePlayer::onFinished(std::uint32_t id, int error) {
    if (id != m_currentId)
        return; // stopped or replaced meanwhile
    m_currentId = 0;
    if (error != CA_SUCCESS) {
        if (error != CA_ERROR_CANCELED)
            qCInfo(lcPlatform, "%s stopped early: %s", qUtf8Printable(m_currentFile), ca_strerror(error));
        return;
    }
    if (m_loop && !m_currentFile.isEmpty()) {
        m_currentId = takeId();
        m_thread.post([connection = m_connection, id = m_currentId, file = QFile::encodeName(m_currentFile)] {
            connection->play(id, file, true);
        });
        return;
    }
    m_loop = false;
    emit finished();
}

} // namespace platform
