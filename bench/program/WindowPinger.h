#pragma once

#include <QList>
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
//
// On a busy machine a round trip also holds the time the program's GUI thread and the X server
// sat ready to run while other processes had the processors. Given their process ids, each
// answer's time is also given without those waits (from each main thread's run-queue delay in
// /proc): what is left is the time the program itself took, plus the server's own work.
class WindowPinger {
public:
    struct Figures {
        int answered = 0;
        int unanswered = 0; // still open when stopped: counted as stalls of the time they waited
        double maxMs = 0;
        double medianMs = 0;
        double maxOwnMs = 0; // without the GUI thread's wait for a processor
    };

    // waiterPids: the program's (its GUI thread is the process's first thread) and the X
    // server's, whose waits for a processor are left out of maxOwnMs.
    explicit WindowPinger(std::uint32_t window, const QList<qint64>& waiterPids = {}, int intervalMs = 20);
    ~WindowPinger();
    WindowPinger(const WindowPinger&) = delete;
    WindowPinger& operator=(const WindowPinger&) = delete;

    void start();
    Figures stop();

    // The window lists _NET_WM_PING in its WM_PROTOCOLS.
    static bool supportsPing(std::uint32_t window);
    // A viewable top-level window of the process whose title contains the text (0 when none).
    static std::uint32_t topLevelOf(qint64 pid, const QString& titlePart);
    // The X server this process started (the Xvfb child of this process), 0 when none.
    static qint64 ownXServerPid();

private:
    void run();

    std::uint32_t m_window;
    QList<qint64> m_waiterPids;
    int m_intervalMs;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<double> m_roundTrips;
    double m_maxOwnMs = 0;
    double m_openMs = -1; // the ping in flight when stopped, if any
};
