#include "platform/linux/CanberraWavePlayer.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <canberra.h>

namespace platform {

namespace {
bool isFileError(int error) {
    switch (error) {
    case CA_ERROR_NOTFOUND:
    case CA_ERROR_CORRUPT:
    case CA_ERROR_NOTSUPPORTED:
    case CA_ERROR_ACCESS:
    case CA_ERROR_IO:
    case CA_ERROR_INVALID:
        return true;
    default:
        return false;
    }
}
} // namespace

CanberraWavePlayer::CanberraWavePlayer() = default;

CanberraWavePlayer::~CanberraWavePlayer() {
    close();
}

bool CanberraWavePlayer::open() {
    if (m_context)
        return true;
    ca_context* context = nullptr;
    if (ca_context_create(&context) < 0)
        return false;
    // Only a sound server counts as a wave output; raw ALSA would fight it for the device.
    int result = ca_context_set_driver(context, "pulse");
    if (result >= 0)
        result = ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "ZOR Brakkon",
                                         CA_PROP_APPLICATION_ID, "zor-brakkon", nullptr);
    if (result >= 0)
        result = ca_context_open(context);
    if (result < 0) {
        qCInfo(lcPlatform, "no sound server: %s", ca_strerror(result));
        ca_context_destroy(context);
        return false;
    }
    m_context = context;
    return true;
}

void CanberraWavePlayer::close() {
    if (!m_context)
        return;
    // Calls back for every sound still playing before it returns; the queued reports die with
    // this object.
    ca_context_destroy(m_context);
    m_context = nullptr;
    m_currentId = 0;
}

bool CanberraWavePlayer::hasOutputDevice() {
    return open();
}

int CanberraWavePlayer::start(const QString& fileName, bool alert) {
    ca_proplist* properties = nullptr;
    int result = ca_proplist_create(&properties);
    if (result < 0)
        return result;
    const std::uint32_t id = m_nextId++;
    if (m_nextId == 0)
        m_nextId = 1;
    if (alert)
        ca_proplist_sets(properties, CA_PROP_EVENT_ID, "bell");
    else
        ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, QFile::encodeName(fileName).constData());
    ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    result = ca_context_play_full(m_context, id, properties, &CanberraWavePlayer::onFinishedThread, this);
    ca_proplist_destroy(properties);
    if (result >= 0) {
        m_currentId = id;
        m_currentFile = fileName;
    }
    return result;
}

bool CanberraWavePlayer::play(const QString& fileName, const Options& options) {
    if (options.noStop && isPlaying())
        return false;
    if (!open())
        return false;
    stop();
    int result = start(fileName, false);
    if (result < 0 && !isFileError(result)) {
        // The server went away since the last sound: one fresh connection before giving up.
        close();
        if (!open())
            return false;
        result = start(fileName, false);
    }
    if (result < 0 && isFileError(result) && !options.noDefault)
        result = start(fileName, true);
    if (result < 0) {
        qCInfo(lcPlatform, "%s not played: %s", qUtf8Printable(fileName), ca_strerror(result));
        return false;
    }
    // A looping sound cannot be waited for: it only ends when stopped.
    m_loop = options.loop;
    if (options.wait && !options.loop)
        waitFor(m_currentId);
    return true;
}

void CanberraWavePlayer::stop() {
    if (!m_context || m_currentId == 0)
        return;
    const std::uint32_t id = m_currentId;
    m_currentId = 0;
    m_loop = false;
    ca_context_cancel(m_context, id);
}

bool CanberraWavePlayer::isPlaying() const {
    return m_currentId != 0;
}

void CanberraWavePlayer::waitFor(std::uint32_t id) {
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [&] { return m_lastEnded == id; });
    lock.unlock();
    if (m_currentId == id)
        m_currentId = 0;
}

void CanberraWavePlayer::onFinishedThread(ca_context*, std::uint32_t id, int error, void* self) {
    auto* player = static_cast<CanberraWavePlayer*>(self);
    {
        std::lock_guard lock(player->m_mutex);
        player->m_lastEnded = id;
    }
    player->m_ended.notify_all();
    if (error == CA_ERROR_DESTROYED)
        return;
    QMetaObject::invokeMethod(
        player, [player, id, error] { player->onFinished(id, error); }, Qt::QueuedConnection);
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
        if (start(m_currentFile, false) >= 0)
            return;
    }
    m_loop = false;
    emit finished();
}

} // namespace platform
