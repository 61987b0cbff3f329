#include "platform/linux/CanberraConnection.h"

#include "platform/Log.h"

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
    case CA_ERROR_TOOBIG:
        return true;
    default:
        return false;
    }
}
} // namespace

CanberraConnection::CanberraConnection(EndReport report)
    : m_report(std::move(report)) {}

CanberraConnection::~CanberraConnection() {
    close();
}

bool CanberraConnection::open() {
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

void CanberraConnection::close() {
    if (!m_context)
        return;
    // Calls back for every sound still playing before it returns.
    ca_context_destroy(m_context);
    m_context = nullptr;
}

int CanberraConnection::start(std::uint32_t id, const QByteArray& fileName, bool alert) {
    ca_proplist* properties = nullptr;
    int result = ca_proplist_create(&properties);
    if (result < 0)
        return result;
    if (alert)
        ca_proplist_sets(properties, CA_PROP_EVENT_ID, "bell");
    else
        ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, fileName.constData());
    ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    result = ca_context_play_full(m_context, id, properties, &CanberraConnection::onFinished, this);
    ca_proplist_destroy(properties);
    return result;
}

int CanberraConnection::play(std::uint32_t id, const QByteArray& fileName, bool noDefault) {
    int result = open() ? start(id, fileName, false) : CA_ERROR_NOTAVAILABLE;
    if (result < 0 && !isFileError(result)) {
        // The server went away since the last sound: one fresh connection before giving up.
        close();
        result = open() ? start(id, fileName, false) : CA_ERROR_NOTAVAILABLE;
    }
    if (result < 0 && isFileError(result) && !noDefault)
        result = start(id, fileName, true);
    if (result < 0) {
        qCInfo(lcPlatform, "%s not played: %s", fileName.constData(), ca_strerror(result));
        m_report(id, result);
    }
    return result;
}

void CanberraConnection::cancel(std::uint32_t id) {
    if (m_context)
        ca_context_cancel(m_context, id);
}

void CanberraConnection::waitForEnd(std::uint32_t id) {
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [&] { return m_lastEnded == id; });
}

void CanberraConnection::onFinished(ca_context*, std::uint32_t id, int error, void* self) {
    auto* connection = static_cast<CanberraConnection*>(self);
    {
        std::lock_guard lock(connection->m_mutex);
        connection->m_lastEnded = id;
    }
    connection->m_ended.notify_all();
    if (error != CA_ERROR_DESTROYED)
        connection->m_report(id, error);
}

} // namespace platform
