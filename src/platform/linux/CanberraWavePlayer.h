#pragma once

#include "platform/WavePlayer.h"

#include <condition_variable>
#include <mutex>

struct ca_context;

namespace platform {

// Wave files through libcanberra on the PulseAudio protocol. The connection is opened on first
// need and again after the server went away, so a server that starts later is used.
class CanberraWavePlayer final : public WavePlayer {
    Q_OBJECT
public:
    CanberraWavePlayer();
    ~CanberraWavePlayer() override;

    bool hasOutputDevice() override;
    bool play(const QString& fileName, const Options& options) override;
    void stop() override;
    bool isPlaying() const override;

private:
    static void onFinishedThread(ca_context* context, std::uint32_t id, int error, void* self);
    void onFinished(std::uint32_t id, int error);
    bool open();
    void close();
    int start(const QString& fileName, bool alert);
    void waitFor(std::uint32_t id);

    ca_context* m_context = nullptr;
    std::uint32_t m_nextId = 1;
    std::uint32_t m_currentId = 0; // 0: nothing playing
    QString m_currentFile;
    bool m_loop = false;

    // Written by libcanberra's thread, read by a caller that waits for its sound to end.
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::uint32_t m_lastEnded = 0;
};

} // namespace platform
