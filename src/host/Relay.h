#pragma once

#include "platform/firefox/wire/NativeFrame.h"

#include <QLocalSocket>
#include <QObject>
#include <QSocketNotifier>

// Passes messages between Firefox (the relay's stdin and stdout, native-messaging frames) and
// the running program (a local socket). Each message is checked on the way through; the relay
// ends as soon as either side is gone, so Firefox's port closes and the extension knows.
class Relay : public QObject {
    Q_OBJECT
public:
    Relay(int browserIn, int browserOut, QString socketPath, QObject* parent = nullptr);

    // Connects to the program and starts reading Firefox; false (with a log line) when the
    // program cannot be reached.
    bool start();

signals:
    void finished(int exitCode);

private:
    void readBrowser();
    void readProgram();
    void writeBrowser(const QByteArray& payload);
    void end(int exitCode);

    int m_browserOut;
    QString m_socketPath;
    QSocketNotifier m_browserIn;
    QLocalSocket m_program;
    platform::firefox::FrameReader m_fromBrowser;
    platform::firefox::FrameReader m_fromProgram;
    bool m_ended = false;
};
