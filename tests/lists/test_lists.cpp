#include "lists/DomainLists.h"
#include "lists/ListFile.h"
#include "platform/Failure.h"
#include "policy/DomainFromUrl.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"
#include "support/Unprivileged.h"
#include "util/VELModule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A pair of lists kept in a folder of the test's own.
class Lists : public testing::Test {
protected:
    QString denied() const { return dir.filePath(q("deny_domains.txt")); }
    QString accepted() const { return dir.filePath(q("accept_domains.txt")); }
    QString backup() const { return denied() + q(".bak"); }

    QTemporaryDir dir;
    DomainLists lists{dir.path()};
};

// An address as a browser reports it or as the user drops it: the domain the opener is known by,
// and the entry adding it stores (none when there is nothing after the marker).
struct AddressCase {
    const char* text;
    const char* domain;
    const char* entry;
};

class AddressReduction : public Lists, public testing::WithParamInterface<AddressCase> {};

TEST_P(AddressReduction, GivesTheOpenersDomainAndTheEntryThatAddingStores) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(GetDomainFromURL(q(c.text)), q(c.domain)) << c.text;
    EXPECT_NO_THROW(lists.AddDomain(q(c.text), DomainLists::Denied));
    EXPECT_EQ(lists.List2().entries(), c.entry ? QStringList{q(c.entry)} : QStringList{}) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressReduction,
    testing::Values(AddressCase{"http://w.x.y/p/q.htm", "w.x.y", "w.x.y"},
                    AddressCase{"HTTP://W.X.Y/p", "W.X.Y", "W.X.Y"},
                    AddressCase{"http://w.x.y?a=1", "w.x.y?a=1", "w.x.y?a=1"},
                    AddressCase{"http:///p", "", ""},
                    AddressCase{"http://w.x.y/p --> Terminated!", "w.x.y", "w.x.y"},
                    // https is a scheme marker like http: an https opener must not reduce to "https:", an
                    // entry that would match every https page.
                    AddressCase{"HTTPS://W.X.Y:8443", "W.X.Y:8443", "W.X.Y:8443"},
                    // The earlier of the two web markers wins; ftp keeps its later place.
                    AddressCase{"https://a.q/?u=http://b.q/", "a.q", "a.q"},
                    AddressCase{"http://a.q/?u=https://b.q/", "a.q", "a.q"},
                    AddressCase{"ftp://f.q/?u=https://s.q/", "s.q", "s.q"},
                    AddressCase{"x:open('http://a.x.y/b')", "a.x.y", "a.x.y"},
                    AddressCase{"w.x.y/r?u=http://z.q/", "z.q", "z.q"},
                    // Without a web marker: the domain ends at the first slash, the entry is the text.
                    AddressCase{"ftp://f.x.y/pub/", "f.x.y", "ftp://f.x.y/pub"},
                    AddressCase{"file:///C:/a.htm", "file:", "file:///C:/a.htm"},
                    AddressCase{"w.x.y", "w.x.y", "w.x.y"}, AddressCase{"", "", ""},
                    // A dropped text of several lines keeps only its first line in the list.
                    AddressCase{"w.x.y\r\nsecond.line", "w.x.y\r\nsecond.line", "w.x.y"},
                    AddressCase{"http://a.b\n/x", "a.b\n", "a.b"}, AddressCase{"a.b/\nc", "a.b", "a.b"},
                    // A marker alone: no domain after it, no entry to add.
                    AddressCase{"http://", "http:", nullptr}, AddressCase{"see http://", "", nullptr},
                    AddressCase{"HTTPS://", "HTTPS:", nullptr}, AddressCase{"ftp://", "ftp:", "ftp:/"}));

// Only equal entries leave the other list, of any case, not those that contain the domain.
TEST_F(Lists, AddingAppendsInOrderSkipsDuplicatesAndTakesEveryCaseVariantOffTheOtherList) {
    lists.List2().setEntries({q("W.X.Y"), q("keep.me"), q("ads.w.x.y"), q("w.x.y"), q(" w.x.y")});
    lists.List3().AddItem(q("Keep.Me"));
    lists.AddDomain(q("w.X.y"), DomainLists::Accepted);
    EXPECT_EQ(lists.List2().entries(), (QStringList{q("keep.me"), q("ads.w.x.y"), q(" w.x.y")}));
    // Already denied: not added again, but still taken off the accepted list.
    lists.AddDomain(q("HTTP://KEEP.ME/index.html"), DomainLists::Denied);
    lists.AddDomain(q("c.q"), DomainLists::Denied);
    lists.AddDomain(q("a.q"), DomainLists::Denied);
    EXPECT_EQ(lists.List2().entries(),
              (QStringList{q("keep.me"), q("ads.w.x.y"), q(" w.x.y"), q("c.q"), q("a.q")}));
    EXPECT_EQ(lists.List3().entries(), QStringList{q("w.X.y")});
}

