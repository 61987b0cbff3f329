// What the program asks of desktop services on the session bus, against stand-ins on a bus of
// the test's own: the hot-key through the desktop portal on a Wayland desktop, and the tray icon
// under a StatusNotifierItem host.
#include "controls/hotkey/ZORHotkey.h"
#include "platform/Platform.h"
#include "platform/TrayHost.h"
#include "platform/linux/PortalHotKeySource.h"
#include "support/DesktopProcess.h"
#include "support/Pictures.h"
#include "support/XvfbSession.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QMutex>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// A session bus of the test's own, in use before anything in the process asks for the session
// bus, so that the stand-ins can take their well-known names.
const bool onBus = [] {
    qputenv("ZOR_SESSION_TYPE", "wayland");
    static DesktopProcess bus;
    if (!XvfbSession::startForProcess() ||
        !bus.start(u"dbus-daemon"_s, u"--session --nofork --print-address"_s.split(u' ')))
        return false;
    const QRegularExpression printed(u"^(unix:\\S+)\n"_s, QRegularExpression::MultilineOption);
    const QByteArray address = bus.awaitOutput(printed, 10000).captured(1).toLocal8Bit();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    return !address.isEmpty();
}();

const QString PortalPath = u"/org/freedesktop/portal/desktop"_s;

// What a stand-in was asked, in order, readable from the test's thread.
struct CallLog {
    QMutex mutex;
    QStringList calls;
    void add(const QString& call) {
        QMutexLocker lock(&mutex);
        calls.append(call);
    }
    QStringList all() {
        QMutexLocker lock(&mutex);
        return calls;
    }
};

// The portal object with its adaptors. Answers like the portal: a Request object's path at once,
// its Response a little later.
class StandInPortal : public QObject {
    Q_OBJECT
public:
    StandInPortal(CallLog& log, uint sessionAnswer, uint bindAnswer)
        : log(log)
        , sessionAnswer(sessionAnswer)
        , bindAnswer(bindAnswer) {}

    QDBusObjectPath answer(const QDBusMessage& call, const QVariantMap& options, uint response,
                           const QVariantMap& results) {
        const QString path = PortalPath + u"/request/"_s + call.service().mid(1).replace(u'.', u'_') + u'/' +
                             options.value(u"handle_token"_s).toString();
        QTimer::singleShot(0, this, [this, path, response, results] {
            QDBusMessage signal =
                QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
            bus.send(signal << response << results);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection bus{QString()}; // set by the stand-in's holder
    CallLog& log;
    uint sessionAnswer;
    uint bindAnswer;
};

// An adaptor of the portal object: its parent.
class PortalAdaptor : public QDBusAbstractAdaptor {
public:
    explicit PortalAdaptor(StandInPortal* portal)
        : QDBusAbstractAdaptor(portal) {}
    StandInPortal* portal() const { return static_cast<StandInPortal*>(parent()); }
};

class ShortcutsAdaptor : public PortalAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    using PortalAdaptor::PortalAdaptor;
    uint version() const { return 1; }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call) {
        portal()->log.add(u"CreateSession"_s);
        const QString session =
            PortalPath + u"/session/zor/"_s + options.value(u"session_handle_token"_s).toString();
        return portal()->answer(call, options, portal()->sessionAnswer, {{u"session_handle"_s, session}});
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session,
                                  const QList<platform::PortalShortcut>& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& call) {
        platform::PortalShortcuts chosen;
        for (const auto& shortcut : shortcuts) {
            portal()->log.add(u"BindShortcuts %1 %2 %3"_s.arg(
                session.path().section(u'/', -1), shortcut.id,
                shortcut.properties.value(u"preferred_trigger"_s).toString()));
            chosen.append({shortcut.id, {{u"trigger_description"_s, u"Ctrl+F12"_s}}});
        }
        return portal()->answer(call, options, portal()->bindAnswer,
                                {{u"shortcuts"_s, QVariant::fromValue(chosen)}});
    }
};

class RegistryAdaptor : public PortalAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.host.portal.Registry")
public:
    using PortalAdaptor::PortalAdaptor;
public slots:
    void Register(const QString& appId, const QVariantMap&) { portal()->log.add(u"Register "_s + appId); }
};

// A stand-in service: its object answers from a thread of its own over a connection of its
// own, as a real service answers from its own process (the program's reads of it may block).
class BusStandIn {
public:
    BusStandIn(const QString& service, const QString& path, QObject* object)
        : m_service(service)
        , m_object(object) {
        bus = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), service);
        object->moveToThread(&m_thread);
        m_thread.start();
        registered =
            bus.registerObject(path, object, QDBusConnection::ExportAdaptors) && bus.registerService(service);
    }
    ~BusStandIn() {
        bus.unregisterService(m_service);
        QMetaObject::invokeMethod(m_object, &QObject::deleteLater);
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(m_service);
    }

    QDBusConnection bus{QString()};
    bool registered = false;

