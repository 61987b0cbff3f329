#include "lists/DomainLists.h"
#include "lists/ListFile.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray numberedLines(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "d" + QByteArray::number(i) + ".q\r\n";
    return bytes;
}

// A file written by hand or damaged, what loading it must give, and whether that was all of it.
struct DamagedFile {
    const char* name;
    std::function<QByteArray()> bytes;
    qsizetype entries;
    QString first;
    bool partial;
};

void PrintTo(const DamagedFile& c, std::ostream* out) {
    *out << c.name;
}

class DamagedListFile : public testing::TestWithParam<DamagedFile> {
protected:
    void SetUp() override {
        original = GetParam().bytes();
        writeBytes(path(), original);
    }
    QString path() const { return dir.filePath(q("deny_domains.txt")); }
    QString backup() const { return path() + q(".bak"); }

    QTemporaryDir dir;
    QByteArray original;
};

TEST_P(DamagedListFile, LoadsWhatItCanAndNeverLosesTheRest) {
    const DamagedFile& c = GetParam();
    DomainLists lists(dir.path());
    lists.LoadList();
    ASSERT_EQ(lists.List2().ListCount(), c.entries);
    if (c.entries > 0) {
        EXPECT_EQ(lists.List2().List(0), c.first);
    }
    const QStringList loaded = lists.List2().entries();

    // Saved unchanged: a partly loaded file is not touched; a whole one keeps every entry.
    lists.SaveList();
    if (c.partial) {
        EXPECT_EQ(readBytes(path()), original) << "rewritten with less than it had";
    }
    EXPECT_FALSE(QFileInfo::exists(backup())) << "nothing was replaced, so nothing to back up";
    DomainLists again(dir.path());
    again.LoadList();
    EXPECT_EQ(again.List2().entries(), loaded);

    // Changed: the change is saved and the file as it was before is kept beside it.
    if (lists.List2().ListCount() > 0)
        lists.List2().RemoveItem(0);
    else
        lists.List2().AddItem(q("added.q"));
    const QStringList changed = lists.List2().entries();
    lists.SaveList();
    again.LoadList();
    EXPECT_EQ(again.List2().entries(), changed);
    if (c.partial) {
        EXPECT_EQ(readBytes(backup()), original);
    }

    // A later save in the same run must not put the shortened file over that backup.
    lists.List2().AddItem(q("later.q"));
    lists.SaveList();
    if (c.partial) {
        EXPECT_EQ(readBytes(backup()), original);
    }
    EXPECT_FALSE(QFileInfo::exists(backup() + q(".new")));
}

QByteArray withNul() {
    return QByteArray("a\0b.q\r\n\0\0\0\r\nc.q\r\n", 17);
}

QByteArray oneHugeLine() {
    QByteArray line(100 * 1024 * 1024, 'a');
    line[10] = '.';
    return line;
}

QByteArray hugeLineBetweenEntries() {
    return "first.q\r\n" + QByteArray(3 * 1024 * 1024, 'x') + ".q\r\nlast.q\r\n";
}

QByteArray justTooLong() {
    return QByteArray(ListFile::MaxEntryBytes - 2, 'a') + ".q\r\n" +
           QByteArray(ListFile::MaxEntryBytes - 1, 'b') + ".q\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedListFile,
    testing::Values(
        DamagedFile{"NUL bytes inside and as lines", withNul, 2, QString::fromUtf16(u"a\u0000b.q", 5), false},
        DamagedFile{"invalid UTF-8: overlong, surrogate, stray continuation",
                    [] { return QByteArray("\xC0\xAF.q\r\n\xED\xA0\x80.q\r\n\x80\xBF.q\r\n"); }, 3,
                    QString(QChar(0xDCC0)) + QChar(0xDCAF) + q(".q"), false},
        DamagedFile{"100 MB in one line", oneHugeLine, 0, QString(), true},
        DamagedFile{"a huge line between entries", hugeLineBetweenEntries, 2, q("first.q"), true},
        DamagedFile{"longest entry kept, one byte more skipped", justTooLong, 1,
                    QString(ListFile::MaxEntryBytes - 2, u'a') + q(".q"), true},
        DamagedFile{"1,000,000 lines", [] { return numberedLines(1000000); }, DomainListModel::Capacity,
                    q("d0.q"), true},
        DamagedFile{"exactly a full list", [] { return numberedLines(DomainListModel::Capacity); },
                    DomainListModel::Capacity, q("d0.q"), false}));

