#include "support/PulseSession.h"

#include "support/TestFiles.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <cmath>
#include <numbers>

namespace {
QString clientConfig(const QString& folder) {
    const QString path = folder + QStringLiteral("/client.conf");
    writeBytes(path, "autospawn = no\n");
    return path;
}
} // namespace

bool PulseSession::start() {
    if (!m_dir.isValid())
        return false;
    const QString folder = m_dir.path();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    clientConfig(folder);
    const QStringList environment{QStringLiteral("XDG_RUNTIME_DIR=") + folder,
                                  QStringLiteral("HOME=") + folder};
    const QStringList arguments =
        QStringLiteral(
            "-n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit --log-target=stderr -L")
            .split(u' ')
        << QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socketPath())
        << QStringLiteral("-L") << QStringLiteral("module-null-sink sink_name=testsink");
    if (!m_server.start(QStringLiteral("pulseaudio"), arguments, environment))
        return false;
    exportToThisProcess();
    bool up = false;
    for (QDeadlineTimer deadline(10000); !up && !deadline.hasExpired(); QThread::msleep(50))
        up =
            QFile::exists(socketPath()) && runProgram(QStringLiteral("pactl"), {QStringLiteral("info")}) == 0;
    if (!up)
        return false;
    // The null sink runs at a latency of 1.5 s until a low-latency stream has woken it.
    m_keepAwake.start(QStringLiteral("pacat"),
                      QStringLiteral("--playback -d testsink --latency-msec=20 /dev/zero").split(u' '));
    // Awake once the sink runs and what it had queued at the old latency has played out.
    static const QRegularExpression drained(
        QStringLiteral("State: RUNNING\n(?:.*\n)*?\\s*Latency: (\\d+) usec"));
    QString sinks;
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50)) {
        runProgram(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sinks")}, &sinks);
        const QRegularExpressionMatch match = drained.match(sinks);
        if (match.hasMatch() && match.captured(1).toLongLong() < 100000)
            return true;
    }
    return false;
}

void PulseSession::exportToThisProcess() const {
    qputenv("PULSE_CLIENTCONFIG", (m_dir.path() + QStringLiteral("/client.conf")).toLocal8Bit());
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socketPath()).toLocal8Bit());
}

bool PulseSession::startRecording() {
    return m_recorder.start(QStringLiteral("parec"),
                            QStringLiteral("-d testsink.monitor --raw --format=s16le --rate=%1 --channels=1 "
                                           "--latency-msec=20")
                                    .arg(Rate)
                                    .split(u' ')
                                << m_dir.path() + QStringLiteral("/recording.raw"));
}

QVector<qint16> PulseSession::stopRecording() {
    m_recorder.stop();
    QFile file(m_dir.path() + QStringLiteral("/recording.raw"));
    QVector<qint16> samples;
    if (!file.open(QIODevice::ReadOnly))
        return samples;
    const QByteArray raw = file.readAll();
    samples.resize(raw.size() / 2);
    for (qsizetype index = 0; index < samples.size(); ++index)
        samples[index] = qint16(quint8(raw[2 * index]) | (quint8(raw[2 * index + 1]) << 8));
    return samples;
}

void PulseSession::pointAtNoServer() {
    static QTemporaryDir nowhere;
    qputenv("PULSE_CLIENTCONFIG", clientConfig(nowhere.path()).toLocal8Bit());
    qputenv("PULSE_SERVER",
            (QStringLiteral("unix:") + nowhere.path() + QStringLiteral("/no-server")).toLocal8Bit());
}

double PulseSession::rms(const QVector<qint16>& samples, qsizetype from) {
    if (from >= samples.size())
        return 0;
    double sum = 0;
    for (qsizetype index = from; index < samples.size(); ++index)
        sum += double(samples[index]) * samples[index];
    return std::sqrt(sum / double(samples.size() - from)) / 32768.0;
}

std::pair<qsizetype, qsizetype> PulseSession::soundingSpan(const QVector<qint16>& samples, double threshold) {
    const double limit = threshold * 32768.0;
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype index = 0; index < samples.size(); ++index) {
        if (std::abs(double(samples[index])) > limit) {
            if (first < 0)
                first = index;
            last = index;
        }
    }
    return {first, last};
}

bool writeToneWave(const QString& path, int milliseconds) {
    constexpr int rate = PulseSession::Rate;
    const quint32 count = quint32(qint64(rate) * milliseconds / 1000);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + count * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(count * 2);
    for (quint32 index = 0; index < count; ++index)
        out << qint16(std::lround(0.5 * 32767.0 * std::sin(2 * std::numbers::pi * 440 * index / rate)));
    return file.commit();
}
