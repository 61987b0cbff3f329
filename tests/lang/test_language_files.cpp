#include "lang/LanguageTexts.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A language file written by hand or damaged, and what the exit button and the first message
// then show: the file's text where it can be read, the built-in one where it cannot.
struct LanguageFile {
    const char* name;
    QByteArray bytes;
    QString caption;
    QString message;
};

void PrintTo(const LanguageFile& c, std::ostream* out) {
    *out << c.name;
}

class DamagedLanguageFile : public testing::TestWithParam<LanguageFile> {};

TEST_P(DamagedLanguageFile, ShowsWhatCanBeReadAndTheBuiltInTextElsewhere) {
    QTemporaryDir dir;
    const QString path = dir.filePath(q("broken.ini"));
    writeBytes(path, GetParam().bytes);
    QWidget window;
    auto* exit = new QPushButton(q("Exit"), &window);
    exit->setObjectName(q("cmdExit"));
    LanguageTexts::ApplyCaptions(&window, path);
    EXPECT_EQ(exit->text(), GetParam().caption);
    EXPECT_EQ(LanguageTexts::Messages(path)[0], GetParam().message);
}

const QString BuiltIn = LanguageTexts::DefaultMessages()[0];

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedLanguageFile,
    testing::Values(LanguageFile{"keys before the section do not count",
                                 "cmdExit=Early\n[strings]\nmsg00=Gone\n", q("Exit"), q("Gone")},
                    LanguageFile{"a 10,000-character caption is cut",
                                 "[strings]\ncmdExit=" + QByteArray(10000, 'x') + "\n", QString(2047, u'x'),
                                 BuiltIn},
                    LanguageFile{"NUL bytes on another line",
                                 QByteArray("[strings]\nmsg03=\0\0\0\ncmdExit=Quit\n", 33), q("Quit"),
                                 BuiltIn},
                    LanguageFile{"a section header never closed still names it", "[strings\ncmdExit=Quit\n",
                                 q("Quit"), BuiltIn}));

} // namespace
