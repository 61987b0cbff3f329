#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace platform {

// Plays wave files on the desktop's sound server, one at a time.
class WavePlayer : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool wait = false;      // return only when the sound has ended
        bool loop = false;      // start again at the end until stopped or replaced
        bool noStop = false;    // leave a playing sound alone and play nothing
        bool noDefault = false; // a file that cannot be played is silence, not the alert sound
    };

    using QObject::QObject;
    ~WavePlayer() override = default;

    // Whether a sound server can be reached now; a server that went away or came up since the
    // last call is noticed.
    virtual bool hasOutputDevice() = 0;
    // Replaces what plays. Returns whether a sound was started.
    virtual bool play(const QString& fileName, const Options& options) = 0;
    // Ends the playing sound at once; nothing playing is fine.
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

signals:
    // A sound came to its end by itself (not by stop() or a replacement).
    void finished();
};

WavePlayer& wavePlayer();
std::unique_ptr<WavePlayer> setWavePlayer(std::unique_ptr<WavePlayer> replacement);

} // namespace platform
