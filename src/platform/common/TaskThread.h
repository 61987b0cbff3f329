#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>

namespace platform {

// One thread that runs the tasks given to it in order, for services that can block for long
// (a sound server that stopped answering). What the thread works on is kept alive by the tasks
// themselves: a thread still stuck when this object goes is left to finish on its own.
class TaskThread {
public:
    TaskThread();
    ~TaskThread();
    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    void post(std::function<void()> task);

    // Runs the task and waits up to `bound` for its result; none when it did not come in time.
    // Once a wait ran out, later calls do not wait until the thread has caught up again.
    template <typename Result>
    std::optional<Result> call(std::function<Result()> task, std::chrono::milliseconds bound) {
        if (stalled())
            return std::nullopt;
        auto promise = std::make_shared<std::promise<Result>>();
        std::future<Result> result = promise->get_future();
        post([promise, task = std::move(task)] { promise->set_value(task()); });
        if (result.wait_for(bound) != std::future_status::ready) {
            markStalled();
            return std::nullopt;
        }
        return result.get();
    }

    // True from a wait that ran out until the thread has finished every task given before it.
    bool stalled() const;

private:
    void markStalled();

    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace platform
