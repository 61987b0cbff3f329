#include "platform/cdp/RetryClock.h"

#include <QPointer>
#include <algorithm>

namespace platform::cdp {

RetryClock::RetryClock(QObject* parent)
    : QObject(parent) {
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &RetryClock::tick);
}

std::vector<RetryClock::Subscription>::iterator RetryClock::find(const QObject* subscriber) {
    return std::find_if(m_subscriptions.begin(), m_subscriptions.end(),
                        [subscriber](const Subscription& s) { return s.subscriber == subscriber; });
}

void RetryClock::subscribe(QObject* subscriber, std::function<void()> tick) {
    if (const auto found = find(subscriber); found != m_subscriptions.end()) {
        found->tick = std::move(tick);
        return;
    }
    // A subscriber that ends without unsubscribing must not be called afterwards.
    const auto ended =
        connect(subscriber, &QObject::destroyed, this, [this, subscriber] { unsubscribe(subscriber); });
    m_subscriptions.push_back({subscriber, std::move(tick), ended});
    if (!m_timer.isActive())
        m_timer.start();
}

void RetryClock::unsubscribe(QObject* subscriber) {
    const auto found = find(subscriber);
    if (found == m_subscriptions.end())
        return;
    disconnect(found->ended);
    m_subscriptions.erase(found);
    if (m_subscriptions.empty())
        m_timer.stop();
}

void RetryClock::tick() {
    // A callback may subscribe or unsubscribe anyone, itself included: each subscriber of the
    // moment gets its tick if it is still subscribed when its turn comes.
    std::vector<QObject*> due;
    due.reserve(m_subscriptions.size());
    for (const Subscription& s : m_subscriptions)
        due.push_back(s.subscriber);
    const QPointer<RetryClock> alive(this);
    for (QObject* subscriber : due) {
        if (!alive)
            return;
        const auto found = find(subscriber);
        if (found == m_subscriptions.end())
            continue;
        const std::function<void()> callback = found->tick;
        callback();
    }
}

} // namespace platform::cdp