private:
    QString m_service;
    QObject* m_object;
    QThread m_thread;
};

struct PortalCase {
    const char* name;
    bool registry; // newer portals want the program's name first
    uint sessionAnswer;
    uint bindAnswer;
    bool granted;
};

class PortalHotKey : public testing::TestWithParam<PortalCase> {};

TEST_P(PortalHotKey, TheDesktopsAnswerIsReportedFromTheControlsTimer) {
    ASSERT_TRUE(onBus);
    platform::registerPortalTypes();
    const PortalCase& c = GetParam();
    CallLog log;
    auto* portal = new StandInPortal(log, c.sessionAnswer, c.bindAnswer);
    new ShortcutsAdaptor(portal);
    if (c.registry)
        new RegistryAdaptor(portal);
    BusStandIn standIn(u"org.freedesktop.portal.Desktop"_s, PortalPath, portal);
    portal->bus = standIn.bus;
    ASSERT_TRUE(standIn.registered);
    // The desktop's own, made afresh for this session, and gone before the portal is.
    platform::setHotKeySource(nullptr);
    const auto fresh = qScopeGuard([] { platform::setHotKeySource(nullptr); });
    const auto activate = [&](const QString& shortcut) {
        QDBusMessage signal = QDBusMessage::createSignal(
            PortalPath, u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s);
        portal->bus.send(signal << QVariant::fromValue(QDBusObjectPath(PortalPath + u"/session/zor/zor0"_s))
                                << shortcut << qulonglong(0) << QVariantMap());
    };
    ZORHotkey hotkey;
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    QSignalSpy refused(&hotkey, &ZORHotkey::KeyRefused);
    ASSERT_TRUE(hotkey.AsignNewHotKey(106, 2)) << "the portal answers later";

    QStringList expected;
    if (c.registry)
        expected << u"Register "_s + QString::fromLatin1(platform::AppId);
    expected << u"CreateSession"_s;
    if (c.sessionAnswer == 0)
        expected << u"BindShortcuts zor0 toggle-0 CTRL+KP_Multiply"_s;
    if (c.granted) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.all().size() == expected.size(); }));
        QTest::qWait(100);       // any Response still on its way
        activate(u"toggle-1"_s); // not ours
        activate(u"toggle-0"_s);
        activate(u"toggle-0"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 1; }));
        EXPECT_TRUE(refused.isEmpty());
    } else {
        EXPECT_TRUE(QTest::qWaitFor([&] { return refused.size() == 1; }));
        activate(u"toggle-0"_s);
        QTest::qWait(200);
        EXPECT_TRUE(pressed.isEmpty()) << "a refused hot-key never toggles";
    }
    EXPECT_EQ(log.all(), expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, PortalHotKey,
                         testing::Values(PortalCase{"Allowed", true, 0, 0, true},
                                         PortalCase{"AllowedByAnOlderPortal", false, 0, 0, true},
                                         PortalCase{"CancelledByTheUser", true, 0, 1, false},
                                         PortalCase{"NoSession", false, 2, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortalHotKeyAbsent, WithoutAPortalTheHotKeyIsRefusedAtOnce) {
    ASSERT_TRUE(onBus);
    platform::setHotKeySource(nullptr);
    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(106, 2));
    EXPECT_TRUE(platform::PortalHotKeySource::triggerFor(0x0d, 2).isEmpty()) << "a key without a name there";
    platform::setHotKeySource(nullptr);
}

// Under a StatusNotifierItem host there is no double click: the item's activation opens the
// window, as a double click does elsewhere.
class StandInWatcher : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    StandInWatcher(QObject* object, CallLog& log)
        : QDBusAbstractAdaptor(object)
        , log(log) {}
    bool hostRegistered() const { return true; }
public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& call) {
        log.add(service.startsWith(u'/') ? call.service() : service);
    }

private:
    CallLog& log;
};

TEST(StatusNotifierTray, TheItemsActivationIsADoubleClick) {
    ASSERT_TRUE(onBus);
    CallLog items;
    auto* object = new QObject;
    new StandInWatcher(object, items);
    BusStandIn watcher(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s, object);
    ASSERT_TRUE(watcher.registered);
    auto icon = platform::makeNotifyIcon();
    QList<platform::NotifyIcon::Press> presses;
    QObject::connect(icon.get(), &platform::NotifyIcon::pressed,
                     [&](platform::NotifyIcon::Press press) { presses.append(press); });
    icon->add(solidPicture(Qt::red), u"ZOR Brakkon"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !items.all().isEmpty(); })) << "the icon registered no item";
    watcher.bus.asyncCall(QDBusMessage::createMethodCall(items.all().first(), u"/StatusNotifierItem"_s,
                                                         u"org.kde.StatusNotifierItem"_s, u"Activate"_s)
                          << 10 << 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !presses.isEmpty(); }));
    EXPECT_EQ(presses, QList{platform::NotifyIcon::Press::LeftDouble});
}

} // namespace

#include "test_desktop_bus.moc"
