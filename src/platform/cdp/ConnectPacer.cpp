#include "platform/cdp/ConnectPacer.h"

#include <algorithm>
#include <utility>

namespace platform::cdp {

bool ConnectPacer::noteEndpoint(const QString& endpoint) {
    if (endpoint == m_endpoint)
        return false;
    m_endpoint = endpoint;
    startSeries();
    return true;
}

bool ConnectPacer::asking() {
    return !std::exchange(m_toldAsking, true);
}

bool ConnectPacer::refused(qint64 nowMs) {
    m_wait = m_wait == 0 ? FirstWaitMs : std::min(m_wait * 2, LongestWaitMs);
    m_notBefore = nowMs + m_wait;
    return !std::exchange(m_toldRefused, true);
}

void ConnectPacer::allowed() {
    startSeries();
}

void ConnectPacer::startSeries() {
    m_notBefore = 0;
    m_wait = 0;
    m_toldAsking = false;
    m_toldRefused = false;
}

} // namespace platform::cdp