// Refused with nothing changed: the entry stays on the other list, and one too long for its
// file to give back is never taken.
TEST_F(Lists, AddingToAFullListOrTooLongAnEntryFailsToTheCallerAndChangesNothing) {
    lists.List2().setEntries(QStringList(DomainListModel::Capacity, q("d5.q")));
    lists.List3().setEntries({q("one.more"), q("x.q")});
    EXPECT_THROW(lists.AddDomain(q("one.more"), DomainLists::Denied), zor::Failure);
    EXPECT_THROW(lists.AddDomain(QString(ListFile::MaxEntryBytes, u'a') + q(".q"), DomainLists::Accepted),
                 zor::Failure);
    EXPECT_EQ(lists.List2().ListCount(), DomainListModel::Capacity);
    EXPECT_EQ(lists.List3().entries(), (QStringList{q("one.more"), q("x.q")}));
    // A duplicate needs no room and is not a failure.
    EXPECT_NO_THROW(lists.AddDomain(q("D5.Q"), DomainLists::Denied));
}

// Entries separated by blanks, a text looked for in them, and whether it is found.
struct LookupCase {
    const char* entries;
    const char* query;
    bool match;
};

class IsInList : public Lists, public testing::WithParamInterface<LookupCase> {};

// Found by any piece of an entry, without regard to case; a hit never spans two entries.
TEST_P(IsInList, MatchesWhenAnEntryContainsTheQueryIgnoringCase) {
    // Removing an entry moves the others up: the lookups must follow them.
    lists.List2().AddItem(q("removed.first"));
    for (const QString& entry : q(GetParam().entries).split(u' '))
        lists.List2().AddItem(entry);
    lists.List2().RemoveItem(0);
    EXPECT_EQ(lists.IsInList(q(GetParam().query), DomainLists::Denied), GetParam().match)
        << "entries '" << GetParam().entries << "' query '" << GetParam().query << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsInList,
    testing::Values(LookupCase{"w.x.y", "w.x.y", true}, LookupCase{"w.x.y", "W.X.Y", true},
                    LookupCase{"ads.w.x.y", "w.x.y", true}, LookupCase{"w.x.yz", "w.x.y", true},
                    LookupCase{"x.y", "w.x.y", false}, LookupCase{"a.b", "", true},
                    LookupCase{"", "a.b", false}, LookupCase{"", "", false},
                    LookupCase{"Ünï.çödé", "ÜNÏ", true}, LookupCase{"one.ab cd.two", "abcd", false},
                    LookupCase{"one.ab cd.two", "cd.t", true},
                    // A name typed as the address bar shows it, looked up as the browser reports it.
                    LookupCase{"ads.bücher.test", "xn--bcher-kva.test", true},
                    LookupCase{"xn--bcher-kva.test", "BÜCHER.test", true},
                    LookupCase{"bücher.test", "xn--bcher-kvb.test", false}));

TEST_F(Lists, IndexesOfNoListChangeNothingAndFindNothing) {
    lists.List2().AddItem(q("w.x.y"));
    lists.List3().AddItem(q("a.b.c"));
    for (int index : {-1, 0, 1, 4, 99}) {
        lists.AddDomain(q("w.x.y"), index);
        lists.RemoveFromList(q("w.x.y"), index);
        lists.RemoveFromList(q("a.b.c"), index);
        EXPECT_FALSE(lists.IsInList(q("w.x.y"), index));
    }
    EXPECT_EQ(lists.List2().entries(), QStringList{q("w.x.y")});
    EXPECT_EQ(lists.List3().entries(), QStringList{q("a.b.c")});
}

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