TEST(ListFileParsing, ReadingAndParsingAgreeOnEveryCut) {
    // The reader takes the file a megabyte at a time. The border falls before, inside and after
    // an entry, inside an over-long line, and between the CR and LF of one line end.
    for (qsizetype pad :
         {qsizetype(0), qsizetype(1), qsizetype(5), ListFile::MaxEntryBytes, ListFile::MaxEntryBytes + 9}) {
        QByteArray bytes(1024 * 1024 - pad, '\r');
        bytes += "in.q\r" + QByteArray(ListFile::MaxEntryBytes + 1, 'z') + ".q\r\nout.q";
        QTemporaryDir dir;
        writeBytes(dir.filePath(q("l")), bytes);
        bool incomplete = false;
        const QStringList parsed = ListFile::parse(bytes, DomainListModel::Capacity, &incomplete);
        const ListFile::Content read = ListFile::read(dir.filePath(q("l")), DomainListModel::Capacity);
        EXPECT_EQ(parsed, (QStringList{q("in.q"), q("out.q")})) << pad;
        EXPECT_EQ(read.entries, parsed) << pad;
        EXPECT_TRUE(incomplete);
        EXPECT_FALSE(read.complete);
    }
}

class FullDisk : public testing::Test {
protected:
    QString path() const { return dir.filePath(q("deny_domains.txt")); }
    QStringList leftovers() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files);
        names.removeAll(q("deny_domains.txt"));
        return names;
    }
    QTemporaryDir dir;
};

// A small save sits in the writer's buffer until the end, where a failure used to go unnoticed
// and the cut-off file replaced the old one; a big one fails on the way.
TEST_F(FullDisk, ASaveThatDoesNotFitKeepsTheOldFileWhole) {
    for (const auto& [count, limit] : {std::pair(20000, rlim_t(64 * 1024)), std::pair(50, rlim_t(100))}) {
        writeBytes(path(), "old.q\r\nolder.q\r\n");
        DomainLists lists(dir.path());
        lists.LoadList();
        for (int i = 0; i < count; ++i)
            lists.List2().AddItem(q("new%1.q").arg(i));
        {
            FileSizeLimit full(limit);
            EXPECT_NO_THROW(lists.SaveList());
        }
        EXPECT_EQ(readBytes(path()), QByteArray("old.q\r\nolder.q\r\n")) << count;
        EXPECT_EQ(leftovers(), QStringList{q("accept_domains.txt")}) << "no half-written files";
    }
}

TEST_F(FullDisk, ABackupThatDoesNotFitStopsTheSaveAndKeepsTheEarlierBackup) {
    const QByteArray big = numberedLines(40000);
    writeBytes(path(), big);
    writeBytes(path() + q(".bak"), "earlier backup\r\n");
    DomainLists lists(dir.path());
    lists.LoadList();
    lists.List2().RemoveItem(0);
    {
        FileSizeLimit full(static_cast<rlim_t>(big.size() / 2));
        lists.SaveList();
    }
    EXPECT_EQ(readBytes(path()), big);
    EXPECT_EQ(readBytes(path() + q(".bak")), QByteArray("earlier backup\r\n"));
    EXPECT_FALSE(QFileInfo::exists(path() + q(".bak.new")));
    // With room again, the change goes through and the file as it was is the backup.
    lists.SaveList();
    EXPECT_EQ(readBytes(path() + q(".bak")), big);
    EXPECT_EQ(readBytes(path()), numberedLines(DomainListModel::Capacity).mid(6));
}

} // namespace
