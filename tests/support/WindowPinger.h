#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Measures from outside how quickly a program's GUI thread answers: an X client of its own
// sends the EWMH _NET_WM_PING client message to one of the program's top-level windows at a
// fixed interval and times each answer (Qt replies on its GUI thread, so a busy or blocked
// event loop shows up as a late answer). Runs on a thread of its own so the test's own event
// loop does not colour the figures.
class WindowPinger {
public:
    struct Figures {
        int answered = 0;
        int unanswered = 0; // still open when stopped: counted as stalls of the time they waited
        double maxMs = 0;
        double medianMs = 0;
    };

    explicit WindowPinger(std::uint32_t window, int intervalMs = 20);
    ~WindowPinger();
    WindowPinger(const WindowPinger&) = delete;
    WindowPinger& operator=(const WindowPinger&) = delete;

    void start();
    Figures stop();

    // The window lists _NET_WM_PING in its WM_PROTOCOLS.
    static bool supportsPing(std::uint32_t window);
    // A viewable top-level window of the process whose title contains the text (0 when none).
    static std::uint32_t topLevelOf(qint64 pid, const QString& titlePart);

private:
    void run();

    std::uint32_t m_window;
    int m_intervalMs;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<double> m_roundTrips;
    double m_openMs = -1; // the ping in flight when stopped, if any
};
