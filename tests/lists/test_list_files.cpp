#include "lists/DomainLists.h"
#include "lists/ListFile.h"
#include "support/IsolatedEnvironment.h"
#include "support/TestFiles.h"
#include "support/Unprivileged.h"
#include "util/VELModule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ListFiles : public testing::Test {
protected:
    QTemporaryDir dir;
    QString denied() const { return dir.filePath(q("deny_domains.txt")); }
    QString accepted() const { return dir.filePath(q("accept_domains.txt")); }
};

struct ParseCase {
    const char* name;
    QByteArray bytes;
    QStringList entries;
};

class ListFileReading : public testing::TestWithParam<ParseCase> {};

TEST_P(ListFileReading, KeepsOnlyLinesWithADotSplitAtCrOrCrLf) {
    EXPECT_EQ(ListFile::parse(GetParam().bytes, DomainListModel::Capacity), GetParam().entries)
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ListFileReading,
    testing::Values(ParseCase{"empty line, no dot, domain", "\r\nlocalhost\r\nw.x.y\r\n", {q("w.x.y")}},
                    ParseCase{"CR-only line ends", "a.b\rc.d\re.f", {q("a.b"), q("c.d"), q("e.f")}},
                    ParseCase{"lone LF stays in the text", "a.b\nc.d\r\n", {q("a.b\nc.d")}},
                    ParseCase{"last line without a line end", "a.b\r\nc.d", {q("a.b"), q("c.d")}},
                    ParseCase{"CR CR LF is two line ends", "a.b\r\r\nc.d\r\n", {q("a.b"), q("c.d")}},
                    ParseCase{"taken as it is",
                              "  W.X.Y  \r\nw.x.y\r\nw.x.y\r\n",
                              {q("  W.X.Y  "), q("w.x.y"), q("w.x.y")}},
                    ParseCase{"empty file", "", {}}, ParseCase{"only line ends", "\r\n\r\n\r", {}}));

TEST_F(ListFiles, MissingOrEmptyFilesGiveEmptyListsAndEmptyListsSaveAsEmptyFiles) {
    DomainLists lists(dir.path());
    lists.List2().AddItem(q("left.over"));
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 0) << "no file";
    lists.SaveList();
    EXPECT_EQ(QFileInfo(denied()).size(), 0);
    EXPECT_EQ(QFileInfo(accepted()).size(), 0);
    EXPECT_TRUE(QFileInfo::exists(denied()));
    lists.List2().AddItem(q("stale.q"));
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 0);
    EXPECT_EQ(lists.List3().ListCount(), 0);
}

TEST_F(ListFiles, SavesFollowTheFormatAndKeepOrderDuplicatesAndForeignBytesOfALoad) {
    // Latin-1 bytes from an older file are not UTF-8; they must come back unchanged.
    const QByteArray original("z.q\r\ncaf\xE9.fr\r\na.q\r\nz.q\r\n\xF0\x9F\x98\x80.emoji\r\n\xFF\xFE.x\r\n");
    writeBytes(denied(), original);
    DomainLists lists(dir.path());
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 6);
    EXPECT_EQ(lists.List2().List(0), q("z.q"));
    lists.List3().setEntries({q("Ünï.q")});
    lists.SaveList();
    EXPECT_EQ(readBytes(denied()), original);
    EXPECT_EQ(readBytes(accepted()), QByteArray("\xC3\x9Cn\xC3\xAF.q\r\n"));
}

TEST_F(ListFiles, EntriesDifferingOnlyInAForeignByteStayApartWhatEverTheirCase) {
    writeBytes(denied(), QByteArray("Caf\xE9.FR\r\nCaf\xE8.FR\r\n"));
    DomainLists lists(dir.path());
    lists.LoadList();
    ASSERT_EQ(lists.List2().ListCount(), 2);
    const QString second = lists.List2().List(1);
    lists.RemoveFromList(lists.List2().List(0), DomainLists::Denied);
    EXPECT_EQ(lists.List2().entries(), QStringList{second});
    EXPECT_TRUE(lists.IsInList(second.mid(1), DomainLists::Denied));
}

TEST_F(ListFiles, AFolderNamedLikeTheListIsNotLoaded) {
    QDir(dir.path()).mkdir(q("deny_domains.txt"));
    DomainLists lists(dir.path());
    EXPECT_NO_THROW(lists.LoadList());
    EXPECT_EQ(lists.List2().ListCount(), 0);
}

// Modes before and after a save; -1: no old file, so the list is made as any new file is.
class ListFileModes : public ListFiles, public testing::WithParamInterface<std::pair<int, int>> {
protected:
    static int modeOf(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    }
};

TEST_P(ListFileModes, ASaveKeepsWhoMayReadTheOldFileAndLetsItsOwnerWrite) {
    const auto [before, after] = GetParam();
    writeBytes(accepted(), "");
    if (before >= 0) {
        writeBytes(denied(), "old.q\r\n");
        ASSERT_EQ(::chmod(QFile::encodeName(denied()).constData(), mode_t(before)), 0);
    }
    ASSERT_TRUE(ListFile::write(denied(), {q("new.q")}, false));
    EXPECT_EQ(modeOf(denied()), after >= 0 ? after : modeOf(accepted()));
}

INSTANTIATE_TEST_SUITE_P(Table, ListFileModes,
                         testing::Values(std::pair(0600, 0600), std::pair(0444, 0644), std::pair(0640, 0640),
                                         std::pair(-1, -1)));

TEST_F(ListFiles, AnUnreadableFileIsLeftAloneUntilTheListIsChangedThenKeptAsBackup) {
    if (!Unprivileged::runHere())
        return;
    const QString path = denied();
    writeBytes(path, "secret.q\r\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    DomainLists lists(dir.path());
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 0);
    QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    lists.SaveList();
    EXPECT_EQ(readBytes(path), QByteArray("secret.q\r\n"));
    lists.List2().AddItem(q("new.q"));
    lists.SaveList();
    EXPECT_EQ(readBytes(path + q(".bak")), QByteArray("secret.q\r\n"));
    EXPECT_EQ(readBytes(path), QByteArray("new.q\r\n"));
}

TEST_F(ListFiles, AReadOnlyFolderKeepsTheOldFiles) {
    if (!Unprivileged::runHere())
        return;
    writeBytes(denied(), "old.q\r\n");
    DomainLists lists(dir.path());
    lists.LoadList();
    lists.List2().Clear();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_NO_THROW(lists.SaveList());
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readBytes(denied()), QByteArray("old.q\r\n"));
}

TEST(ListFilesUnprivileged, ListsLiveInTheDataFolderWhenTheProgramFolderIsNotWritable) {
    if (!Unprivileged::runHere())
        return;
    ASSERT_FALSE(QFileInfo(VELModule::AppPath()).isWritable())
        << "the test binary is meant to run from a read-only place";
    EXPECT_EQ(DomainLists::DefaultFolder(), IsolatedEnvironment::dataHome() + q("/ZOR Brakkon/"));
    EXPECT_TRUE(QFileInfo(DomainLists::DefaultFolder()).isDir());
}

TEST(ListFolder, IsTheProgramFolderWhenItIsWritable) {
    if (!QFileInfo(VELModule::AppPath()).isWritable())
        GTEST_SKIP() << "the build folder is not writable here";
    EXPECT_EQ(DomainLists::DefaultFolder(), VELModule::AppPath());
}

} // namespace
