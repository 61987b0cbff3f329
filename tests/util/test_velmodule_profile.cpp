#include "support/TestFiles.h"
#include "util/VELModule.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace VELModule;

namespace {

class ProfileRead : public testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        const QString path = dir.filePath(q("lang.ini"));
        writeBytes(path, bytes);
        return path;
    }
    QString read(const QString& path, const char* section, const char* key,
                 const char* fallback = "<default>") {
        return ReadIniString(path, q(section), q(key), q(fallback));
    }
    QTemporaryDir dir;
};

struct ProfileCase {
    const char* name;
    const char* section;
    const char* key;
    const char* expected;
};

const QByteArray Sample = "; a comment line\r\n"
                          "[Other]\r\n"
                          "mnuExit=Not this one\r\n"
                          "[ Strings ]\r\n"
                          "mnuExit = Quit  \r\n"
                          "Quoted=\"  spaced  \"\r\n"
                          "Single='single'\r\n"
                          "Unmatched=\"half\r\n"
                          "Equals=a=b=c\r\n"
                          "mnuexit=second copy\r\n"
                          ";Commented=hidden\r\n"
                          "no equals sign here\r\n"
                          "Empty=\r\n"
                          "optMode(2)=Mode two\n"
                          "tab_caption=\" Status\"\r"
                          "[strings]\r\n"
                          "Late=from a second section of the same name\r\n";

class ProfileRules : public ProfileRead, public testing::WithParamInterface<ProfileCase> {};

TEST_P(ProfileRules, FollowThePrivateProfileRules) {
    const QString path = write(Sample);
    const ProfileCase& c = GetParam();
    EXPECT_EQ(read(path, c.section, c.key), q(c.expected)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileRules,
    testing::Values(
        ProfileCase{"case-insensitive section and key, value trimmed", "STRINGS", "MNUEXIT", "Quit"},
        ProfileCase{"matching quotes removed, inner blanks kept", "strings", "Quoted", "  spaced  "},
        ProfileCase{"single quotes removed too", "strings", "Single", "single"},
        ProfileCase{"unmatched quote kept", "strings", "Unmatched", "\"half"},
        ProfileCase{"value after the first '='", "strings", "Equals", "a=b=c"},
        ProfileCase{"comment lines are not keys", "strings", ";Commented", "<default>"},
        ProfileCase{"a line without '=' is ignored", "strings", "no equals sign here", "<default>"},
        ProfileCase{"empty value is a value", "strings", "Empty", ""},
        ProfileCase{"keys with an array index", "strings", "optMode(2)", "Mode two"},
        ProfileCase{"LF and CR line ends", "strings", "tab_caption", " Status"},
        ProfileCase{"only the first section of a name counts", "strings", "Late", "<default>"},
        ProfileCase{"missing key", "strings", "nothing", "<default>"},
        ProfileCase{"missing section", "nowhere", "mnuExit", "<default>"},
        ProfileCase{"other section", "other", "mnuExit", "Not this one"}));

TEST_F(ProfileRead, MissingFileGivesTheDefaultUnchanged) {
    EXPECT_EQ(read(dir.filePath(q("missing.ini")), "strings", "x", "  as given  "), q("  as given  "));
    EXPECT_EQ(read(QString(), "strings", "x", "d"), q("d"));
    EXPECT_EQ(read(dir.path(), "strings", "x", "d"), q("d"));
}

} // namespace
