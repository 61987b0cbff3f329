#pragma once

#include <QByteArray>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

struct ca_context;

namespace platform {

// A connection to the sound server through libcanberra, opened on first need and again after
// the server went away. Every call but waitForEnd() can block for as long as the server does
// not answer, so they are all made from one thread that nothing else waits on for long.
class CanberraConnection {
public:
    // Called on libcanberra's own thread when a sound has ended, or on the calling thread when
    // it could not be started; CA_SUCCESS when it played to its end.
    using EndReport = std::function<void(std::uint32_t id, int error)>;

    explicit CanberraConnection(EndReport report);
    ~CanberraConnection();
    CanberraConnection(const CanberraConnection&) = delete;
    CanberraConnection& operator=(const CanberraConnection&) = delete;

    bool open();
    void close();
    // Plays the file under the id, with one fresh connection when the server went away since
    // the last sound; a file that cannot be played gives the desktop's alert sound unless
    // noDefault. Returns libcanberra's result; a failure is also reported as the sound's end.
    int play(std::uint32_t id, const QByteArray& fileName, bool noDefault);
    void cancel(std::uint32_t id);
    // Returns once the sound with this id has ended.
    void waitForEnd(std::uint32_t id);

private:
    static void onFinished(ca_context* context, std::uint32_t id, int error, void* self);
    int start(std::uint32_t id, const QByteArray& fileName, bool alert);

    ca_context* m_context = nullptr;
    EndReport m_report;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::uint32_t m_lastEnded = 0;
};

} // namespace platform
