// The extension's messages and their frames, and the relay Firefox starts, between a scripted
// extension (its stdin and stdout) and the program's real Firefox backend.
#include "platform/KeyState.h"
#include "platform/firefox/FirefoxShellWindows.h"
#include "platform/firefox/wire/NativeFrame.h"
#include "support/WaitUntil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace platform::firefox;

namespace {

TEST(NativeFrames, ALengthOverTheLimitStopsTheStreamForGood) {
    FrameReader reader(8);
    reader.append(frame("12345678") + frame("123456789") + frame("1"));
    EXPECT_EQ(reader.next(), QByteArray("12345678"));
    EXPECT_FALSE(reader.next().has_value());
    EXPECT_TRUE(reader.overrun());
    EXPECT_EQ(reader.announcedLength(), 9u);
    reader.append(frame("1"));
    EXPECT_FALSE(reader.next().has_value());
}

struct MessageCase {
    const char* name;
    const char* json;
    const char* refusal; // a part of the reason given
};

// From the extension. Every kind of whole message is accepted in the relay tests below, and what
// is sent reads back the same in fuzz_replay_firefox.
const MessageCase Messages[] = {
    {"not json", R"({"type":"hello",)", "not JSON"},
    {"array", R"([1,2])", "not a JSON object"},
    {"unknown type", R"({"type":"exec","code":"x"})", "unknown type"},
    {"verdict from the browser", R"({"type":"verdict","id":7,"cancel":true})", "unknown type"},
    {"missing field", R"({"type":"tab","tab":4,"window":1,"url":"x"})", "\"title\""},
    {"text for a number", R"({"type":"tabGone","tab":"4"})", "\"tab\""},
    {"fraction", R"({"type":"tabGone","tab":4.5})", "\"tab\""},
    {"beyond 32 bits", R"({"type":"tabGone","tab":4294967296})", "\"tab\""},
    {"number for a flag",
     R"({"type":"popup","id":1,"opener":4,"popupTab":7,"url":"","gesture":1,"ctrl":false,"shift":false})",
     "\"gesture\""},
    {"time before the epoch",
     R"({"type":"popup","id":1,"opener":4,"popupTab":7,"url":"","gesture":true,"ctrl":false,"shift":false,)"
     R"("askedAt":-5})",
     "\"askedAt\""},
};

class Relay : public testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<FirefoxShellWindows>(relaySocketFolder());
        relay.setProgram(QDir(qEnvironmentVariable("ZOR_RUNTIME_DIR")).filePath("zor-brakkon-firefox-relay"));
        relay.setArguments({"/manifest.json", "companion@zor-brakkon"});
        relay.start();
        ASSERT_TRUE(relay.waitForStarted());
    }
    void TearDown() override {
        relay.closeWriteChannel();
        relay.waitForFinished(5000);
    }

    void send(const QByteArray& json) { relay.write(frame(json)); }
    // The next message the relay hands to "Firefox", or an empty object.
    QJsonObject received() {
        std::optional<QByteArray> payload;
        waitUntil([&] {
            reader.append(relay.readAllStandardOutput());
            payload = reader.next();
            return payload.has_value();
        });
        return payload ? QJsonDocument::fromJson(*payload).object() : QJsonObject();
    }
    bool ends() { return relay.state() == QProcess::NotRunning || relay.waitForFinished(5000); }
    QString log() { return stderrText += QString::fromUtf8(relay.readAllStandardError()); }

    std::unique_ptr<FirefoxShellWindows> program;
    QProcess relay;
    FrameReader reader;
    QString stderrText;
};

