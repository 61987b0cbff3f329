#include "platform/linux/AutostartEntry.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A folder name that a shell or a careless launcher would take apart, and whether GLib's
// launcher can load such an entry at all (it looks for the program before it turns "%%" back
// into "%", so it refuses those: a refusal, never another program run).
struct Folder {
    const char* name;
    bool glibLoads;
};

void PrintTo(const Folder& c, std::ostream* out) {
    *out << c.name;
}

class AutostartLaunch : public testing::TestWithParam<Folder> {};

// The program is a script that writes down how it was called.
TEST_P(AutostartLaunch, RunsExactlyTheProgramInThatFolderWithNoArguments) {
    const QString gio = QStandardPaths::findExecutable(q("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    QTemporaryDir root;
    const QString folder = root.filePath(QString::fromUtf8(GetParam().name));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + q("/ZORBrakkon");
    const QString record = root.filePath(q("called"));
    writeBytes(program, "#!/bin/sh\nprintf '%s\\n%s\\n' \"$0\" \"$#\" > '" + record.toUtf8() + "'\n");
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), program));

    QProcess launch;
    launch.setProcessChannelMode(QProcess::MergedChannels);
    launch.setWorkingDirectory(root.path()); // where a command slipped out of the name would leave "ran"
    launch.start(gio, {q("launch"), platform::AutostartEntry::pathFor(q("ZORBrakkon"))});
    ASSERT_TRUE(launch.waitForFinished(30000));
    const QString said = QString::fromUtf8(launch.readAll());
    if (!GetParam().glibLoads) {
        EXPECT_NE(launch.exitCode(), 0) << qPrintable(said);
        QThread::msleep(300);
        EXPECT_FALSE(QFile::exists(record)) << "something ran";
        return;
    }
    ASSERT_EQ(launch.exitCode(), 0) << qPrintable(said);
    const QByteArray expected = (program + q("\n0\n")).toUtf8();
    EXPECT_TRUE(waitUntil([&] { return readBytes(record) == expected; }, 5000))
        << readBytes(record).constData();
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2)
        << "nothing but the folder and the record was made";
}

TEST(AutostartEntry, AnEntryThatDoesNotFitOnTheDiskKeepsTheOldOne) {
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/old/ZORBrakkon")));
    {
        FileSizeLimit full(64);
        EXPECT_FALSE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/new/ZORBrakkon")));
    }
    EXPECT_EQ(platform::AutostartEntry::read(q("ZORBrakkon")), q("/old/ZORBrakkon"));
    EXPECT_EQ(QDir(platform::AutostartEntry::folder()).entryList(QDir::Files),
              QStringList{q("ZORBrakkon.desktop")});
}

INSTANTIATE_TEST_SUITE_P(Table, AutostartLaunch,
                         testing::Values(Folder{"My Programs/ZOR Brakkon", true},
                                         Folder{"say \"hi\" and 'bye'", true},
                                         Folder{"$HOME and ${HOME} and $(touch ran)", true},
                                         Folder{"`touch ran` and back\\slash", true},
                                         Folder{"a;b&c|d>e<f*?#~=()", true}, Folder{"ünïcödé ✓", true},
                                         Folder{"100% sure %f %u %%", false}));

} // namespace
