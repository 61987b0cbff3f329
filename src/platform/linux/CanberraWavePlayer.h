#pragma once

#include "platform/WavePlayer.h"
#include "platform/common/TaskThread.h"

#include <memory>

namespace platform {

class CanberraConnection;

// Wave files through libcanberra on the PulseAudio protocol. A sound server that stops
// answering blocks libcanberra's calls for half a minute each, so they run on a thread of
// their own: a popup decision that plays a sound never waits on the server for long.
class CanberraWavePlayer final : public WavePlayer {
    Q_OBJECT
public:
    CanberraWavePlayer();
    ~CanberraWavePlayer() override;

    // A server that does not answer counts as there: it may come back any moment, and its
    // sounds are skipped meanwhile.
    bool hasOutputDevice() override;
    bool play(const QString& fileName, const Options& options) override;
    void stop() override;
    bool isPlaying() const override;

private:
    void onFinished(std::uint32_t id, int error);
    std::uint32_t takeId();
    void noteStall(bool stalled);

    std::shared_ptr<CanberraConnection> m_connection;
    // Declared after the connection so that it goes first, finishing the close given to it.
    TaskThread m_thread;
    std::uint32_t m_nextId = 1;
    std::uint32_t m_currentId = 0; // 0: nothing playing
    QString m_currentFile;
    bool m_loop = false;
    bool m_stallTold = false;
};

} // namespace platform