TEST_F(Relay, CarriesTabsAndPopupsBothWays) {
    send(R"({"type":"hello","version":"1.0.0"})");
    EXPECT_EQ(received().value("type").toString(), "welcome");
    send(R"({"type":"tab","tab":4,"window":1,"url":"http://site-a.test:80/p","title":"A"})");
    send(R"({"type":"tab","tab":5,"window":1,"url":"about:blank","title":""})");
    send(R"({"type":"tab","tab":6,"window":2,"url":"https://b.test/","title":"B"})");
    ASSERT_TRUE(waitUntil([&] { return program->items().size() == 3; }));
    const QList<platform::WebBrowser*> tabs = program->items();
    // Tabs of one Firefox window share its handle.
    EXPECT_EQ(tabs[0]->HWND(), 1);
    EXPECT_EQ(tabs[1]->HWND(), 1);
    EXPECT_EQ(tabs[2]->HWND(), 2);
    EXPECT_EQ(tabs[0]->Document()->domain(), "site-a.test");
    EXPECT_EQ(tabs[1]->Document()->domain(), "");

    int asked = 0;
    QList<bool> ctrlHeld; // as the key poll reads it during each decision
    QObject::connect(tabs[0], &platform::WebBrowser::NewWindow2, [&](QObject*&, bool& cancel) {
        ++asked;
        ctrlHeld.append(platform::keyState().GetKeyState(17) & 0x8000);
        cancel = !tabs[0]->Document()->parentWindowEventIsObject();
    });
    const QByteArray longAgo = QByteArray::number(QDateTime::currentMSecsSinceEpoch() - 4000);
    const struct {
        QByteArray popup;
        bool cancel;
    } popups[] = {
        {R"({"type":"popup","id":1,"opener":4,"popupTab":7,"url":"","gesture":false,"ctrl":false,"shift":false})",
         true},
        {R"({"type":"popup","id":2,"opener":4,"popupTab":8,"url":"","gesture":true,"ctrl":true,"shift":false})",
         false},
        // An opener the extension never reported is let through unasked.
        {R"({"type":"popup","id":3,"opener":99,"popupTab":9,"url":"","gesture":false,"ctrl":false,"shift":false})",
         false},
        // Asked so long ago that Firefox has let it load: not decided, not counted.
        {R"({"type":"popup","id":4,"opener":4,"popupTab":10,"url":"","gesture":false,"ctrl":false,"shift":false,)"
         R"("askedAt":)" +
             longAgo + "}",
         false},
    };
    for (const auto& popup : popups) {
        send(popup.popup);
        const QJsonObject verdict = received();
        EXPECT_EQ(verdict.value("type").toString(), "verdict");
        EXPECT_EQ(verdict.value("cancel").toBool(), popup.cancel) << popup.popup.constData();
    }
    EXPECT_EQ(asked, 2);
    // Offscreen nothing reads the keyboard: Ctrl is held exactly when Firefox said so.
    EXPECT_EQ(ctrlHeld, (QList<bool>{false, true}));
    EXPECT_EQ(platform::keyState().GetKeyState(17), 0);

    send(R"({"type":"tabGone","tab":5})");
    EXPECT_TRUE(waitUntil([&] { return program->items().size() == 2; }));
    // Firefox closing the port ends the relay, and its tabs leave the program.
    relay.closeWriteChannel();
    EXPECT_TRUE(ends());
    EXPECT_TRUE(waitUntil([&] { return program->items().isEmpty() && program->connectionCount() == 0; }));
}

TEST_F(Relay, ListensOnlyForItsOwnUser) {
    EXPECT_EQ(QFileInfo(relaySocketFolder()).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ExeOwner | QFile::ReadUser |
                                                                QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(QFileInfo(relaySocketPath()).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

// Bad messages are dropped one by one, each for its reason; the relay ends when the program goes.
TEST_F(Relay, DropsEachBadMessageForItsReasonAndGoesOnUntilTheProgramGoes) {
    for (const MessageCase& c : Messages)
        send(c.json);
    send(R"({"type":"hello","version":"1.0.0"})");
    EXPECT_EQ(received().value("type").toString(), "welcome");
    const QStringList drops = log().split('\n').filter("dropped a message from the extension");
    ASSERT_EQ(drops.size(), std::size(Messages)) << qPrintable(log());
    for (std::size_t i = 0; i < std::size(Messages); ++i)
        EXPECT_TRUE(drops[i].contains(QLatin1String(Messages[i].refusal)))
            << Messages[i].name << ": " << qPrintable(drops[i]);
    program.reset();
    EXPECT_TRUE(ends());
}

TEST_F(Relay, EndsOnALengthOverTheLimit) {
    relay.write(frame(QByteArray(FrameReader::DefaultLimit + 1, ' ')).left(64));
    EXPECT_TRUE(ends());
    EXPECT_TRUE(log().contains("more than the limit")) << qPrintable(log());
}

} // namespace
