// Started by Firefox for the companion extension's connectNative(), with the host manifest's
// path and the extension's id as arguments; speaks native messaging on stdin and stdout.
#include "host/Relay.h"
#include "platform/firefox/wire/ExtensionMessage.h"

#include <QCoreApplication>
#include <csignal>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Firefox closing our stdout must end the relay with a log line, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zor-brakkon-firefox-relay"));
    // Nothing but frames may reach stdout: Firefox would read anything else as a length.
    qSetMessagePattern(QStringLiteral("zor-brakkon-firefox-relay: %{message}"));

    Relay relay(STDIN_FILENO, STDOUT_FILENO, platform::firefox::relaySocketPath());
    QObject::connect(&relay, &Relay::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (!relay.start())
        return 1;
    return app.exec();
}
