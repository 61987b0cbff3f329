#include "platform/cdp/DevToolsBrowser.h"
#include "platform/cdp/Endpoint.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::cdp::BrowserSource;
using platform::cdp::DevToolsBrowser;
using platform::cdp::Endpoint;

namespace {

struct PortFile {
    const char* name;
    QByteArray bytes;
    const char* url; // nullptr: refused
};

void PrintTo(const PortFile& c, std::ostream* out) {
    *out << c.name;
}

class ActivePortText : public testing::TestWithParam<PortFile> {};

TEST_P(ActivePortText, NamesOnlyALoopbackBrowserSocket) {
    const auto endpoint = Endpoint::fromActivePort(GetParam().bytes);
    if (!GetParam().url) {
        EXPECT_FALSE(endpoint.has_value()) << qPrintable(endpoint->webSocketUrl.toString());
        return;
    }
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpoint->webSocketUrl.toString(), QString::fromLatin1(GetParam().url));
    EXPECT_EQ(endpoint->webSocketUrl.host(), q("127.0.0.1"));
    EXPECT_EQ(endpoint->port, endpoint->webSocketUrl.port());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ActivePortText,
    testing::Values(
        PortFile{"as a browser writes it", "9222\n/devtools/browser/4b0c-9e1f",
                 "ws://127.0.0.1:9222/devtools/browser/4b0c-9e1f"},
        PortFile{"line ends of any kind", "9222\r\n/devtools/browser/ab\r\n",
                 "ws://127.0.0.1:9222/devtools/browser/ab"},
        PortFile{"a host before the port", "10.0.0.1:9222\n/devtools/browser/ab", nullptr},
        PortFile{"a name for a port", "example.com\n/devtools/browser/ab", nullptr},
        PortFile{"port 0", "0\n/devtools/browser/ab", nullptr},
        PortFile{"port above 65535", "65536\n/devtools/browser/ab", nullptr},
        PortFile{"a huge port that wraps to a small one", "4294976518\n/devtools/browser/ab", nullptr},
        PortFile{"a signed port", "+9222\n/devtools/browser/ab", nullptr},
        PortFile{"a hex port", "0x2406\n/devtools/browser/ab", nullptr},
        PortFile{"user info smuggled into the path", "9222\n/devtools/browser/x@evil.example:80", nullptr},
        PortFile{"a path that is a host", "9222\n//evil.example/devtools/browser/ab", nullptr},
        PortFile{"a path climbing out", "9222\n/devtools/browser/../../json", nullptr},
        PortFile{"a query", "9222\n/devtools/browser/ab?x=1", nullptr},
        PortFile{"a page, not the browser", "9222\n/devtools/page/ab", nullptr},
        PortFile{"no id", "9222\n/devtools/browser/", nullptr},
        PortFile{"a third line", "9222\n/devtools/browser/ab\nws://10.0.0.1:1/", nullptr},
        PortFile{"only the port, still being written", "9222\n", nullptr}, PortFile{"empty", "", nullptr},
        PortFile{"binary", QByteArray("\x00\xFF\n\x01", 4), nullptr},
        PortFile{"far larger than such a file", "9222\n/devtools/browser/" + QByteArray(4096, 'a'),
                 nullptr}));

QStringList g_warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg)
        g_warnings << text;
}

TEST(ActivePortFile, AnEndlessFileIsReadOnlyAsFarAsARealOneCouldBe) {
    QTemporaryDir profile;
    const QString path = profile.filePath(q("DevToolsActivePort"));
    ASSERT_TRUE(QFile::link(q("/dev/zero"), path));
    EXPECT_FALSE(Endpoint::fromActivePortFile(path).has_value());
}

// A listening socket stands for the browser: what matters is whether anything connects to it.
TEST(ActivePortFile, AFileNamingAnythingElseIsToldOnceAndNeverConnected) {
    QTcpServer browser;
    ASSERT_TRUE(browser.listen(QHostAddress::LocalHost));
    const QByteArray port = QByteArray::number(browser.serverPort());
    QTemporaryDir profile;
    BrowserSource source;
    source.kind = BrowserSource::Kind::ActivePortFile;
    source.file = profile.filePath(q("DevToolsActivePort"));
    writeBytes(source.file, port + "\n");

    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    DevToolsBrowser client(source, {});
    client.start();
    // A file of one line may be one the browser is still writing: no warning for that.
    EXPECT_FALSE(waitUntil([&] { return browser.hasPendingConnections(); }, 1500));
    EXPECT_TRUE(g_warnings.isEmpty()) << qPrintable(g_warnings.join(u'\n'));
    writeBytes(source.file, port + "\n/devtools/browser/x@127.0.0.2:" + port);
    // Long enough for two more attempts at one a second.
    EXPECT_FALSE(waitUntil([&] { return browser.hasPendingConnections(); }, 2500));
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_warnings.filter(q("does not name a loopback DevTools endpoint")).size(), 1)
        << qPrintable(g_warnings.join(u'\n'));

    // The same reader takes a sound file at the next attempt: the refusal was the file's doing.
    writeBytes(source.file, port + "\n/devtools/browser/ab-12");
    EXPECT_TRUE(waitUntil([&] { return browser.hasPendingConnections(); }, 5000));
    client.shutdown();
}

} // namespace