TEST_F(Lists, MissingFilesGiveEmptyListsAndASaveWritesWhatWasLoadedByteForByte) {
    lists.List2().AddItem(q("left.over"));
    lists.List3().AddItem(q("left.over"));
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount() + lists.List3().ListCount(), 0) << "no files";
    lists.SaveList();
    EXPECT_TRUE(QFileInfo::exists(denied()) && QFileInfo::exists(accepted()));
    EXPECT_EQ(QFileInfo(denied()).size() + QFileInfo(accepted()).size(), 0);

    // Saves follow the format and keep the order, the duplicates and the foreign bytes of a load:
    // Latin-1 bytes from an older file are not UTF-8; they must come back unchanged.
    const QByteArray original("z.q\r\ncaf\xE9.fr\r\na.q\r\nz.q\r\n\xF0\x9F\x98\x80.emoji\r\n\xFF\xFE.x\r\n");
    writeBytes(denied(), original);
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 6);
    EXPECT_EQ(lists.List2().List(0), q("z.q"));
    lists.List3().setEntries({q("Ünï.q")});
    lists.SaveList();
    EXPECT_EQ(readBytes(denied()), original);
    EXPECT_EQ(readBytes(accepted()), QByteArray("\xC3\x9Cn\xC3\xAF.q\r\n"));
}

// Modes before and after a save; -1: no old file, so the list is made as any new file is.
class ListFileModes : public Lists, public testing::WithParamInterface<std::pair<int, int>> {
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
                         testing::Values(std::pair(0444, 0644), std::pair(0640, 0640), std::pair(-1, -1)));

// An unreadable file is left alone until the list is changed, then kept as the backup; a
// read-only folder keeps the old files.
TEST_F(Lists, FilesTheUserMayNotReadOrReplaceAreKept) {
    if (!Unprivileged::runHere())
        return;
    writeBytes(denied(), "secret.q\r\n");
    QFile::setPermissions(denied(), QFileDevice::WriteOwner);
    lists.LoadList();
    EXPECT_EQ(lists.List2().ListCount(), 0);
    QFile::setPermissions(denied(), QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    lists.SaveList();
    EXPECT_EQ(readBytes(denied()), QByteArray("secret.q\r\n"));
    lists.List2().AddItem(q("new.q"));
    lists.SaveList();
    EXPECT_EQ(readBytes(backup()), QByteArray("secret.q\r\n"));
    EXPECT_EQ(readBytes(denied()), QByteArray("new.q\r\n"));

    lists.List2().Clear();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(lists.SaveList(), (QStringList{denied(), accepted()})) << "told, not thrown";
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readBytes(denied()), QByteArray("new.q\r\n"));
}

// Run as root, the program's folder is writable; run again as nobody from a read-only copy, it is not.
TEST(ListFolder, IsTheProgramFolderWhenItIsWritableAndTheDataFolderOtherwise) {
    if (QFileInfo(VELModule::AppPath()).isWritable()) {
        EXPECT_EQ(DomainLists::DefaultFolder(), VELModule::AppPath());
    }
    if (!Unprivileged::runHere())
        return;
    ASSERT_FALSE(QFileInfo(VELModule::AppPath()).isWritable())
        << "the test binary is meant to run from a read-only place";
    EXPECT_EQ(DomainLists::DefaultFolder(), qEnvironmentVariable("XDG_DATA_HOME") + q("/ZOR Brakkon/"));
    EXPECT_TRUE(QFileInfo(DomainLists::DefaultFolder()).isDir());
}

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

class DamagedListFile : public Lists, public testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedListFile, LoadsWhatItCanAndNeverLosesTheRest) {
    const DamagedFile& c = GetParam();
    const QByteArray original = c.bytes();
    writeBytes(denied(), original);
    lists.LoadList();
    ASSERT_EQ(lists.List2().ListCount(), c.entries);
    EXPECT_EQ(lists.List2().entries().value(0), c.first);
    const QStringList loaded = lists.List2().entries();

