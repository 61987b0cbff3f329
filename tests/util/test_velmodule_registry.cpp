#include "platform/Platform.h"
#include "platform/linux/AutostartEntry.h"
#include "support/IsolatedEnvironment.h"
#include "util/VELModule.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace VELModule;

namespace {

const QString RunKey = q("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString OtherKey = q("Software\\ZOR\\Test");

// Each test starts from an empty configuration folder.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        QDir(IsolatedEnvironment::configHome()).removeRecursively();
        QDir().mkpath(IsolatedEnvironment::configHome());
    }
    // The calls on the current user's hive, which is all the program uses.
    static std::int32_t set(const QString& key, const char* name, std::int32_t type, const QVariant& value) {
        return SetRegValue(platform::HKEY_CURRENT_USER, key, q(name), type, value);
    }
    static QString get(const QString& key, const char* name) {
        return GetRegValue(platform::HKEY_CURRENT_USER, key, q(name));
    }
    static std::int32_t remove(const QString& key, const char* name) {
        return DeleteRegValue(platform::HKEY_CURRENT_USER, key, q(name));
    }
};

bool validates(const QString& path, QString* output) {
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(q("desktop-file-validate"), {path});
    if (!validate.waitForFinished(30000))
        return false;
    *output = QString::fromUtf8(validate.readAll());
    return validate.exitStatus() == QProcess::NormalExit && validate.exitCode() == 0;
}

class RunValue : public Registry, public testing::WithParamInterface<const char*> {};

TEST_P(RunValue, RoundTripsThroughAValidAutostartEntry) {
    const QString program = q(GetParam());
    ASSERT_EQ(set(RunKey, "ZORBrakkon", 1, program), 0);
    const QString entry = platform::AutostartEntry::pathFor(q("ZORBrakkon"));
    ASSERT_EQ(entry, IsolatedEnvironment::configHome() + q("/autostart/ZORBrakkon.desktop"));
    QString output;
    EXPECT_TRUE(validates(entry, &output)) << qPrintable(output);
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), program);
    // What a desktop would run: the Exec line split by the shell rules gives the path alone.
    const auto command = platform::AutostartEntry::read(q("ZORBrakkon"));
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, program);
}

INSTANTIATE_TEST_SUITE_P(Paths, RunValue,
                         testing::Values("/opt/zor/ZORBrakkon", "/home/me/My Programs/ZOR Brakkon/ZORBrakkon",
                                         "/tmp/we\"ird/$HOME/`x`/back\\slash/ZORBrakkon",
                                         "/tmp/100%/ZORBrakkon", "/tmp/tab\there;semi&amp/ZORBrakkon",
                                         "/tmp/ünïcödé/ZORBrakkon"));

TEST_F(Registry, TheRunKeyIsMatchedWithoutRegardToCaseAndDeletingItsValueRemovesTheEntry) {
    ASSERT_EQ(
        set(q("software\\microsoft\\windows\\currentversion\\run\\"), "ZORBrakkon", 1, q("/x/ZORBrakkon")),
        0);
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), q("/x/ZORBrakkon"));
    EXPECT_EQ(remove(RunKey, "ZORBrakkon"), 0);
    EXPECT_FALSE(QFile::exists(platform::AutostartEntry::pathFor(q("ZORBrakkon"))));
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), QString());
    EXPECT_NE(remove(RunKey, "ZORBrakkon"), 0) << "nothing left to delete";
}

TEST_F(Registry, AFailedWriteReportsFailure) {
    // The autostart folder cannot be made: a file stands in its place.
    QFile blocker(IsolatedEnvironment::configHome() + q("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_NE(set(RunKey, "ZORBrakkon", 1, q("/x/ZORBrakkon")), 0);
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), QString());
}

// How each kind of value reads back as text; a refused one stores nothing.
struct ValueCase {
    std::int32_t type;
    QVariant value;
    const char* text;
};

class ValueKinds : public Registry, public testing::WithParamInterface<ValueCase> {};

TEST_P(ValueKinds, ReadBackAsText) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(set(OtherKey, "n", c.type, c.value) == 0, *c.text != 0);
    EXPECT_EQ(get(OtherKey, "n"), q(c.text));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ValueKinds, testing::Values(
    ValueCase{4, 5, "005"}, ValueCase{4, 250, "250"}, ValueCase{4, 123456, "123456"}, ValueCase{4, -1, "4294967295"},
    ValueCase{3, QByteArray("\x0A\x1B\xFF", 3), "0A1BFF"},
    ValueCase{4, qint64(1) << 40, ""}, ValueCase{4, q("not a number"), ""}, ValueCase{7, q("multi"), ""}));
// clang-format on

// Blanks are trimmed before the text is cut at its terminator, so trailing blanks of the
// value itself stay.
TEST_F(Registry, TextLosesLeadingBlanksAndIsKeptApartByKey) {
    ASSERT_EQ(set(OtherKey, "t", 1, q("  padded text  ")), 0);
    ASSERT_EQ(set(OtherKey + q("\\Sub"), "t", 1, q("other")), 0);
    EXPECT_EQ(get(OtherKey, "t"), q("padded text  "));
    EXPECT_EQ(get(RunKey, "Nothing"), QString());
    EXPECT_EQ(get(OtherKey + q("\\Sub"), "t"), q("other"));
    EXPECT_EQ(remove(OtherKey, "t"), 0);
    EXPECT_EQ(get(OtherKey, "t"), QString());
    EXPECT_EQ(get(OtherKey + q("\\Sub"), "t"), q("other"));
}

} // namespace
