#include "platform/firefox/wire/ExtensionMessage.h"
#include "platform/firefox/wire/NativeFrame.h"

#include <gtest/gtest.h>

using platform::firefox::ExtensionMessage;
using platform::firefox::frame;
using platform::firefox::FrameReader;
using Direction = ExtensionMessage::Direction;

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
    Direction direction;
    const char* refusal; // a part of the reason given
};

void PrintTo(const MessageCase& c, std::ostream* out) {
    *out << c.name;
}

class ExtensionMessages : public testing::TestWithParam<MessageCase> {};

// Every kind of whole message is accepted in the relay test, and what is sent reads back the
// same in fuzz_replay_firefox: here what is refused, and why.
TEST_P(ExtensionMessages, AreRefusedWhenNotWholeOrGoingTheWrongWay) {
    const MessageCase& c = GetParam();
    QString why;
    EXPECT_FALSE(ExtensionMessage::parse(c.json, c.direction, &why).has_value());
    EXPECT_TRUE(why.contains(QLatin1String(c.refusal))) << qPrintable(why);
}

const MessageCase Messages[] = {
    {"not json", R"({"type":"hello",)", Direction::FromBrowser, "not JSON"},
    {"array", R"([1,2])", Direction::FromBrowser, "not a JSON object"},
    {"unknown type", R"({"type":"exec","code":"x"})", Direction::FromBrowser, "unknown type"},
    {"verdict from the browser", R"({"type":"verdict","id":7,"cancel":true})", Direction::FromBrowser,
     "unknown type"},
    {"popup to the browser", R"({"type":"hello","version":"1"})", Direction::ToBrowser, "unknown type"},
    {"missing field", R"({"type":"tab","tab":4,"window":1,"url":"x"})", Direction::FromBrowser, "\"title\""},
    {"text for a number", R"({"type":"tabGone","tab":"4"})", Direction::FromBrowser, "\"tab\""},
    {"fraction", R"({"type":"tabGone","tab":4.5})", Direction::FromBrowser, "\"tab\""},
    {"beyond 32 bits", R"({"type":"tabGone","tab":4294967296})", Direction::FromBrowser, "\"tab\""},
    {"number for a flag", R"({"type":"verdict","id":7,"cancel":1})", Direction::ToBrowser, "\"cancel\""},
};

INSTANTIATE_TEST_SUITE_P(Table, ExtensionMessages, testing::ValuesIn(Messages));

} // namespace
