#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

namespace platform::cdp {

// The once-a-second tick on which every browser source not connected looks for its browser
// again. The usual profiles make a score of sources, and the program sits idle most of its life
// with none of them running: one shared timer costs the resident program one timer event a
// second where a timer each cost a score. It runs only while someone is looking, so a program
// whose browsers are all connected gets no tick at all.
class RetryClock : public QObject {
public:
    static constexpr int IntervalMs = 1000;

    explicit RetryClock(QObject* parent = nullptr);

    // `tick` runs at every tick from now on, until unsubscribe() or the subscriber's end. Subscribing
    // again only replaces the callback.
    void subscribe(QObject* subscriber, std::function<void()> tick);
    void unsubscribe(QObject* subscriber);

private:
    struct Subscription {
        QObject* subscriber;
        std::function<void()> tick;
        QMetaObject::Connection ended;
    };
    void tick();
    std::vector<Subscription>::iterator find(const QObject* subscriber);

    QTimer m_timer;
    std::vector<Subscription> m_subscriptions;
};

} // namespace platform::cdp