    // Saved unchanged: a partly loaded file is not touched; a whole one keeps every entry.
    lists.SaveList();
    if (c.partial) {
        EXPECT_EQ(readBytes(denied()), original) << "rewritten with less than it had";
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
    EXPECT_EQ(readBytes(backup()), c.partial ? original : QByteArray("<unreadable>"));

    // A later save in the same run must not put the shortened file over that backup.
    lists.List2().AddItem(q("later.q"));
    lists.SaveList();
    EXPECT_EQ(readBytes(backup()), c.partial ? original : QByteArray("<unreadable>"));
    EXPECT_FALSE(QFileInfo::exists(backup() + q(".new")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedListFile,
    testing::Values(
        DamagedFile{"NUL bytes inside and as lines",
                    [] { return QByteArray("a\0b.q\r\n\0\0\0\r\nc.q\r\n", 17); }, 2,
                    QString::fromUtf16(u"a\u0000b.q", 5), false},
        DamagedFile{"invalid UTF-8: overlong, surrogate, stray continuation",
                    [] { return QByteArray("\xC0\xAF.q\r\n\xED\xA0\x80.q\r\n\x80\xBF.q\r\n"); }, 3,
                    QString(QChar(0xDCC0)) + QChar(0xDCAF) + q(".q"), false},
        DamagedFile{"a huge line between entries",
                    [] { return "first.q\r\n" + QByteArray(3 * 1024 * 1024, 'x') + ".q\r\nlast.q\r\n"; }, 2,
                    q("first.q"), true},
        DamagedFile{"longest entry kept, one byte more skipped",
                    [] {
                        return QByteArray(ListFile::MaxEntryBytes - 2, 'a') + ".q\r\n" +
                               QByteArray(ListFile::MaxEntryBytes - 1, 'b') + ".q\r\n";
                    },
                    1, QString(ListFile::MaxEntryBytes - 2, u'a') + q(".q"), true},
        DamagedFile{"exactly a full list", [] { return numberedLines(DomainListModel::Capacity); },
                    DomainListModel::Capacity, q("d0.q"), false}));

TEST_F(Lists, ReadingAndParsingAgreeOnEveryCut) {
    // The reader takes the file a megabyte at a time. The border falls before, inside and after
    // an entry, inside an over-long line, and between the CR and LF of one line end.
    for (qsizetype pad :
         {qsizetype(0), qsizetype(1), qsizetype(5), ListFile::MaxEntryBytes, ListFile::MaxEntryBytes + 9}) {
        QByteArray bytes(1024 * 1024 - pad, '\r');
        bytes += "in.q\r" + QByteArray(ListFile::MaxEntryBytes + 1, 'z') + ".q\r\nout.q";
        writeBytes(denied(), bytes);
        bool incomplete = false;
        const QStringList parsed = ListFile::parse(bytes, DomainListModel::Capacity, &incomplete);
        const ListFile::Content read = ListFile::read(denied(), DomainListModel::Capacity);
        EXPECT_EQ(parsed, (QStringList{q("in.q"), q("out.q")})) << pad;
        EXPECT_EQ(read.entries, parsed) << pad;
        EXPECT_TRUE(incomplete);
        EXPECT_FALSE(read.complete);
    }
}

// A small save sits in the writer's buffer until the end, where a failure used to go unnoticed
// and the cut-off file replaced the old one; a big one fails on the way.
TEST_F(Lists, ASaveOrABackupThatDoesNotFitKeepsTheOldFilesWhole) {
    for (const auto& [count, limit] : {std::pair(20000, rlim_t(64 * 1024)), std::pair(50, rlim_t(100))}) {
        writeBytes(denied(), "old.q\r\nolder.q\r\n");
        lists.LoadList();
        for (int i = 0; i < count; ++i)
            lists.List2().AddItem(q("new%1.q").arg(i));
        {
            FileSizeLimit full(limit);
            EXPECT_EQ(lists.SaveList(), QStringList{denied()}) << "told, not thrown";
        }
        EXPECT_EQ(readBytes(denied()), QByteArray("old.q\r\nolder.q\r\n")) << count;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
                  (QStringList{q("accept_domains.txt"), q("deny_domains.txt")}))
            << "no half-written files";
    }
    // A backup that does not fit stops the save and keeps the earlier backup.
    const QByteArray big = numberedLines(40000);
    writeBytes(denied(), big);
    writeBytes(backup(), "earlier backup\r\n");
    lists.LoadList();
    lists.List2().RemoveItem(0);
    {
        FileSizeLimit full(static_cast<rlim_t>(big.size() / 2));
        lists.SaveList();
    }
    EXPECT_EQ(readBytes(denied()), big);
    EXPECT_EQ(readBytes(backup()), QByteArray("earlier backup\r\n"));
    EXPECT_FALSE(QFileInfo::exists(backup() + q(".new")));
    // With room again, the change goes through and the file as it was is the backup.
    lists.SaveList();
    EXPECT_EQ(readBytes(backup()), big);
    EXPECT_EQ(readBytes(denied()), numberedLines(DomainListModel::Capacity).mid(6));
}

} // namespace
