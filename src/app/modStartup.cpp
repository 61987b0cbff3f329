#include "app/modStartup.h"

#include "app/Version.h"
#include "app/frmMain.h"
#include "platform/BrowserOptions.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/common/SingleInstanceGuard.h"
#include "platform/firefox/FirefoxSupport.h"
#include "platform/linux/BrowserLauncher.h"
#include "platform/linux/UnixSignalWatcher.h"
#include "util/VELModule.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <csignal>
#include <cstdio>

namespace {

const QCommandLineOption Verbose(QStringLiteral("verbose"),
                                 QStringLiteral("Write more log lines to stderr."));

void describeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Stops unwanted popup windows in your web browsers. Lives in the "
                       "notification area; Ctrl + keypad * toggles blocking."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(Verbose);
    platform::addBrowserOptions(parser);
    platform::addLaunchBrowserOption(parser);
    platform::firefox::addFirefoxSupportOption(parser);
}

void nameApplication() {
    QCoreApplication::setApplicationName(App::Title);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(App::VersionText));
}

// --help and --version answer without a display: nothing graphical is started for them.
void answerInformationRequests(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version") {
            QCoreApplication core(argc, argv);
            nameApplication();
            QCommandLineParser parser;
            describeOptions(parser);
            parser.process(core); // prints and ends the program
        }
    }
}

void tellLaunchFailure(const platform::LaunchReport& launch) {
    platform::dialogs().messageBox(nullptr,
                                   QStringLiteral("The browser could not be started: ") + launch.message,
                                   platform::MsgIcon::Critical, platform::MsgButtons::Ok, App::Title);
}

// The running instance watches every browser whose holder appears, so a browser asked for
// again is started here and left to it; only a start that does nothing new says that the
// program already runs.
int answerSecondStart(const platform::LaunchReport& launch) {
    if (launch.failed) {
        tellLaunchFailure(launch);
        return 1;
    }
    if (launch.started) {
        if (!launch.message.isEmpty())
            platform::dialogs().messageBox(nullptr, launch.message, platform::MsgIcon::Information,
                                           platform::MsgButtons::Ok, App::Title);
        return 0;
    }
    platform::dialogs().messageBox(nullptr, App::Title + QStringLiteral(" is already running in tray!"),
                                   platform::MsgIcon::Information, platform::MsgButtons::Ok, App::Title);
    return 1;
}

} // namespace

int modStartup::Main(int argc, char* argv[]) {
    answerInformationRequests(argc, argv);
    // Needs no display and no running instance: it only writes a file for Firefox.
    if (platform::firefox::wantsFirefoxSupport(argc, argv)) {
        QCoreApplication core(argc, argv);
        nameApplication();
        return platform::firefox::installFirefoxSupport();
    }
    if (const QString problem = platform::displayProblem(argc, argv); !problem.isEmpty()) {
        std::fprintf(stderr, "%s cannot start: %s.\n", qPrintable(App::Title), qPrintable(problem));
        return 1;
    }
    QApplication app(argc, argv);
    nameApplication();
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    zor::configureLogging(parser.isSet(Verbose));

    platform::SingleInstanceGuard guard(App::Title);
    if (!guard.tryAcquire()) {
        qCWarning(lcApp, "another instance is running; this one ends");
        return answerSecondStart(platform::applyLaunchBrowserOption(parser));
    }
    platform::applyBrowserOptions(parser);
    const platform::LaunchReport launch = platform::applyLaunchBrowserOption(parser);

    frmMain form;
    platform::UnixSignalWatcher terminations({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&terminations, &platform::UnixSignalWatcher::received, &form, &frmMain::UnloadAndQuit);
    // A logout or shutdown ends the program like "Exit" does: everything is saved first.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.UnloadAndQuit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &frmMain::UnloadAndQuit);

    qCInfo(lcApp, "%s %s starting from %s", qUtf8Printable(App::Title), App::VersionText,
           qUtf8Printable(VELModule::AppPath()));
    form.Form_Load();
    // A browser asked for and not started is told where the user will see it; anything else
    // about the start is news for the tray.
    if (launch.failed)
        tellLaunchFailure(launch);
    else if (!launch.message.isEmpty())
        form.ShowNotice(launch.message);
    // An end requested while the load waited on a message box has already unloaded the window.
    if (form.IsUnloaded())
        return 0;
    return QApplication::exec();
}
