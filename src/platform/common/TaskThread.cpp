#include "platform/common/TaskThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {

struct TaskThread::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool ending = false;
    bool ended = false;
    // The number of tasks given so far, and of those finished; stalled until the second reaches
    // the first as it was when a wait ran out.
    std::uint64_t given = 0;
    std::uint64_t finished = 0;
    std::uint64_t stalledUntil = 0;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return ending || !tasks.empty(); });
            if (tasks.empty())
                break;
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            task = nullptr; // what it holds goes on this thread, before the owner hears it ended
            lock.lock();
            ++finished;
            changed.notify_all();
        }
        ended = true;
        changed.notify_all();
    }
};

TaskThread::TaskThread()
    : m_state(std::make_shared<State>()) {
    std::thread([state = m_state] { state->run(); }).detach();
}

TaskThread::~TaskThread() {
    std::unique_lock lock(m_state->mutex);
    m_state->ending = true;
    m_state->changed.notify_all();
    // The tasks given so far still run (a sound still closes its connection); a thread that
    // cannot get through them soon is not waited for.
    m_state->changed.wait_for(lock, std::chrono::seconds(2), [this] { return m_state->ended; });
}

void TaskThread::post(std::function<void()> task) {
    std::lock_guard lock(m_state->mutex);
    m_state->tasks.push_back(std::move(task));
    ++m_state->given;
    m_state->changed.notify_all();
}

bool TaskThread::stalled() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->finished < m_state->stalledUntil;
}

void TaskThread::markStalled() {
    std::lock_guard lock(m_state->mutex);
    m_state->stalledUntil = m_state->given;
}

} // namespace platform
