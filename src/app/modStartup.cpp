#include "app/modStartup.h"

#include "app/Version.h"
#include "app/frmMain.h"
#include "platform/BrowserOptions.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/common/SingleInstanceGuard.h"
#include "platform/linux/BrowserLauncher.h"
#include "platform/linux/UnixSignalWatcher.h"
#include "util/VELModule.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <csignal>

int modStartup::Main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::Title);
    QApplication::setApplicationVersion(QString::fromLatin1(App::VersionText));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stops unwanted popup windows in your web browsers. Lives in the "
                       "notification area; Ctrl + keypad * toggles blocking."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Write more log lines to stderr."));
    parser.addOption(verbose);
    platform::addBrowserOptions(parser);
    platform::addLaunchBrowserOption(parser);
    parser.process(app); // answers --help and --version before anything else happens
    zor::configureLogging(parser.isSet(verbose));

    platform::SingleInstanceGuard guard(App::Title);
    if (!guard.tryAcquire()) {
        qCWarning(lcApp, "another instance is running; this one ends");
        platform::dialogs().messageBox(nullptr, App::Title + QStringLiteral(" is already running in tray!"),
                                       platform::MsgIcon::Information, platform::MsgButtons::Ok, App::Title);
        return 1;
    }
    platform::applyBrowserOptions(parser);
    platform::applyLaunchBrowserOption(parser);

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
    // An end requested while the load waited on a message box has already unloaded the window.
    if (form.IsUnloaded())
        return 0;
    return QApplication::exec();
}
