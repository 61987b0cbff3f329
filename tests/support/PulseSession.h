#pragma once

#include "support/DesktopProcess.h"

#include <QString>
#include <QTemporaryDir>
#include <QVector>

// A private PulseAudio server with one null sink ("testsink"), whose monitor records what was
// played. start() points this process's sound clients at it (PULSE_SERVER) and forbids them to
// spawn a server of their own.
class PulseSession {
public:
    static constexpr int Rate = 44100;

    bool start();
    // Points this process's sound clients at this server again (after another session moved them).
    void exportToThisProcess() const;
    qint64 serverPid() const { return m_server.pid(); }

    // Records the sink's monitor (mono, 16 bit, Rate) from now until stopRecording().
    bool startRecording();
    QVector<qint16> stopRecording();

    // Points this process's sound clients at a server that does not exist.
    static void pointAtNoServer();
    // Root mean square of the samples from `from` on, as a fraction of full scale.
    static double rms(const QVector<qint16>& samples, qsizetype from = 0);
    // The first and last sample louder than the threshold (fraction of full scale); -1 when none.
    static std::pair<qsizetype, qsizetype> soundingSpan(const QVector<qint16>& samples,
                                                        double threshold = 0.05);

private:
    QString socketPath() const { return m_dir.path() + QStringLiteral("/native"); }

    // Ended in the reverse order: the recorder and the keep-awake stream before their server.
    QTemporaryDir m_dir;
    DesktopProcess m_server;
    DesktopProcess m_keepAwake;
    DesktopProcess m_recorder;
};

// Writes a 16-bit mono PCM wave file of a 440 Hz tone at half of full scale; the test's own fixture.
bool writeToneWave(const QString& path, int milliseconds);
