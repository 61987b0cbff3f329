#include "app/Version.h"
#include "platform/Log.h"
#include "util/VELModule.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::Title);
    QApplication::setApplicationVersion(QString::fromLatin1(App::VersionText));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stops unwanted popup windows in your web browsers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Write more log lines to stderr."));
    parser.addOption(verbose);
    parser.process(app);
    zor::configureLogging(parser.isSet(verbose));

    qCInfo(lcApp, "%s %s in %s", qUtf8Printable(App::Title), App::VersionText,
           qUtf8Printable(VELModule::AppPath()));
    return 0;
}
