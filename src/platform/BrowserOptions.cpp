#include "platform/BrowserOptions.h"

#include "platform/Failure.h"
#include "platform/cdp/Endpoint.h"

#include <QCommandLineParser>

Q_LOGGING_CATEGORY(lcBrowserOptions, "zor.browser.options", QtWarningMsg)

namespace platform {

namespace {
QStringList& appliedEndpoints() {
    static QStringList endpoints;
    return endpoints;
}
} // namespace

void addBrowserOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        QStringLiteral("browser"),
        QStringLiteral(
            "Watch the browser whose DevTools endpoint is PORT on 127.0.0.1 or a ws://127.0.0.1:... "
            "address (repeatable). Without it, running Chromium-family browsers are found by "
            "their DevToolsActivePort files."),
        QStringLiteral("PORT|ws-url")));
}

void applyBrowserOptions(const QCommandLineParser& parser) {
    QStringList accepted;
    for (const QString& value : parser.values(QStringLiteral("browser"))) {
        if (cdp::Endpoint::parse(value))
            accepted.append(value.trimmed());
        else
            qCWarning(lcBrowserOptions, "--browser %s: not a port or a loopback ws:// address; ignored",
                      qUtf8Printable(value));
    }
    appliedEndpoints() = accepted;
}

QStringList browserEndpoints() {
    return appliedEndpoints();
}

void setBrowserEndpoints(const QStringList& endpoints) {
    appliedEndpoints() = endpoints;
}

} // namespace platform
